// The desktop program ends on the first stop signal whatever box is open: it is started as a user
// starts it, on the demo bench, with a web server that cannot start, so that the start-up's error
// box is open when SIGTERM comes.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace kavu::test {
namespace {

std::string DesktopPath() { return std::string(KAVU_BINARY_DIR) + "/src/app/kavusdraa"; }

int CountOf(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// A loopback port held by a listening socket of the test; 0 when none could be had.
class HeldPort {
 public:
  HeldPort() {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(fd_, 1) == 0 &&
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size) == 0) {
      port_ = ntohs(a.sin_port);
    }
  }
  ~HeldPort() {
    if (fd_ >= 0) close(fd_);
  }
  int Port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

TEST(DesktopStopSignal, OneSignalEndsTheProgramWhileTheStartUpErrorBoxIsOpen) {
  if (!std::filesystem::exists(DesktopPath())) GTEST_SKIP() << "the desktop program is not built";
  HeldPort taken;
  ASSERT_NE(taken.Port(), 0);
  // The port taken, and an address that does not resolve (as a bad m_HttpServerAdr).
  for (const std::string& web : {"127.0.0.1:" + std::to_string(taken.Port()), std::string("999.1.1.1:8080")}) {
    SCOPED_TRACE(web);
    TempDir home;
    ChildProcess program({DesktopPath(), "--demo", "--web", web},
                         {"HOME=" + home.Path(), "XDG_CONFIG_HOME=" + home.File("cfg"),
                          "XDG_DATA_HOME=" + home.File("data"), "QT_QPA_PLATFORM=offscreen"});
    ASSERT_TRUE(program.Started());
    // The log line written as the box opens.
    ASSERT_TRUE(program.WaitForText("ОШИБКА: Http сервер не запущен", 60)) << program.Out() << program.Err();
    ASSERT_TRUE(program.Signal(SIGTERM));
    const std::optional<int> status = program.WaitExit(60);
    ASSERT_TRUE(status.has_value()) << "still running a minute after SIGTERM:\n" << program.Out();
    EXPECT_EQ(*status, 128 + SIGTERM) << program.Out() << program.Err();
    const std::string log = program.Out();
    EXPECT_EQ(CountOf(log, "Получен сигнал SIGTERM: окно закрывается"), 1) << log;
    // The box was open, and the start-up went on to its end after it (its last step loads the
    // results window's sets) before the window closed: never closed under the start-up's feet.
    const size_t signal_at = log.find("Получен сигнал SIGTERM");
    EXPECT_LT(log.find("ОШИБКА: Http сервер не запущен"), signal_at) << log;
    EXPECT_NE(log.find("CShowDataWindow::LoadAnts() call", signal_at), std::string::npos) << log;
  }
}

}  // namespace
}  // namespace kavu::test

// The desktop program and `kavusdraa-cli serve` run one start-up: both started as a user starts
// them on the virtual bench with the web server on, both stopped by SIGTERM; the session's log
// lines of the start and the stop come in the same order from both.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace kavu::test {
namespace {

std::string DesktopProgram() { return std::string(KAVU_BINARY_DIR) + "/src/app/kavusdraa"; }

// The session's lines ("Сессия: ..."), in the order logged.
std::vector<std::string> SessionLines(const std::string& log) {
  std::vector<std::string> lines;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) {
    const size_t at = line.find("Сессия: ");
    if (at != std::string::npos) lines.push_back(line.substr(at));
  }
  return lines;
}

struct FrontEnd {
  std::vector<std::string> argv;
  std::string ready;       // printed once the start-up has ended
  bool log_on_stdout;      // the desktop logs on standard output, the command-line tool on stderr
};

// Runs `f` until ready, stops it with SIGTERM and returns its session lines.
std::vector<std::string> StartAndStop(const FrontEnd& f) {
  TempDir home;
  ChildProcess program(f.argv, {"HOME=" + home.Path(), "XDG_CONFIG_HOME=" + home.File("cfg"),
                                "XDG_DATA_HOME=" + home.File("data"), "QT_QPA_PLATFORM=offscreen"});
  EXPECT_TRUE(program.Started());
  EXPECT_TRUE(program.WaitForText(f.ready, 60)) << program.Out() << program.Err();
  EXPECT_TRUE(program.Signal(SIGTERM));
  const std::optional<int> status = program.WaitExit(60);
  EXPECT_TRUE(status.has_value()) << "still running a minute after SIGTERM";
  EXPECT_EQ(status.value_or(-1), 128 + SIGTERM) << program.Err();
  return SessionLines(f.log_on_stdout ? program.Out() : program.Err());
}

TEST(SessionStartUp, TheDesktopProgramAndServeStartAndStopInTheSameOrder) {
  if (!std::filesystem::exists(DesktopProgram())) GTEST_SKIP() << "the desktop program is not built";
  const FrontEnd desktop{{DesktopProgram(), "--demo", "--web", "127.0.0.1:0"}, "CShowDataWindow::LoadAnts() call", true};
  const FrontEnd serve{{CliPath(), "serve", "--sim", "50", "--address", "127.0.0.1", "--port", "0"},
                       "listening on 127.0.0.1", false};
  const std::vector<std::string> expected = {
      "Сессия: запуск виртуального стенда",   "Сессия: запуск http-сервера и сетевого com-порта",
      "Сессия: запуск станции",               "Сессия: остановка станции",
      "Сессия: остановка http-сервера и сетевого com-порта", "Сессия: остановка виртуального стенда"};
  EXPECT_EQ(StartAndStop(desktop), expected);
  EXPECT_EQ(StartAndStop(serve), expected);
}

}  // namespace
}  // namespace kavu::test

// `kavusdraa-cli serve` as a user runs it: started, driven through the page's data commands over
// loopback, and stopped by a signal.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <regex>
#include <thread>

#include "platform/number_text.h"
#include "results/ant_izm_file.h"
#include "support/bench_evidence.h"
#include "support/child_process.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace kavu::test {
namespace {

// One data command as the page sends it (a POST to KavuAASdr/AntIzm.dat); the answer's body,
// empty when there was none within five seconds.
std::string Command(int port, const std::string& body) {
  const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) return "";
  const timeval five{5, 0};
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &five, sizeof five);
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &five, sizeof five);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string answer;
  if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
    const std::string request = "POST /KavuAASdr/AntIzm.dat HTTP/1.0\r\nContent-Length: " +
                                std::to_string(body.size()) + "\r\n\r\n" + body;
    if (send(s, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
      char buf[65536];
      for (ssize_t n; (n = recv(s, buf, sizeof buf, 0)) > 0;) answer.append(buf, static_cast<size_t>(n));
    }
  }
  close(s);
  const size_t head_end = answer.find("\r\n\r\n");
  return head_end == std::string::npos ? std::string() : answer.substr(head_end + 4);
}

// Set 0's point count from the "0" command's answer (its second int32); -1 without an answer.
int32_t PointsOfSet0(int port) {
  const std::string a = Command(port, "0");
  if (a.size() < 8) return -1;
  int32_t n = 0;
  std::memcpy(&n, a.data() + 4, 4);
  return n;
}

int CountOf(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// SIGTERM during a scan the page started: one end line naming the saved file, the file holds the
// points with a note that summarises the range measured, and the exit status is 128 + 15.
TEST(CliServe, AStopSignalDuringAPageScanSavesItOnceAndEndsWith128PlusTheSignal) {
  TempDir home;
  BenchEvidence evidence;
  ChildProcess serve({CliPath(), "serve", "--sim", "50", "--address", "127.0.0.1", "--port", "0", "--range",
                      "140-200 0.01"},
                     evidence.With({"HOME=" + home.Path(), "XDG_CONFIG_HOME=" + home.File("cfg"),
                                    "XDG_DATA_HOME=" + home.File("data")}));
  ASSERT_TRUE(serve.Started());
  const std::regex listening("listening on 127\\.0\\.0\\.1, port (\\d+)");
  std::smatch m;
  ASSERT_TRUE(serve.WaitFor([&](const std::string& out, const std::string&) { return std::regex_search(out, listening); },
                            60))
      << serve.Err();
  const std::string out = serve.Out();
  ASSERT_TRUE(std::regex_search(out, m, listening));
  const int port = std::stoi(m[1]);
  // "Старт" on the page; then the points it measures, asked for as the page asks.
  EXPECT_TRUE(Command(port, "2").empty());
  int32_t seen = 0;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while ((seen = PointsOfSet0(port)) < 50 && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // between two questions, not a wait for the answer
  }
  ASSERT_GE(seen, 50) << serve.Err();
  ASSERT_LT(seen, 6001) << "the scan ended before the signal";
  ASSERT_TRUE(serve.Signal(SIGTERM));
  const std::optional<int> status = serve.WaitExit(60);
  ASSERT_TRUE(status.has_value()) << "serve still runs a minute after SIGTERM";
  EXPECT_EQ(*status, 128 + SIGTERM) << serve.Err();
  const std::string err = serve.Err();
  ASSERT_EQ(CountOf(err, "serve: скан закончен"), 1) << err;
  const std::regex ended("serve: скан закончен, точек (\\d+), сохранён (.+\\.kant), ошибка: scan stopped by SIGTERM");
  ASSERT_TRUE(std::regex_search(err, m, ended)) << err;
  const int32_t points = std::stoi(m[1]);
  const std::string saved = m[2];
  EXPECT_GE(points, seen);
  EXPECT_EQ(saved.rfind(home.Path() + "/AntIzmSdrData/", 0), 0u) << saved;
  EXPECT_NE(serve.Out().find("stopping"), std::string::npos);

  // The file: the points measured, and a note whose summary ends where they end.
  std::string error;
  std::FILE* f = OpenScanFile(saved, &error);
  ASSERT_NE(f, nullptr) << error;
  std::vector<AntIzm> set(static_cast<size_t>(points) + 1);
  int32_t count = 0;
  const bool read = ReadAntIzms(f, set.data(), count, points + 1);
  const std::optional<std::string> note = read ? ReadAntIzmsNote(f) : std::nullopt;
  std::fclose(f);
  ASSERT_TRUE(read);
  ASSERT_EQ(count, points);
  EXPECT_DOUBLE_EQ(set[0].freqHz, 140e6);
  const double last = set[static_cast<size_t>(count - 1)].freqHz;
  ASSERT_LT(last, 200e6);
  ASSERT_TRUE(note.has_value());
  const std::string summary = "Диа 140 - " + FormatTrimmed(last / 1e6, 6) + " МГц, шаг 0.01 МГц";
  EXPECT_NE(note->find(summary), std::string::npos) << "wanted \"" << summary << "\" in\n" << *note;
  EXPECT_EQ(note->find("Диа 140 - 200 МГц"), std::string::npos) << *note;
  // Its lowest SWR lies within what was measured.
  const std::regex at_min("Мин\\. КСВ [0-9.]+ на ([0-9.]+) МГц");
  ASSERT_TRUE(std::regex_search(*note, m, at_min)) << *note;
  EXPECT_LE(std::stod(m[1]) * 1e6, last + 1);
}

}  // namespace
}  // namespace kavu::test

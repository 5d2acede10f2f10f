// The built-in web server under load from raw loopback clients (no keep-alive, as browsers talk
// to it): requests per second and p99 latency for the page and for the data command, with the
// same page served by nginx (one worker, its own configuration on a loopback port) as the anchor;
// one active client beside 95 idle connections; memory and descriptors after 10,000 requests.
#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench_registry.h"
#include "shell/log_console.h"
#include "web/web_server.h"

extern char** environ;

namespace kavu::bench {
namespace {

using Clock = std::chrono::steady_clock;

class StillAnalyzer : public IWebAnalyzer {
 public:
  int32_t Generation(int set) const override { return set + 1; }
  int32_t Count(int) const override { return 100; }
  void Point(int, int32_t i, float* f, float* r, float* x) const override {
    *f = 1e6f * static_cast<float>(i);
    *r = 50;
    *x = 0;
  }
  int32_t ErrorCount() const override { return 0; }
  bool Cyclic() const override { return false; }
  std::string RangeText() const override { return "1-2 0.1"; }
  void PostStartScan() override {}
  void PostPauseOrContinue() override {}
  void PostRange(bool, const std::string&) override {}
};

int Connect(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// One request on a fresh connection; the answer's size, or -1.
long OneRequest(int port, const std::string& request) {
  const int fd = Connect(port);
  if (fd < 0) return -1;
  long total = 0;
  if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
    char buf[65536];
    for (;;) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 5000) <= 0) {
        total = -1;
        break;
      }
      const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
      if (n <= 0) break;
      total += n;
    }
  }
  ::close(fd);
  return total;
}

struct Load {
  double rps = 0;
  double p99_ms = 0;
  long failures = 0;
};

// `clients` threads send `total` requests between them, for at most `max_s` seconds.
Load RunLoad(int port, const std::string& request, int clients, int total, double max_s) {
  std::atomic<int> next{0};
  std::atomic<long> failures{0};
  std::mutex mutex;
  std::vector<double> latencies;
  const auto start = Clock::now();
  const auto stop = start + std::chrono::duration<double>(max_s);
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c) {
    threads.emplace_back([&] {
      std::vector<double> mine;
      while (next.fetch_add(1) < total && Clock::now() < stop) {
        const auto t0 = Clock::now();
        if (OneRequest(port, request) <= 0) failures.fetch_add(1);
        mine.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
      }
      std::lock_guard lock(mutex);
      latencies.insert(latencies.end(), mine.begin(), mine.end());
    });
  }
  for (auto& t : threads) t.join();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  Load l;
  l.rps = static_cast<double>(latencies.size()) / seconds;
  std::sort(latencies.begin(), latencies.end());
  if (!latencies.empty()) l.p99_ms = latencies[latencies.size() * 99 / 100];
  l.failures = failures.load();
  return l;
}

int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

// nginx with one worker serving `root` on 127.0.0.1:`port`; its pid, or -1.
pid_t StartNginx(const std::string& dir, const std::string& root, int port) {
  const std::string conf = dir + "/nginx.conf";
  std::ofstream(conf) << "daemon off;\nmaster_process off;\nworker_processes 1;\npid " << dir
                      << "/nginx.pid;\nerror_log " << dir << "/error.log;\nevents { worker_connections 1024; }\n"
                      << "http { access_log off; client_body_temp_path " << dir << "; proxy_temp_path " << dir
                      << "; fastcgi_temp_path " << dir << "; uwsgi_temp_path " << dir << "; scgi_temp_path " << dir
                      << ";\n  server { listen 127.0.0.1:" << port << "; root " << root
                      << "; index Index.html; } }\n";
  const char* nginx = "/usr/sbin/nginx";
  if (::access(nginx, X_OK) != 0) return -1;
  std::vector<std::string> args = {nginx, "-q", "-p", dir, "-c", conf};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, nginx, nullptr, nullptr, argv.data(), environ) != 0) return -1;
  for (int i = 0; i < 100; ++i) {  // up to 5 s for it to listen
    const int fd = Connect(port);
    if (fd >= 0) {
      ::close(fd);
      return pid;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
  return -1;
}

long ResidentKib() {
  std::ifstream f("/proc/self/statm");
  long pages = 0, resident = 0;
  f >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

int OpenDescriptors() {
  int n = 0;
  DIR* d = ::opendir("/proc/self/fd");
  while (d && ::readdir(d)) ++n;
  if (d) ::closedir(d);
  return n;
}

void WebBench() {
  Log().SetSink(OLogConsole::Sink::None);
  const std::string dir = std::filesystem::temp_directory_path() / ("kavu-web-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir + "/www");
  const int fds_before = OpenDescriptors();
  StillAnalyzer analyzer;
  auto web = std::make_unique<WebServer>(&analyzer);
  if (web->Start({"127.0.0.1", 0, dir + "/www", nullptr}) != 0) return;
  const int port = web->Socket().Port();
  const std::string page = "GET / HTTP/1.0\r\n\r\n";
  const std::string nginx_page = "GET /Index.html HTTP/1.0\r\n\r\n";
  const std::string data = "POST /KavuAASdr/AntIzm.dat HTTP/1.0\r\nContent-Length: 1\r\n\r\n0";

  RunLoad(port, page, 50, 2000, 5);  // warm-up
  const Load ours = RunLoad(port, page, 50, 20000, 10);
  BenchPrint("web_page_rps", ours.rps);
  BenchPrint("web_page_p99_ms", ours.p99_ms);
  BenchPrint("web_page_failures", static_cast<double>(ours.failures));
  const Load cmd = RunLoad(port, data, 50, 20000, 10);
  BenchPrint("web_data_rps", cmd.rps);
  BenchPrint("web_data_p99_ms", cmd.p99_ms);

  const int nginx_port = FreePort();
  const pid_t nginx = StartNginx(dir, dir + "/www", nginx_port);
  if (nginx > 0) {
    RunLoad(nginx_port, nginx_page, 50, 2000, 5);
    const Load anchor = RunLoad(nginx_port, nginx_page, 50, 20000, 10);
    ::kill(nginx, SIGTERM);
    ::waitpid(nginx, nullptr, 0);
    BenchPrint("nginx_page_rps", anchor.rps);
    BenchPrint("nginx_page_p99_ms", anchor.p99_ms);
    if (anchor.rps > 0) BenchPrint("web_page_ratio_vs_nginx", ours.rps / anchor.rps);
  } else {
    std::fprintf(stderr, "web: nginx did not start (/usr/sbin/nginx; scripts/setup.sh installs it)\n");
  }

  {  // 95 idle connections and one active client
    std::vector<int> idle;
    for (int i = 0; i < 95; ++i) idle.push_back(Connect(port));
    const Load active = RunLoad(port, page, 1, 500, 10);
    BenchPrint("web_idle95_active_p99_ms", active.p99_ms);
    for (int fd : idle) {
      if (fd >= 0) ::close(fd);
    }
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const long rss_before = ResidentKib();
  RunLoad(port, page, 20, 10000, 30);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  BenchPrint("web_rss_growth_kib_10000_requests", static_cast<double>(ResidentKib() - rss_before));
  web->Stop();
  web.reset();
  BenchPrint("web_descriptors_left_open", static_cast<double>(OpenDescriptors() - fds_before));
  std::filesystem::remove_all(dir);
}

const BenchRegistrar kWeb("web", WebBench);

}  // namespace
}  // namespace kavu::bench

#include "web/raw_client_fixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace kavu::test {
namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

RawClient::RawClient(int port, bool connect_now) : port_(port) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (connect_now) Connect();
}

bool RawClient::Connect() {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port_));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd_);
    fd_ = -1;
  }
  return fd_ >= 0;
}

RawClient::~RawClient() {
  if (fd_ >= 0) ::close(fd_);
}

bool RawClient::Send(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string RawClient::ReadAll(int timeout_ms, size_t max) {
  std::string out;
  const int64_t end = NowMs() + timeout_ms;
  char buf[65536];
  while (out.size() < max) {
    const int64_t left = end - NowMs();
    if (left <= 0) break;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
    const ssize_t n = ::recv(fd_, buf, std::min(sizeof buf, max - out.size()), 0);
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  return out;
}

std::string RawClient::ReadUntil(const std::string& marker, int timeout_ms) {
  std::string out;
  const int64_t end = NowMs() + timeout_ms;
  while (out.size() < marker.size() || out.compare(out.size() - marker.size(), marker.size(), marker) != 0) {
    const int64_t left = end - NowMs();
    if (left <= 0) break;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
    char c = 0;
    if (::recv(fd_, &c, 1, 0) != 1) break;
    out += c;
  }
  return out;
}

std::string RawClient::ReadSome(size_t n, int timeout_ms) {
  pollfd p{fd_, POLLIN, 0};
  if (::poll(&p, 1, timeout_ms) <= 0) return "";
  std::string out(n, '\0');
  const ssize_t got = ::recv(fd_, out.data(), n, 0);
  out.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return out;
}

bool RawClient::WaitClosed(int timeout_ms, bool* reset) {
  const int64_t end = NowMs() + timeout_ms;
  char buf[65536];
  for (;;) {
    const int64_t left = end - NowMs();
    if (left <= 0) return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) return false;
    const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
    if (n > 0) continue;
    if (reset) *reset = n < 0 && errno == ECONNRESET;
    return true;
  }
}

bool RawClient::PeerGone(int timeout_ms) {
  pollfd p{fd_, POLLRDHUP, 0};
  if (::poll(&p, 1, timeout_ms) <= 0) return false;
  return (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

void RawClient::ShutdownWrite() { ::shutdown(fd_, SHUT_WR); }

void RawClient::Reset() {
  const linger l{1, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  ::close(fd_);
  fd_ = -1;
}

std::string Exchange(int port, const std::string& request, int timeout_ms) {
  RawClient c(port);
  if (!c.Connected() || !c.Send(request)) return "";
  return c.ReadAll(timeout_ms);
}

std::string Get(const std::string& url, const std::string& headers) {
  return "GET /" + url + " HTTP/1.0\r\n" + headers + "\r\n";
}

std::string Post(const std::string& url, const std::string& body) {
  return "POST /" + url + " HTTP/1.0\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string Answer::HeaderValue(const std::string& name) const {
  size_t pos = 0;
  while (pos < head.size()) {
    size_t eol = head.find("\r\n", pos);
    if (eol == std::string::npos) eol = head.size();
    const std::string line = head.substr(pos, eol - pos);
    pos = eol + 2;
    if (line.rfind(name + ": ", 0) == 0) return line.substr(name.size() + 2);
  }
  return "";
}

Answer ParseAnswer(const std::string& raw) {
  Answer a;
  const size_t first = raw.find("\r\n");
  const size_t end = raw.find("\r\n\r\n");
  if (first == std::string::npos || end == std::string::npos) return a;
  a.statusLine = raw.substr(0, first);
  a.head = raw.substr(first + 2, end + 2 - (first + 2));
  a.body = raw.substr(end + 4);
  a.hasAASdr = a.head.rfind("AASdr\r\n", 0) == 0;
  return a;
}

TestServer::TestServer(IWebAnalyzer* analyzer, const OKavuSocket::Limits& limits) : server(analyzer) {
  started = server.Start({"127.0.0.1", 0, dir.Path(), &clock, limits});
}

TestServer::~TestServer() { server.Stop(); }

void TestServer::AdvanceAndTick(int64_t ms) {
  const int64_t before = server.Socket().Ticks();
  clock.Advance(ms);
  server.Socket().Nudge();
  WaitFor([&] { return server.Socket().Ticks() > before; });
}

void TestServer::Advance(int64_t ms) {
  const int64_t before = server.Socket().Wakeups();
  clock.Advance(ms);
  server.Socket().Nudge();
  WaitFor([&] { return server.Socket().Wakeups() > before; });
}

bool WaitFor(const std::function<bool()>& done, int timeout_ms) {
  const int64_t end = NowMs() + timeout_ms;
  while (NowMs() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return done();
}

}  // namespace kavu::test

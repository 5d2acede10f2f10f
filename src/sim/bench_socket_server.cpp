#include "sim/bench_socket_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "sim/bench_session.h"

namespace kavu::sim {

BenchSocketServer::~BenchSocketServer() { Stop(); }

void BenchSocketServer::Log(const std::string& line) const {
  if (log_) log_(line);
}

bool BenchSocketServer::Start(const std::string& path, const KavuSimSource& source, LogFn log,
                              std::string* error) {
  Stop();
  sockaddr_un addr{};
  if (path.empty() || path.size() >= sizeof addr.sun_path) {
    if (error) *error = "socket path \"" + path + "\" is empty or longer than " + std::to_string(sizeof addr.sun_path - 1) + " bytes";
    return false;
  }
  std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
  addr.sun_family = AF_UNIX;
  listen_fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0 || ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listen_fd_, 4) != 0) {
    if (error) *error = "cannot listen on \"" + path + "\": " + std::strerror(errno);
    if (listen_fd_ >= 0) ::close(listen_fd_);
    listen_fd_ = -1;
    return false;
  }
  if (::pipe2(wake_, O_CLOEXEC) != 0) {
    if (error) *error = std::string("cannot make a pipe: ") + std::strerror(errno);
    ::close(listen_fd_);
    ::unlink(path.c_str());
    listen_fd_ = -1;
    return false;
  }
  path_ = path;
  source_ = source;
  log_ = std::move(log);
  connections_ = 0;
  thread_ = std::thread([this] { Run(); });
  return true;
}

void BenchSocketServer::Stop() {
  if (thread_.joinable()) {
    const char c = 0;
    while (::write(wake_[1], &c, 1) < 0 && errno == EINTR) {
    }
    thread_.join();
  }
  for (int& fd : wake_) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  if (listen_fd_ >= 0) {
    ::close(listen_fd_);
    ::unlink(path_.c_str());
  }
  listen_fd_ = -1;
}

void BenchSocketServer::Run() {
  std::unique_ptr<BenchSession> session;
  for (;;) {
    pollfd fds[3] = {{wake_[0], POLLIN, 0}, {listen_fd_, POLLIN, 0}, {-1, POLLIN, 0}};
    if (session) fds[2].fd = session->Fd();
    if (::poll(fds, 3, -1) < 0) {
      if (errno == EINTR) continue;
      Log(std::string("bench socket: poll failed: ") + std::strerror(errno));
      break;
    }
    if (fds[0].revents) break;
    // The served program first: one that closed just before another connected is gone by now.
    if (session && fds[2].revents && !session->OnReadable()) {
      session.reset();
      client_connected_ = false;
    }
    if (!(fds[1].revents & POLLIN)) continue;
    const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++connections_;
    const timeval tv{kSendTimeoutMs / 1000, (kSendTimeoutMs % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    if (session) {
      wire::SendFrame(fd, wire::EncodeHelloReply(wire::kHelloBusy));
      ::close(fd);
      Log("receiver refused: another program is connected");
      continue;
    }
    session = std::make_unique<BenchSession>(fd, source_, log_);
    client_connected_ = true;
  }
  session.reset();
  client_connected_ = false;
}

}  // namespace kavu::sim

#include "platform/tcp_listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kavu {
namespace {

TcpListenResult Failed(TcpListenResult r, int stage, int code) {
  if (r.fd >= 0) ::close(r.fd);
  r.fd = -1;
  r.stage = stage;
  r.code = code;
  r.message = std::strerror(code);
  return r;
}

}  // namespace

TcpListenResult OpenTcpListener(const std::string& address, int port) {
  TcpListenResult r;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* info = nullptr;
  const std::string service = std::to_string(port);
  // The resolver refuses "" as a host name; no host with AI_PASSIVE means every address.
  const int gai = ::getaddrinfo(address.empty() ? nullptr : address.c_str(), service.c_str(), &hints, &info);
  if (gai != 0 || !info) {
    r.stage = 2;
    r.code = gai;
    r.message = ::gai_strerror(gai);
    return r;
  }
  r.fd = ::socket(info->ai_family, info->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, info->ai_protocol);
  if (r.fd < 0) {
    const int e = errno;
    ::freeaddrinfo(info);
    return Failed(r, 3, e);
  }
  const int one = 1;
  if (::setsockopt(r.fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0) {
    const int e = errno;
    ::freeaddrinfo(info);
    return Failed(r, 103, e);
  }
  const int bound = ::bind(r.fd, info->ai_addr, info->ai_addrlen);
  const int bind_errno = errno;
  ::freeaddrinfo(info);
  if (bound != 0) return Failed(r, 4, bind_errno);
  if (::listen(r.fd, SOMAXCONN) != 0) return Failed(r, 5, errno);
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (::getsockname(r.fd, reinterpret_cast<sockaddr*>(&sa), &len) == 0) {
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &sa.sin_addr, text, sizeof text);
    r.bound = std::string(text) + ":" + std::to_string(ntohs(sa.sin_port));
  }
  return r;
}

int LocalPort(int fd) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return -1;
  return ntohs(sa.sin_port);
}

}  // namespace kavu

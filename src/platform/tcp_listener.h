#pragma once
// A non-blocking IPv4 TCP listening socket, opened the way the web server needs it: the address
// text is resolved passively (an empty text binds every local address), SO_REUSEADDR is set and
// the backlog is the largest the system allows.
#include <string>

namespace kavu {

struct TcpListenResult {
  int fd = -1;          // the listening socket, or -1
  int stage = 0;        // 0 ok; 2 getaddrinfo, 3 socket, 103 SO_REUSEADDR, 4 bind, 5 listen
  int code = 0;         // errno, or the getaddrinfo result for stage 2
  std::string message;  // the system's text for `code`
  std::string bound;    // "a.b.c.d:port" actually bound (port 0 asks the system for one)
};

TcpListenResult OpenTcpListener(const std::string& address, int port);

// The local port a socket is bound to, or -1.
int LocalPort(int fd);

}  // namespace kavu

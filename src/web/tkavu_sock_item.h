#pragma once
// One connection slot of the socket server. Loop thread only.
#include <cstdint>
#include <memory>

#include "web/okavu_http.h"

namespace kavu {

struct TKavuSockItem {
  enum : int { kFree = 0, kAccepting = 1, kReceiving = 2, kAnswering = 3, kClosing = 4 };

  int SockStatus = kFree;
  int fd = -1;
  std::unique_ptr<OKavuHttp> handler;  // made on the slot's first use, kept for the run
  uint64_t serial = 0;                 // the connection's number, new at every accept
  int64_t connectTimeMs = 0;
  uint32_t clientAddress = 0;
  int64_t bytesSent = 0, bytesReceived = 0, fileBytesRead = 0, sendCount = 0;
  int64_t deadlineMs = 0;      // the slot may be closed once the clock passes it
  int64_t sendDeadlineMs = 0;  // the latest deadline of the buffer being sent
  bool IsMyIOEventPlan = false;
  bool recvPaused = false;  // reading stopped until the handler's outside event
  // The buffer being sent: what is left of it and its whole length.
  const char* sendPtr = nullptr;
  int sendLeft = 0;
  int sendTotal = 0;
  uint32_t interest = 0;  // epoll events asked for
};

}  // namespace kavu

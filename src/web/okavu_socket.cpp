#include "web/okavu_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/tcp_listener.h"
#include "shell/fatal_error.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

constexpr uint64_t kListenTag = 1000;
constexpr int kRoundsPerEvent = 64;

}  // namespace

OKavuSocket::OKavuSocket(HandlerFactory factory, const IWebClock* clock, const Limits& limits)
    : factory_(std::move(factory)),
      clock_(clock ? clock : &steady_),
      limits_(limits),
      slots_(static_cast<size_t>(std::clamp(limits.slotCount, 1, kSlots))) {}

OKavuSocket::~OKavuSocket() { Stop(); }

int64_t OKavuSocket::SendTime(int64_t n) {
  return std::clamp<int64_t>(1000 * (n / 120), 60000, 100000000);
}

std::string OKavuSocket::ErrorText() const {
  std::lock_guard lock(mutex_);
  return errorText_;
}

std::array<int, 8> OKavuSocket::Statistics() const {
  std::lock_guard lock(mutex_);
  return stats_;
}

std::string OKavuSocket::StatusText() const {
  const std::string error = ErrorText();
  if (!error.empty()) return error;
  if (RunState() < 0) return "Http-сервер выключен, для включения перезапустите программу";
  const std::array<int, 8> s = Statistics();
  char text[256];
  std::snprintf(text, sizeof text,
                "Сокетов: %d, ждут вх: %d, подкл: %d (прием: %d, посыл: %d, закр: %d); net-com: приём %d, посыл %d",
                s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7]);
  return text;
}

int OKavuSocket::Listen(const std::string& address, int port) {
  Log() << LogColour(kColourWeb) << "\nЗАПУСК HTTP СЕРВЕРА, порт " << port << ", адрес '" << address << "' \n"
        << LogColour(kColourNormal);
  runState_.store(0);
  if (!epoll_.Ok()) {
    std::lock_guard lock(mutex_);
    errorText_ = "Ошибка создания epoll";
    return 6;
  }
  const TcpListenResult r = OpenTcpListener(address, port);
  if (r.fd < 0) {
    static const char* kTexts[] = {"Ошибка вызова getaddrinfo, res=", "Ошибка создания socket, WSAErr=",
                                   "Ошибка setsockopt SO_REUSEADDR, WSAErr=", "Ошибка bind, WSAErr=",
                                   "Ошибка listen, WSAErr="};
    const int i = r.stage == 2 ? 0 : r.stage == 3 ? 1 : r.stage == 103 ? 2 : r.stage == 4 ? 3 : 4;
    std::string text = kTexts[i] + std::to_string(r.code);
    if (r.stage == 2) text += ", WSAErr=0";
    text += ", " + r.message;
    Log() << LogColour(kColourError) << text << "\n" << LogColour(kColourNormal);
    std::lock_guard lock(mutex_);
    errorText_ = text;
    return r.stage;
  }
  Log() << "bind для " << r.bound << "\n";
  listenFd_ = r.fd;
  port_.store(LocalPort(listenFd_));
  epoll_.Add(listenFd_, EPOLLIN, kListenTag);
  listening_ = true;
  Log() << LogColour(kColourWeb) << "Http-сервер обслуживают потоки числом m_ThreadsN = 1\n" << LogColour(kColourNormal);
  runState_.store(1);
  quit_.store(false);
  thread_ = std::thread([this] { Run(); });
  return 0;
}

void OKavuSocket::Stop() {
  if (thread_.joinable()) {
    quit_.store(true);
    epoll_.Wake();
    thread_.join();
  }
  for (int i = 0; i < SlotCount(); ++i) {
    if (slots_[static_cast<size_t>(i)].fd >= 0) Release(i, true);
  }
  if (listenFd_ >= 0) ::close(listenFd_);
  listenFd_ = -1;
}

void OKavuSocket::Run() {
  epoll_event events[64];
  nextTick_ = Now() + 1000;
  while (!quit_.load()) {
    const int64_t now = Now();
    if (now >= nextTick_) {
      Tick(now);
      nextTick_ = now + 1000;
    }
    const int timeout = static_cast<int>(std::clamp<int64_t>(nextTick_ - now, 0, 1000));
    const int n = epoll_.Wait(events, 64, timeout);
    wakeups_.fetch_add(1);
    for (int i = 0; i < n && !quit_.load(); ++i) {
      const uint64_t tag = events[i].data.u64;
      if (tag == EpollSet::kWakeTag) {
        OnOutsideEvents();
      } else if (tag == kListenTag) {
        AcceptSome();
      } else if (tag < slots_.size()) {
        const int index = static_cast<int>(tag);
        TKavuSockItem& s = slots_[tag];
        if (s.fd < 0) continue;
        const bool broken = events[i].events & (EPOLLERR | EPOLLHUP);
        if (s.SockStatus == TKavuSockItem::kReceiving) {
          OnReadable(index);
        } else if (s.SockStatus == TKavuSockItem::kClosing) {
          Drain(index);
        } else if (s.SockStatus == TKavuSockItem::kAnswering) {
          // While waiting for an outside event only the peer's close is watched: a client that
          // went away must not hold its slot until the next event.
          const bool gone = s.IsMyIOEventPlan && (events[i].events & EPOLLRDHUP);
          if (broken || gone) {
            Disconnect(index);
          } else {
            Pump(index);
          }
        }
      }
    }
  }
}

void OKavuSocket::Tick(int64_t now) {
  Sweep(now);
  UpdateListening();
  RefreshStatistics();
  if (tickHook_) tickHook_();
  ticks_.fetch_add(1);
}

void OKavuSocket::Sweep(int64_t now) {
  bool any_free = false;
  for (int i = 0; i < SlotCount(); ++i) {
    TKavuSockItem& s = slots_[static_cast<size_t>(i)];
    any_free |= s.SockStatus == TKavuSockItem::kFree;
    if (s.SockStatus == TKavuSockItem::kClosing && now > s.deadlineMs) {
      Release(i, true);  // the peer never finished closing
    } else if (s.SockStatus > TKavuSockItem::kAccepting && now - s.deadlineMs > kSweepGraceMs) {
      Terminate(i, static_cast<int>(kSweepGraceMs));
    }
  }
  if (any_free) return;
  for (int i = 0; i < SlotCount(); ++i) {
    TKavuSockItem& s = slots_[static_cast<size_t>(i)];
    if (s.SockStatus > TKavuSockItem::kAccepting && (now > s.deadlineMs || s.IsMyIOEventPlan)) Terminate(i, 0);
  }
}

void OKavuSocket::RefreshStatistics() {
  std::array<int, 8> st{};
  int free_slots = 0;
  for (const TKavuSockItem& s : slots_) {
    st[0] += s.fd >= 0;
    free_slots += s.SockStatus == TKavuSockItem::kFree;
    st[3] += s.SockStatus == TKavuSockItem::kReceiving;
    st[4] += s.SockStatus == TKavuSockItem::kAnswering;
    st[5] += s.SockStatus >= TKavuSockItem::kClosing;
    if (s.handler && s.fd >= 0) {
      st[6] += s.handler->BridgeRole() == 1;
      st[7] += s.handler->BridgeRole() == 2;
    }
  }
  st[1] = listening_ ? std::min(kAccepts, free_slots) : 0;
  st[2] = connections_.load();
  std::lock_guard lock(mutex_);
  stats_ = st;
}

void OKavuSocket::UpdateListening() {
  if (listenFd_ < 0) return;
  bool any_free = false;
  for (const TKavuSockItem& s : slots_) any_free |= s.SockStatus == TKavuSockItem::kFree;
  const bool want = any_free && Now() >= acceptPausedUntil_;
  if (want == listening_) return;
  epoll_.Modify(listenFd_, want ? uint32_t{EPOLLIN} : 0u, kListenTag);
  listening_ = want;
}

void OKavuSocket::AcceptSome() {
  for (int round = 0; round < kAccepts; ++round) {
    auto it = std::find_if(slots_.begin(), slots_.end(),
                           [](const TKavuSockItem& s) { return s.SockStatus == TKavuSockItem::kFree; });
    if (it == slots_.end()) break;
    it->SockStatus = TKavuSockItem::kAccepting;
    sockaddr_in peer{};
    socklen_t len = sizeof peer;
    const int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
      Accepted(*it, fd, ntohl(peer.sin_addr.s_addr));
      continue;
    }
    const int e = errno;
    it->SockStatus = TKavuSockItem::kFree;
    if (e == EAGAIN || e == EWOULDBLOCK || e == EINTR) break;
    if (e == EMFILE || e == ENFILE || e == ENOBUFS || e == ENOMEM) {
      // The waiting connection stays queued; looking again at once would only spin.
      Log() << LogColour(kColourError) << "Http-сервер: нет свободных дескрипторов, приём отложен\n"
            << LogColour(kColourNormal);
      acceptPausedUntil_ = Now() + 1000;
      break;
    }
    Log() << "Входящее соединение закрыто раньше \n";
  }
  UpdateListening();
}

void OKavuSocket::Accepted(TKavuSockItem& s, int fd, uint32_t address) {
  const int index = static_cast<int>(&s - slots_.data());
  connections_.fetch_add(1);
  s.fd = fd;
  ++s.serial;
  s.connectTimeMs = Now();
  s.clientAddress = address;
  s.bytesSent = s.bytesReceived = s.fileBytesRead = s.sendCount = 0;
  s.sendPtr = nullptr;
  s.sendLeft = s.sendTotal = 0;
  s.IsMyIOEventPlan = false;
  s.recvPaused = false;
  if (!s.handler) s.handler = factory_();
  s.handler->ResetRequest();
  s.handler->SetClientAddress(address);
  s.deadlineMs = Now() + kFirstDeadlineMs;
  s.SockStatus = TKavuSockItem::kReceiving;
  s.interest = EPOLLIN;
  epoll_.Add(fd, EPOLLIN, static_cast<uint64_t>(index));
}

void OKavuSocket::SetInterest(int index, uint32_t events) {
  TKavuSockItem& s = slots_[static_cast<size_t>(index)];
  if (s.interest == events || s.fd < 0) return;
  epoll_.Modify(s.fd, events, static_cast<uint64_t>(index));
  s.interest = events;
}

void OKavuSocket::OnReadable(int index) {
  TKavuSockItem& s = slots_[static_cast<size_t>(index)];
  for (int round = 0; round < 16 && s.SockStatus == TKavuSockItem::kReceiving; ++round) {
    int room = 0;
    char* target = s.handler->GetReciveBuf(&room);
    if (room <= 0) {
      if (s.handler->Status() == OKavuHttp::kError) {
        Received(index, 0);  // the handler has set its error for a full buffer
        return;
      }
      if (s.handler->ReceivePaused(TicketOf(index))) {
        s.recvPaused = true;
        SetInterest(index, 0);
        return;
      }
      s.handler->OnReceiveResume();
      continue;
    }
    const ssize_t n = ::recv(s.fd, target, static_cast<size_t>(room), 0);
    if (n > 0) {
      Received(index, static_cast<int>(n));
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    Disconnect(index);  // the peer closed or the connection broke
    return;
  }
}

int64_t OKavuSocket::RequestDeadline(const TKavuSockItem& s, int64_t old, int bytes) const {
  // A second per 120 bytes keeps a slow but steady client going; the cap on what a request may
  // earn in all and the cap on silence keep a client that sends a huge head and stops from
  // holding its slot for an hour.
  const int64_t cap = s.connectTimeMs + kFirstDeadlineMs + limits_.maxRequestExtensionMs;
  const int64_t earned = std::min(old + 1000 * (bytes / 120), cap);
  return std::min(earned, Now() + limits_.maxSilenceMs);
}

void OKavuSocket::Received(int index, int bytes) {
  TKavuSockItem& s = slots_[static_cast<size_t>(index)];
  s.bytesReceived += bytes;
  bytesReceived_.fetch_add(bytes);
  const int64_t old = s.deadlineMs;
  s.deadlineMs = Now() + kNoTimeoutMs;
  OKavuHttp& h = *s.handler;
  h.OnRecvData(bytes);
  const int status = h.Status();
  if (status == OKavuHttp::kError) {
    Log() << "Планирую отключение, ошибка при приёме " << h.ErrorText() << "\n";
    Disconnect(index);
    return;
  }
  if (status != OKavuHttp::kComplete) {
    s.deadlineMs = RequestDeadline(s, old, bytes);
    return;
  }
  s.SockStatus = TKavuSockItem::kAnswering;
  SetInterest(index, 0);
  if (NextBuffer(index, 0)) Pump(index);
}

void OKavuSocket::StartSend(TKavuSockItem& s, const char* data, int len) {
  const int64_t now = Now();
  s.sendDeadlineMs = now + std::min(SendTime(len), limits_.maxSendMs);
  s.deadlineMs = std::min(s.sendDeadlineMs, now + limits_.maxSilenceMs);
  s.sendPtr = data;
  s.sendLeft = s.sendTotal = len;
}

bool OKavuSocket::NextBuffer(int index, int64_t last_sent) {
  TKavuSockItem& s = slots_[static_cast<size_t>(index)];
  OKavuHttp& h = *s.handler;
  const int kind = h.OutGetType(last_sent);
  if (kind < 0) {
    Disconnect(index);
    return false;
  }
  if (kind == OKavuHttp::kSendMemory) {
    int len = 0;
    const char* data = h.OutGetMemBuf(&len);
    if (len <= 0) FatalError("OKavuSocket::OnSend() - вызов OutGetMemBuf не вернул данных");
    StartSend(s, data, len);
    return true;
  }
  if (kind == OKavuHttp::kSendFile) {
    s.deadlineMs = Now() + kNoTimeoutMs;
    int fd = -1, to_read = 0, call = 0;
    int64_t offset = 0;
    if (!h.OutGetReadFile(&fd, &to_read, &offset, &call) || offset < 0)
      FatalError("OKavuSocket::OnSend() - OutGetReadFile() вернула хрень");
    ssize_t n = -1;
    do {
      n = ::pread(fd, h.FileChunkTarget(), static_cast<size_t>(to_read), offset);
    } while (n < 0 && errno == EINTR);
    const char* chunk = n > 0 ? h.FileChunkRead(static_cast<int>(n)) : nullptr;
    if (!chunk) {
      Disconnect(index);
      return false;
    }
    s.fileBytesRead += n;
    StartSend(s, chunk, static_cast<int>(n));
    return true;
  }
  if (kind == OKavuHttp::kWaitEvent) {
    s.deadlineMs = Now() + kNoTimeoutMs;
    const int one = 1;
    ::setsockopt(s.fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    s.IsMyIOEventPlan = true;
    SetInterest(index, EPOLLRDHUP);
    h.SendMyIOEvent(TicketOf(index));
    return false;
  }
  Log() << "Type = " << kind << "\n";
  FatalError("OKavuSocket::OnSend() - не знакомый тип данных для посыла");
}

void OKavuSocket::Pump(int index) {
  TKavuSockItem& s = slots_[static_cast<size_t>(index)];
  for (int round = 0; round < kRoundsPerEvent; ++round) {
    if (s.SockStatus != TKavuSockItem::kAnswering || s.sendLeft <= 0) return;
    const ssize_t w = ::send(s.fd, s.sendPtr, static_cast<size_t>(s.sendLeft), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (w < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        SetInterest(index, EPOLLOUT);
        return;
      }
      Disconnect(index);
      return;
    }
    s.sendPtr += w;
    s.sendLeft -= static_cast<int>(w);
    s.bytesSent += w;
    bytesSent_.fetch_add(w);
    // The peer took bytes: it has another silence interval, never beyond the buffer's deadline.
    s.deadlineMs = std::min(s.sendDeadlineMs, Now() + limits_.maxSilenceMs);
    if (s.sendLeft > 0) continue;
    ++s.sendCount;
    const int total = s.sendTotal;
    s.sendTotal = 0;
    if (!NextBuffer(index, total)) return;
  }
  SetInterest(index, EPOLLOUT);  // more to send: come back after the others had their turn
}

OutsideEventTicket OKavuSocket::TicketOf(int index) {
  return OutsideEventTicket{this, index, slots_[static_cast<size_t>(index)].serial};
}

void OKavuSocket::PostOutsideEvent(const OutsideEventTicket& ticket, int bytes) {
  {
    std::lock_guard lock(mutex_);
    posted_.push_back({ticket, bytes});
  }
  epoll_.Wake();
}

void OKavuSocket::OnOutsideEvents() {
  std::vector<Posted> events;
  {
    std::lock_guard lock(mutex_);
    events.swap(posted_);
  }
  for (const Posted& p : events) {
    if (p.ticket.slot < 0 || p.ticket.slot >= SlotCount()) continue;
    TKavuSockItem& s = slots_[static_cast<size_t>(p.ticket.slot)];
    if (s.serial == p.ticket.serial && s.recvPaused && s.SockStatus == TKavuSockItem::kReceiving) {
      s.recvPaused = false;
      s.handler->OnReceiveResume();
      SetInterest(p.ticket.slot, EPOLLIN);
      OnReadable(p.ticket.slot);
      continue;
    }
    // A wake-up for a connection that has ended or stopped waiting is stale.
    if (s.serial != p.ticket.serial || !s.IsMyIOEventPlan || s.SockStatus != TKavuSockItem::kAnswering) continue;
    s.IsMyIOEventPlan = false;
    int bytes = p.bytes;
    const char* data = s.handler->OnMyIOEvent(&bytes);
    if (!data || bytes <= 0) {
      Disconnect(p.ticket.slot);
      continue;
    }
    StartSend(s, data, bytes);
    Pump(p.ticket.slot);
  }
}

void OKavuSocket::Disconnect(int index) {
  TKavuSockItem& s = slots_[static_cast<size_t>(index)];
  if (s.IsMyIOEventPlan) {
    s.IsMyIOEventPlan = false;
    s.handler->CancelMyIOEvent(TicketOf(index));
  }
  s.handler->ResetOutput();
  s.deadlineMs = Now() + kFirstDeadlineMs;
  s.SockStatus = TKavuSockItem::kClosing;
  s.sendLeft = 0;
  ::shutdown(s.fd, SHUT_WR);
  SetInterest(index, EPOLLIN);
  Drain(index);
}

void OKavuSocket::Drain(int index) {
  TKavuSockItem& s = slots_[static_cast<size_t>(index)];
  char scratch[4096];
  for (int round = 0; round < 16; ++round) {
    const ssize_t n = ::recv(s.fd, scratch, sizeof scratch, 0);
    if (n > 0) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    Release(index, false);
    return;
  }
}

void OKavuSocket::Terminate(int index, int reason) {
  TKavuSockItem& s = slots_[static_cast<size_t>(index)];
  if (s.SockStatus < TKavuSockItem::kReceiving) return;
  if (!s.handler->MayClose(reason)) {
    s.deadlineMs = Now() + kFirstDeadlineMs;
    return;
  }
  if (s.IsMyIOEventPlan) Log() << "вызываю CancelMyIOEvent \n";
  Log() << "TerminateSoket CALL !!!!! \n";
  Release(index, true);
}

void OKavuSocket::Release(int index, bool reset) {
  TKavuSockItem& s = slots_[static_cast<size_t>(index)];
  if (s.IsMyIOEventPlan) {
    s.IsMyIOEventPlan = false;
    s.handler->CancelMyIOEvent(TicketOf(index));
  }
  if (s.fd >= 0) {
    if (reset) {
      const linger l{1, 0};
      ::setsockopt(s.fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    }
    epoll_.Remove(s.fd);
    ::close(s.fd);
    connections_.fetch_sub(1);
  }
  s.fd = -1;
  s.interest = 0;
  s.recvPaused = false;
  s.sendLeft = 0;
  if (s.handler) s.handler->ResetOutput();
  s.SockStatus = TKavuSockItem::kFree;
  ++s.serial;
  UpdateListening();
}

}  // namespace kavu

#include "sim/bench_session.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kavu::sim {

BenchSession::BenchSession(int fd, const KavuSimSource& source, LogFn log)
    : fd_(fd), source_(source), log_(std::move(log)) {}

BenchSession::~BenchSession() {
  if (fd_ >= 0) ::close(fd_);
}

bool BenchSession::Malformed(const std::string& why) {
  if (log_) log_("receiver connection closed: malformed message (" + why + ")");
  return false;
}

bool BenchSession::OnReadable() {
  uint8_t buf[4096];
  for (;;) {
    const ssize_t n = ::recv(fd_, buf, sizeof buf, MSG_DONTWAIT);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (n <= 0) {
      if (log_) log_(n == 0 ? "receiver disconnected" : std::string("receiver connection failed: ") + std::strerror(errno));
      return false;
    }
    reader_.Append(buf, static_cast<size_t>(n));
    wire::Message m;
    std::string error;
    for (;;) {
      const auto status = reader_.Next(&m, &error);
      if (status == wire::FrameReader::Status::kError) return Malformed(error);
      if (status == wire::FrameReader::Status::kNeedMore) break;
      if (!Handle(m)) return false;
    }
  }
  return true;
}

bool BenchSession::Handle(const wire::Message& m) {
  using wire::MsgType;
  if (!greeted_) {
    if (m.type != MsgType::kHello || m.magic != wire::kMagic) return Malformed("no hello first");
    if (m.version != wire::kVersion) {
      wire::SendFrame(fd_, wire::EncodeHelloReply(wire::kHelloUnsupported));
      if (log_) log_("receiver refused: protocol version " + std::to_string(m.version));
      return false;
    }
    greeted_ = true;
    if (log_) log_("receiver connected");
    return wire::SendFrame(fd_, wire::EncodeHelloReply(wire::kHelloAccepted));
  }
  std::vector<uint8_t> reply;
  switch (m.type) {
    case MsgType::kConfigure:
      if (source_.configure) {
        source_.configure(source_.ctx, m.rate, m.center_hz, m.gain, m.direct);
      }
      reply = wire::EncodeEmptyReply(m.type);
      break;
    case MsgType::kDue:
      reply = wire::EncodeDueReply(source_.due ? source_.due(source_.ctx) : 0);
      break;
    case MsgType::kFill:
      reply = wire::EncodeFillReply(m.sample, m.samples * KavuSimPairBytes(m.format));
      if (source_.fill) source_.fill(source_.ctx, m.sample, m.format, wire::FillReplyData(reply), m.samples);
      break;
    case MsgType::kFault:
      reply = wire::EncodeFaultReply(source_.fault ? source_.fault(source_.ctx) : kKavuSimOk);
      break;
    case MsgType::kLog:
      if (source_.log) source_.log(source_.ctx, m.text.c_str());
      reply = wire::EncodeEmptyReply(m.type);
      break;
    default:
      return Malformed("message type " + std::to_string(static_cast<int>(m.type)) + " is not a request here");
  }
  if (wire::SendFrame(fd_, reply)) return true;
  if (log_) log_(std::string("receiver connection closed: reply not taken (") + std::strerror(errno) + ")");
  return false;
}

}  // namespace kavu::sim

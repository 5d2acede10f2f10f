#include "sim/simlib/bench_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/steady_clock.h"

namespace kavu::simrtl {
namespace {


}  // namespace

BenchClient::BenchClient() {
  source_.abi_version = kKavuSimAbiVersion;
  source_.ctx = this;
  source_.configure = &BenchClient::OnConfigure;
  source_.due = &BenchClient::OnDue;
  source_.fill = &BenchClient::OnFill;
  source_.fault = &BenchClient::OnFault;
  source_.log = &BenchClient::OnLog;
}

BenchClient::~BenchClient() { Disconnect(); }

void BenchClient::Report(const std::string& line) {
  if (line == last_report_) return;
  last_report_ = line;
  std::fprintf(stderr, "Virtual bench receiver: %s\n", line.c_str());
}

bool BenchClient::Connected() const {
  std::lock_guard lock(mutex_);
  return fd_ >= 0;
}

void BenchClient::Disconnect() {
  std::lock_guard lock(mutex_);
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  reader_ = sim::wire::FrameReader();
}

void BenchClient::Drop(const std::string& why) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  reader_ = sim::wire::FrameReader();
  Report("connection to the bench at " + path_ + " lost: " + why);
}

bool BenchClient::Connect(const std::string& path) {
  std::lock_guard lock(mutex_);
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  reader_ = sim::wire::FrameReader();
  path_ = path;
  sockaddr_un addr{};
  if (path.empty() || path.size() >= sizeof addr.sun_path) {
    Report("the bench socket path \"" + path + "\" is empty or too long");
    return false;
  }
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    Report("cannot reach the bench at " + path + ": " + std::strerror(errno));
    if (fd >= 0) ::close(fd);
    return false;
  }
  const timeval tv{kReplyTimeoutMs / 1000, (kReplyTimeoutMs % 1000) * 1000};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  fd_ = fd;
  sim::wire::Message hello;
  if (!Request(sim::wire::EncodeHello(), sim::wire::MsgType::kHelloReply, &hello)) return false;
  if (hello.status != sim::wire::kHelloAccepted) {
    ::close(fd_);
    fd_ = -1;
    Report(hello.status == sim::wire::kHelloBusy
               ? "the bench at " + path + " serves another program"
               : "the bench at " + path + " speaks protocol version " + std::to_string(hello.version));
    return false;
  }
  Report("connected to the bench at " + path);
  return true;
}

bool BenchClient::Receive(sim::wire::Message* out, int64_t deadline_ns) {
  std::string error;
  for (;;) {
    const auto status = reader_.Next(out, &error);
    if (status == sim::wire::FrameReader::Status::kFrame) return true;
    if (status == sim::wire::FrameReader::Status::kError) {
      Drop("malformed reply (" + error + ")");
      return false;
    }
    const int64_t left_ms = (deadline_ns - SteadyNowNs()) / 1'000'000;
    if (left_ms <= 0) {
      Drop("no reply within " + std::to_string(kReplyTimeoutMs) + " ms");
      return false;
    }
    pollfd p{fd_, POLLIN, 0};
    const int r = ::poll(&p, 1, static_cast<int>(std::min<int64_t>(left_ms, kReplyTimeoutMs)));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) continue;  // the deadline check above decides
    uint8_t buf[65536];
    const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      Drop(n == 0 ? "the bench closed the connection" : std::string(std::strerror(errno)));
      return false;
    }
    reader_.Append(buf, static_cast<size_t>(n));
  }
}

bool BenchClient::Request(const std::vector<uint8_t>& frame, sim::wire::MsgType reply_type, sim::wire::Message* reply) {
  if (fd_ < 0) return false;
  if (!sim::wire::SendFrame(fd_, frame)) {
    Drop(std::string("cannot send: ") + std::strerror(errno));
    return false;
  }
  if (!Receive(reply, SteadyNowNs() + int64_t{kReplyTimeoutMs} * 1'000'000)) return false;
  if (reply->type != reply_type) {
    Drop("reply of type " + std::to_string(static_cast<int>(reply->type)) + " to a request of type " +
         std::to_string(static_cast<int>(reply_type) & 0x7F));
    return false;
  }
  return true;
}

void BenchClient::OnConfigure(void* ctx, uint32_t rate, uint64_t center, int32_t gain, int32_t direct) {
  auto* self = static_cast<BenchClient*>(ctx);
  std::lock_guard lock(self->mutex_);
  sim::wire::Message reply;
  self->Request(sim::wire::EncodeConfigure(rate, center, gain, direct), sim::wire::MsgType::kConfigureReply, &reply);
}

uint64_t BenchClient::OnDue(void* ctx) {
  auto* self = static_cast<BenchClient*>(ctx);
  std::lock_guard lock(self->mutex_);
  sim::wire::Message reply;
  if (self->Request(sim::wire::EncodeDue(), sim::wire::MsgType::kDueReply, &reply)) self->last_due_ = reply.sample;
  return self->last_due_;
}

void BenchClient::FillLocked(uint64_t first, int32_t format, uint8_t* buf, uint32_t samples) {
  const uint32_t pair = KavuSimPairBytes(format);
  if (pair == 0) return;
  uint32_t done = 0;
  // Whole requests of at most the wire's size; everything after a lost connection is mid-scale.
  while (fd_ >= 0 && done < samples) {
    const uint32_t part = std::min(sim::wire::MaxFillSamples(format), samples - done);
    sim::wire::Message reply;
    if (!Request(sim::wire::EncodeFill(first, format, part), sim::wire::MsgType::kFillReply, &reply)) break;
    if (reply.sample != first || reply.data.size() != size_t{part} * pair) {
      Drop("fill reply for sample " + std::to_string(reply.sample) + " with " + std::to_string(reply.data.size()) +
           " bytes, asked " + std::to_string(first) + " with " + std::to_string(size_t{part} * pair));
      break;
    }
    std::copy(reply.data.begin(), reply.data.end(), buf + size_t{done} * pair);
    done += part;
    first += part;
  }
  if (format == kKavuSimU8) {
    std::fill(buf + size_t{done} * pair, buf + size_t{samples} * pair, static_cast<uint8_t>(127));
  } else {
    std::fill(buf + size_t{done} * pair, buf + size_t{samples} * pair, static_cast<uint8_t>(0));
  }
}

void BenchClient::OnFill(void* ctx, uint64_t first, int32_t format, void* buf, uint32_t samples) {
  auto* self = static_cast<BenchClient*>(ctx);
  std::lock_guard lock(self->mutex_);
  self->FillLocked(first, format, static_cast<uint8_t*>(buf), samples);
}

int32_t BenchClient::OnFault(void* ctx) {
  auto* self = static_cast<BenchClient*>(ctx);
  std::lock_guard lock(self->mutex_);
  sim::wire::Message reply;
  if (!self->Request(sim::wire::EncodeFault(), sim::wire::MsgType::kFaultReply, &reply)) return kKavuSimUnplugged;
  return reply.fault;
}

void BenchClient::OnLog(void* ctx, const char* line) {
  auto* self = static_cast<BenchClient*>(ctx);
  std::lock_guard lock(self->mutex_);
  sim::wire::Message reply;
  self->Request(sim::wire::EncodeLog(line ? line : ""), sim::wire::MsgType::kLogReply, &reply);
}

}  // namespace kavu::simrtl

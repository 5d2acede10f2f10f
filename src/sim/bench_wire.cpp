#include "sim/bench_wire.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

namespace kavu::sim::wire {
namespace {

void PutU16(std::vector<uint8_t>& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

void PutU32(std::vector<uint8_t>& b, uint32_t v) {
  for (int k = 0; k < 4; ++k) b.push_back(static_cast<uint8_t>(v >> (8 * k)));
}

void PutU64(std::vector<uint8_t>& b, uint64_t v) {
  for (int k = 0; k < 8; ++k) b.push_back(static_cast<uint8_t>(v >> (8 * k)));
}

uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t GetU32(const uint8_t* p) {
  uint32_t v = 0;
  for (int k = 3; k >= 0; --k) v = (v << 8) | p[k];
  return v;
}

uint64_t GetU64(const uint8_t* p) {
  uint64_t v = 0;
  for (int k = 7; k >= 0; --k) v = (v << 8) | p[k];
  return v;
}

// A frame with its length prefix left to Finish().
std::vector<uint8_t> Begin(MsgType type, size_t payload) {
  std::vector<uint8_t> b;
  b.reserve(4 + 1 + payload);
  PutU32(b, 0);
  b.push_back(static_cast<uint8_t>(type));
  return b;
}

std::vector<uint8_t> Finish(std::vector<uint8_t> b) {
  const uint32_t body = static_cast<uint32_t>(b.size() - 4);
  for (int k = 0; k < 4; ++k) b[static_cast<size_t>(k)] = static_cast<uint8_t>(body >> (8 * k));
  return b;
}

bool Known(uint8_t type) {
  const uint8_t request = type & static_cast<uint8_t>(~kReplyBit);
  return request >= static_cast<uint8_t>(MsgType::kHello) && request <= static_cast<uint8_t>(MsgType::kLog);
}

}  // namespace

std::vector<uint8_t> EncodeHello(uint16_t version) {
  auto b = Begin(MsgType::kHello, 6);
  PutU32(b, kMagic);
  PutU16(b, version);
  return Finish(std::move(b));
}

std::vector<uint8_t> EncodeConfigure(uint32_t rate, uint64_t center_hz, int32_t gain, int32_t direct) {
  auto b = Begin(MsgType::kConfigure, 20);
  PutU32(b, rate);
  PutU64(b, center_hz);
  PutU32(b, static_cast<uint32_t>(gain));
  PutU32(b, static_cast<uint32_t>(direct));
  return Finish(std::move(b));
}

std::vector<uint8_t> EncodeDue() { return Finish(Begin(MsgType::kDue, 0)); }

std::vector<uint8_t> EncodeFill(uint64_t first, int32_t format, uint32_t samples) {
  auto b = Begin(MsgType::kFill, 16);
  PutU64(b, first);
  PutU32(b, static_cast<uint32_t>(format));
  PutU32(b, samples);
  return Finish(std::move(b));
}

uint32_t MaxFillSamples(int32_t format) {
  const uint32_t pair = KavuSimPairBytes(format);
  return pair == 0 ? 0 : kMaxFillBytes / pair;
}

std::vector<uint8_t> EncodeFault() { return Finish(Begin(MsgType::kFault, 0)); }

std::vector<uint8_t> EncodeLog(const std::string& text) {
  const size_t n = std::min<size_t>(text.size(), kMaxLogBytes);
  auto b = Begin(MsgType::kLog, n);
  b.insert(b.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
  return Finish(std::move(b));
}

std::vector<uint8_t> EncodeHelloReply(uint8_t status, uint16_t version) {
  auto b = Begin(MsgType::kHelloReply, 3);
  PutU16(b, version);
  b.push_back(status);
  return Finish(std::move(b));
}

std::vector<uint8_t> EncodeEmptyReply(MsgType request) {
  return Finish(Begin(static_cast<MsgType>(static_cast<uint8_t>(request) | kReplyBit), 0));
}

std::vector<uint8_t> EncodeDueReply(uint64_t due) {
  auto b = Begin(MsgType::kDueReply, 8);
  PutU64(b, due);
  return Finish(std::move(b));
}

std::vector<uint8_t> EncodeFillReply(uint64_t first, uint32_t length) {
  length = std::min(length, kMaxFillBytes);
  auto b = Begin(MsgType::kFillReply, 8 + size_t{length});
  PutU64(b, first);
  b.resize(b.size() + length, 0);
  return Finish(std::move(b));
}

uint8_t* FillReplyData(std::vector<uint8_t>& frame) { return frame.data() + 4 + 1 + 8; }

std::vector<uint8_t> EncodeFaultReply(int32_t fault) {
  auto b = Begin(MsgType::kFaultReply, 4);
  PutU32(b, static_cast<uint32_t>(fault));
  return Finish(std::move(b));
}

bool DecodeBody(const uint8_t* body, size_t size, Message* out, std::string* error) {
  if (size < 1 || !Known(body[0])) {
    *error = size < 1 ? "empty message" : "unknown message type " + std::to_string(body[0]);
    return false;
  }
  const auto type = static_cast<MsgType>(body[0]);
  const uint8_t* p = body + 1;
  const size_t n = size - 1;
  auto expect = [&](size_t want) {
    if (n == want) return true;
    *error = "message type " + std::to_string(body[0]) + ": " + std::to_string(n) +
             " payload bytes, expected " + std::to_string(want);
    return false;
  };
  *out = Message{};
  out->type = type;
  switch (type) {
    case MsgType::kHello:
      if (!expect(6)) return false;
      out->magic = GetU32(p);
      out->version = GetU16(p + 4);
      return true;
    case MsgType::kHelloReply:
      if (!expect(3)) return false;
      out->version = GetU16(p);
      out->status = p[2];
      return true;
    case MsgType::kConfigure:
      if (!expect(20)) return false;
      out->rate = GetU32(p);
      out->center_hz = GetU64(p + 4);
      out->gain = static_cast<int32_t>(GetU32(p + 12));
      out->direct = static_cast<int32_t>(GetU32(p + 16));
      return true;
    case MsgType::kFill:
      if (!expect(16)) return false;
      out->sample = GetU64(p);
      out->format = static_cast<int32_t>(GetU32(p + 8));
      out->samples = GetU32(p + 12);
      if (KavuSimPairBytes(out->format) == 0) {
        *error = "fill in unknown sample format " + std::to_string(out->format);
        return false;
      }
      if (out->samples < 1 || out->samples > MaxFillSamples(out->format)) {
        *error = "fill of " + std::to_string(out->samples) + " pairs in format " + std::to_string(out->format) +
                 " (1 to " + std::to_string(MaxFillSamples(out->format)) + ")";
        return false;
      }
      return true;
    case MsgType::kDueReply:
      if (!expect(8)) return false;
      out->sample = GetU64(p);
      return true;
    case MsgType::kFillReply:
      if (n < 8 || n > 8 + size_t{kMaxFillBytes}) return expect(8);
      out->sample = GetU64(p);
      out->data.assign(p + 8, p + n);
      return true;
    case MsgType::kFaultReply:
      if (!expect(4)) return false;
      out->fault = static_cast<int32_t>(GetU32(p));
      return true;
    case MsgType::kLog:
      if (n > kMaxLogBytes) return expect(kMaxLogBytes);
      out->text.assign(reinterpret_cast<const char*>(p), n);
      return true;
    default:  // due, fault, and the empty replies
      return expect(0);
  }
}

void FrameReader::Append(const uint8_t* bytes, size_t n) {
  if (pos_ > 0 && pos_ == buf_.size()) {
    buf_.clear();
    pos_ = 0;
  }
  buf_.insert(buf_.end(), bytes, bytes + n);
}

FrameReader::Status FrameReader::Next(Message* out, std::string* error) {
  if (!error_.empty()) {
    *error = error_;
    return Status::kError;
  }
  const size_t avail = buf_.size() - pos_;
  if (avail < 4) return Status::kNeedMore;
  const uint32_t body = GetU32(buf_.data() + pos_);
  if (body == 0 || body > kMaxBody) {
    error_ = "message of " + std::to_string(body) + " bytes (1 to " + std::to_string(kMaxBody) + " allowed)";
    *error = error_;
    return Status::kError;
  }
  if (avail - 4 < body) return Status::kNeedMore;
  if (!DecodeBody(buf_.data() + pos_ + 4, body, out, &error_)) {
    *error = error_;
    return Status::kError;
  }
  pos_ += 4 + size_t{body};
  if (pos_ > (1u << 16) && pos_ * 2 > buf_.size()) {
    buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(pos_));
    pos_ = 0;
  }
  return Status::kFrame;
}

bool SendFrame(int fd, const std::vector<uint8_t>& frame) {
  size_t done = 0;
  while (done < frame.size()) {
    const ssize_t n = ::send(fd, frame.data() + done, frame.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace kavu::sim::wire

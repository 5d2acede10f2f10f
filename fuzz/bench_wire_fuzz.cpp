// Feeds an arbitrary byte stream, in pieces of arbitrary size, to the bench's frame reader. Every
// frame it accepts encodes back (with the encoder of its type) to a frame that decodes to the
// same message; once the stream is called malformed it stays so; the reader never holds more
// than it was given.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sim/bench_wire.h"

namespace {

using namespace kavu::sim::wire;

void Check(bool ok) {
  if (!ok) std::abort();
}

std::vector<uint8_t> Reencode(const Message& m) {
  switch (m.type) {
    case MsgType::kHello: return EncodeHello(m.version);
    case MsgType::kConfigure: return EncodeConfigure(m.rate, m.center_hz, m.gain, m.direct);
    case MsgType::kDue: return EncodeDue();
    case MsgType::kFill: return EncodeFill(m.sample, m.format, m.samples);
    case MsgType::kFault: return EncodeFault();
    case MsgType::kLog: return EncodeLog(m.text);
    case MsgType::kHelloReply: return EncodeHelloReply(m.status, m.version);
    case MsgType::kConfigureReply: return EncodeEmptyReply(MsgType::kConfigure);
    case MsgType::kDueReply: return EncodeDueReply(m.sample);
    case MsgType::kFillReply: {
      std::vector<uint8_t> frame = EncodeFillReply(m.sample, static_cast<uint32_t>(m.data.size()));
      if (!m.data.empty()) std::memcpy(FillReplyData(frame), m.data.data(), m.data.size());
      return frame;
    }
    case MsgType::kFaultReply: return EncodeFaultReply(m.fault);
    case MsgType::kLogReply: return EncodeEmptyReply(MsgType::kLog);
  }
  std::abort();
}

bool Same(const Message& a, const Message& b) {
  // The hello's magic is not the encoder's to choose: it always writes kMagic.
  const bool magic_ok = a.type != MsgType::kHello || a.magic != kMagic || b.magic == kMagic;
  return a.type == b.type && magic_ok && a.version == b.version && a.status == b.status &&
         a.rate == b.rate && a.center_hz == b.center_hz && a.gain == b.gain && a.direct == b.direct &&
         a.sample == b.sample && a.format == b.format && a.samples == b.samples && a.fault == b.fault &&
         a.text == b.text && a.data == b.data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FrameReader reader;
  size_t given = 0;
  size_t pos = 0;
  bool failed = false;
  // The first byte of each piece says how long the piece is (1..64 bytes after it).
  while (pos < size) {
    const size_t piece = std::min<size_t>(size - pos - 1, (data[pos] & 63u) + 1u);
    reader.Append(data + pos + 1, piece);
    given += piece;
    pos += piece + 1;
    for (;;) {
      Message m;
      std::string error;
      const FrameReader::Status s = reader.Next(&m, &error);
      Check(reader.Buffered() <= given);
      if (s == FrameReader::Status::kNeedMore) {
        Check(!failed);
        break;
      }
      if (s == FrameReader::Status::kError) {
        Check(!error.empty());
        failed = true;
        break;
      }
      Check(!failed);
      const std::vector<uint8_t> frame = Reencode(m);
      Check(frame.size() >= 5);
      uint32_t body_len = 0;
      std::memcpy(&body_len, frame.data(), 4);
      Check(body_len == frame.size() - 4 && body_len <= kMaxBody);
      Message back;
      Check(DecodeBody(frame.data() + 4, body_len, &back, &error));
      Check(Same(m, back));
    }
  }
  return 0;
}

#pragma once
// The virtual bench's socket protocol: how a simulated receiver library in a program reaches a
// bench running in another process (`kavusdraa-cli sim-bench`). It carries exactly the calls of
// the in-process feeder interface (sim/sim_feeder_abi.h), so the bench process stays the owner
// of the one sample clock and the library paces its stream by the bench's due() as it does in
// one process.
//
// Byte stream over a Unix-domain stream socket, every number little-endian:
//   frame   = u32 body_length, body            (1 <= body_length <= kMaxBody)
//   body    = u8 type, payload                 (payload length fixed per type, except below)
// Requests (library -> bench), each answered by exactly one reply of type | 0x80, in order:
//   0x01 hello      u32 magic "KVSB" (0x4253564B), u16 version           -> u16 version, u8 status
//   0x02 configure  u32 rate S/s, u64 centre Hz, i32 gain 0.1 dB, i32 direct -> (empty)
//   0x03 due        (empty)                                              -> u64 samples due
//   0x04 fill       u64 first sample, i32 format, u32 pairs              -> u64 first, bytes
//                   (format a KavuSimFormat; pairs × its pair size from 2 to kMaxFillBytes bytes)
//   0x05 fault      (empty)                                              -> i32 KavuSimFault
//   0x06 log        text, 0..kMaxLogBytes bytes                          -> (empty)
// Hello status: 0 accepted, 1 busy (the bench serves another program), 2 version not served.
// The bench refuses a second program with an unrequested hello reply "busy", then closes.
// Anything else (unknown type, wrong payload length, a body over kMaxBody) is malformed: the
// reader reports it and the connection is closed.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim_feeder_abi.h"

namespace kavu::sim::wire {

inline constexpr uint32_t kMagic = 0x4253564Bu;  // "KVSB" in stream order
inline constexpr uint16_t kVersion = 2;
inline constexpr uint32_t kMaxFillBytes = 1u << 20;
inline constexpr uint32_t kMaxLogBytes = 512;
inline constexpr uint32_t kMaxBody = 1 + 8 + kMaxFillBytes;
inline constexpr uint8_t kReplyBit = 0x80;

enum class MsgType : uint8_t {
  kHello = 0x01,
  kConfigure = 0x02,
  kDue = 0x03,
  kFill = 0x04,
  kFault = 0x05,
  kLog = 0x06,
  kHelloReply = 0x81,
  kConfigureReply = 0x82,
  kDueReply = 0x83,
  kFillReply = 0x84,
  kFaultReply = 0x85,
  kLogReply = 0x86,
};

inline constexpr uint8_t kHelloAccepted = 0;
inline constexpr uint8_t kHelloBusy = 1;
inline constexpr uint8_t kHelloUnsupported = 2;

// One decoded message; only the fields of its type are meaningful.
struct Message {
  MsgType type = MsgType::kHello;
  uint32_t magic = 0;           // hello
  uint16_t version = 0;         // hello, hello reply
  uint8_t status = 0;           // hello reply
  uint32_t rate = 0;            // configure, S/s
  uint64_t center_hz = 0;       // configure
  int32_t gain = 0;             // configure, tenths of dB
  int32_t direct = 0;           // configure
  uint64_t sample = 0;          // due reply: samples due; fill, fill reply: first sample
  int32_t format = 0;           // fill: KavuSimFormat
  uint32_t samples = 0;         // fill: I/Q pairs
  int32_t fault = 0;            // fault reply
  std::string text;             // log
  std::vector<uint8_t> data;    // fill reply: the bytes
};

// Encoders: each returns one whole frame.
std::vector<uint8_t> EncodeHello(uint16_t version = kVersion);
std::vector<uint8_t> EncodeConfigure(uint32_t rate, uint64_t center_hz, int32_t gain, int32_t direct);
std::vector<uint8_t> EncodeDue();
std::vector<uint8_t> EncodeFill(uint64_t first, int32_t format, uint32_t samples);
// The most pairs one fill may ask for in `format` (0 for an unknown format).
uint32_t MaxFillSamples(int32_t format);
std::vector<uint8_t> EncodeFault();
// Text longer than kMaxLogBytes is cut there.
std::vector<uint8_t> EncodeLog(const std::string& text);
std::vector<uint8_t> EncodeHelloReply(uint8_t status, uint16_t version = kVersion);
std::vector<uint8_t> EncodeEmptyReply(MsgType request);
std::vector<uint8_t> EncodeDueReply(uint64_t due);
// A fill reply for `length` bytes (at most kMaxFillBytes), the bytes zero: the caller writes the
// samples at FillReplyData(frame).
std::vector<uint8_t> EncodeFillReply(uint64_t first, uint32_t length);
uint8_t* FillReplyData(std::vector<uint8_t>& frame);
std::vector<uint8_t> EncodeFaultReply(int32_t fault);

// Decodes one body (type and payload, without the length prefix). False with the reason in
// *error when the type is unknown or the payload's length does not fit the type.
bool DecodeBody(const uint8_t* body, size_t size, Message* out, std::string* error);

// Writes a whole frame to the socket `fd` (blocking, up to the socket's send time-out; going on
// after interrupted and partial sends; no SIGPIPE). False when the peer is gone or the socket
// failed.
bool SendFrame(int fd, const std::vector<uint8_t>& frame);

// Cuts a byte stream into frames. Feed it what the socket gave; take frames out with Next().
class FrameReader {
 public:
  enum class Status { kNeedMore, kFrame, kError };
  void Append(const uint8_t* bytes, size_t n);
  // kFrame: *out holds the next message. kError: the stream is malformed (the reason in *error)
  // and stays so; the connection is to be closed.
  Status Next(Message* out, std::string* error);
  size_t Buffered() const { return buf_.size() - pos_; }

 private:
  std::vector<uint8_t> buf_;
  size_t pos_ = 0;
  std::string error_;
};

}  // namespace kavu::sim::wire

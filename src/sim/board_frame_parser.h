#pragma once
// The emulated firmware's reader of the serial byte stream. It knows the frames from the board's
// side only (firmware_assumptions.h) and shares no code with the program's command layer. Bytes
// may arrive split or merged in any way; each byte is fed on its own.
#include <cstdint>
#include <optional>
#include <vector>

namespace kavu::sim {

struct BoardFrame {
  enum class Kind {
    kCommand,  // CD code params...: `params` holds the parameter bytes
    kBatch,    // CD 5A/5C len data crc: `params` holds the data, `check_ok` the check byte's verdict
    kUnknown,  // CD followed by a code the firmware does not know
    kStray,    // bytes outside any frame (not starting with CD), or a frame cut off by a gap
  };
  Kind kind = Kind::kStray;
  uint8_t code = 0;
  std::vector<uint8_t> params;
  uint16_t len = 0;       // batches: the announced length
  bool check_ok = false;  // batches: the check byte matched
  std::vector<uint8_t> raw;  // every byte of the frame as received
};

// CRC-8 step over one byte, polynomial 0xD5, most significant bit first (bitwise, as the
// firmware would compute it).
uint8_t FirmwareCrc8Step(uint8_t reg, uint8_t byte);
// The check byte of a batch frame for `data` with announced length `len`.
uint8_t FirmwareCheckByte(uint16_t len, const uint8_t* data, size_t count);

class BoardFrameParser {
 public:
  // Feeds one byte that arrived at `now_ms`; returns a frame when this byte completed one, or
  // when it began a frame and so ended a run of stray bytes (the byte is then kept for the new
  // frame).
  std::optional<BoardFrame> Feed(uint8_t byte, int64_t now_ms);
  // Ends a frame or a run of stray bytes whose next byte has not come for kFrameGapMs; returns
  // it as kStray. Call when no byte is waiting.
  std::optional<BoardFrame> CheckGap(int64_t now_ms);
  // When CheckGap should next be called (ms), or -1 when nothing is pending.
  int64_t GapDeadline() const;
  // A frame has begun and is not complete.
  bool InFrame() const { return in_frame_; }

 private:
  // Parameter count of a single command, or -1 for unknown codes (batches are handled apart).
  static int ParamCount(uint8_t code);
  BoardFrame Take();

  BoardFrame current_;
  bool in_frame_ = false;
  int64_t last_byte_ms_ = 0;
};

}  // namespace kavu::sim

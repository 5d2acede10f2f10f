#pragma once
// The emulated boot loader ("monitor") of the control board: its command parser and its memory
// (64 KiB of program memory and the special areas). No I/O and no clock of its own: the
// EmulatedBoard feeds it bytes while the board is in the monitor, and times and sends its
// replies. Behaviour: sim/firmware_assumptions.h, M1..M8. Thread-safe where marked.
#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace kavu::sim {

struct MonitorFrame {
  enum class Kind {
    kRead,     // CD E6 a0 a1 a2
    kWrite,    // CD E7 a0 a1 a2 + 32 bytes
    kStart,    // CD EB
    kDropped,  // CD + an unknown code (the wake-up's 00), stray bytes, or a frame cut off
  };
  Kind kind = Kind::kDropped;
  uint8_t code = 0;
  uint32_t address = 0;
  std::vector<uint8_t> data;  // kWrite: the 32 bytes
  std::vector<uint8_t> raw;   // every byte as received
  int64_t code_gap_ns = 0;    // time between the last 0xCD and the code byte
};

struct MonitorReply {
  std::vector<uint8_t> bytes;
  bool flashed = false;  // a block was written (the reply waits for the flash)
};

class BootMonitor {
 public:
  static constexpr size_t kProgramBytes = 0x10000;

  BootMonitor();  // the factory state (M7)

  // Feeds one byte that arrived at `now_ns` (ns, any steady origin); returns a frame when this
  // byte completed one, or when a gap cut a partial frame off (returned as kDropped; the byte
  // starts afresh, and a frame it completed at once waits for TakeHeld).
  std::optional<MonitorFrame> Feed(uint8_t byte, int64_t now_ns);
  // A frame completed by the byte whose Feed returned a cut-off frame.
  std::optional<MonitorFrame> TakeHeld();
  // Forgets a partial frame (the board was switched on again).
  void ResetParser();

  // Carries out a read or write; `protect` (a fault) answers a write with 0xEE and leaves the
  // block alone.
  MonitorReply Execute(const MonitorFrame& frame, bool protect);

  // Thread-safe: the memory as the boot loader would read it, and a way for tests and the
  // bench to load a chip's contents (program memory only).
  uint8_t ReadByte(uint32_t address) const;
  std::vector<uint8_t> Program() const;
  void LoadProgram(const std::vector<uint8_t>& bytes, uint32_t from = 0);

 private:
  struct Area {
    uint32_t address;
    std::vector<uint8_t> bytes;
  };
  enum class State { kIdle, kCode, kParams };
  uint8_t ReadLocked(uint32_t address) const;
  std::optional<MonitorFrame> Step(uint8_t byte, int64_t now_ns);
  MonitorFrame Take();

  mutable std::mutex mutex_;  // guards program_ and areas_
  std::array<uint8_t, kProgramBytes> program_{};
  std::vector<Area> areas_;

  // Parser (board thread only).
  MonitorFrame current_;
  State state_ = State::kIdle;
  std::optional<MonitorFrame> held_;
  size_t wanted_ = 0;  // parameter bytes still to come
  int64_t last_byte_ns_ = 0;
  int64_t prefix_ns_ = 0;
};

}  // namespace kavu::sim

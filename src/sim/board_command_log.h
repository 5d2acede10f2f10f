#pragma once
// Every frame the emulated board received, with its reply and what happened, in order. Tests
// assert on the order of commands and write the log out when they fail. Thread-safe.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace kavu::sim {

struct BoardLogEntry {
  int64_t time_ms = 0;           // board-clock time the frame was complete, ms since start
  int code = -1;                 // command code; -1 for stray bytes
  std::vector<uint8_t> request;  // the frame as received
  std::vector<uint8_t> reply;    // what was (or will be) sent back, after faults
  std::string note;              // "bad check byte", "fault no-reply", "run 313 ticks", ...
};

class BoardCommandLog {
 public:
  void Add(BoardLogEntry entry);
  std::vector<BoardLogEntry> Entries() const;
  // Command codes in order (stray bytes left out).
  std::vector<int> Codes() const;
  size_t Size() const;
  void Clear();
  // One line per entry: time, request bytes (long batches shortened), reply bytes, note.
  std::string Text() const;
  // Writes Text() to `path`; false when it cannot.
  bool WriteTo(const std::string& path) const;

  static std::string Hex(const std::vector<uint8_t>& bytes, size_t max_shown = 24);

 private:
  mutable std::mutex mutex_;
  std::vector<BoardLogEntry> entries_;
};

}  // namespace kavu::sim

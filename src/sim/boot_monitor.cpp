#include "sim/boot_monitor.h"

#include <algorithm>

#include "sim/firmware_assumptions.h"

namespace kavu::sim {

BootMonitor::BootMonitor() {
  program_.fill(0xFF);
  // A recognisable factory monitor: not code, only bytes that are not erased.
  for (uint32_t a = 0; a < kMonitorOwnEnd; ++a) program_[a] = static_cast<uint8_t>(0x5A ^ (a * 13) ^ (a >> 7));
  std::vector<uint8_t> config{0xEC, 0xFF, 0x3F, 0xFF, 0xBF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  std::vector<uint8_t> info(64);
  for (size_t i = 0; i < info.size(); ++i) info[i] = static_cast<uint8_t>(0x40 + i);
  areas_ = {
      {0x200000, std::vector<uint8_t>(16, 0xFF)},
      {0x300000, config},
      {0x3F0000, info},
      {0x3FFF00, {0x20, 0x00, 0x40, 0x00, 0x00, 0x01, 0x40, 0x00, 0x01, 0x00}},
      {0x3FFFFC, {0x10, 0x00}},
      {0x3FFFFE, {0x4B, 0x56}},
  };
}

void BootMonitor::ResetParser() {
  current_ = MonitorFrame{};
  state_ = State::kIdle;
  wanted_ = 0;
}

std::optional<MonitorFrame> BootMonitor::Feed(uint8_t byte, int64_t now_ns) {
  if (state_ != State::kIdle && now_ns - last_byte_ns_ >= int64_t{kFrameGapMs} * 1'000'000) {
    // The frame was cut off; this byte starts afresh and waits for TakeHeld.
    MonitorFrame cut = std::move(current_);
    cut.kind = MonitorFrame::Kind::kDropped;
    ResetParser();
    last_byte_ns_ = now_ns;
    if (auto next = Step(byte, now_ns)) held_ = std::move(next);
    return cut;
  }
  last_byte_ns_ = now_ns;
  return Step(byte, now_ns);
}

std::optional<MonitorFrame> BootMonitor::TakeHeld() {
  std::optional<MonitorFrame> f = std::move(held_);
  held_.reset();
  return f;
}

std::optional<MonitorFrame> BootMonitor::Step(uint8_t byte, int64_t now_ns) {
  MonitorFrame& f = current_;
  f.raw.push_back(byte);
  switch (state_) {
    case State::kIdle:
      if (byte != kFramePrefix) return Take();  // a stray byte, dropped
      state_ = State::kCode;
      prefix_ns_ = now_ns;
      return std::nullopt;
    case State::kCode:
      if (byte == kFramePrefix) {  // CD CD: the prefix again (capture bytes)
        f.raw.pop_back();
        prefix_ns_ = now_ns;
        return std::nullopt;
      }
      f.code = byte;
      f.code_gap_ns = now_ns - prefix_ns_;
      if (byte == kMonitorRead || byte == kMonitorWrite) {
        f.kind = byte == kMonitorRead ? MonitorFrame::Kind::kRead : MonitorFrame::Kind::kWrite;
        wanted_ = byte == kMonitorRead ? 3 : 3 + kMonitorBlock;
        state_ = State::kParams;
        return std::nullopt;
      }
      if (byte == kMonitorStart) f.kind = MonitorFrame::Kind::kStart;
      return Take();
    case State::kParams:
      f.data.push_back(byte);
      if (--wanted_ > 0) return std::nullopt;
      f.address = static_cast<uint32_t>(f.data[0] | f.data[1] << 8 | f.data[2] << 16);
      f.data.erase(f.data.begin(), f.data.begin() + 3);
      return Take();
  }
  return std::nullopt;
}

MonitorFrame BootMonitor::Take() {
  MonitorFrame f = std::move(current_);
  ResetParser();
  return f;
}

uint8_t BootMonitor::ReadLocked(uint32_t address) const {
  if (address < kProgramBytes) return program_[address];
  for (const Area& a : areas_) {
    if (address >= a.address && address - a.address < a.bytes.size()) return a.bytes[address - a.address];
  }
  return 0xFF;
}

MonitorReply BootMonitor::Execute(const MonitorFrame& frame, bool protect) {
  MonitorReply reply;
  std::lock_guard lock(mutex_);
  if (frame.kind == MonitorFrame::Kind::kRead) {
    for (uint32_t i = 0; i < uint32_t{kMonitorBlock}; ++i) reply.bytes.push_back(ReadLocked(frame.address + i));
  } else if (frame.kind == MonitorFrame::Kind::kWrite) {
    if (protect || frame.address < kMonitorOwnEnd || frame.address >= kProgramBytes) {
      reply.bytes = {kMonitorProtected};
      return reply;
    }
    for (uint32_t i = 0; i < uint32_t{kMonitorBlock} && frame.address + i < kProgramBytes; ++i) {
      program_[frame.address + i] = frame.data[i];
    }
    reply.bytes = {kMonitorWritten};
    reply.flashed = true;
  }
  return reply;
}

uint8_t BootMonitor::ReadByte(uint32_t address) const {
  std::lock_guard lock(mutex_);
  return ReadLocked(address);
}

std::vector<uint8_t> BootMonitor::Program() const {
  std::lock_guard lock(mutex_);
  return {program_.begin(), program_.end()};
}

void BootMonitor::LoadProgram(const std::vector<uint8_t>& bytes, uint32_t from) {
  std::lock_guard lock(mutex_);
  for (size_t i = 0; i < bytes.size() && from + i < kProgramBytes; ++i) program_[from + i] = bytes[i];
}

}  // namespace kavu::sim

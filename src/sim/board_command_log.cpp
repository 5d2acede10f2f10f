#include "sim/board_command_log.h"

#include <cstdio>

namespace kavu::sim {

void BoardCommandLog::Add(BoardLogEntry entry) {
  std::lock_guard lock(mutex_);
  entries_.push_back(std::move(entry));
}

std::vector<BoardLogEntry> BoardCommandLog::Entries() const {
  std::lock_guard lock(mutex_);
  return entries_;
}

std::vector<int> BoardCommandLog::Codes() const {
  std::lock_guard lock(mutex_);
  std::vector<int> codes;
  for (const BoardLogEntry& e : entries_) {
    if (e.code >= 0) codes.push_back(e.code);
  }
  return codes;
}

size_t BoardCommandLog::Size() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

void BoardCommandLog::Clear() {
  std::lock_guard lock(mutex_);
  entries_.clear();
}

std::string BoardCommandLog::Hex(const std::vector<uint8_t>& bytes, size_t max_shown) {
  std::string out;
  char piece[4];
  const bool cut = bytes.size() > max_shown;
  const size_t head = cut ? max_shown - 4 : bytes.size();
  for (size_t i = 0; i < head; ++i) {
    std::snprintf(piece, sizeof piece, "%02X", bytes[i]);
    if (!out.empty()) out += ' ';
    out += piece;
  }
  if (cut) {
    out += " ... (" + std::to_string(bytes.size()) + " bytes) ...";
    for (size_t i = bytes.size() - 3; i < bytes.size(); ++i) {
      std::snprintf(piece, sizeof piece, "%02X", bytes[i]);
      out += ' ';
      out += piece;
    }
  }
  return out;
}

std::string BoardCommandLog::Text() const {
  std::lock_guard lock(mutex_);
  std::string out;
  char time[32];
  for (const BoardLogEntry& e : entries_) {
    std::snprintf(time, sizeof time, "%10lld ms  ", static_cast<long long>(e.time_ms));
    out += time;
    out += e.code < 0 ? "stray " : "";
    out += Hex(e.request);
    out += "  ->  ";
    out += e.reply.empty() ? "(none)" : Hex(e.reply);
    if (!e.note.empty()) out += "  [" + e.note + "]";
    out += '\n';
  }
  return out;
}

bool BoardCommandLog::WriteTo(const std::string& path) const {
  const std::string text = Text();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace kavu::sim

#pragma once
// What the web application reads from and asks of the analyzer. The reading operations are
// called on the web server's loop thread while scans run and must not block; the Post*
// operations hand the action to the window thread and return at once.
#include <cstdint>
#include <string>

namespace kavu {

class IWebAnalyzer {
 public:
  virtual ~IWebAnalyzer() = default;
  // Set 0 (current) or 1 (previous): its generation and its point count.
  virtual int32_t Generation(int set) const = 0;
  virtual int32_t Count(int set) const = 0;
  // Frequency in Hz, R and X in ohms of point `index` (0 <= index < Count(set)).
  virtual void Point(int set, int32_t index, float* freq_hz, float* r, float* x) const = 0;
  // Error message boxes shown so far.
  virtual int32_t ErrorCount() const = 0;
  // The cyclic-scan flag and the scan range text (UTF-8) as the window thread last set them.
  virtual bool Cyclic() const = 0;
  virtual std::string RangeText() const = 0;
  // "Сканировать!", "Продолжить" (pause / resume), a new range text and cyclic flag.
  virtual void PostStartScan() = 0;
  virtual void PostPauseOrContinue() = 0;
  virtual void PostRange(bool cyclic, const std::string& text) = 0;
};

}  // namespace kavu

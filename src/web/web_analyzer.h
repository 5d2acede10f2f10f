#pragma once
// What the web application reads from and asks of the analyzer. The reading operations are
// called on the web server's loop thread while scans run and must not block; the Post*
// operations hand the action to the window thread and return at once.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kavu {

struct WebSetState {
  int32_t generation = 0;
  int32_t count = 0;
};

struct WebPoint {
  float freq_hz = 0;  // Hz
  float r = 0;        // ohm
  float x = 0;        // ohm
};

class IWebAnalyzer {
 public:
  virtual ~IWebAnalyzer() = default;
  // Set 0 (current) or 1 (previous): its generation and its point count.
  virtual int32_t Generation(int set) const = 0;
  virtual int32_t Count(int set) const = 0;
  // Frequency in Hz, R and X in ohms of point `index` (0 <= index < Count(set)).
  virtual void Point(int set, int32_t index, float* freq_hz, float* r, float* x) const = 0;
  // Generation and count of set 0 or 1 as they were together (the set may be replaced at any
  // moment on the window thread).
  virtual WebSetState State(int set) const { return {Generation(set), Count(set)}; }
  // Both sets' states as they were together: never set 1 already holding the new scan's
  // predecessor while set 0 still shows it too.
  virtual std::pair<WebSetState, WebSetState> States() const { return {State(0), State(1)}; }
  // Up to `max` points of set 0 or 1 from `first` on (none for a negative `first`), replacing the
  // content of `out`. All come from one version of the set, never from a set half-copied or
  // emptied meanwhile; the default, for data that never changes under the reader, reads them
  // one by one below Count(set).
  virtual void Points(int set, int32_t first, int32_t max, std::vector<WebPoint>& out) const {
    out.clear();
    const int32_t count = Count(set);
    for (int64_t i = first; first >= 0 && i < count && static_cast<int64_t>(out.size()) < max; ++i) {
      WebPoint p;
      Point(set, static_cast<int32_t>(i), &p.freq_hz, &p.r, &p.x);
      out.push_back(p);
    }
  }
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

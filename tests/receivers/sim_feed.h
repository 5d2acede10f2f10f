#pragma once
// A feeder for a simulated receiver library in tests: attaches to the library in the build's
// simulated-library folder (the RTL-SDR one unless told otherwise) and delivers a counting
// pattern in 8-bit samples (sample k carries k in its I and Q bytes: I = k mod 256,
// Q = (k / 256) mod 256, read as unsigned or signed bytes by the library's format) on a clock
// that may run faster than real time. In the 16-bit format sample k is I = 4 (k mod 8192),
// Q = −I on input A and Q = +I on input B (values that survive a 14-bit converter).
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dyn_library.h"
#include "sim/sim_feeder_abi.h"

namespace kavu::test {

class SimFeed {
 public:
  // `speed`: how many times faster than real time the clock runs.
  // `library`: the simulated library's path; `attach`: its attach function's name.
  explicit SimFeed(double speed = 1.0, const std::string& library = LibraryPath(),
                   const char* attach = "kavu_simrtl_attach");
  ~SimFeed();  // detaches

  static std::string LibraryFolder();
  static std::string LibraryPath();
  static std::string HackRfPath();
  static std::string SdrPlayPath();
  // A function of the attached library (its scripting calls), or null.
  void* Symbol(const char* name) const { return lib_.Symbol(name); }

  bool Attached() const { return attached_; }
  // Ends the stream `samples` after its first sample (the clock then stands still, as for a
  // dongle whose data is late): a test of lossless streaming gets a stream no longer than its
  // ring, so a reader that a slow host (an emulator, a sanitizer build) holds up is never lapped.
  // 0: no limit.
  void SetLimit(uint64_t samples) { limit_ = samples; }
  void SetFault(int32_t fault) { fault_ = fault; }
  // Called with every line of the library's log, on the library's calling thread.
  void OnLog(std::function<void(const std::string&)> fn);
  std::vector<std::string> LogLines() const;
  uint32_t Rate() const { return rate_; }
  uint64_t Center() const { return center_; }
  int32_t Direct() const { return direct_; }
  int32_t Gain() const { return gain_; }  // tenths of dB, as last configured
  int Configures() const { return configures_; }

 private:
  static void Configure(void* ctx, uint32_t rate, uint64_t center, int32_t gain, int32_t direct);
  static uint64_t Due(void* ctx);
  static void Fill(void* ctx, uint64_t first, int32_t format, void* buf, uint32_t samples);
  static void FillDual(void* ctx, uint64_t first, int32_t format, void* a, void* b, uint32_t samples);
  static int32_t Fault(void* ctx);
  static void LogLine(void* ctx, const char* line);

  DynLibrary lib_;
  kavu_sim_attach_fn attach_ = nullptr;
  bool attached_ = false;
  double speed_;
  int64_t origin_ns_;
  uint64_t origin_samples_ = 0;
  std::atomic<uint64_t> limit_{0};
  std::atomic<int64_t> first_sample_{-1};  // the first sample the stream asked for (-1: none yet)
  std::atomic<uint32_t> rate_{2'048'000};
  std::atomic<uint64_t> center_{0};
  std::atomic<int32_t> direct_{0};
  std::atomic<int32_t> gain_{0};
  std::atomic<int> configures_{0};
  std::atomic<int32_t> fault_{kKavuSimOk};
  mutable std::mutex mutex_;
  std::vector<std::string> log_;
  std::function<void(const std::string&)> on_log_;
};

}  // namespace kavu::test

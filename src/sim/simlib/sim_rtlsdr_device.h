#pragma once
// The one device of the simulated RTL-SDR library ("Virtual bench"): its settings as a
// dongle keeps them, and the streaming loop that delivers the feeder's samples in real time on
// the feeder's clock. Internal to the simulated library.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "receivers/rtlsdr_api.h"
#include "sim/sim_feeder_abi.h"

namespace kavu::simrtl {

class Device {
 public:
  static Device& Instance();

  // Feeder.
  int Attach(const KavuSimSource* source);
  int32_t Fault();
  void LogLine(const std::string& line);

  // Device functions (the library's meanings and results).
  int Open();
  int Close();
  bool IsOpen() const { return open_; }
  int SetSampleRate(uint32_t rate);
  uint32_t SampleRate() const { return rate_; }
  int SetCenterFreq(uint32_t hz);
  uint32_t CenterFreq() const { return center_; }
  int SetGain(int gain);
  int Gain() const { return gain_; }
  int SetDirect(int mode);
  int Direct() const { return direct_; }
  int ReadAsync(rtlsdr_read_async_cb_t cb, void* ctx, uint32_t buf_len);
  int CancelAsync();
  int ReadSync(void* buf, int len, int* n_read);

 private:
  Device();
  void Configure();
  uint64_t Due();
  void Fill(uint64_t first, unsigned char* buf, uint32_t len);

  mutable std::mutex source_mutex_;  // guards source_ and every call into it
  KavuSimSource source_{};
  bool attached_ = false;
  // Changes with every attach and detach: a running stream restarts its count on the new clock.
  std::atomic<uint32_t> generation_{0};

  // Self-feeding when no source is attached.
  uint64_t own_origin_samples_ = 0;
  int64_t own_origin_ns_ = 0;
  uint64_t noise_state_ = 0x9E3779B97F4A7C15ull;

  // Set by the program's thread while the reading thread streams (and reads the rate).
  std::atomic<bool> open_{false};
  std::atomic<uint32_t> rate_{2'048'000};
  std::atomic<uint32_t> center_{100'000'000};
  std::atomic<int> gain_{0};
  std::atomic<int> direct_{0};

  std::mutex run_mutex_;
  std::condition_variable run_cv_;
  bool running_ = false;
  bool cancel_ = false;
};

}  // namespace kavu::simrtl

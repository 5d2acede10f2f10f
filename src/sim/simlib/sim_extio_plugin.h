#pragma once
// The one receiver of the simulated ExtIO plug-in (ExtIO_KavuSim.so): its scriptable behaviour
// and the streaming thread that delivers blocks through the registered callback in real time.
// Internal to the plug-in; the exports (sim_extio_exports.cpp) call it.
//
// Script (kavu_simextio_set, by name; values are numbers):
//   type          sample type InitHW reports (3, 7, 9 stream; 4, 5, 6, 10, 11 and others are
//                 reported as they are, for the program to refuse)           default 3
//   offset        DC offset added to int16 and float samples (the callback's IQoffs)   7
//   init_ok       InitHW answers this (0 or 1)                                         1
//   open_ok       OpenHW answers this                                                  1
//   start_result  StartHW answers this instead of starting, when not −1000000          −1000000
//   block         pairs per block                                                      16384
//   rate          sample rate in S/s (GetHWSR); a change while a callback is
//                 registered sends the status notice 100 on the calling thread         2400000
//   lo_result     what SetHWLO / SetHWLO64 answer                                      0
//   manual        1: StartHW starts no thread; blocks come only from kavu_simextio_block  0
//   long_name     1: InitHW fills the whole name buffer without a terminating zero     0
// Without a feeder the stream is a few LSB of noise; with one (kavu_simextio_attach, the feeder
// interface of sim/sim_feeder_abi.h) it is the feeder's signal in the plug-in's sample format
// (int16, float or unsigned 8-bit; signed 8-bit for type 10, silence for the others), with the
// offset added; the feeder's clock paces the blocks, its faults act: unplugged fails InitHW and
// ends the stream, stall delivers nothing more, open-fails fails OpenHW.
// A bench in another process (`kavusdraa-cli sim-bench`): with no feeder attached in this process,
// InitHW connects to the socket named by $KAVU_SIM_BENCH and takes the sample type from
// $KAVU_SIMEXTIO_TYPE when that is set.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "receivers/extio_plugin_api.h"
#include "sim/sim_feeder_abi.h"

namespace kavu::simrtl {
class BenchClient;
}

namespace kavu::simextio {

struct Script {
  int type = kExtIOTypeInt16;
  double offset = 7;
  bool init_ok = true;
  bool open_ok = true;
  int start_result = kNoStartResult;
  int block = 16384;
  int32_t rate = 2'400'000;
  int lo_result = 0;
  bool manual = false;
  bool long_name = false;
  static constexpr int kNoStartResult = -1000000;
};

class Plugin {
 public:
  static Plugin& Instance();

  // Feeder: 0, or −1 for a source of another interface version. Null detaches.
  int Attach(const KavuSimSource* source);

  // Script.
  bool Set(const std::string& name, double value);
  void Reset();
  // One block of `pairs` of the test pattern through the callback, on the calling thread:
  // pair k is I = k mod 1000, Q = −(k mod 1000) (bytes: 128 ± k mod 100) plus the offset.
  int PushPatternBlock(uint32_t pairs);
  int Notice(int status);
  std::string Calls() const;

  // Entry points.
  bool InitHW(char* name, char* model, int* type);
  bool OpenHW();
  void CloseHW();
  int StartHW(int32_t freq);
  void StopHW();
  void SetCallback(KavuExtIOCallback cb);
  int SetLo(const std::string& how, double hz);
  int32_t GetHWSR();
  void Record(const std::string& call);

 private:
  Plugin();
  ~Plugin();
  // The bench of $KAVU_SIM_BENCH as the feeder, when no bench of this process is attached.
  void EnsureRemoteFeeder();
  void Stream();
  // Samples due by now on the feeder's clock (own clock without one).
  uint64_t Due();
  uint64_t OwnDue() const;
  void Fill(uint64_t first, std::vector<unsigned char>& buf, uint32_t pairs, const Script& s);
  int32_t Fault();
  // Tells the feeder the rate and LO now in force.
  void Configure();

  mutable std::mutex mutex_;  // guards script_ and calls_
  Script script_;
  std::vector<std::string> calls_;
  std::atomic<KavuExtIOCallback> callback_{nullptr};
  std::atomic<double> lo_hz_{0.0};
  std::atomic<int32_t> rate_{2'400'000};

  // Lock order: run_mutex_, then source_mutex_, then mutex_.
  mutable std::mutex source_mutex_;  // guards source_ and every call into it
  KavuSimSource source_{};
  bool attached_ = false;
  bool remote_attached_ = false;  // the feeder is remote_'s
  std::unique_ptr<simrtl::BenchClient> remote_;
  std::atomic<uint32_t> generation_{0};  // changes with every attach: the stream restarts its count

  std::mutex run_mutex_;
  std::condition_variable run_cv_;
  bool cancel_ = false;
  std::thread thread_;
  int64_t origin_ns_ = 0;
  uint64_t origin_samples_ = 0;
  uint64_t noise_ = 0x9E3779B97F4A7C15ull;
};

}  // namespace kavu::simextio

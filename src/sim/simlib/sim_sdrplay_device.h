#pragma once
// The devices of the simulated SDRplay service library (libsdrplay_api.so.3): one of each model
// (RSP1, RSP1A, RSP2, an RSPduo offering single, dual and master mode, RSPdx) plus an RSPduo
// offering only slave mode and one offering only master mode; their parameters as the API
// keeps them; the stream thread that calls stream A and, in dual-tuner mode, stream B on the
// same thread with 16-bit samples quantised to 14 bits on the feeder's clock; the gain model
// that refreshes the current overall gain before Update returns; and the events (gain change,
// overload, device removed). Internal to the simulated library.
//
// Gain model: current gain = base (100, scriptable) + model offset − gRdB − LNA state × step (2 dB on the RSPdx,
// 6 dB otherwise) − 3 dB per GHz; the feeder's gain is that less (100 + model offset − 40), so
// gRdB 40 and LNA state 0 give unity gain at 0 Hz.
//
// Scripting (kavu_simsdrplay_script): "fail:NAME" (the code sdrplay_api_NAME returns, 0
// clears), "gain_base" (the base in dB), "devices" (how many of the seven are listed), "slave_running" (1: Uninit of an
// RSPduo returns 16), "overload" (1 or 2: an overload on that tuner is detected at the next
// block and corrected at the one after), "block" (samples per callback), "reset".
// Queries (kavu_simsdrplay_query): "locked", "opens", "acks", "acks_off_thread" (overload
// acknowledgements not made on the stream thread), "streaming", "selected".
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "receivers/sdrplay_api.h"
#include "sim/sim_feeder_abi.h"

namespace kavu::simsdrplay {

inline constexpr int kDevices = 7;
inline constexpr uint32_t kDefaultBlock = 2016;
inline constexpr uint32_t kMaxBlock = 16384;
inline constexpr float kApiVersion = 3.15f;

// The simulated model table, shared with the bench (rx=NAME) and the tests.
struct SimModel {
  const char* serial;
  unsigned char hw_ver;
  int32_t tuner;
  int32_t modes;
  double duo_rate;
};
inline constexpr SimModel kModels[kDevices] = {
    {"1000RSP1", kSdrPlayRsp1, kSdrPlayTunerA, 0, 0.0},
    {"1001RSP1A", kSdrPlayRsp1A, kSdrPlayTunerA, 0, 0.0},
    {"1002RSP2", kSdrPlayRsp2, kSdrPlayTunerA, 0, 0.0},
    {"1003RSPDUO", kSdrPlayRspDuo, kSdrPlayTunerBoth,
     kSdrPlayDuoSingle | kSdrPlayDuoDual | kSdrPlayDuoMaster, 0.0},
    {"1004RSPDX", kSdrPlayRspDx, kSdrPlayTunerA, 0, 0.0},
    {"1005DUOSLAVE", kSdrPlayRspDuo, kSdrPlayTunerA, kSdrPlayDuoSlave, 6'000'000.0},
    {"1006DUOMASTER", kSdrPlayRspDuo, kSdrPlayTunerBoth, kSdrPlayDuoMaster, 0.0},
};

// The number of LNA states of a model at a frequency (the same table the program uses).
int LnaStates(unsigned char hw_ver, double hz);

class Service {
 public:
  static Service& Instance();

  // Feeder.
  int Attach(const KavuSimSource* source);
  int32_t Fault();
  void LogLine(const std::string& line);

  bool Script(const std::string& key, int64_t value);
  int64_t Query(const std::string& key);
  int ScriptedError(const std::string& function) const;
  void SetLastError(const std::string& function, int code);
  sdrplay_api_ErrorInfoT* LastError();

  int Open();
  int Lock();
  int Unlock();
  int GetDevices(sdrplay_api_DeviceT* out, unsigned int* count, unsigned int max);
  int Select(sdrplay_api_DeviceT* record);
  int Release(sdrplay_api_DeviceT* record);
  int GetParams(void* handle, sdrplay_api_DeviceParamsT** params);
  int Init(void* handle, const sdrplay_api_CallbackFnsT* callbacks, void* ctx);
  int Uninit(void* handle);
  int Update(void* handle, int32_t tuner, uint32_t reason, uint32_t ext);
  int Swap(void* handle, int32_t* tuner, int32_t am_port);
  bool Known(void* handle) const;

 private:
  struct Device {
    int index = 0;
    bool selected = false;
    int32_t tuner = 0;
    int32_t mode = 0;
    bool removed = false;
    sdrplay_api_DevParamsT dev{};
    sdrplay_api_RxChannelParamsT ch[2]{};
    sdrplay_api_DeviceParamsT params{};
    // The output rate as last applied (Init, Update): the stream thread reads this, never the
    // records, which the program writes on its own thread before it calls Update.
    double applied_rate = 0;
    // Streaming.
    bool running = false;
    bool cancel = false;
    bool reset = true;
    int pending_overload = 0;   // tuner of an overload to report at the next block
    int pending_corrected = 0;  // tuner of an overload to report corrected
    std::vector<int32_t> gain_events;
    sdrplay_api_CallbackFnsT cb{};
    void* ctx = nullptr;
    std::thread thread;
    std::thread::id stream_id;
  };

  Service();
  ~Service();
  Device* Find(void* handle);
  const Device* Find(void* handle) const;
  void Defaults(Device& d);
  void RefreshGain(Device& d, sdrplay_api_RxChannelParamsT& c) const;
  double OutputRate(const Device& d) const;
  // The present channel the feeder's centre and gain follow.
  const sdrplay_api_RxChannelParamsT* MainChannel(const Device& d) const;
  void Configure(Device& d);
  uint64_t Due();
  void Fill(uint64_t first, bool dual, int16_t* a, int16_t* b, uint32_t n);
  void Run(Device* d);
  void Stop(Device& d, std::unique_lock<std::mutex>& lock);

  mutable std::mutex source_mutex_;
  KavuSimSource source_{};
  bool attached_ = false;
  std::atomic<uint32_t> generation_{0};
  int64_t own_origin_ns_ = 0;
  uint64_t own_origin_samples_ = 0;
  double own_rate_ = 2'000'000.0;
  uint64_t noise_state_ = 0x9E3779B97F4A7C15ull;

  mutable std::mutex script_mutex_;
  std::map<std::string, int> errors_;
  sdrplay_api_ErrorInfoT last_error_{};
  bool has_last_error_ = false;
  std::atomic<int> listed_{kDevices};
  std::atomic<int> slave_running_{0};
  std::atomic<uint32_t> block_{kDefaultBlock};
  std::atomic<double> base_db_{100.0};

  mutable std::mutex mutex_;  // the devices and the counters below
  std::condition_variable cv_;
  Device devices_[kDevices];
  int locked_ = 0;
  int opens_ = 0;
  int acks_ = 0;
  int acks_off_thread_ = 0;
};

}  // namespace kavu::simsdrplay

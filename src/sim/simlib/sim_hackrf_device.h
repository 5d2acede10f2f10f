#pragma once
// The devices of the simulated HackRF library: two listed boards (the second one's serial is
// null, as a board with an unreadable serial lists), their settings, and the transfer thread
// that delivers the feeder's signed 8-bit samples in real time on the feeder's clock, in
// transfers of kTransferBytes. Internal to the simulated library.
//
// Scripting (kavu_simhackrf_script, for tests and the bench): a shorter valid length for every
// transfer, how hackrf_is_streaming answers, and an error code for a named function.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "receivers/hackrf_api.h"
#include "sim/sim_feeder_abi.h"

namespace kavu::simhackrf {

inline constexpr int kBoards = 2;
inline constexpr uint32_t kTransferBytes = 262'144;
inline constexpr uint32_t kQueueDepth = 1;
inline constexpr const char* kSerial0 = "00000000000000004b41565542454e31";

// hackrf_is_streaming's answer while a stream runs.
enum class StreamingAnswer { kTruthful = 0, kNever = 1, kAfterCalls = 2 };

class Boards {
 public:
  static Boards& Instance();

  // Feeder.
  int Attach(const KavuSimSource* source);
  int32_t Fault();
  void LogLine(const std::string& line);

  // Scripting; false for an unknown key.
  bool Script(const std::string& key, int64_t value);
  // The error a function is scripted to return (0: none).
  int ScriptedError(const std::string& function) const;

  // Board functions (the library's meanings and results). `board` is 0 or 1.
  int Open(int board);
  int Close(int board);
  bool IsOpen(int board) const;
  int SetFreq(int board, uint64_t hz);
  int SetSampleRate(int board, double hz);
  int SetGain(int board, int lna, int vga, int amp);
  int StartRx(int board, hackrf_device* handle, hackrf_sample_block_cb_fn cb, void* ctx);
  int StopRx(int board);
  int IsStreaming(int board);
  uint32_t Rate() const { return rate_; }

 private:
  Boards();
  ~Boards();
  void Configure();
  uint64_t Due();
  void Fill(uint64_t first, int8_t* buf, uint32_t samples);
  void Run(int board, hackrf_device* handle, hackrf_sample_block_cb_fn cb, void* ctx);

  mutable std::mutex source_mutex_;  // guards source_ and every call into it
  KavuSimSource source_{};
  bool attached_ = false;
  std::atomic<uint32_t> generation_{0};
  int64_t own_origin_ns_ = 0;
  uint64_t own_origin_samples_ = 0;
  uint64_t noise_state_ = 0x2545F4914F6CDD1Dull;

  // Settings, shared by the boards (one feeder, one signal).
  std::atomic<uint32_t> rate_{10'000'000};
  std::atomic<uint64_t> center_{100'000'000};
  std::atomic<int> lna_{0}, vga_{0}, amp_{0};

  mutable std::mutex script_mutex_;
  std::map<std::string, int> errors_;
  std::atomic<uint32_t> valid_length_{0};  // 0: whole transfers
  std::atomic<int> streaming_answer_{0};
  std::atomic<int> streaming_after_{0};    // kAfterCalls: false this many times first

  struct Board {
    bool open = false;
    bool running = false;   // a transfer thread exists (maybe ended on its own)
    bool streaming = false; // the thread delivers (the sink kept it going)
    bool cancel = false;
    int is_streaming_calls = 0;
    std::thread thread;
  };
  mutable std::mutex run_mutex_;
  std::condition_variable run_cv_;
  Board boards_[kBoards];
};

}  // namespace kavu::simhackrf

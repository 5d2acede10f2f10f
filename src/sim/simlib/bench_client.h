#pragma once
// BenchClient: the simulated library's feeder when the virtual bench runs in another process
// (`kavusdraa-cli sim-bench`, found through $KAVU_SIM_BENCH). It is an ordinary feeder
// (sim/sim_feeder_abi.h) whose every call is a request to the bench over its socket
// (sim/bench_wire.h), answered within kReplyTimeoutMs; so the stream is paced by the bench's
// clock exactly as an in-process bench paces it.
//
// When the bench goes away (the socket closes, a reply is late or malformed), the connection is
// dropped with one line on standard error and the feeder acts like an unplugged receiver:
// fault() says kKavuSimUnplugged (a running read ends, the device is no longer listed),
// due() stands still, fill() gives mid-scale (zero in the signed formats). Connect() may be called again later.
// Internal to the simulated library; thread-safe (one request at a time).
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "sim/bench_wire.h"
#include "sim/sim_feeder_abi.h"

namespace kavu::simrtl {

class BenchClient {
 public:
  static constexpr int kReplyTimeoutMs = 3000;

  BenchClient();
  ~BenchClient();
  BenchClient(const BenchClient&) = delete;
  BenchClient& operator=(const BenchClient&) = delete;

  // Connects to the bench socket at `path` and greets it. False when it cannot be reached or
  // refuses (busy, another protocol version); the reason is written to standard error once.
  bool Connect(const std::string& path);
  void Disconnect();
  bool Connected() const;
  // The feeder to attach to the device (its ctx is this client).
  const KavuSimSource& Source() const { return source_; }

 private:
  bool Request(const std::vector<uint8_t>& frame, sim::wire::MsgType reply_type, sim::wire::Message* reply);
  bool Receive(sim::wire::Message* out, int64_t deadline_ns);
  void Drop(const std::string& why);
  void Report(const std::string& line);
  void FillLocked(uint64_t first, int32_t format, uint8_t* buf, uint32_t samples);

  static void OnConfigure(void* ctx, uint32_t rate, uint64_t center, int32_t gain, int32_t direct);
  static uint64_t OnDue(void* ctx);
  static void OnFill(void* ctx, uint64_t first, int32_t format, void* buf, uint32_t samples);
  static int32_t OnFault(void* ctx);
  static void OnLog(void* ctx, const char* line);

  mutable std::mutex mutex_;
  KavuSimSource source_{};
  int fd_ = -1;
  sim::wire::FrameReader reader_;
  uint64_t last_due_ = 0;
  std::string path_;
  std::string last_report_;
};

}  // namespace kavu::simrtl

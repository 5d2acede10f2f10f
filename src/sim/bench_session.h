#pragma once
// BenchSession: one program's connection to the bench socket (sim/bench_wire.h), on the bench's
// side. It answers every whole request with the feeder's data, in order. The first message must
// be a hello with the protocol's magic and version; anything malformed ends the session with a
// logged reason. Used by BenchSocketServer's thread only.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/bench_wire.h"
#include "sim/sim_feeder_abi.h"

namespace kavu::sim {

class BenchSession {
 public:
  using LogFn = std::function<void(const std::string&)>;

  // Takes over `fd`, a connected stream socket (blocking; closed by the destructor).
  BenchSession(int fd, const KavuSimSource& source, LogFn log);
  ~BenchSession();
  BenchSession(const BenchSession&) = delete;
  BenchSession& operator=(const BenchSession&) = delete;

  int Fd() const { return fd_; }
  // Reads what the socket holds now and answers every whole request. False when the session is
  // over: the program closed it, a send failed or timed out, or it sent something malformed.
  bool OnReadable();

 private:
  bool Handle(const wire::Message& m);
  bool Malformed(const std::string& why);

  int fd_;
  KavuSimSource source_;
  LogFn log_;
  wire::FrameReader reader_;
  bool greeted_ = false;
};

}  // namespace kavu::sim

#pragma once
// Whole scans on the virtual bench, in this process: the bench with a load, the analyzer wired as
// the command-line tool wires it (ScanStation on an EventLoop), the scan's end recorded. On a
// failed test the bench's evidence (board command log, receiver log) is written out.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/event_loop.h"
#include "scan/scan_station.h"
#include "shell/error_box.h"
#include "sim/virtual_bench.h"

namespace kavu::test {

class RecordingEvents : public IScanEvents {
 public:
  explicit RecordingEvents(EventLoop& loop) : loop_(loop) {}
  void ScanEnded(const ScanEndReport& report) override;
  void GroupEnded(int32_t points, int32_t groups) override;
  std::vector<ScanEndReport> ends;
  int groupsEnded = 0;
  std::function<void(int)> onGroup;  // called with the number of groups ended

 private:
  EventLoop& loop_;
};

class BenchScan : public ::testing::Test {
 protected:
  void TearDown() override;

  // Starts the bench with `load` and the impairments (NAME=VALUE), then the station; optional
  // receiver rate. Returns false (with a test failure) when anything did not start.
  bool Start(const std::string& load, const std::vector<std::string>& sets = {}, int rate = 0,
             const std::vector<std::pair<std::string, std::string>>& options = {});
  // Runs one scan of `ranges` until it ends (or `timeout_s`); the end report.
  std::optional<ScanEndReport> Scan(const std::string& ranges, double timeout_s = 40);
  // The planned frequencies of `ranges`, in order (Hz).
  static std::vector<double> Planned(const std::string& ranges);

  int boardBuffer_ = 0;  // the emulated board's batch buffer, bytes (0: its default)
  sim::VirtualBench bench_;
  EventLoop loop_;
  RecordingNotice notice_;
  RecordingEvents events_{loop_};
  std::unique_ptr<ScanStation> station_;
  ScanStationOptions stationOptions_ = [] {
    ScanStationOptions o;
    o.ring_capacity = 1 << 22;
    o.chain_capacity = 1 << 21;
    return o;
  }();
  std::string results_;
};

}  // namespace kavu::test

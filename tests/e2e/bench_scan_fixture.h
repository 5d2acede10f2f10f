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

// A bridge whose resistors are 5 % off their nominal values, with a fixed noise seed.
inline const std::vector<std::string> kOffBridgeSets = {"bridge_rt=58.8", "bridge_rb=48.45", "bridge_rd=346.5",
                                                        "bridge_rg=22.8", "seed=11"};

// Checks the points of the last scan (set 0): one per planned frequency, in order, each load's R
// and X within rel·|Z| + abs, |Γ| within 0.002 and SWR within swr_rel (rel when 0).
void CheckScanPoints(ScanStation& st, const std::vector<double>& planned, const sim::AntennaModel& model,
                     double rel, double abs, double swr_rel);

class BenchScan : public ::testing::Test {
 protected:
  void TearDown() override;

  // Starts the bench with `load` and the impairments (NAME=VALUE), then the station; optional
  // receiver rate. Returns false (with a test failure) when anything did not start.
  bool Start(const std::string& load, const std::vector<std::string>& sets = {}, int rate = 0,
             const std::vector<std::pair<std::string, std::string>>& options = {});
  // Runs one scan of `ranges` until it ends (or `timeout_s`); the end report.
  std::optional<ScanEndReport> Scan(const std::string& ranges, double timeout_s = 40);
  // Scans each load in turn, each on a fresh bench with the impairments `sets`, and keeps a
  // copy of every saved scan in `folder` as "<prefix><i>.kant". The paths; fewer than the loads
  // when a scan failed (the failure is recorded).
  std::vector<std::string> ScanLoads(const std::vector<std::string>& loads, const std::vector<std::string>& sets,
                                     const std::string& ranges, const std::string& folder, const std::string& prefix);
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

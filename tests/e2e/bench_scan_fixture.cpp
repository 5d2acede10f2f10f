#include "e2e/bench_scan_fixture.h"

#include <cmath>
#include <complex>
#include <filesystem>

#include "measure/bridge_model.h"
#include "measure/bridge_settings.h"
#include "measure/impedance_computer.h"
#include "scan/scan_plan.h"
#include "shell/settings_store.h"

namespace kavu::test {

void CheckScanPoints(ScanStation& st, const std::vector<double>& planned, const sim::AntennaModel& model,
                     double rel, double abs, double swr_rel) {
  const AntIzms& set = st.Store().Set(0);
  ASSERT_EQ(set.Count(), static_cast<int32_t>(planned.size()));
  const ImpedanceComputer imp(LoadBridgeSettings(), nullptr);
  for (int32_t i = 0; i < set.Count(); ++i) {
    const double f = planned[static_cast<size_t>(i)];
    EXPECT_EQ(set.At(i).freqHz, f) << "point " << i;
    const Complex want = model.Impedance(f);
    const Complex z = imp.ComputeZ(set, i, -1);
    const double tol = rel * std::abs(want) + abs;
    const std::string where = "f=" + std::to_string(f) + " want " + std::to_string(want.real()) + "," +
                              std::to_string(want.imag()) + " got " + std::to_string(z.real()) + "," +
                              std::to_string(z.imag());
    EXPECT_LE(std::abs(std::abs(Gamma(z, 50)) - std::abs(Gamma(want, 50))), 0.002) << where;
    EXPECT_NEAR(z.real(), want.real(), tol) << where;
    EXPECT_NEAR(z.imag(), want.imag(), tol) << where;
    EXPECT_NEAR(Swr(z, 50), Swr(want, 50), Swr(want, 50) * (swr_rel > 0 ? swr_rel : rel)) << where;
  }
}

void RecordingEvents::ScanEnded(const ScanEndReport& report) {
  ends.push_back(report);
  loop_.Quit();
}

void RecordingEvents::GroupEnded(int32_t, int32_t) {
  ++groupsEnded;
  if (onGroup) onGroup(groupsEnded);
}

bool BenchScan::Start(const std::string& load, const std::vector<std::string>& sets, int rate,
                      const std::vector<std::pair<std::string, std::string>>& options) {
  sim::VirtualBenchOptions o;
  std::string error;
  const auto model = sim::AntennaModel::Parse(load, &error);
  EXPECT_TRUE(model) << error;
  if (!model) return false;
  o.antenna = *model;
  if (boardBuffer_ > 0) o.board.buffer_size = boardBuffer_;
  std::vector<std::string> faults;
  for (const std::string& s : sets) {
    if (s.rfind(sim::VirtualBench::kBoardFaultName, 0) == 0 ||
        s.rfind(sim::VirtualBench::kChipFaultName, 0) == 0) {
      faults.push_back(s);
    } else if (s.rfind(std::string(sim::VirtualBench::kGenName) + "=", 0) == 0) {
      o.gen = s.substr(s.find('=') + 1);
    } else if (s.rfind(std::string(sim::VirtualBench::kRxName) + "=", 0) == 0) {
      o.rx = s.substr(s.find('=') + 1);
    } else {
      EXPECT_TRUE(o.impairments.SetAssignment(s, &error)) << error;
    }
  }
  if (!bench_.Start(o, &error)) {
    ADD_FAILURE() << error;
    return false;
  }
  for (const std::string& f : faults) {
    const size_t eq = f.find('=');
    EXPECT_TRUE(bench_.Set(f.substr(0, eq), f.substr(eq + 1), &error)) << error;
  }
  results_ = bench_.Folder() + "/results";
  Settings().WriteProfileString("CDlgOptions", "m_SaveResPath", results_);
  for (const auto& [key, value] : options) Settings().WriteProfileString("CDlgOptions", key, value);
  events_.groupsEnded = 0;  // a new station counts its groups from 1
  station_ = std::make_unique<ScanStation>(loop_, notice_, events_, stationOptions_);
  if (!station_->Start(&error)) {
    ADD_FAILURE() << error;
    return false;
  }
  if (rate != 0 && !station_->SetRate(rate, &error)) {
    ADD_FAILURE() << error;
    return false;
  }
  return true;
}

std::optional<ScanEndReport> BenchScan::Scan(const std::string& ranges, double timeout_s) {
  const size_t before = events_.ends.size();
  station_->Engine().SetRangeText(ranges);
  bool started = true;
  loop_.Post([&] { started = station_->Engine().StartScan(); });
  loop_.RunUntil([&] { return !started || events_.ends.size() > before; },
                 std::chrono::milliseconds(static_cast<int64_t>(timeout_s * 1000)));
  if (!started || events_.ends.size() == before) {
    ADD_FAILURE() << (started ? "the scan did not end in time" : "the scan did not start");
    return std::nullopt;
  }
  return events_.ends.back();
}

std::vector<std::string> BenchScan::ScanLoads(const std::vector<std::string>& loads,
                                             const std::vector<std::string>& sets, const std::string& ranges,
                                             const std::string& folder, const std::string& prefix) {
  std::vector<std::string> files;
  for (size_t i = 0; i < loads.size(); ++i) {
    if (!Start(loads[i], sets)) break;
    const auto end = Scan(ranges);
    if (!end || !end->saved) {
      ADD_FAILURE() << "scan of " << loads[i] << (end ? " not saved: " + end->save.error : std::string());
      break;
    }
    files.push_back(folder + "/" + prefix + std::to_string(i) + ".kant");
    std::filesystem::copy_file(end->save.path, files.back());
    TearDown();
  }
  return files;
}

std::vector<double> BenchScan::Planned(const std::string& ranges) {
  OScanPlan p;
  std::vector<double> out;
  if (!p.StartPlan(ranges)) return out;
  do {
    out.push_back(p.CurrentFrequency());
  } while (p.AdvanceAfterBatch());
  return out;
}

void BenchScan::TearDown() {
  if (station_) station_->Stop();
  // Tasks the engine posted before it stopped run while it still exists.
  loop_.RunPending();
  if (HasFailure() && bench_.Running()) {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    const std::string folder = std::string(KAVU_BINARY_DIR) + "/e2e-evidence/" + name;
    std::filesystem::create_directories(folder);
    if (bench_.WriteEvidence(folder)) std::fprintf(stderr, "bench evidence written to %s\n", folder.c_str());
  }
  station_.reset();
  bench_.Stop();
}

}  // namespace kavu::test

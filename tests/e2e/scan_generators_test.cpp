// Whole scans with each generator chip on the bench's board: the chip's model on CS0 turns what
// the program sends through the serial port into the tone the receiver sees, so every point must
// measure the antenna within the bounds of the Si5351 scans.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "e2e/bench_scan_fixture.h"
#include "measure/bridge_settings.h"
#include "measure/impedance_computer.h"
#include "sim/board_peripherals.h"

namespace kavu::test {
namespace {

class ScanGenerators : public BenchScan {};

TEST_F(ScanGenerators, EveryChipScansTheAntenna) {
  const struct {
    const char* gen;
    const char* ranges;
    const char* file_text;  // the generator's part of the saved file's name
    double rel_tol;         // allowed error of R and X, as a fraction of |Z| (plus 0.2 Ω)
  } cases[] = {{"rfm22", "433-435 0.5", " rfm22b", 0.005},
               {"rfm23", "300-302 0.5", " rfm23b", 0.005},
               {"rfm69", "433-435 0.5", " rfm69", 0.005},
               {"ad9833", "10-10.1 0.025", " dds_ad9833", 0.005},
               {"adf4351", "143-147 1", " ADF4351+-4дБм", 0.005},
               {"si4463", "433-435 0.5", " si4463", 0.005},
               // Above 1136 MHz on the Si4463's second harmonic: half the amplitude and twelve
               // times the phase wander of 100 MHz, so about 2.5 times the scatter (0.3 % of |Z|
               // rms against 0.12 … 0.16 % on the fundamentals, measured over 30 runs).
               {"si4463", "1200-1201 0.5", " si4463", 0.015}};
  const char* load = "150+75j";
  std::string error;
  const auto model = sim::AntennaModel::Parse(load, &error);
  ASSERT_TRUE(model) << error;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.gen);
    if (!Start(load, {"seed=5", std::string("gen=") + c.gen})) return;
    const auto end = Scan(c.ranges);
    ASSERT_TRUE(end);
    EXPECT_TRUE(end->ok) << end->error;
    EXPECT_TRUE(end->saved) << end->save.error;
    EXPECT_NE(end->save.path.find(c.file_text), std::string::npos) << end->save.path;
    const std::vector<double> planned = Planned(c.ranges);
    const AntIzms& set = station_->Store().Set(0);
    ASSERT_EQ(set.Count(), static_cast<int32_t>(planned.size()));
    const ImpedanceComputer imp(LoadBridgeSettings(), nullptr);
    for (int32_t i = 0; i < set.Count(); ++i) {
      const double f = planned[static_cast<size_t>(i)];
      const Complex want = model->Impedance(f);
      const Complex z = imp.ComputeZ(set, i, -1);
      const double tol = c.rel_tol * std::abs(want) + 0.2;
      EXPECT_NEAR(z.real(), want.real(), tol) << f;
      EXPECT_NEAR(z.imag(), want.imag(), tol) << f;
    }
    // The tone came from the chip on CS0, not from the Si5351.
    const auto sources = bench_.Peripherals().AllSources();
    EXPECT_TRUE(sources[sim::kTimelineFirstSpiSource].on);
    EXPECT_FALSE(sources[0].on);
    if (HasFailure()) return;
    TearDown();
  }
}

TEST_F(ScanGenerators, ChipFaultStopsTheStartWithItsText) {
  if (!Start("50", {"gen=si4463", "chip_fault=cts-wrong"})) return;
  station_->Engine().SetRangeText("433-434 0.5");
  bool started = false;
  loop_.Post([&] { started = station_->Engine().StartScan(); });
  loop_.RunUntil([&] { return !events_.ends.empty(); }, std::chrono::milliseconds(20000));
  // The generators are initialised on the board's thread: the start is taken, and its failure
  // ends the scan before anything was measured.
  EXPECT_TRUE(started);
  ASSERT_EQ(events_.ends.size(), 1u);
  EXPECT_FALSE(events_.ends[0].ok);
  EXPECT_FALSE(events_.ends[0].started);
  EXPECT_FALSE(events_.ends[0].saved);
  EXPECT_NE(events_.ends[0].error.find("Ошибка начальной инициализации si4463"), std::string::npos)
      << events_.ends[0].error;
  EXPECT_EQ(station_->Engine().State(), ScanState::kIdle);
  EXPECT_FALSE(station_->Engine().Starting());
  bool seen = false;
  for (const std::string& t : notice_.Texts()) {
    seen = seen || t.find("Ошибка начальной инициализации si4463") != std::string::npos;
  }
  EXPECT_TRUE(seen);
  // The board and the port work on: without the fault the same station scans.
  std::string error;
  ASSERT_TRUE(bench_.Set(sim::VirtualBench::kChipFaultName, "none", &error)) << error;
  const auto end = Scan("433-434 0.5");
  ASSERT_TRUE(end);
  EXPECT_TRUE(end->ok) << end->error;
}

}  // namespace
}  // namespace kavu::test

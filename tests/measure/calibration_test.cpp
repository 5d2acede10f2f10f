// Calibration with scans of known loads: the corrected ratio gives back the loads, on an ideal
// bridge and on one with a bilinear error, with and without the separating capacitor.
#include "measure/calibration.h"

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "measure/measure_keeper.h"
#include "measure/impedance_computer.h"
#include "results/ant_izm_file.h"
#include "shell/log_console.h"
#include "support/point_with_ratio.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

constexpr int kPoints = 30;
constexpr double kF0 = 1e6, kStep = 1e6;

// A bridge with faults the model does not know: the ratio it shows is a bilinear function of
// the ideal one, varying with frequency.
Complex Faulty(Complex e, double f) {
  const Complex alpha = std::polar(0.93, 0.2 * f / 3e7), beta(0.02, 0.013), gamma(0.04, -0.03);
  return (alpha * e + beta) / (gamma * e + 1.0);
}
Complex Ideal(Complex e, double) { return e; }
using BridgeFault = std::function<Complex(Complex, double)>;

using test::PointWithRatio;

// The scan file of a load measured on the given bridge.
std::string ScanOfLoad(const test::TempDir& dir, const std::string& name, const BridgeSettings& s,
                       Complex load, const BridgeFault& fault) {
  std::vector<AntIzm> pts;
  for (int i = 0; i < kPoints; ++i) {
    const double f = kF0 + i * kStep;
    pts.push_back(PointWithRatio(f, fault(ExpectedRatio(s, load, f), f)));
  }
  const std::string path = dir.File(name);
  EXPECT_TRUE(WriteScanFile(path, pts.data(), kPoints, std::nullopt));
  return path;
}

CalibrationSetup ThreePoint(const test::TempDir& dir, const BridgeSettings& s, const BridgeFault& fault) {
  CalibrationSetup setup;
  setup.cal_type = 1;
  setup.aper2 = 0;
  setup.names = {ScanOfLoad(dir, "50.kant", s, 50.0, fault), ScanOfLoad(dir, "short.kant", s, 0.0, fault),
                 ScanOfLoad(dir, "open.kant", s, CalibrationSetup::kOpenOhm, fault)};
  setup.loads_ohm = {50, 0, CalibrationSetup::kOpenOhm};
  return setup;
}

// Measures every load at every grid frequency on the faulty bridge and returns the worst
// relative error of the computed impedance.
double WorstError(const Calibration& cal, const BridgeSettings& s, const BridgeFault& fault,
                  const std::vector<Complex>& loads) {
  AntIzms set(4096);
  for (Complex z : loads) {
    for (int i = 0; i < kPoints; ++i) {
      const double f = kF0 + i * kStep;
      set.Append(PointWithRatio(f, fault(ExpectedRatio(s, z, f), f)));
    }
  }
  const ImpedanceComputer calc(s, &cal);
  EXPECT_TRUE(calc.CalibrationInUse());
  double worst = 0;
  for (int32_t k = 0; k < set.Count(); ++k) {
    const Complex want = loads[static_cast<size_t>(k / kPoints)];
    const Complex got = calc.ComputeZ(set, k, 0);
    worst = std::max(worst, std::abs(got - want) / std::max(std::abs(want), 1.0));
  }
  return worst;
}

std::vector<Complex> TestLoads() {
  std::vector<Complex> loads;
  for (double r : {1.0, 5.0, 22.0, 50.0, 120.0, 200.0, 680.0, 2200.0, 10000.0}) {
    for (double x : {-400.0, -30.0, 0.0, 45.0, 800.0}) loads.emplace_back(r, x);
  }
  return loads;
}

TEST(Calibration, ThreePointsGiveBackEveryLoad) {
  test::TempDir dir;
  for (double cs : {0.0, 1000.0}) {
    BridgeSettings s;
    s.cs_pf = cs;
    for (const BridgeFault& fault : {BridgeFault(Ideal), BridgeFault(Faulty)}) {
      Calibration cal(100);
      cal.Load(0, ThreePoint(dir, s, fault), true);
      ASSERT_TRUE(cal.IsCalibrationValid());
      EXPECT_LT(WorstError(cal, s, fault, TestLoads()), 1e-8) << "cs=" << cs;
    }
  }
}

TEST(Calibration, IdealBridgeReadsTwoHundredOhmAsTwoHundred) {
  // With a perfect three-point calibration of an ideal bridge the correction is the identity.
  test::TempDir dir;
  const BridgeSettings s;
  Calibration cal(100);
  cal.Load(0, ThreePoint(dir, s, Ideal), true);
  const double f = kF0 + 7 * kStep;
  for (Complex z : {Complex(200), Complex(1e5), Complex(3, -7)}) {
    const Complex rho = ExpectedRatio(s, z, f);
    const Complex z2 = SolveBridgeRatio(s, cal.CorrectRatio(rho, f, s), f);
    EXPECT_LT(std::abs(z2 - z) / std::abs(z), 1e-8) << z;
  }
  // A measured ratio equal to a calibration point returns that load's ideal ratio.
  const Complex c2 = cal.Table(1).Interpolate(cal.Table(1).RatioTable(), f);
  EXPECT_LT(std::abs(cal.CorrectRatio(c2, f, s) - ExpectedRatio(s, 0.0, f)), 1e-12);
}

TEST(Calibration, OnePointBalancesAGainError) {
  test::TempDir dir;
  BridgeSettings s;
  s.cs_pf = 100;
  const BridgeFault gain = [](Complex e, double f) { return e * std::polar(1.1, 0.05 + f * 1e-9); };
  CalibrationSetup setup;
  setup.cal_type = 0;
  setup.aper2 = 0;
  setup.names[0] = ScanOfLoad(dir, "51.kant", s, 51.0, gain);
  setup.loads_ohm[0] = 51;
  Calibration cal(100);
  cal.Load(2, setup, true);
  EXPECT_TRUE(cal.InUse());
  EXPECT_FALSE(cal.Table(1).IsValid());  // kind 0 needs only file 1
  EXPECT_LT(WorstError(cal, s, gain, TestLoads()), 1e-9);
  // The display lookups of table 1: its ratio and its levels (|O| −30 dB, no gain).
  const double f = kF0 + 4 * kStep;
  EXPECT_LT(std::abs(cal.Ratio1At(f) - gain(ExpectedRatio(s, 51.0, f), f)), 1e-12);
  EXPECT_EQ(cal.Level1At(CalibrationTable::kLevelMain, f), -30.0);
  cal.Load(2, CalibrationSetup{}, true);
  EXPECT_TRUE(std::isnan(cal.Ratio1At(f).real()));
  EXPECT_TRUE(std::isnan(cal.Level1At(CalibrationTable::kLevelBpf, f)));
}

TEST(Calibration, BetweenGridPointsTheTablesInterpolate) {
  test::TempDir dir;
  const BridgeSettings s;  // no capacitor: the expected ratios do not depend on f
  const BridgeFault flat = [](Complex e, double) { return (0.9 * e + 0.01) / (0.02 * e + 1.0); };
  Calibration cal(100);
  cal.Load(0, ThreePoint(dir, s, flat), true);
  for (double f : {kF0 + 0.5 * kStep, kF0 + 12.25 * kStep, 0.5 * kF0, 1e9}) {
    const Complex z(75, 20);
    const Complex got = SolveBridgeRatio(s, cal.CorrectRatio(flat(ExpectedRatio(s, z, f), f), f, s), f);
    EXPECT_LT(std::abs(got - z) / std::abs(z), 1e-9) << f;
  }
}

TEST(Calibration, TwoIdenticalFilesGiveNoValueNotACrash) {
  test::TempDir dir;
  const BridgeSettings s;
  CalibrationSetup setup = ThreePoint(dir, s, Faulty);
  setup.names[2] = setup.names[1];  // the short measured twice, one called the open
  Calibration cal(100);
  cal.Load(0, setup, true);
  ASSERT_TRUE(cal.IsCalibrationValid());
  const double f = kF0 + 3 * kStep;
  for (Complex rho : {Complex(1.0), Complex(0.5, 0.1), Complex(0.0)}) {
    const Complex r = cal.CorrectRatio(rho, f, s);
    EXPECT_FALSE(std::isfinite(r.real()) && std::isfinite(r.imag())) << rho;
  }
  // Same file and same load twice: an exactly singular system.
  setup.names[1] = setup.names[0];
  setup.loads_ohm[1] = setup.loads_ohm[0];
  cal.Load(0, setup, true);
  EXPECT_TRUE(std::isnan(cal.CorrectRatio(1.0, f, s).real()));
  AntIzms set(4);
  set.Append(PointWithRatio(f, 1.0));
  const Complex z = ImpedanceComputer(s, &cal).ComputeZ(set, 0, 0);
  EXPECT_FALSE(std::isfinite(z.real()));
}

TEST(Calibration, NotAppliedUnlessOnAndValidAndSaysWhy) {
  test::TempDir dir;
  const BridgeSettings s;
  AntIzms set(4);
  set.Append(PointWithRatio(5e6, 1.0));
  Log().SetCapture(true);
  Log().TakeCaptured();
  Calibration cal(100);
  CalibrationSetup setup;  // kind 0, no file: as on a fresh install with m_IsCal = 1
  cal.Load(0, setup, true);
  std::string log = Log().TakeCaptured();
  EXPECT_FALSE(cal.InUse());
  EXPECT_NE(log.find("калибровка 1 не применяется, файл 1 \"\": пустое имя файла"), std::string::npos) << log;
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1);
  const ImpedanceComputer calc(s, &cal);
  EXPECT_FALSE(calc.CalibrationInUse());
  EXPECT_NEAR(calc.ComputeZ(set, 0, 0).real(), 51.0, 1e-12);  // the raw ratio, not NaN
  // Valid tables but switched off.
  setup.names[0] = ScanOfLoad(dir, "51.kant", s, 51.0, Faulty);
  cal.Load(0, setup, false);
  log = Log().TakeCaptured();
  EXPECT_TRUE(cal.IsCalibrationValid());
  EXPECT_FALSE(cal.InUse());
  EXPECT_NE(log.find("калибровка выключена"), std::string::npos) << log;
  EXPECT_NEAR(ImpedanceComputer(s, &cal).ComputeZ(set, 0, 0).real(), 51.0, 1e-12);
  // Kind 1 with file 3 missing names the file.
  setup = ThreePoint(dir, s, Faulty);
  setup.names[2] = dir.File("gone.kant");
  cal.Load(4, setup, true);
  log = Log().TakeCaptured();
  EXPECT_NE(log.find("калибровка 5 не применяется, файл 3"), std::string::npos) << log;
  EXPECT_NE(log.find("не удалось открыть файл на диске с измерениями"), std::string::npos) << log;
  EXPECT_TRUE(std::isnan(cal.CorrectRatio(1.0, 5e6, s).real()));
  // Switched on and valid: no line.
  setup.names[2] = ScanOfLoad(dir, "open.kant", s, CalibrationSetup::kOpenOhm, Faulty);
  cal.Load(4, setup, true);
  EXPECT_EQ(Log().TakeCaptured(), "");
  EXPECT_TRUE(cal.InUse());
  EXPECT_EQ(cal.WhyNotInUse(), "");
  Log().SetCapture(false);
}

TEST(MeasureKeeper, AReaderKeepsItsSnapshotWhileNewOnesArePublished) {
  // Two calibrations and two bridges that give the same points different impedances; one thread
  // publishes them in turn (a recalibration, then an options change) while two others compute.
  // Every computation must come out wholly from one snapshot: one of the four pairs, the same
  // when repeated on the snapshot the reader holds, and a reader never sees an older one again.
  test::TempDir dirA, dirB;
  BridgeSettings sA, sB;
  sB.rt = 62, sB.rb = 47;
  const CalibrationSetup setupA = ThreePoint(dirA, sA, Faulty), setupB = ThreePoint(dirB, sA, Ideal);
  MeasureKeeper keeper(64);
  EXPECT_FALSE(keeper.Current()->CalibrationInUse()) << "a new keeper has no calibration in force";
  EXPECT_EQ(keeper.Current()->Bridge(), BridgeSettings{});
  AntIzms set(kPoints);
  for (int i = 0; i < kPoints; ++i) set.Append(PointWithRatio(kF0 + i * kStep, std::polar(0.2 + 0.02 * i, 0.1 * i)));
  const auto compute = [&](const MeasureSnapshot& m) {
    std::vector<Complex> out;
    for (int i = 0; i < kPoints; ++i) out.push_back(m.Impedance().ComputeZ(set, i, 0));
    return out;
  };
  std::vector<std::vector<Complex>> pairs;
  for (const CalibrationSetup* setup : {&setupA, &setupB}) {
    keeper.Reload(0, *setup, true);
    for (const BridgeSettings* s : {&sA, &sB}) pairs.push_back(compute(*keeper.SetBridge(*s)));
  }
  for (size_t a = 0; a < pairs.size(); ++a) {
    for (size_t b = a + 1; b < pairs.size(); ++b) ASSERT_NE(pairs[a], pairs[b]) << a << " " << b;
  }
  // The same bridge again publishes nothing.
  const uint64_t version = keeper.Current()->Version();
  EXPECT_EQ(keeper.SetBridge(sB)->Version(), version);

  constexpr int kPublications = 40;
  std::atomic<bool> stop{false};
  std::atomic<int> reading{0}, published{0};
  std::thread publisher([&] {
    // The publications start once both readers have begun: they overlap their computations
    // however the threads run.
    while (reading.load() < 2) std::this_thread::yield();
    for (int i = 0; i < kPublications; ++i) {
      keeper.Reload(0, i % 2 ? setupB : setupA, true);
      keeper.SetBridge(i % 3 ? sA : sB);
      ++published;
    }
    stop = true;
  });
  struct Findings {
    int computations = 0, mixed = 0, older = 0;
  };
  Findings found[2];
  const auto read = [&](Findings& f) {
    uint64_t last = 0;
    bool first_round = true;
    do {
      const std::shared_ptr<const MeasureSnapshot> held = keeper.Current();
      if (held->Version() < last) ++f.older;
      last = held->Version();
      if (first_round) ++reading, first_round = false;
      const std::vector<Complex> first = compute(*held);
      std::this_thread::yield();
      const std::vector<Complex> again = compute(*held);  // newer snapshots may be out meanwhile
      bool known = false;
      for (const auto& p : pairs) known = known || first == p;
      if (!(first == again && known)) ++f.mixed;
      ++f.computations;
    } while (!stop.load());
  };
  std::thread second([&] { read(found[1]); });
  read(found[0]);
  second.join();
  publisher.join();
  EXPECT_EQ(published.load(), kPublications);
  for (const Findings& f : found) {
    EXPECT_GT(f.computations, 0);
    EXPECT_EQ(f.mixed, 0) << "of " << f.computations << " computations";
    EXPECT_EQ(f.older, 0);
  }
  // A snapshot taken before a recalibration keeps computing as it did.
  const std::shared_ptr<const MeasureSnapshot> before = keeper.Reload(0, setupA, true);
  const std::vector<Complex> values = compute(*before);
  keeper.Reload(0, CalibrationSetup{}, false);
  EXPECT_FALSE(keeper.Current()->CalibrationInUse());
  EXPECT_TRUE(before->CalibrationInUse());
  EXPECT_EQ(compute(*before), values);
  EXPECT_GT(keeper.Current()->Version(), before->Version());
}

}  // namespace
}  // namespace kavu

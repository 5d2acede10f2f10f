// The calibration corrections as the results window applies them: the graph lines of |A/O|,
// phase and input levels, the text export's columns, and the rebuild when the calibration
// window changes a set-up.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "measure/calibration_setup.h"
#include "measure/results_point_source.h"
#include "platform/number_text.h"
#include "results/gr_list_ekg.h"
#include "results/results_store.h"
#include "results/results_text_export.h"
#include "results/ui/cshow_data_window.h"
#include "shell/settings_store.h"
#include "shell/ui/qt_test_app.h"
#include "support/calibration_scan.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

constexpr double kDeg = M_PI / 180;

// The measured points. Point 0: |A/O| 11 dB, phase 100°, gain 5 dB, with second-channel levels;
// point 1: the same ratio at phase −170°, gain 7 dB; point 2: exactly the matched load's ratio.
std::unique_ptr<ResultsStore> MeasuredStore() {
  auto store = std::make_unique<ResultsStore>(64);
  AntIzm p = EmptyAntIzm();
  p.freqHz = 14e6, p.a = -14, p.o = -25, p.phase = 100 * kDeg, p.gain = 5;
  p.aBpf = -17, p.oBpf = -28;
  p.aDuo = -16, p.oDuo = -24, p.phaseDuo = static_cast<float>(40 * kDeg), p.gainDuo = 4;
  p.aDuoBpf = -19, p.oDuoBpf = -27;
  store->Set(0).Append(p);
  p.freqHz = 15e6, p.phase = -170 * kDeg, p.gain = 7;
  store->Set(0).Append(p);
  test::CalibrationScanPoint same;
  same.f_hz = 16e6, same.ratio_db = 6, same.phase_deg = 30;
  store->Set(0).Append(test::CalibrationPoint(same));
  return store;
}

// Calibration set-up 0 on a matched load reading 6 dB at φs = 30° (|O| −20, |O|ПФ −23, gain 10:
// level tables −30 and −33 dB), unsmoothed so that every table value is exact.
CalibrationSetup MatchedLoadSetup(const test::TempDir& dir) {
  CalibrationSetup s;
  s.aper2 = 0;
  s.names[0] = dir.File("matched.kant");
  test::CalibrationScanPoint c;
  c.ratio_db = 6, c.phase_deg = 30, c.o_db = -20, c.o_bpf_db = -23, c.gain_db = 10;
  EXPECT_TRUE(test::WriteCalibrationScan(s.names[0], test::ConstantScan(30, 1e6, 1e6, c)));
  return s;
}

struct Lines {
  std::unique_ptr<ResultsStore> store = MeasuredStore();
  GraphPanelSettings panel;
  double Value(const IGraphPointSource& source, int quantity, int32_t i) {
    OGrListItem_EKG item(*store, panel, source);
    item.code = quantity;
    double x = 0, y = 0;
    EXPECT_EQ(item.GetPoint(i, x, y) & kGrInvalid, 0) << quantity;
    return y;
  }
};

// The matched-load calibration loaded with both corrections on.
struct Matched {
  test::TempDir dir;
  CalibrationSetup setup = MatchedLoadSetup(dir);
  MeasureKeeper keeper{64};
  Matched() { Reload(true, 1, 1); }
  // The snapshot with the panel's bridge, as the results window publishes it.
  std::shared_ptr<const MeasureSnapshot> For(const GraphPanelSettings& panel) {
    return keeper.SetBridge(BridgeFromPanel(panel));
  }
  void Reload(bool is_cal, int korr_ao, int korr_a) {
    setup.is_korr_ao = korr_ao, setup.is_korr_a = korr_a;
    keeper.Reload(0, setup, is_cal);
  }
};

TEST(ResultsCorrections, LinesSubtractTheCorrectionsOnlyWhileSwitchedOn) {
  Matched m;
  Lines l;
  const ResultsPointSource on(m.For(l.panel));
  EXPECT_NEAR(l.Value(on, 104, 0), 11 - 6, 1e-9);                // |А/О|
  EXPECT_NEAR(l.Value(on, 166, 0), 11 - 6, 1e-9);                // |A/О| ПФ
  EXPECT_NEAR(l.Value(on, 4, 0), 8 - 6, 1e-9);                   // |А_duo/О_duo|
  EXPECT_NEAR(l.Value(on, 5, 0), 11 - 8 - 6, 1e-9);              // |А/О| попр duo
  EXPECT_NEAR(l.Value(on, 500, 0), 70 * kDeg, 1e-12);            // Фаза
  EXPECT_NEAR(l.Value(on, 500, 1), 160 * kDeg, 1e-12);           // −170° − 30° wraps to 160°
  EXPECT_NEAR(l.Value(on, 501, 0), 10 * kDeg, 1e-6);             // ФазаDuo (stored as float)
  EXPECT_NEAR(l.Value(on, 41, 0), -14 - 5 + 30, 1e-9);           // Вх |A|
  EXPECT_NEAR(l.Value(on, 141, 0), -25 - 5 + 30, 1e-9);          // Вх |O|
  EXPECT_NEAR(l.Value(on, 141, 1), -25 - 7 + 30, 1e-9);
  EXPECT_NEAR(l.Value(on, 40, 0), -16 - 4 + 30, 1e-9);           // Вх |A| Duo
  EXPECT_NEAR(l.Value(on, 140, 0), -24 - 4 + 30, 1e-9);          // Вх |O| Duo
  EXPECT_NEAR(l.Value(on, 75, 0), -17 - 5 + 33, 1e-9);           // ВхАнт ПФ
  EXPECT_NEAR(l.Value(on, 175, 0), -28 - 5 + 33, 1e-9);          // ВхОп ПФ
  EXPECT_NEAR(l.Value(on, 74, 0), -19 - 4 + 33, 1e-9);           // ВхАнтDuo ПФ
  EXPECT_NEAR(l.Value(on, 174, 0), -27 - 4 + 33, 1e-9);          // ВхОпDuo ПФ
  // The whole-band quantities carry no correction.
  EXPECT_DOUBLE_EQ(l.Value(on, 162, 0), 0.0);
  EXPECT_DOUBLE_EQ(l.Value(on, 71, 0), -5.0);

  // "Исправлять A/O" and "Исправлять |Вх|" off: the raw values, impedance still calibrated.
  m.Reload(true, 0, 0);
  const ResultsPointSource raw(m.For(l.panel));
  EXPECT_DOUBLE_EQ(l.Value(raw, 104, 0), 11.0);
  EXPECT_DOUBLE_EQ(l.Value(raw, 500, 1), -170 * kDeg);
  EXPECT_DOUBLE_EQ(l.Value(raw, 141, 0), -30.0);
  EXPECT_DOUBLE_EQ(l.Value(raw, 175, 0), -33.0);
  EXPECT_NEAR(l.Value(raw, 600, 2), 50.0, 1e-9);  // the matched load's own ratio reads 50 Ω
  // Calibration switched off: raw values and the uncalibrated bridge.
  m.Reload(false, 1, 1);
  const ResultsPointSource off(m.For(l.panel));
  EXPECT_DOUBLE_EQ(l.Value(off, 104, 0), 11.0);
  EXPECT_DOUBLE_EQ(l.Value(off, 41, 0), -19.0);
  EXPECT_GT(std::fabs(l.Value(off, 600, 2) - 50.0), 1.0);
  // No calibration at all.
  const ResultsPointSource none(MeasureSnapshot::Uncalibrated(BridgeFromPanel(l.panel)));
  EXPECT_DOUBLE_EQ(l.Value(none, 104, 0), 11.0);
  EXPECT_DOUBLE_EQ(l.Value(none, 500, 0), 100 * kDeg);
}

// The export's lines, split at the line ends.
std::vector<std::string> ExportLines(const AntIzms& set, const GraphPanelSettings& panel, const IGraphPointSource& s) {
  std::vector<std::string> out;
  const std::string bytes = ResultsTextExportBytes(set, panel, s);
  for (size_t at = 0, end; (end = bytes.find("\r\n", at)) != std::string::npos; at = end + 2) {
    out.push_back(bytes.substr(at, end - at));
  }
  return out;
}

// Frequency, R and X as the export writes them for point i.
std::string Head(const AntIzms& set, const IGraphPointSource& s, int32_t i) {
  const std::complex<double> z = s.Impedance(set, i, false);
  return FormatFixed(set.At(i).freqHz * 1e-6, 6) + "\t" + FormatFixed(z.real(), 6) + "\t" + FormatFixed(z.imag(), 6) + "\t";
}

TEST(ResultsCorrections, TextExportColumnsWithAndWithoutCorrections) {
  Matched m;
  auto store = MeasuredStore();
  const AntIzms& set = store->Set(0);
  GraphPanelSettings panel;
  const ResultsPointSource on(m.For(panel));
  std::vector<std::string> lines = ExportLines(set, panel, on);
  ASSERT_EQ(lines.size(), 3u);
  // |A/O| 11 − 6 dB; phase 100° − 30°; |O| as measured; |In_O| −25 − 5 − (−30).
  EXPECT_EQ(lines[0].substr(0, lines[0].find("\t\t")),
            Head(set, on, 0) + "5.000000\t70.000000\t-25.000000\t0.000000");
  EXPECT_EQ(lines[1], Head(set, on, 1) + "5.000000\t160.000000\t-25.000000\t-2.000000\t");
  EXPECT_NEAR(std::stod(lines[2].substr(lines[2].find('\t') + 1)), 50.0, 1e-6);  // calibrated R
  // Corrections off, calibration on: the raw columns.
  m.Reload(true, 0, 0);
  const ResultsPointSource raw(m.For(panel));
  lines = ExportLines(set, panel, raw);
  EXPECT_EQ(lines[0].substr(0, lines[0].find("\t\t")),
            Head(set, raw, 0) + "11.000000\t100.000000\t-25.000000\t-30.000000");
  EXPECT_EQ(lines[1], Head(set, raw, 1) + "11.000000\t-170.000000\t-25.000000\t-32.000000\t");
  EXPECT_NEAR(std::stod(lines[2].substr(lines[2].find('\t') + 1)), 50.0, 1e-6);
}

// The value of the first line with quantity `q` of set 0 at point i; NaN when there is none.
double LineValue(CShowDataWindow& w, int q, int32_t i) {
  OGrList_EKG& list = w.List();
  for (int g = 0; g < list.GetGraphCount(); ++g) {
    for (int l = 0; l < list.GetLineCount(g); ++l) {
      if (list.LineCode(g, l) != q) continue;
      double x = 0, y = 0;
      if (list.GetLine(g, l).GetPoint(i, x, y) & kGrInvalid) return std::nan("");
      return y;
    }
  }
  return std::nan("");
}

TEST(ResultsCorrections, CalibrationWindowChangesRebuildTheLinesAndTheExport) {
  test::QtTestApp();
  test::ScopedSettings settings;
  test::TempDir dir;
  Settings().WriteProfileString("CDlgOptions", "m_SaveResPath", dir.Path());
  CalibrationSetup setup = MatchedLoadSetup(dir);
  ASSERT_TRUE(SaveCalibrationSetup(0, setup));
  ASSERT_TRUE(SaveCalibrationSwitch({false, 0}));
  GraphPanelSettings panel;
  panel.m_IsDeltaB = 1, panel.m_IsFAZA = 1, panel.m_IsUGen = 1, panel.m_IsONS2 = 1;
  panel.Store(Settings());
  auto store = MeasuredStore();
  store->file_name0 = dir.File("scan.kant");
  CShowDataWindow w(*store);
  std::vector<std::string> boxes;
  w.inform = [&](bool, const QString& caption, const QString&) { boxes.push_back(caption.toStdString()); };
  EXPECT_DOUBLE_EQ(LineValue(w, 104, 0), 11.0);
  EXPECT_DOUBLE_EQ(LineValue(w, 500, 0), 100 * kDeg);
  EXPECT_DOUBLE_EQ(LineValue(w, 141, 0), -30.0);
  // The calibration window switches calibration on (its command 11000).
  ASSERT_TRUE(SaveCalibrationSwitch({true, 0}));
  w.Command(11000);
  EXPECT_NEAR(LineValue(w, 104, 0), 5.0, 1e-9);
  EXPECT_NEAR(LineValue(w, 500, 0), 70 * kDeg, 1e-12);
  EXPECT_DOUBLE_EQ(LineValue(w, 141, 0), -30.0);  // "Исправлять |Вх|" still off
  // … then "Исправлять |Вх|" on.
  setup.is_korr_a = 1;
  ASSERT_TRUE(SaveCalibrationSetup(0, setup));
  w.Command(11000);
  EXPECT_NEAR(LineValue(w, 141, 0), 0.0, 1e-9);
  w.Command(2000);
  ASSERT_EQ(boxes, std::vector<std::string>{"СОЗДАН УСПЕШНО"});
  const std::string text = test::ReadFile(store->file_name0 + ".txt");
  EXPECT_NE(text.find("\t5.000000\t70.000000\t-25.000000\t0.000000\t"), std::string::npos) << text;
  // … and "Исправлять A/O" off again.
  setup.is_korr_ao = 0;
  ASSERT_TRUE(SaveCalibrationSetup(0, setup));
  w.Command(11000);
  EXPECT_DOUBLE_EQ(LineValue(w, 104, 0), 11.0);
  EXPECT_NEAR(LineValue(w, 141, 0), 0.0, 1e-9);
}

}  // namespace
}  // namespace kavu

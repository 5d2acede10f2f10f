// The saved scan's name and note, and the name made safe for the file system.
#include <gtest/gtest.h>

#include "dsp/fft_test_util.h"
#include "scan/live_spectrum.h"
#include "scan/scan_engine.h"
#include "scan/scan_saving.h"

namespace kavu {
namespace {

class FakeDescription : public ISaveDescription {
 public:
  std::string ReceiverText(bool detailed) const override { return detailed ? "rtlsdr_ga=40.2" : "rtlsdr"; }
  std::string RateText() const override { return "дискр 2.400"; }
  std::string ExtraText() const override { return ""; }
  std::string GeneratorText(bool with_power) const override { return with_power ? " ADF4351+5дБм" : " ADF4351"; }
};

TEST(ScanSaving, NameFromReceiverAndGenerator) {
  FakeDescription d;
  ScanOptions o;
  ScanSaveInputs in;
  in.options = &o;
  in.description = &d;
  in.points = 21;
  in.seconds = 2;
  EXPECT_EQ(ComposeScanSave(in).name, "rtlsdr_ga=40.2 ADF4351+5дБм");
  o.m_SaveName_IsSdrMode = 0;
  o.m_SaveName_IsGenMode = 0;
  EXPECT_EQ(ComposeScanSave(in).name, "rtlsdr ADF4351");
  o.m_SaveName_IsDate = 1;
  in.local.tm_year = 126;
  in.local.tm_mon = 11;
  in.local.tm_mday = 9;
  in.local.tm_hour = 8;
  in.local.tm_min = 7;
  in.local.tm_sec = 6;
  EXPECT_EQ(ComposeScanSave(in).name, "2026.12.09 08-07-06 rtlsdr ADF4351");
}

TEST(ScanSaving, NoteWithoutRangesAndKsvOfEmptyRange) {
  ScanOptions o;
  o.m_SaveName_IsKsvMin = 1;
  ScanPlanView v;
  v.count = 1;
  v.ranges[0].start = 140e6;
  ScanSaveInputs in;
  in.options = &o;
  in.points = 10;
  in.seconds = 4;
  ScanSaveTexts t = ComposeScanSave(in);
  EXPECT_EQ(t.note.rfind("\r\n\r\nТочек: 10 за 4.0 сек, итого 2.5 изм/сек\r\n", 0), 0u) << t.note;
  EXPECT_EQ(t.note.find("Диа"), std::string::npos);
  EXPECT_NE(t.note.find("Мост: верх 56, низ 51 Ом; делитель 330, 24 Ом\r\n"), std::string::npos) << t.note;
  in.plan = &v;
  t = ComposeScanSave(in);
  EXPECT_NE(t.note.find("Диа 140"), std::string::npos);
  // No valid point in the first range: its lowest SWR is still 1e100, printed with "%0.2f".
  EXPECT_EQ(t.name.rfind(" ксв=10000000000000000159", 0), 0u) << t.name;
  EXPECT_EQ(t.name.substr(t.name.size() - 3), ".00");
}

TEST(ScanSaving, SafeNames) {
  EXPECT_EQ(SafeScanFileName("a/b"), "a_b");
  EXPECT_EQ(SafeScanFileName(std::string("a\0b", 3)), "a_b");
  EXPECT_EQ(SafeScanFileName(""), "scan");
  EXPECT_EQ(SafeScanFileName(".."), "scan");
  // 200 two-byte letters: cut to at most 250 bytes on a character boundary.
  std::string longName;
  for (int i = 0; i < 200; ++i) longName += "д";
  const std::string s = SafeScanFileName("x" + longName);
  EXPECT_LE(s.size() + 5, 255u);
  EXPECT_EQ(s.size(), 249u);  // "x" + 124 letters
  EXPECT_EQ(s.substr(1), longName.substr(0, 248));
}

TEST(LiveSpectrum, HannTapersTheEndsOfTheRecord) {
  EXPECT_DOUBLE_EQ(LiveSpectrum::Window(0), 0.0);
  EXPECT_NEAR(LiveSpectrum::Window(1024), 1.0, 1e-15);
  EXPECT_NEAR(LiveSpectrum::Window(2047), LiveSpectrum::Window(1), 1e-15);
}

TEST(LiveSpectrum, ToneLandsInItsBin) {
  LiveSpectrum s(test::HostFft());
  s.SetPeriods(2, 1);
  std::vector<float> a(4096);
  const int bin = 100;
  for (int k = 0; k < 2048; ++k) {
    const double ph = 2 * 3.14159265358979 * bin * k / 2048.0;
    a[2 * static_cast<size_t>(k)] = static_cast<float>(10 * std::cos(ph));
    a[2 * static_cast<size_t>(k) + 1] = static_cast<float>(10 * std::sin(ph));
  }
  s.Feed(a.data(), a.data() + 2048, nullptr, nullptr);
  EXPECT_EQ(s.Graph().number, 0);
  s.Feed(a.data(), a.data() + 2048, nullptr, nullptr);
  const SpectrumFrame f = s.Graph();
  ASSERT_EQ(f.number, 1);
  ASSERT_EQ(f.a.size(), 2048u);
  const auto peak = std::max_element(f.a.begin(), f.a.end()) - f.a.begin();
  EXPECT_EQ(peak, bin);
  EXPECT_LT(f.a[bin + 10], f.a[bin] * 1e-6);  // far bins: leakage of a proper Hann window
  EXPECT_EQ(s.TakeLines().size(), 2u);
  EXPECT_TRUE(s.TakeLines().empty());
}

}  // namespace
}  // namespace kavu

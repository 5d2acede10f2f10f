#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "platform/text_cp1251.h"
#include "results/results_store.h"
#include "results/results_text_export.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

class FixedZ : public IGraphPointSource {
 public:
  std::complex<double> Impedance(const AntIzms&, int64_t i, bool cable) const override {
    last_cable = cable;
    return {50.0 + static_cast<double>(i), -12.5};
  }
  double PhaseCorrectionRad(double) const override { return phase_corr; }
  mutable bool last_cable = false;
  double phase_corr = 0;
};

std::unique_ptr<AntIzms> ThreePoints() {
  auto set = std::make_unique<AntIzms>(8);
  for (int i = 0; i < 3; ++i) {
    AntIzm p = EmptyAntIzm();
    p.freqHz = 14e6 + i * 5e5;
    p.a = -20 - i, p.o = -10, p.phase = 0.5 * i, p.gain = 30;
    set->Append(p);
  }
  return set;
}

TEST(ResultsTextExportTest, GoldenBytes) {
  auto set = ThreePoints();
  GraphPanelSettings panel;
  panel.m_LenCable = 1.5;
  panel.m_IsTransLen = 1;
  FixedZ src;
  const std::string got = ResultsTextExportBytes(*set, panel, src);
  const std::string want =
      "14.000000\t50.000000\t-12.500000\t-10.000000\t0.000000\t-10.000000\t-40.000000\t" +
      Utf8ToCp1251("\tВ каждой строке: частота (МГц); R,X (Ом); |A/O| (дБ); фаза A/O (град); |O|, |In_O| (дБ)\t") +
      "\r\n"
      "14.500000\t51.000000\t-12.500000\t-11.000000\t28.647890\t-10.000000\t-40.000000\t" +
      Utf8ToCp1251("\tПоправка на кабель длинной 1.500 м\t") +
      "\r\n"
      "15.000000\t52.000000\t-12.500000\t-12.000000\t57.295780\t-10.000000\t-40.000000\t\r\n";
  EXPECT_EQ(got, want);
  EXPECT_TRUE(src.last_cable);
  // The phase is brought back into −π … π after its correction, in degrees.
  src.phase_corr = -3.0;
  const std::string wrapped = ResultsTextExportBytes(*set, panel, src);
  EXPECT_NE(wrapped.find("\t-130.816882\t"), std::string::npos);  // (1 + 3 − 2π) rad
  panel.m_LenCable = 0;
  panel.m_IsTransLen = 0;
  EXPECT_EQ(ResultsTextExportBytes(*set, panel, src).find(Utf8ToCp1251("Поправка")), std::string::npos);
  EXPECT_FALSE(src.last_cable);
}

TEST(ResultsTextExportTest, WriteReportsFailures) {
  test::TempDir dir;
  auto set = ThreePoints();
  GraphPanelSettings panel;
  FixedZ src;
  const auto ok = WriteResultsTextExport(dir.Path() + "/a.kant.txt", *set, panel, src);
  EXPECT_TRUE(ok.ok) << ok.error;
  std::ifstream in(dir.Path() + "/a.kant.txt", std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  EXPECT_EQ(ss.str(), ResultsTextExportBytes(*set, panel, src));
  const auto missing = WriteResultsTextExport(dir.Path() + "/no/such/dir/x.txt", *set, panel, src);
  EXPECT_FALSE(missing.ok);
  EXPECT_FALSE(missing.error.empty());
  // A full disk: the write or the close fails, and that is reported.
  const auto full = WriteResultsTextExport("/dev/full", *set, panel, src);
  EXPECT_FALSE(full.ok);
}

}  // namespace
}  // namespace kavu

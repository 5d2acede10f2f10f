// CSV and Touchstone texts of computed points, read back the way other tools read them.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "results/impedance_csv.h"
#include "results/touchstone_s1p.h"

namespace kavu {
namespace {

using C = std::complex<double>;

ImpedanceRow Row(double f, C z, double z0 = 50) {
  const C g = (z - z0) / (z + z0);
  return {f, z, g, (1 + std::abs(g)) / (1 - std::abs(g))};
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

std::vector<std::string> Split(const std::string& line, char sep) {
  std::vector<std::string> out;
  std::istringstream in(line);
  for (std::string f; std::getline(in, f, sep);) out.push_back(f);
  return out;
}

TEST(ImpedanceCsv, HeaderPrecisionAndNan) {
  const std::vector<ImpedanceRow> rows = {
      Row(14123456.789, C(50.123456789, -12.3456789012)),
      Row(14.2e6, C(std::nan(""), 0)),
      Row(7e6, C(50, 0)),  // perfect match: infinite return loss
  };
  const auto lines = Lines(ImpedanceCsv(rows));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "freq_hz,r_ohm,x_ohm,swr,gamma_mag,gamma_deg,return_loss_db");
  const auto f1 = Split(lines[1], ',');
  ASSERT_EQ(f1.size(), 7u);
  EXPECT_EQ(f1[0], "14123456.789");
  EXPECT_NEAR(std::stod(f1[1]), 50.123456789, 1e-9);   // at least 9 significant digits
  EXPECT_NEAR(std::stod(f1[2]), -12.3456789012, 1e-9);
  const C g = rows[0].gamma;
  EXPECT_NEAR(std::stod(f1[4]), std::abs(g), 1e-11);
  EXPECT_NEAR(std::stod(f1[5]), std::arg(g) * 180 / M_PI, 1e-8);
  EXPECT_NEAR(std::stod(f1[6]), -20 * std::log10(std::abs(g)), 1e-8);
  EXPECT_NEAR(std::stod(f1[3]), rows[0].swr, 1e-9);
  EXPECT_EQ(lines[2], "14200000,nan,0,nan,nan,nan,nan");
  const auto f3 = Split(lines[3], ',');
  EXPECT_EQ(f3[1], "50");
  EXPECT_EQ(f3[6], "nan");  // no finite return loss
  EXPECT_EQ(Lines(ImpedanceCsv(std::vector<ImpedanceRow>{})).size(), 1u);
}

TEST(Touchstone, OptionLineInShortestForm) {
  EXPECT_EQ(TouchstoneOptionLine(50), "# Hz S RI R 50");
  EXPECT_EQ(TouchstoneOptionLine(75.5), "# Hz S RI R 75.5");
  EXPECT_EQ(TouchstoneOptionLine(0.1), "# Hz S RI R 0.1");
}

// What a Touchstone v1 reader demands of a one-port file: "!" comments anywhere, one option
// line before the data, three numbers per data line, strictly ascending frequencies.
struct ParsedS1p {
  std::string option;
  std::vector<double> freq;
  std::vector<C> s11;
  std::string error;
};

ParsedS1p ReadS1p(const std::string& text) {
  ParsedS1p p;
  for (const std::string& raw : Lines(text)) {
    const std::string line = raw.substr(0, raw.find('!'));
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    if (line[0] == '#') {
      if (!p.option.empty() || !p.freq.empty()) p.error = "option line misplaced";
      p.option = line;
      continue;
    }
    std::istringstream in(line);
    double f, re, im;
    std::string extra;
    if (!(in >> f >> re >> im) || (in >> extra)) p.error = "bad data line: " + raw;
    if (!p.freq.empty() && f <= p.freq.back()) p.error = "frequencies not ascending: " + raw;
    p.freq.push_back(f);
    p.s11.emplace_back(re, im);
  }
  if (p.option.empty()) p.error = "no option line";
  return p;
}

TEST(Touchstone, SortedUniqueFiniteAndCounted) {
  const std::vector<ImpedanceRow> rows = {
      Row(3e6, C(20, 5)),
      Row(1e6 + 0.3, C(50, 0)),
      Row(2e6, C(std::nan(""), 1)),      // non-finite impedance
      Row(1e6 - 0.2, C(10, -10)),        // same whole hertz as the 1e6 + 0.3 row: left out
      Row(std::nan(""), C(50, 0)),       // no frequency
      Row(2.5e6, C(100.123456789, 3)),
      Row(2.5e6, C(100, 3)),             // repeated
  };
  const TouchstoneText t = TouchstoneS1p(rows, 50, {"kavusdraa export", "line\nbreak"});
  EXPECT_EQ(t.written, 3);
  EXPECT_EQ(t.left_out_not_finite, 2);
  EXPECT_EQ(t.left_out_repeated, 2);
  const auto lines = Lines(t.text);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "! kavusdraa export");
  EXPECT_EQ(lines[1], "! line break");
  EXPECT_EQ(lines[2], "# Hz S RI R 50");
  const ParsedS1p p = ReadS1p(t.text);
  ASSERT_EQ(p.error, "");
  ASSERT_EQ(p.freq.size(), 3u);
  EXPECT_EQ(p.freq[0], 1000000);  // the first of the equal ones in scan order (stable sort)
  EXPECT_EQ(p.freq[1], 2500000);
  EXPECT_EQ(p.freq[2], 3000000);
  EXPECT_LT(std::abs(p.s11[0] - rows[1].gamma), 1e-11);
  EXPECT_LT(std::abs(p.s11[1] - rows[5].gamma), 1e-11);
  EXPECT_LT(std::abs(p.s11[2] - rows[0].gamma), 1e-11);
  EXPECT_EQ(Split(lines[3], ' ')[0], "1000000");  // an integer, not 1e+06
}

TEST(Touchstone, ReferenceImpedanceFromTheCable) {
  const std::vector<ImpedanceRow> rows = {Row(1e6, C(75, 0), 75)};
  const TouchstoneText t = TouchstoneS1p(rows, 75, {});
  EXPECT_EQ(t.text, "# Hz S RI R 75\n1000000 0 0\n");
  const TouchstoneText empty = TouchstoneS1p(std::vector<ImpedanceRow>{}, 50, {});
  EXPECT_EQ(empty.text, "# Hz S RI R 50\n");
  EXPECT_EQ(ReadS1p(empty.text).error, "");
}

}  // namespace
}  // namespace kavu

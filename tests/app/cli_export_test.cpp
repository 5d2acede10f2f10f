// kavusdraa-cli export, run as a user would, on scan files written byte by byte here and with
// settings in the child's own configuration folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <complex>
#include <sstream>

#include "shell/settings_store.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

using C = std::complex<double>;

// The ratio A/O the default bridge (Rt 56, Rb 51, Rd 330, Rg 24, no capacitor) shows for a
// load z, worked out here independently of the program's model.
C DefaultBridgeRatio(C z) {
  const double z1 = 330 + 24.0 * 50 / 74;
  const double zb = 51 * z1 / (51 + z1);
  const C za = z * z1 / (z + z1);
  return (za / (za + 56.0)) / (zb / (zb + 56.0));
}

void Put(std::string& rec, size_t off, uint64_t bits, int n) {
  for (int i = 0; i < n; ++i) rec[off + static_cast<size_t>(i)] = static_cast<char>(bits >> (8 * i));
}

struct Pt {
  double f;
  C z;  // the load; NaN real part: the point's level is NaN
};

std::string ScanFile(const std::vector<Pt>& pts) {
  std::string f(16, '\0');
  Put(f, 0, 0x21A47ED1u, 4);
  Put(f, 8, 192, 4);
  Put(f, 12, pts.size(), 4);
  for (const Pt& p : pts) {
    std::string rec(192, '\0');
    const C rho = std::isnan(p.z.real()) ? C(1) : DefaultBridgeRatio(p.z);
    const double a = std::isnan(p.z.real()) ? std::nan("") : -30 + 20 * std::log10(std::abs(rho));
    Put(rec, 0, std::bit_cast<uint64_t>(p.f), 8);
    Put(rec, 16, std::bit_cast<uint64_t>(a), 8);
    Put(rec, 48, std::bit_cast<uint64_t>(-30.0), 8);
    Put(rec, 72, std::bit_cast<uint64_t>(-std::arg(rho)), 8);
    f += rec;
  }
  return f;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

std::vector<double> Numbers(const std::string& line, char sep) {
  std::vector<double> out;
  std::istringstream in(line);
  for (std::string f; std::getline(in, f, sep);) out.push_back(f == "nan" ? std::nan("") : std::stod(f));
  return out;
}

int ToolLines(const std::string& err) {
  int n = 0;
  for (const auto& l : Lines(err)) n += l.rfind("kavusdraa-cli export:", 0) == 0 ? 1 : 0;
  return n;
}

class CliExportTest : public ::testing::Test {
 protected:
  test::CommandResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), "export");
    args.insert(args.begin(), test::CliPath());
    return test::RunCommand(args, {"XDG_CONFIG_HOME=" + dir_.File("cfg"), "HOME=" + dir_.Path()});
  }
  SettingsStore ChildSettings() {
    return SettingsStore(dir_.File("cfg") + "/KavuPublicSoft/KavuAntIzmSdr/AntIzmSdr_2021.ini");
  }
  std::string Scan(const std::vector<Pt>& pts) {
    test::WriteFile(dir_.File("scan.kant"), ScanFile(pts));
    return dir_.File("scan.kant");
  }
  test::TempDir dir_;
};

TEST_F(CliExportTest, CsvGivesEveryPointWithTheLoadsImpedance) {
  const std::vector<Pt> pts = {{14e6, C(51, 0)}, {14.1e6, C(100, 0)}, {14.2e6, C(25, -30)},
                               {14.3e6, C(std::nan(""), 0)}, {14.4e6, C(1500, 800)}};
  const auto r = Cli({Scan(pts), "--format", "csv"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 6u) << r.out;
  EXPECT_EQ(lines[0], "freq_hz,r_ohm,x_ohm,swr,gamma_mag,gamma_deg,return_loss_db");
  for (size_t i = 0; i < pts.size(); ++i) {
    const auto v = Numbers(lines[i + 1], ',');
    ASSERT_EQ(v.size(), 7u) << lines[i + 1];
    EXPECT_EQ(v[0], pts[i].f);
    if (std::isnan(pts[i].z.real())) {
      EXPECT_EQ(lines[i + 1], "14300000,nan,nan,nan,nan,nan,nan");
      continue;
    }
    EXPECT_LT(std::abs(C(v[1], v[2]) - pts[i].z) / std::abs(pts[i].z), 1e-9) << lines[i + 1];
    const C g = (pts[i].z - 50.0) / (pts[i].z + 50.0);
    EXPECT_NEAR(v[4], std::abs(g), 1e-9);
    EXPECT_NEAR(v[3], (1 + std::abs(g)) / (1 - std::abs(g)), 1e-7);
  }
  // A fresh install has calibration switched on without tables: not applied, said once.
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_NE(r.err.find("не применяется"), std::string::npos) << r.err;
}

TEST_F(CliExportTest, TouchstoneIsAscendingUniqueAndSaysWhatItLeftOut) {
  const std::vector<Pt> pts = {{14.2e6, C(25, -30)}, {14e6, C(51, 0)}, {14.1e6, C(100, 0)},
                               {14.1e6 + 0.4, C(100, 5)}, {14.3e6, C(std::nan(""), 0)}};
  const auto r = Cli({Scan(pts), "--format=s1p"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  const auto lines = Lines(r.out);
  std::vector<std::string> data;
  bool option_seen = false;
  for (const auto& l : lines) {
    if (l.rfind("!", 0) == 0) continue;
    if (l.rfind("#", 0) == 0) {
      EXPECT_EQ(l, "# Hz S RI R 50");
      EXPECT_TRUE(data.empty());
      option_seen = true;
      continue;
    }
    data.push_back(l);
  }
  EXPECT_TRUE(option_seen) << r.out;
  ASSERT_EQ(data.size(), 3u) << r.out;
  const double want_f[] = {14000000, 14100000, 14200000};
  const C want_z[] = {C(51, 0), C(100, 0), C(25, -30)};
  for (size_t i = 0; i < 3; ++i) {
    const auto v = Numbers(data[i], ' ');
    ASSERT_EQ(v.size(), 3u) << data[i];
    EXPECT_EQ(v[0], want_f[i]);
    const std::string hz = data[i].substr(0, data[i].find(' '));
    EXPECT_EQ(hz.find_first_not_of("0123456789"), std::string::npos) << data[i];  // whole hertz
    const C g = (want_z[i] - 50.0) / (want_z[i] + 50.0);
    EXPECT_LT(std::abs(C(v[1], v[2]) - g), 1e-9) << data[i];
  }
  EXPECT_NE(r.err.find("warning: 2 of 5 points left out"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("1 without a finite frequency or impedance, 1 repeating"), std::string::npos) << r.err;
}

TEST_F(CliExportTest, ReferenceImpedanceAndCableFromTheSettings) {
  const double f = 10e6;
  const std::vector<Pt> pts = {{f, C(30, 10)}};
  const std::string scan = Scan(pts);
  {
    SettingsStore st = ChildSettings();
    st.WriteProfileDouble("CDlg_SelectGraph", "m_RCable", 75);
    st.WriteProfileDouble("CDlg_SelectGraph", "m_LenCable", 299792458.0 / (4 * f));
    st.WriteProfileInt("CDlgCalibrate", "m_IsCal", 0);
  }
  auto r = Cli({scan, "--format", "s1p"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_NE(r.out.find("\n# Hz S RI R 75\n"), std::string::npos) << r.out;
  r = Cli({scan, "--format", "csv"});
  auto v = Numbers(Lines(r.out).at(1), ',');
  EXPECT_LT(std::abs(C(v[1], v[2]) - C(30, 10)), 1e-7);  // m_IsTransLen off: no cable
  ChildSettings().WriteProfileInt("CDlg_SelectGraph", "m_IsTransLen", 1);
  r = Cli({scan, "--format", "csv"});
  v = Numbers(Lines(r.out).at(1), ',');
  const C quarter = 75.0 * 75.0 / C(30, 10);
  EXPECT_LT(std::abs(C(v[1], v[2]) - quarter), 1e-6) << r.out;
}

TEST_F(CliExportTest, WritesToAFileWithDashO) {
  const std::string scan = Scan({{1e6, C(51, 0)}, {2e6, C(51, 0)}});
  const auto r = Cli({scan, "--format", "s1p", "-o", dir_.File("out.s1p")});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  const std::string text = test::ReadFile(dir_.File("out.s1p"));
  EXPECT_NE(text.find("# Hz S RI R 50\n1000000 "), std::string::npos) << text;
}

TEST_F(CliExportTest, TheOutputIsARegularFileAndNeverTheScanItReads) {
  const std::string scan = Scan({{1e6, C(51, 0)}, {2e6, C(51, 0)}});
  const std::string bytes = test::ReadFile(scan);
  auto r = Cli({scan, "--format", "csv", "-o", scan});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_NE(r.err.find("it is the scan file being exported"), std::string::npos) << r.err;
  EXPECT_EQ(test::ReadFile(scan), bytes);
  ASSERT_EQ(symlink(scan.c_str(), dir_.File("alias.kant").c_str()), 0);
  r = Cli({scan, "--format", "csv", "-o", dir_.File("alias.kant")});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(test::ReadFile(scan), bytes);
  ASSERT_EQ(mkfifo(dir_.File("fifo").c_str(), 0600), 0);
  r = Cli({scan, "--format", "csv", "-o", dir_.File("fifo")});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_NE(r.err.find("refusing to write: \"" + dir_.File("fifo") + "\" is a FIFO"), std::string::npos) << r.err;
  r = Cli({scan, "--format", "csv", "-o", "/dev/null"});  // as root this once replaced the device
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_NE(r.err.find("is a device"), std::string::npos) << r.err;
  struct stat st {};
  ASSERT_EQ(lstat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  // A link to a regular file is written through.
  test::WriteFile(dir_.File("real.csv"), "old");
  ASSERT_EQ(symlink("real.csv", dir_.File("out.csv").c_str()), 0);
  r = Cli({scan, "--format", "csv", "-o", dir_.File("out.csv")});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  ASSERT_EQ(lstat(dir_.File("out.csv").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(test::ReadFile(dir_.File("real.csv")).rfind("freq_hz,", 0), 0u);
}

TEST_F(CliExportTest, FailuresExitOneWithOneLine) {
  const std::string scan = Scan({{1e6, C(51, 0)}, {2e6, C(51, 0)}});
  test::WriteFile(dir_.File("junk.kant"), "no scan here");
  const std::vector<std::vector<std::string>> cases = {
      {dir_.File("missing.kant"), "--format", "csv"},
      {dir_.File("junk.kant"), "--format", "csv"},
      {scan, "--format", "xlsx"},
      {scan},
      {scan, "--format"},
      {scan, "--format", "csv", "-o", dir_.File("no/such/folder/out.csv")},
      {scan, scan, "--format", "csv"},
      {scan, "--format", "csv", "--colour"},
      {dir_.Path(), "--format", "csv"},
  };
  for (const auto& args : cases) {
    const auto r = Cli(args);
    EXPECT_EQ(r.exit_status, 1) << args.back() << "\n" << r.err;
    EXPECT_EQ(ToolLines(r.err), 1) << r.err;
    EXPECT_EQ(r.out, "");
  }
  const auto bad = Cli({scan, "--format", "xlsx"});
  EXPECT_NE(bad.err.find("unknown format \"xlsx\""), std::string::npos) << bad.err;
  const auto help = Cli({"--help"});
  EXPECT_EQ(help.exit_status, 0);
  EXPECT_NE(help.out.find("Usage: kavusdraa-cli export FILE --format csv|s1p [-o OUT]"), std::string::npos);
}

}  // namespace
}  // namespace kavu

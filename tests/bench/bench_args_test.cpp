// The command line of kavusdraa-bench: selection, --list, --help, --here and every error.
#include "bench_args.h"

#include <gtest/gtest.h>

namespace kavu::bench {
namespace {

using Names = std::vector<std::string>;
const Names kKnown = {"chain", "fft", "scan", "scan_wide", "serial_wait"};

TEST(BenchArgsTest, NamesSelectInTheOrderGivenAndStartsOfNamesSelectAllTheyStart) {
  BenchArgs a = ParseBenchArgs({}, kKnown);
  EXPECT_EQ(a.action, BenchArgs::kRun);
  EXPECT_EQ(a.selected, kKnown);
  // A whole name is that benchmark only, though it starts another's name.
  a = ParseBenchArgs({"scan"}, kKnown);
  EXPECT_EQ(a.action, BenchArgs::kRun);
  EXPECT_EQ(a.selected, Names{"scan"});
  // Several, in the order given, each once.
  a = ParseBenchArgs({"serial_wait", "fft", "serial_wait", "s"}, kKnown);
  EXPECT_EQ(a.action, BenchArgs::kRun);
  EXPECT_EQ(a.selected, (Names{"serial_wait", "fft", "scan", "scan_wide"}));
  a = ParseBenchArgs({"sca"}, kKnown);
  EXPECT_EQ(a.selected, (Names{"scan", "scan_wide"}));
}

TEST(BenchArgsTest, HereRunsExactlyOneBenchmark) {
  BenchArgs a = ParseBenchArgs({"--here", "fft"}, kKnown);
  EXPECT_EQ(a.action, BenchArgs::kRunHere);
  EXPECT_EQ(a.selected, Names{"fft"});
  a = ParseBenchArgs({"scan_w", "--here"}, kKnown);
  EXPECT_EQ(a.action, BenchArgs::kRunHere);
  EXPECT_EQ(a.selected, Names{"scan_wide"});
  for (const Names& args : {Names{"--here"}, Names{"--here", "sca"}, Names{"--here", "fft", "chain"}}) {
    a = ParseBenchArgs(args, kKnown);
    EXPECT_EQ(a.action, BenchArgs::kError) << args.size();
    EXPECT_NE(a.error.find("exactly one"), std::string::npos) << a.error;
  }
}

TEST(BenchArgsTest, ListAndHelp) {
  EXPECT_EQ(ParseBenchArgs({"--list"}, kKnown).action, BenchArgs::kList);
  // Help wins over anything else on the line, even what would be an error.
  EXPECT_EQ(ParseBenchArgs({"--help"}, kKnown).action, BenchArgs::kHelp);
  EXPECT_EQ(ParseBenchArgs({"nosuch", "-h"}, kKnown).action, BenchArgs::kHelp);
  EXPECT_EQ(ParseBenchArgs({"--bogus", "--help"}, kKnown).action, BenchArgs::kHelp);
  const std::string help = BenchHelpText(kKnown);
  for (const std::string& name : kKnown) {
    EXPECT_NE(help.find("\n  " + name + "\n"), std::string::npos) << name;
  }
  EXPECT_NE(help.find("kavusdraa-bench [NAME...]"), std::string::npos);
  EXPECT_NE(help.find("--here NAME"), std::string::npos);
  EXPECT_NE(help.find("--list"), std::string::npos);
}

TEST(BenchArgsTest, UnknownNamesAndOptionsAreErrorsThatNameTheBenchmarks) {
  BenchArgs a = ParseBenchArgs({"fft", "nosuch"}, kKnown);
  EXPECT_EQ(a.action, BenchArgs::kError);
  EXPECT_NE(a.error.find("\"nosuch\""), std::string::npos) << a.error;
  EXPECT_NE(a.error.find("benchmarks: chain, fft, scan, scan_wide, serial_wait"), std::string::npos) << a.error;
  a = ParseBenchArgs({"--fast"}, kKnown);
  EXPECT_EQ(a.action, BenchArgs::kError);
  EXPECT_NE(a.error.find("\"--fast\""), std::string::npos) << a.error;
  a = ParseBenchArgs({"--list", "fft"}, kKnown);
  EXPECT_EQ(a.action, BenchArgs::kError);
  EXPECT_NE(a.error.find("--list"), std::string::npos) << a.error;
  // No benchmark at all: every name is unknown.
  a = ParseBenchArgs({"fft"}, {});
  EXPECT_EQ(a.action, BenchArgs::kError);
  EXPECT_EQ(BenchNamesLine({}), "benchmarks:");
}

}  // namespace
}  // namespace kavu::bench

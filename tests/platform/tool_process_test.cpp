// Running a desktop tool: found on the PATH it is given, its output and status, and a tool
// that does not end is killed with what it started.
#include "platform/tool_process.h"

#include <gtest/gtest.h>

#include <chrono>

namespace kavu {
namespace {

const std::vector<std::string> kEnv = {"PATH=/usr/bin:/bin", "GREETING=hello"};

TEST(ToolProcess, OutputStatusAndTheToolsOwnEnvironment) {
  ToolRun r = RunTool("sh", {"-c", "echo \"$GREETING\"; echo to-stderr >&2"}, kEnv, 30000);
  EXPECT_TRUE(r.Ok()) << r.error;
  EXPECT_EQ(r.output, "hello\nto-stderr\n");
  r = RunTool("sh", {"-c", "echo broken; exit 3"}, kEnv, 30000);
  EXPECT_FALSE(r.Ok());
  EXPECT_EQ(r.exit_status, 3);
  EXPECT_NE(r.error.find("sh завершилась с ошибкой (код 3): broken"), std::string::npos) << r.error;
  r = RunTool("no-such-tool-here", {}, kEnv, 30000);
  EXPECT_FALSE(r.found);
  EXPECT_NE(r.error.find("no-such-tool-here не найдена"), std::string::npos) << r.error;
  EXPECT_EQ(FindTool("sh", {"PATH=/nowhere"}), "");
  EXPECT_EQ(EnvValue(kEnv, "GREETING"), "hello");
  EXPECT_EQ(EnvValue(kEnv, "GREET"), "");
}

TEST(ToolProcess, AToolThatDoesNotEndIsKilledWithItsChildren) {
  const auto t0 = std::chrono::steady_clock::now();
  // The shell's child keeps the output pipe open: both go when the time is up.
  const ToolRun r = RunTool("sh", {"-c", "sleep 600 & sleep 600"}, kEnv, 300);
  EXPECT_TRUE(r.timed_out);
  EXPECT_FALSE(r.Ok());
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(60)) << "it was not killed";
  // A tool that ends while a child it left keeps the pipe open is done when it ends (and the
  // child goes with it).
  const ToolRun left = RunTool("sh", {"-c", "sleep 600 & echo started"}, kEnv, 60000);
  EXPECT_TRUE(left.Ok()) << left.error;
  EXPECT_EQ(left.output, "started\n");
}

}  // namespace
}  // namespace kavu

#pragma once
// Runs a desktop tool (update-mime-database, xdg-mime, …) to its end and collects what it said.
// The tool is looked up in the PATH of the environment it is given, so a caller (or a test) can
// hand a child an environment of its own without touching this process's. Blocking: call it from
// a worker thread, never from the window thread.
#include <string>
#include <vector>

namespace kavu {

struct ToolRun {
  bool found = false;     // the tool is an executable file on PATH
  bool started = false;   // ... and it was started
  bool timed_out = false; // it (or a child it left) still ran at the time limit and was killed
  int exit_status = -1;   // its exit status; -1 when it did not exit normally
  std::string output;     // standard output and standard error together, at most 64 KiB
  std::string error;      // why it did not run, or how it ended, as a sentence naming the tool
  bool Ok() const { return started && !timed_out && exit_status == 0; }
};

// The current environment, as "NAME=VALUE" entries.
std::vector<std::string> CurrentEnvironment();
// The value of NAME in `env`, or "" when absent.
std::string EnvValue(const std::vector<std::string>& env, const std::string& name);

// The full path of `tool` found on env's PATH (an executable regular file), or "".
std::string FindTool(const std::string& tool, const std::vector<std::string>& env);

// Runs `tool` with `args` in environment `env`, standard input from /dev/null, in a process
// group of its own; the group is killed when the tool has ended (what it left running goes with
// it) or has not ended after `timeout_ms`.
ToolRun RunTool(const std::string& tool, const std::vector<std::string>& args, const std::vector<std::string>& env,
                int timeout_ms);

}  // namespace kavu

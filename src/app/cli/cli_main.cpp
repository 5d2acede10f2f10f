// kavusdraa-cli: the command-line front end. Everything a person can do without looking at a
// graph: inspecting scan files, exports, scans on the receiver or on the virtual bench.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/cli/cli_command.h"
#include "shell/command_line.h"
#include "shell/log_console.h"

namespace kavu::cli {

namespace {
std::vector<CliCommand>& Commands() {
  static std::vector<CliCommand> commands;
  return commands;
}

void PrintToolHelp(std::FILE* out) {
  std::fprintf(out,
               "Usage: kavusdraa-cli <command> [arguments]\n"
               "       kavusdraa-cli <command> --help\n\n"
               "Commands:\n");
  auto sorted = Commands();
  std::sort(sorted.begin(), sorted.end(),
            [](const CliCommand& a, const CliCommand& b) { return std::strcmp(a.name, b.name) < 0; });
  for (const auto& c : sorted) std::fprintf(out, "  %-12s %s\n", c.name, c.summary);
  std::fprintf(out,
               "\n\"kavusdraa-cli --version\" prints the version.\n"
               "An argument containing \"AVX_Disable\" anywhere selects the portable FFT kernel.\n");
}
}  // namespace

void CliRegistry::Add(const CliCommand& command) { Commands().push_back(command); }
const std::vector<CliCommand>& CliRegistry::All() { return Commands(); }
const CliCommand* CliRegistry::Find(const std::string& name) {
  for (const auto& c : Commands()) {
    if (name == c.name) return &c;
  }
  return nullptr;
}

bool WantsHelp(const std::vector<std::string>& args) {
  return std::any_of(args.begin(), args.end(),
                     [](const std::string& a) { return a == "--help" || a == "-h"; });
}

int Fail(const char* name, const std::string& message, int status) {
  std::fprintf(stderr, "kavusdraa-cli %s: %s\n", name, message.c_str());
  return status;
}

}  // namespace kavu::cli

int main(int argc, char** argv) {
  using namespace kavu;
  using namespace kavu::cli;
  // The log console goes to standard error: standard output carries the command's results.
  Log().SetSink(OLogConsole::Sink::Stderr);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    if (std::strstr(argv[i], "AVX_Disable")) {
      SetAvxDisabledByCommandLine(true);
      continue;
    }
    args.emplace_back(argv[i]);
  }
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintToolHelp(args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  if (args[0] == "--version") {
    std::printf("kavusdraa-cli %s\n", KAVU_VERSION);  // the project's version in CMake
    return 0;
  }
  const CliCommand* command = CliRegistry::Find(args[0]);
  if (!command) {
    std::fprintf(stderr, "kavusdraa-cli: unknown command \"%s\"\n\n", args[0].c_str());
    PrintToolHelp(stderr);
    return 2;
  }
  std::vector<std::string> rest(args.begin() + 1, args.end());
  if (WantsHelp(rest)) {
    std::fputs(command->help, stdout);
    return 0;
  }
  return command->run(rest);
}

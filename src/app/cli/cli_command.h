#pragma once
// Subcommands of kavusdraa-cli. Each lives in its own cmd_<name>.cpp and registers itself with a
// static CliRegistrar, so adding one touches no other file.
#include <string>
#include <vector>

namespace kavu::cli {

struct CliCommand {
  const char* name;
  const char* summary;  // one line for the tool's --help
  const char* help;     // the subcommand's --help text
  // `args` are the arguments after the subcommand's name. Returns the exit status.
  int (*run)(const std::vector<std::string>& args);
};

class CliRegistry {
 public:
  static void Add(const CliCommand& command);
  static const std::vector<CliCommand>& All();
  static const CliCommand* Find(const std::string& name);
};

struct CliRegistrar {
  explicit CliRegistrar(const CliCommand& command) { CliRegistry::Add(command); }
};

// True when args contain "--help" or "-h".
bool WantsHelp(const std::vector<std::string>& args);
// Prints "kavusdraa-cli <name>: <message>" on standard error; returns `status`.
int Fail(const char* name, const std::string& message, int status = 1);

}  // namespace kavu::cli

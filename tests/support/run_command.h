#pragma once
// Runs a program as a user would and collects what it printed.
#include <functional>
#include <string>
#include <vector>

namespace kavu::test {

struct CommandResult {
  int exit_status = -1;  // -1 when it did not exit normally (killed, not started)
  std::string out;
  std::string err;
};

// Runs `argv[0]` with the arguments, with extra environment entries "NAME=VALUE", standard input
// from /dev/null; kills it after `timeout_s` seconds.
// In a forked child: adds `env` and becomes `argv`; exits 127 when it cannot.
[[noreturn]] void ExecWith(const std::vector<std::string>& argv, const std::vector<std::string>& env);

CommandResult RunCommand(const std::vector<std::string>& argv,
                         const std::vector<std::string>& env = {}, double timeout_s = 60);

// The same, sending `signal` `delay_s` seconds after its standard error first contains
// `when_err_has` (a user pressing Ctrl-C once the scan runs).
CommandResult RunCommandSignalled(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                                  double timeout_s, int signal, const std::string& when_err_has, double delay_s);

// The same, calling `action` with the process id `delay_s` seconds after its standard error
// first contains `when_err_has` (null: never).
CommandResult RunCommandThen(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                             double timeout_s, const std::string& when_err_has, double delay_s,
                             const std::function<void(int pid)>& action);

// Runs `argv` with its standard error on a terminal of its own and standard output to `out_file`;
// what the terminal received (it gives up after a minute without output).
std::string RunOnTerminal(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                          const std::string& out_file);

// The built kavusdraa-cli.
std::string CliPath();

// One point line of `kavusdraa-cli scan` or `demo` ("MHz<TAB>R<TAB>X<TAB>SWR").
struct ScanRow {
  double mhz = 0, r = 0, x = 0, swr = 0;
};
// Every point line of a scan's standard output, in order (other lines are skipped).
std::vector<ScanRow> ScanRows(const std::string& out);

}  // namespace kavu::test

#pragma once
// The program's command line.
//   -n, /n        the receiver chosen last is not opened automatically (its key is emptied)
//   …AVX_Disable… (anywhere in an argument) the portable FFT kernel is used
//   --demo        the virtual bench with the demo antenna stands in for the hardware
//   --sim LOAD    the virtual bench with the antenna LOAD (the bench's load syntax)
//   --web [ADDRESS:]PORT  the web server runs for this run, on that address (none: every
//                 address) and port (0: a free one), whatever the options say; nothing is stored
//   --help, -h    the usage text (CommandLineHelp) instead of a window
//   --version     the program's name and version instead of a window
//   anything else not beginning with '-' is a scan-result file, opened in the results window only
//   (on Linux absolute paths begin with '/', so only exactly "/n" is the option; a later file
//   name replaces an earlier one)
#include <cstdint>
#include <string>
#include <vector>

namespace kavu {

struct CommandLineOptions {
  std::string file_name;          // empty: normal mode
  bool clear_receiver_key = false;
  bool avx_disable = false;
  bool demo = false;              // --demo
  std::string sim_load;           // --sim LOAD; empty: no bench (unless demo)
  bool web = false;               // --web given: web_address and web_port hold its value
  std::string web_address;        // "": every local address
  int32_t web_port = 0;           // 0 … 65535; 0: a free port chosen when the server starts
  std::string error;              // a malformed option (--sim without its LOAD); empty: none
};

// The value of --web: "PORT" or "ADDRESS:PORT" (ADDRESS an IPv4 address or a host name, the
// server listens on IPv4 only; PORT 0 … 65535 in decimal digits). False with the reason in
// *error, the outputs untouched.
bool ParseWebValue(const std::string& text, std::string* address, int32_t* port, std::string* error);

// True when the arguments ask for the usage text ("--help" or "-h" anywhere).
bool HelpRequested(const std::vector<std::string>& args);
// True when the arguments ask for the version ("--version" anywhere).
bool VersionRequested(const std::vector<std::string>& args);
// The usage text of `kavusdraa`, ending in a newline.
std::string CommandLineHelp();

// `args` are argv[1..]. Logs every argument and every decision; "-n" empties the key
// m_SelectSdrKey of section "ODlgSpektr" in the settings store.
CommandLineOptions ParseCommandLine(const std::vector<std::string>& args);

// True when any argument contains "AVX_Disable" (the processor probe asks this).
bool AvxDisabledByCommandLine();
void SetAvxDisabledByCommandLine(bool disabled);

}  // namespace kavu

#pragma once
// The program's command line.
//   -n, /n        the receiver chosen last is not opened automatically (its key is emptied)
//   …AVX_Disable… (anywhere in an argument) the portable FFT kernel is used
//   --demo        the virtual bench with the demo antenna stands in for the hardware
//   --sim LOAD    the virtual bench with the antenna LOAD (the bench's load syntax)
//   anything else not beginning with '-' is a scan-result file, opened in the results window only
//   (on Linux absolute paths begin with '/', so only exactly "/n" is the option; a later file
//   name replaces an earlier one)
#include <string>
#include <vector>

namespace kavu {

struct CommandLineOptions {
  std::string file_name;          // empty: normal mode
  bool clear_receiver_key = false;
  bool avx_disable = false;
  bool demo = false;              // --demo
  std::string sim_load;           // --sim LOAD; empty: no bench (unless demo)
  std::string error;              // a malformed option (--sim without its LOAD); empty: none
};

// `args` are argv[1..]. Logs every argument and every decision; "-n" empties the key
// m_SelectSdrKey of section "ODlgSpektr" in the settings store.
CommandLineOptions ParseCommandLine(const std::vector<std::string>& args);

// True when any argument contains "AVX_Disable" (the processor probe asks this).
bool AvxDisabledByCommandLine();
void SetAvxDisabledByCommandLine(bool disabled);

}  // namespace kavu

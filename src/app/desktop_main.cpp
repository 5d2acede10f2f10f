// kavusdraa: the desktop program. Its start-up sequence runs here; the windows are not part of
// this build yet, so the program says so and ends after the start-up.
#include <cstdio>
#include <string>
#include <vector>

#include "results/results_store.h"
#include "shell/command_line.h"
#include "shell/log_console.h"
#include "shell/start_up.h"

int main(int argc, char** argv) {
  using namespace kavu;
  PrintBanner();
  std::vector<std::string> args(argv + 1, argv + argc);
  const CommandLineOptions options = ParseCommandLine(args);
  if (!options.file_name.empty()) {
    Log() << "openname = " << options.file_name << "\n";
    auto store = std::make_unique<ResultsStore>();
    store->LoadAnts(options.file_name);
    Log() << "Файл [" << store->Set(0).Count() << "]: " << store->file_name0 << "\n";
  }
  Log() << LogColour(kColourNotice)
        << "The windows are not built yet: use kavusdraa-cli (kavusdraa-cli --help).\n"
        << LogColour(kColourNormal);
  return 0;
}

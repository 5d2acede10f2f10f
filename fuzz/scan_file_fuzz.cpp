// Feeds arbitrary bytes to the scan-file reader, the note reader and the set loader: none may
// crash, read out of bounds or report more points than the file holds.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "results/ant_izm_file.h"
#include "results/results_store.h"
#include "shell/log_console.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kavu;
  static bool quiet = (Log().SetSink(OLogConsole::Sink::None), true);
  (void)quiet;
  static auto* store = new ResultsStore(64);
  std::FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!f) return 0;
  ScanFileReport report;
  AntIzms& set = store->Set(0);
  const bool ok = store->LoadAntIzmsFile(f, set, &report);
  if (ok) {
    if (set.Count() < 0 || set.Count() > set.Capacity()) std::abort();
    if (report.records_read != set.Count()) std::abort();
    // Complete records only: 16 header bytes plus count * record size fit in the input.
    if (16 + static_cast<uint64_t>(set.Count()) * report.record_size > size) std::abort();
    if (!report.truncated) ReadAntIzmsNote(f);
  } else if (set.Count() != 0) {
    std::abort();
  }
  std::fclose(f);
  return 0;
}

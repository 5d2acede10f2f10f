// kavusdraa-cli export FILE --format csv|s1p [-o OUT]: the impedance of every point of a scan
// file, computed with the current bridge, cable and calibration settings, as CSV or as a
// one-port Touchstone file.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/cli_command.h"
#include "measure/measure_keeper.h"
#include "platform/atomic_file.h"
#include "platform/number_text.h"
#include "results/impedance_csv.h"
#include "results/results_store.h"
#include "results/touchstone_s1p.h"

namespace kavu::cli {
namespace {

constexpr const char* kName = "export";

struct ExportArgs {
  std::string file;
  std::string format;
  std::optional<std::string> out;
};

// Parses FILE, --format NAME (or --format=NAME) and -o/--output OUT; false after printing why.
bool ParseArgs(const std::vector<std::string>& args, ExportArgs& a) {
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& s = args[i];
    const bool has_value = i + 1 < args.size();
    if (s == "--format" || s == "-f") {
      if (!has_value) return Fail(kName, "--format needs a value: csv or s1p"), false;
      a.format = args[++i];
    } else if (s.rfind("--format=", 0) == 0) {
      a.format = s.substr(9);
    } else if (s == "-o" || s == "--output") {
      if (!has_value) return Fail(kName, s + " needs a file name"), false;
      a.out = args[++i];
    } else if (s.rfind("--output=", 0) == 0) {
      a.out = s.substr(9);
    } else if (s.size() > 1 && s[0] == '-') {
      return Fail(kName, "unknown option \"" + s + "\" (see --help)"), false;
    } else {
      files.push_back(s);
    }
  }
  if (files.size() != 1) return Fail(kName, "expects exactly one FILE (see --help)"), false;
  a.file = files[0];
  if (a.format.empty()) return Fail(kName, "missing --format csv|s1p"), false;
  if (a.format != "csv" && a.format != "s1p") {
    return Fail(kName, "unknown format \"" + a.format + "\": use csv or s1p"), false;
  }
  if (a.out && a.out->empty()) return Fail(kName, "empty output file name"), false;
  return true;
}

// Reads the scan file into `set`; false after printing why it cannot be used.
bool LoadScan(const std::string& path, AntIzms& set) {
  ResultsStore reader(1);  // only its file reader is used; the points go into `set`
  ScanFileReport report;
  if (!reader.LoadAntIzmsFile(path, set, &report)) {
    const std::string why = report.Describe();
    return Fail(kName, report.status == ScanFileStatus::kNotOpened ? why : "\"" + path + "\": " + why), false;
  }
  if (const std::string problem = report.Describe(); !problem.empty()) {
    std::fprintf(stderr, "kavusdraa-cli export: warning: \"%s\": %s\n", path.c_str(), problem.c_str());
  }
  return true;
}

// The output may be a new file or a regular one (a link to one is written through), never the
// scan being read nor a device, FIFO, socket or folder.
bool CheckOutput(const ExportArgs& a) {
  if (!a.out) return true;
  if (const std::string problem = OutputPathProblem(*a.out); !problem.empty()) {
    return Fail(kName, "refusing to write: " + problem), false;
  }
  if (SameFile(*a.out, a.file)) {
    return Fail(kName, "refusing to write \"" + *a.out + "\": it is the scan file being exported"), false;
  }
  return true;
}

std::vector<std::string> Comments(const ExportArgs& a, const BridgeSettings& b,
                                  const Calibration& cal) {
  std::vector<std::string> c;
  c.push_back("kavusdraa-cli export of " + a.file);
  c.push_back("bridge: Rt " + FormatTrimmed(b.rt, 6) + " ohm, Rb " + FormatTrimmed(b.rb, 6) +
              " ohm, Rd " + FormatTrimmed(b.rd, 6) + " ohm, Rg " + FormatTrimmed(b.rg, 6) +
              " ohm, Cs " + FormatTrimmed(b.cs_pf, 6) + " pF");
  if (b.trans_len != 0 && b.cable_m != 0) {
    c.push_back("cable transformation: electrical length " + FormatTrimmed(b.cable_m, 6) +
                " m, Z0 " + FormatTrimmed(b.z0, 6) + " ohm");
  } else {
    c.push_back("cable transformation: none");
  }
  if (cal.InUse()) {
    c.push_back("calibration: set-up " + std::to_string(cal.Number() + 1) +
                (cal.Setup().cal_type == 1 ? ", three loads" : ", one load"));
  } else {
    c.push_back("calibration: not applied");
  }
  return c;
}

bool Emit(const ExportArgs& a, const std::string& text) {
  if (a.out) {
    std::string error;
    if (!WriteFileAtomically(*a.out, text, &error)) {
      return Fail(kName, "cannot write \"" + *a.out + "\": " + error), false;
    }
    return true;
  }
  const bool ok = std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
                  std::fflush(stdout) == 0;
  if (!ok) return Fail(kName, std::string("cannot write to standard output: ") + std::strerror(errno)), false;
  return true;
}

int RunExport(const std::vector<std::string>& args) {
  ExportArgs a;
  if (!ParseArgs(args, a) || !CheckOutput(a)) return 1;
  auto set = std::make_unique<AntIzms>();
  if (!LoadScan(a.file, *set)) return 1;
  MeasureKeeper measure;
  const std::shared_ptr<const MeasureSnapshot> snapshot = measure.ReloadFromSettings();
  const BridgeSettings& bridge = snapshot->Bridge();
  const std::vector<ImpedanceRow> rows = snapshot->Impedance().Rows(*set, -1);
  if (a.format == "csv") return Emit(a, ImpedanceCsv(rows)) ? 0 : 1;
  const TouchstoneText t = TouchstoneS1p(rows, bridge.z0, Comments(a, bridge, snapshot->Cal()));
  if (!Emit(a, t.text)) return 1;
  const int32_t left_out = t.left_out_not_finite + t.left_out_repeated;
  if (left_out > 0) {
    std::fprintf(stderr,
                 "kavusdraa-cli export: warning: %d of %zu points left out of the Touchstone file "
                 "(%d without a finite frequency or impedance, %d repeating the previous whole-hertz "
                 "frequency)\n",
                 left_out, rows.size(), t.left_out_not_finite, t.left_out_repeated);
  }
  return 0;
}

const CliRegistrar export_registrar(
    {kName, "impedance of every point of a scan file as CSV or Touchstone",
     "Usage: kavusdraa-cli export FILE --format csv|s1p [-o OUT]\n\n"
     "Computes R + jX, the reflection coefficient and the SWR of every point of a scan-result\n"
     "file (.kant) with the current settings: the bridge and cable of the results panel (the cable\n"
     "transformation when \"m_IsTransLen\" is on) and the current calibration when it is switched\n"
     "on and valid. Writes to standard output, or atomically to OUT with -o.\n\n"
     "  --format csv  header line freq_hz,r_ohm,x_ohm,swr,gamma_mag,gamma_deg,return_loss_db,\n"
     "                then one line per point in scan order; non-finite values as nan.\n"
     "  --format s1p  Touchstone v1 one-port: \"!\" comment lines, the option line\n"
     "                \"# Hz S RI R <Z0>\" (Z0 = the panel's m_RCable), then whole-hertz\n"
     "                frequency and S11 real and imaginary parts, ascending. Points without a\n"
     "                finite impedance or repeating the previous whole-hertz frequency are left\n"
     "                out and counted in one warning on standard error.\n\n"
     "Exit status 0 on success, 1 when the file cannot be read, the format is unknown or the\n"
     "output cannot be written.\n",
     RunExport});

}  // namespace
}  // namespace kavu::cli

// kavusdraa-cli info FILE / points FILE: what a scan-result file holds.
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/cli/cli_command.h"
#include "platform/number_text.h"
#include "results/ant_izm_file.h"
#include "results/ant_izms.h"

namespace kavu::cli {
namespace {

struct LoadedFile {
  std::unique_ptr<AntIzms> set = std::make_unique<AntIzms>();
  ScanFileReport report;
  std::optional<std::string> note;
  uint32_t reserved = 0;
};

// Opens and reads FILE; prints the reason and returns false when it cannot be used.
bool Load(const char* command, const std::vector<std::string>& args, LoadedFile& out) {
  if (args.size() != 1) {
    Fail(command, "expects exactly one FILE (see --help)");
    return false;
  }
  const std::string& path = args[0];
  std::string error;
  std::FILE* f = OpenScanFile(path, &error);
  if (!f) {
    Fail(command, error);
    return false;
  }
  uint8_t head[8] = {};
  const size_t got = std::fread(head, 1, 8, f);
  out.reserved = got == 8 ? (head[4] | head[5] << 8 | head[6] << 16 | static_cast<uint32_t>(head[7]) << 24) : 0;
  std::rewind(f);
  int32_t count = 0;
  const bool ok = ReadAntIzms(f, out.set->Data(), count, out.set->Capacity(), &out.report);
  if (ok && !out.report.truncated) out.note = ReadAntIzmsNote(f);
  std::fclose(f);
  if (!ok) {
    Fail(command, "\"" + path + "\": " + out.report.Describe());
    return false;
  }
  out.set->SetCount(count);
  if (const std::string problem = out.report.Describe(); !problem.empty()) {
    std::fprintf(stderr, "kavusdraa-cli %s: warning: \"%s\": %s\n", command, path.c_str(), problem.c_str());
  }
  return true;
}

bool HasDuo(const AntIzms& set) {
  for (int32_t i = 0; i < set.Count(); ++i) {
    const float p = set.At(i).phaseDuo;
    if (std::isnan(p) || p != 0.0f) return true;
  }
  return false;
}

int RunInfo(const std::vector<std::string>& args) {
  LoadedFile file;
  if (!Load("info", args, file)) return 1;
  const AntIzms& set = *file.set;
  std::printf("file: %s\n", args[0].c_str());
  std::printf("magic: 0x%08X\n", kAntIzmMagic);
  std::printf("reserved: %u\n", file.reserved);
  std::printf("record_size: %u\n", file.report.record_size);
  std::printf("header_count: %d\n", file.report.header_count);
  std::printf("points: %d\n", set.Count());
  std::printf("hasDuo: %d\n", HasDuo(set) ? 1 : 0);
  if (set.Count() > 0) {
    std::printf("first_freq_hz: %s\n", FormatG(set.At(0).freqHz, 17).c_str());
    std::printf("last_freq_hz: %s\n", FormatG(set.At(set.Count() - 1).freqHz, 17).c_str());
  }
  if (file.note) {
    std::printf("note: %s\n", file.note->c_str());
  } else {
    std::printf("note: (none)\n");
  }
  return 0;
}

std::string FieldText(const AntIzm& p, const AntIzmField& f) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(&p) + f.offset;
  switch (f.kind) {
    case AntIzmField::kF64: {
      double v;
      std::memcpy(&v, bytes, 8);
      return std::isnan(v) ? "nan" : FormatG(v, 17);
    }
    case AntIzmField::kF32: {
      float v;
      std::memcpy(&v, bytes, 4);
      return std::isnan(v) ? "nan" : FormatG(v, 17);
    }
    case AntIzmField::kI32: {
      int32_t v;
      std::memcpy(&v, bytes, 4);
      return std::to_string(v);
    }
  }
  return "";
}

int RunPoints(const std::vector<std::string>& args) {
  LoadedFile file;
  if (!Load("points", args, file)) return 1;
  std::string line;
  for (const auto& f : AntIzmFields()) line += std::string(line.empty() ? "" : ",") + f.name;
  std::printf("%s\n", line.c_str());
  const AntIzms& set = *file.set;
  for (int32_t i = 0; i < set.Count(); ++i) {
    line.clear();
    for (const auto& f : AntIzmFields()) {
      if (!line.empty()) line += ',';
      line += FieldText(set.At(i), f);
    }
    std::printf("%s\n", line.c_str());
  }
  return 0;
}

}  // namespace

int RunInfoCommand(const std::vector<std::string>& args) { return RunInfo(args); }
int RunPointsCommand(const std::vector<std::string>& args) { return RunPoints(args); }

namespace {

const CliRegistrar info_registrar({"info", "header fields, point count and note of a scan file",
                                   "Usage: kavusdraa-cli info FILE\n\n"
                                   "Prints the header fields of a scan-result file (.kant), its point\n"
                                   "count, whether it carries second-channel data (hasDuo), its first\n"
                                   "and last frequency and its note.\n",
                                   RunInfo});
const CliRegistrar points_registrar({"points", "every point of a scan file as CSV",
                                     "Usage: kavusdraa-cli points FILE\n\n"
                                     "Prints every record of a scan-result file as CSV: a header line\n"
                                     "of the record's field names, then one line per point. Reals have\n"
                                     "17 significant digits; NaN is written as nan.\n",
                                     RunPoints});

}  // namespace
}  // namespace kavu::cli

#include "results/results_store.h"

#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <system_error>
#include <thread>

#include "platform/atomic_file.h"
#include "platform/user_paths.h"
#include "shell/fatal_error.h"
#include "shell/log_console.h"
#include "shell/settings_store.h"

namespace kavu {

ResultsStore::ResultsStore(int32_t capacity) {
  for (auto& s : sets_) s = std::make_unique<AntIzms>(capacity);
  for (auto& s : slots_) s = std::make_unique<AntIzms>(capacity);
}

AntIzms& ResultsStore::Set(int n) {
  if (n < 0 || n >= kSets) FatalError("ResultsStore::Set() - нет такого набора " + std::to_string(n));
  return *sets_[static_cast<size_t>(n)];
}

AntIzms& ResultsStore::Slot(int k) {
  if (k < 1 || k > kSlots) FatalError("ResultsStore::Slot() - нет такого слота " + std::to_string(k));
  return *slots_[static_cast<size_t>(k - 1)];
}

std::string ResultsStore::ResultsFolder() {
  // Empty means the default folder (never "/"); a relative folder is taken from the home folder,
  // whatever the program's working folder.
  const std::string stored = Settings().GetProfileString("CDlgOptions", "m_SaveResPath", "");
  if (stored.empty()) return HomeDir() + "/AntIzmSdrData";
  if (stored.front() == '/') return stored;
  return HomeDir() + "/" + stored;
}

void ResultsStore::SetResultsFolder(const std::string& folder) {
  if (folder.empty()) return;
  Settings().WriteProfileString("CDlgOptions", "m_SaveResPath", folder);
  Log() << "Папка для сохранения результатов: " << folder << "\n";
}

std::string ResultsStore::DefaultFileName0() { return HomeDir() + "/LastKavuAntIzm.kant"; }

void ResultsStore::ResetAntIzms(AntIzms& set) { set.Reset(LocalClockAsFileTime(), 0, 0, NextGeneration()); }

bool ResultsStore::LoadAntIzmsFile(std::FILE* f, AntIzms& set, ScanFileReport* report) {
  // Emptied first, as a new set loaded from a file: the records are then read in place above
  // the count, where no reader looks, and published with the count.
  set.Reset(0, 1, 0, NextGeneration());
  int32_t count = 0;
  const bool ok = ReadAntIzms(f, set.Data(), count, set.Capacity(), report);
  int32_t duo = 0;
  for (int32_t i = 0; i < count && !duo; ++i) {
    const float p = set.Data()[i].phaseDuo;
    duo = (std::isnan(p) || p != 0.0f) ? 1 : 0;
  }
  set.hasDuo = duo;
  set.SetCount(count);
  return ok;
}

bool ResultsStore::LoadAntIzmsFile(const std::string& path, AntIzms& set, ScanFileReport* report) {
  std::string error;
  std::FILE* f = OpenScanFile(path, &error);
  if (!f) {
    if (report) {
      *report = ScanFileReport{};
      report->status = ScanFileStatus::kNotOpened;
      report->open_error = error;
    }
    set.Reset(0, 1, 0, NextGeneration());
    return false;
  }
  const bool ok = LoadAntIzmsFile(f, set, report);
  std::fclose(f);
  struct stat st {};
  set.time = stat(path.c_str(), &st) == 0 ? FileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec) : 0;
  return ok;
}

void ResultsStore::StartNewScanSets(bool has_duo) {
  for (int i = 0; i < kSets; i += 2) {
    Set(i).MoveTo(Set(i + 1), LocalClockAsFileTime(), has_duo ? 1 : 0, NextGeneration());
  }
  file_name0 = ResultsFolder() + "/NewScanResult.kant";
}

SaveOutcome ResultsStore::SaveScanResult(const std::string& name,
                                         const std::optional<std::string>& note) {
  const SaveOutcome out = WriteScanSave(PrepareScanSave(name, note));
  CommitScanSave(out);
  return out;
}

ScanSaveJob ResultsStore::PrepareScanSave(const std::string& name, const std::optional<std::string>& note) {
  ScanSaveJob job;
  job.folder = ResultsFolder();
  job.name = name;
  job.note = note;
  const AntIzms& current = Set(0);
  job.current.assign(current.Data(), current.Data() + current.Count());
  const AntIzms& previous = Set(1);
  job.previous.assign(previous.Data(), previous.Data() + previous.Count());
  return job;
}

SaveOutcome ResultsStore::WriteScanSave(const ScanSaveJob& job) {
  SaveOutcome out;
  out.note = job.note;
  const auto count = static_cast<int32_t>(job.current.size());
  if (count == 0) {
    out.ok = true;
    Log() << "ResultsStore::SaveScanResult() - нет точек, файлы не тронуты\n";
    return out;
  }
  MakeDirs(job.folder);  // an existing folder is fine; a failure shows in the write below
  out.path = job.folder + "/" + job.name + ".kant";
  const std::string old_path = job.folder + "/LastAntIzm_Old.kant";
  const auto old_count = static_cast<int32_t>(job.previous.size());
  std::string old_error;
  bool old_ok = true;
  const auto write_old = [&] {
    if (old_count == 0 && ScanFileHoldsPoints(old_path)) return;  // keep the older previous scan
    old_ok = WriteScanFile(old_path, job.previous.data(), old_count, std::nullopt, &old_error);
  };
  // Each file is made durable, and each such write mostly waits for the disk: the previous set
  // is written beside the scan and its setting, so the waits overlap. A scan saved under the
  // previous set's own file name is written first and then replaced by the previous set, as
  // when they are written in turn.
  std::thread old_writer;
  if (ResolveWriteTarget(out.path) != ResolveWriteTarget(old_path)) {
    try {
      old_writer = std::thread(write_old);
    } catch (const std::system_error&) {
      // No thread to spare: written in turn below.
    }
  }
  out.ok = out.written = WriteScanFile(out.path, job.current.data(), count, job.note, &out.error);
  if (out.written) Settings().WriteProfileString("CShowDataWindow", "sFileName0", out.path);
  if (old_writer.joinable()) {
    old_writer.join();
  } else {
    write_old();
  }
  if (!old_ok) {
    Log() << LogColour(kColourError) << "ResultsStore::SaveScanResult() - " << old_error << "\n"
          << LogColour(kColourNormal);
  }
  return out;
}

void ResultsStore::CommitScanSave(const SaveOutcome& outcome) {
  if (outcome.written) file_name0 = outcome.path;
}

void ResultsStore::LoadAnts(const std::string& command_line_file) {
  Log() << "CShowDataWindow::LoadAnts() call \n";
  for (int i = 0; i < kSets; i += 2) ResetAntIzms(Set(i));
  file_name0 = Settings().GetProfileString("CShowDataWindow", "sFileName0", DefaultFileName0());
  if (!command_line_file.empty()) {
    file_name0 = command_line_file;
    Log() << "CShowDataWindow::LoadAnts() cmd " << file_name0 << "\n";
  }
  LoadIfPresent(file_name0, Set(0));
  for (int i = 1; i < kSets; i += 2) ResetAntIzms(Set(i));
  LoadIfPresent(ResultsFolder() + "/LastAntIzm_Old.kant", Set(1));
}

void ResultsStore::LoadIfPresent(const std::string& path, AntIzms& set) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return;  // no file yet: the set stays empty
  ScanFileReport report;
  if (!LoadAntIzmsFile(path, set, &report) || !report.Describe().empty()) {
    Log() << LogColour(kColourError) << "CShowDataWindow::LoadAnts() - " << path << ": " << report.Describe() << "\n"
          << LogColour(kColourNormal);
  }
}

}  // namespace kavu

#pragma once
// The results store: set 0 (current scan or the file opened as current), set 1 (previous scan),
// sets 2..5 (harmonic scans, current and previous; emptied and rotated with the others) and the
// comparison slots 1..6 (files loaded for comparison). Allocated once and kept for the run.
//
// Every empty or load gives the set a fresh `generation` from one counter for the whole store,
// so a reader that compares generations never mistakes one set's content for another's.
// Window thread only, except that a running scan appends to set 0 (see AntIzms).
#include <array>
#include <atomic>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "results/ant_izm_file.h"
#include "results/ant_izms.h"

namespace kavu {

struct SaveOutcome {
  bool ok = false;       // nothing was lost: written, or nothing to write
  bool written = false;  // the scan file was written
  std::string path;      // the scan file's full path (also when the write failed; empty: no points)
  std::string error;     // why it failed
  std::optional<std::string> note;  // the note written (or meant) with the points
};

// A scan's save taken apart for a writer thread: what is written, copied when the scan ended.
struct ScanSaveJob {
  std::string folder;                // the results folder at the time of the copy
  std::string name;                  // file name without folder and extension
  std::optional<std::string> note;
  std::vector<AntIzm> current;       // set 0's points
  std::vector<AntIzm> previous;      // set 1's points
};

class ResultsStore {
 public:
  static constexpr int kSets = 6;
  static constexpr int kSlots = 6;

  explicit ResultsStore(int32_t capacity = AntIzms::kCapacity);

  AntIzms& Set(int n);   // 0 .. 5; out of range is a broken invariant
  AntIzms& Slot(int k);  // 1 .. 6

  std::string file_name0;                     // file of set 0
  std::array<std::string, kSlots + 1> slot_names;  // [1..6]

  // Empties a set: count 0, time = local clock, hasDuo 0, fromFile 0, fresh generation.
  void ResetAntIzms(AntIzms& set);
  // Loads a file into a set (count = complete records read, fromFile 1, time = the file's
  // last-write time or 0, hasDuo from the phaseDuo fields, fresh generation). A file that cannot
  // be read (missing, not a regular file, damaged) leaves the set empty, marked as loaded; the
  // result says whether it read, `report` why not.
  bool LoadAntIzmsFile(const std::string& path, AntIzms& set, ScanFileReport* report = nullptr);
  // The same from an open stream at its current position (time 0): the calibration reader.
  bool LoadAntIzmsFile(std::FILE* f, AntIzms& set, ScanFileReport* report = nullptr);

  // A single scan or a scan series starts: sets 0, 2, 4 are copied whole into 1, 3, 5 (generation
  // included), then emptied with hasDuo = `has_duo`; set 0's name becomes
  // <results folder>/NewScanResult.kant.
  void StartNewScanSets(bool has_duo);

  // Writes set 0 to <results folder>/<name>.kant (with the note when given) and set 1 to
  // <results folder>/LastAntIzm_Old.kant. Set 0's name and the setting
  // "CShowDataWindow"/"sFileName0" become the path. Each file is replaced atomically; a failure
  // is reported, never taken for a save. A set 0 without points writes nothing and changes
  // nothing (ok, not written): a scan that measured nothing never replaces an earlier one. An
  // empty set 1 never replaces a LastAntIzm_Old.kant that holds points.
  SaveOutcome SaveScanResult(const std::string& name, const std::optional<std::string>& note);
  // SaveScanResult in three steps, so the files can be written away from the window thread:
  // PrepareScanSave copies sets 0 and 1 and the folder (window thread, while no scan appends);
  // WriteScanSave writes them with the same rules, and on success makes "sFileName0" the new
  // file (any thread; saves are written one after the other, in the order they were prepared);
  // CommitScanSave then makes it set 0's name (window thread).
  ScanSaveJob PrepareScanSave(const std::string& name, const std::optional<std::string>& note);
  static SaveOutcome WriteScanSave(const ScanSaveJob& job);
  void CommitScanSave(const SaveOutcome& outcome);

  // Loading at start: set 0 from the setting "sFileName0" (or `command_line_file` when given),
  // set 1 from LastAntIzm_Old.kant; sets 2..5 emptied.
  void LoadAnts(const std::string& command_line_file = "");

  // The results folder: setting "CDlgOptions"/"m_SaveResPath", default ~/AntIzmSdrData.
  static std::string ResultsFolder();
  // Stores a new results folder (setting "CDlgOptions"/"m_SaveResPath") and logs it; an empty
  // text keeps the folder.
  static void SetResultsFolder(const std::string& folder);
  static std::string DefaultFileName0();  // ~/LastKavuAntIzm.kant

 private:
  int32_t NextGeneration() { return next_generation_.fetch_add(1) + 1; }
  // Loads `path` into `set` when it exists (a failure or a damaged file is logged).
  void LoadIfPresent(const std::string& path, AntIzms& set);

  std::array<std::unique_ptr<AntIzms>, kSets> sets_;
  std::array<std::unique_ptr<AntIzms>, kSlots> slots_;
  std::atomic<int32_t> next_generation_{0};
};

}  // namespace kavu

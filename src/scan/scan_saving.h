#pragma once
// Saving a finished scan: the file name that describes the set-up, the note with the scan's
// statistics, range summaries and settings, and the name made safe for the file system.
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "dsp/sample_rate_plan.h"
#include "measure/bridge_settings.h"
#include "scan/scan_options.h"
#include "scan/scan_plan.h"

namespace kavu {

class ISaveDescription;

// '/' and NUL become '_'; the name is cut (on a UTF-8 character boundary) so that it and the
// ".kant" extension fit in 255 bytes; an empty name (or ".", "..") becomes "scan".
std::string SafeScanFileName(std::string_view name);

// "Ном. срез ФНЧ …" for the plan in use.
std::string FilterDescription(const SampleRatePlan& plan);

struct ScanSaveTexts {
  std::string name;  // without folder and extension, already made safe
  std::string note;
};

struct ScanSaveInputs {
  const ScanOptions* options = nullptr;
  const ISaveDescription* description = nullptr;  // null: no receiver, no generator
  const ScanPlanView* plan = nullptr;
  const SampleRatePlan* ratePlan = nullptr;       // null: no filter line
  const BridgeSettings* bridge = nullptr;
  int32_t points = 0;
  double seconds = 0;
  std::tm local{};  // the local time of the save (date in the name)
};

ScanSaveTexts ComposeScanSave(const ScanSaveInputs& in);

}  // namespace kavu

#pragma once
// OptionsCatalog: every option of the options window as a key with a value, for a front end
// without the window (`kavusdraa-cli options`). Values are read and set through OptionsModel
// only, in the window's units (ms, kHz, MHz, …) and by its rules: a text field is set as if it
// were typed and Enter pressed, a list or check box as if it were chosen. Defaults and ranges
// come from the owners' settings bindings, so they cannot drift from the checks.
//
// Keys: the stored key for section "CDlgOptions" ("m_TZond10"), "CDlgOptions_RfmGen<slot>/<key>"
// for the SPI generator slots, "<section>/<key>" for the receiver libraries. Window thread only.
#include <optional>
#include <string>
#include <vector>

#include "scan/options_model.h"

namespace kavu {

struct OptionEntry {
  std::string key;
  std::string value;          // as the window shows it
  std::string unit;           // of `value` and of a value given to Set ("" none)
  std::string default_value;  // in the same unit
  std::string range;          // what a value may be, and what the check does outside it
};

class OptionsCatalog {
 public:
  // `model` must outlive the catalog.
  explicit OptionsCatalog(OptionsModel& model) : model_(model) {}

  // Every option, in the window's order; reading stores nothing.
  std::vector<OptionEntry> List() const;
  // One option; empty for an unknown key.
  std::optional<OptionEntry> Find(const std::string& key) const;
  // Sets `key` to `value` by the window's rules; "" when done, else why not (an unknown key, a
  // value that does not parse or that the window's control cannot take), and then nothing is
  // stored. A value that parses but lies outside the range is stored as the check replaces it.
  // What it stores reaches the settings file in one write; kNotWritten when that failed.
  static constexpr const char* kNotWritten = "the settings file could not be written";
  std::string Set(const std::string& key, const std::string& value);

 private:
  OptionsModel& model_;
};

}  // namespace kavu

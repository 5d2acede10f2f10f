#pragma once
// What the main window knows about the active generator: the frequency it was asked for, the
// frequency it really makes, whether the last setting failed, and the last "вне возможностей"
// text of a driver. Window thread only.
#include <string>

namespace kavu {

struct GenState {
  double current_hz = 0.0;   // current generator frequency, Hz (Si5351: harmonic x actual)
  double manual_hz = 0.0;    // frequency last set by hand, Hz
  bool not_set = true;       // the last setting failed or is pending (frequency box shows it)
  std::string error_text;    // generator error text, for the error box
  std::string freq_text;     // the frequency box: MHz with trailing zeros removed + " МГц"
  bool bridge_reference = false;  // radio buttons "О" (true) / "Ант"
  bool on_enabled = false;   // check box "Вкл" usable
  bool on_checked = false;   // check box "Вкл" ticked
};

}  // namespace kavu

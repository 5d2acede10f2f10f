#pragma once
// Connects the calibration window to the results window: the panel's "Настр..." button (and
// switching calibration on while it is not valid) opens it, modeless; every change in it makes
// the results window reload its calibration and rebuild its graphs (command 11000). The window
// is made on first use and then kept, a child of the results window.
#include <functional>

#include "results/ui/cshow_data_window.h"

namespace kavu {

class CDlgCalibrate;

// Sets the results window's open_calibration hook. `made` (may be null) is told about the
// calibration window once it exists, so a caller (a test) can reach it.
void InstallCalibrationWindow(CShowDataWindow& window, std::function<void(CDlgCalibrate&)> made = nullptr);

}  // namespace kavu

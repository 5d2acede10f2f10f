#include "scan/ui/calibration_window_install.h"

#include <QPointer>

#include "scan/ui/cdlg_calibrate.h"

namespace kavu {

void InstallCalibrationWindow(CShowDataWindow& window, std::function<void(CDlgCalibrate&)> made) {
  CShowDataWindow* w = &window;
  auto dialog = std::make_shared<QPointer<CDlgCalibrate>>();
  w->open_calibration = [w, dialog, made] {
    if (!*dialog) {
      auto* d = new CDlgCalibrate(w);
      *dialog = d;
      QObject::connect(d, &CDlgCalibrate::calibrationChanged, w, [w] { w->Command(11000); });
      // The panel's box switches calibration on and off behind the window's back.
      QObject::connect(&w->Panel(), &CDlg_SelectGraph::calibrationToggled, d, [d] { d->ReloadSwitch(); });
      if (made) made(*d);
    }
    (*dialog)->Open();
  };
}

}  // namespace kavu

#pragma once
// The result lines' point source on the impedance computation: the panel's bridge, cable and
// second-channel choices, the calibration of the impedance when it is switched on and valid,
// and the calibration corrections of single quantities (|A/O|, phase, input levels) when their
// own switches are on (Calibration::RatioCorrectionActive, LevelCorrectionActive).
#include <memory>

#include "results/graph_panel_settings.h"
#include "results/graph_point_source.h"
#include "scan/calibration.h"
#include "scan/impedance_computer.h"

namespace kavu {

BridgeSettings BridgeFromPanel(const GraphPanelSettings& panel);

class ResultsPointSource : public IGraphPointSource {
 public:
  // `calibration` may be null (no calibration, every correction 0); it must outlive this object
  // and must not be reloaded while the object is in use.
  ResultsPointSource(const GraphPanelSettings& panel, const Calibration* calibration);
  std::complex<double> Impedance(const AntIzms& set, int64_t index, bool cable) const override;
  double RatioCorrectionDb(double f_hz) const override;
  double PhaseCorrectionRad(double f_hz) const override;
  double LevelCorrectionDb(int which, double f_hz) const override;

 private:
  ImpedanceComputer computer_;
  const Calibration* calibration_;
};

}  // namespace kavu

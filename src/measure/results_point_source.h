#pragma once
// The result lines' point source on one measuring snapshot: its impedance computation (the
// bridge, cable and second-channel choices, the calibration when it is switched on and valid)
// and the calibration corrections of single quantities (|A/O|, phase, input levels) when their
// own switches are on (Calibration::RatioCorrectionActive, LevelCorrectionActive).
#include <memory>

#include "measure/measure_keeper.h"
#include "results/graph_panel_settings.h"
#include "results/graph_point_source.h"

namespace kavu {

// The panel's bridge, cable and second-channel fields as the impedance computation takes them.
BridgeSettings BridgeFromPanel(const GraphPanelSettings& panel);

class ResultsPointSource : public IGraphPointSource {
 public:
  // Holds `snapshot` (never null) for as long as the source lives.
  explicit ResultsPointSource(std::shared_ptr<const MeasureSnapshot> snapshot);
  std::complex<double> Impedance(const AntIzms& set, int64_t index, bool cable) const override;
  double RatioCorrectionDb(double f_hz) const override;
  double PhaseCorrectionRad(double f_hz) const override;
  double LevelCorrectionDb(int which, double f_hz) const override;

  const MeasureSnapshot& Snapshot() const { return *snapshot_; }

 private:
  std::shared_ptr<const MeasureSnapshot> snapshot_;
};

}  // namespace kavu

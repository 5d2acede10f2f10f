#pragma once
// The result lines' point source on the impedance computation: the panel's bridge, cable and
// second-channel choices, and the calibration when it is switched on and valid.
#include <memory>

#include "results/graph_panel_settings.h"
#include "results/graph_point_source.h"
#include "scan/calibration.h"
#include "scan/impedance_computer.h"

namespace kavu {

BridgeSettings BridgeFromPanel(const GraphPanelSettings& panel);

class ResultsPointSource : public IGraphPointSource {
 public:
  // `calibration` may be null (no calibration); it must outlive this object.
  ResultsPointSource(const GraphPanelSettings& panel, const Calibration* calibration);
  std::complex<double> Impedance(const AntIzms& set, int64_t index, bool cable) const override;

 private:
  ImpedanceComputer computer_;
};

}  // namespace kavu

#pragma once
// ImpedanceComputer: the impedance R + jX of stored points, from the bridge settings and, when
// it is in use, the calibration. Holds a copy of the settings and decides once, when made,
// whether calibration applies (switched on and valid); after that it only reads, so the sample
// thread can use it without touching the settings store. A calibration given by pointer must
// outlive it and must not be reloaded while it computes; one given shared is held.
#include <cstdint>
#include <memory>
#include <vector>

#include "measure/bridge_model.h"
#include "measure/calibration.h"
#include "results/ant_izms.h"
#include "results/impedance_row.h"

namespace kavu {

class ImpedanceComputer {
 public:
  // `calibration` may be null: no calibration.
  ImpedanceComputer(const BridgeSettings& bridge, const Calibration* calibration);
  // Shares `calibration` (may be null): the computer keeps using this table however often the
  // calibration is reloaded meanwhile (MeasureKeeper).
  ImpedanceComputer(const BridgeSettings& bridge, std::shared_ptr<const Calibration> calibration);

  const BridgeSettings& Bridge() const { return bridge_; }
  bool CalibrationInUse() const { return calibration_ != nullptr; }

  // R + jX of point `index` of `set` before the cable. With `use_duo`, m_UseDuoAmpl subtracts
  // the second input's level ratio, and m_UseDuoFaza (on a set with second-input data) takes
  // the phase measured with input B. Index clamped into the set's store.
  Complex BridgeSolve(const AntIzms& set, int64_t index, bool use_duo) const;

  // R + jX of point `index`: the second input's corrections when the set carries them and
  // either choice is on; then the cable: `cable_mode` > 0 always, = 0 never, < 0 when
  // m_IsTransLen is set (the scan's choice).
  Complex ComputeZ(const AntIzms& set, int64_t index, int cable_mode) const;
  // The same for a copied point of a set whose hasDuo was `has_duo` (AntIzms::Snapshot).
  Complex ComputeZ(const AntIzm& point, bool has_duo, int cable_mode) const;

  Complex Transform(Complex z, double f_hz) const { return CableTransform(bridge_, z, f_hz); }
  Complex GammaOf(Complex z) const { return Gamma(z, bridge_.z0); }
  double SwrOf(Complex z) const { return Swr(z, bridge_.z0); }

  // Frequency, impedance (ComputeZ), Γ and SWR of every point of the set, in set order.
  std::vector<ImpedanceRow> Rows(const AntIzms& set, int cable_mode) const;

 private:
  Complex Solve(const AntIzm& p, bool has_duo, bool use_duo) const;

  BridgeSettings bridge_;
  std::shared_ptr<const Calibration> held_;  // keeps a shared table alive
  const Calibration* calibration_;  // null unless in use
};

}  // namespace kavu

#include "measure/results_point_source.h"

namespace kavu {

BridgeSettings BridgeFromPanel(const GraphPanelSettings& p) {
  BridgeSettings b;
  b.rt = p.m_Most1, b.rb = p.m_Most2, b.rd = p.m_Most3, b.rg = p.m_Most4, b.cs_pf = p.m_Most5;
  b.z0 = p.m_RCable;
  b.cable_m = p.m_LenCable;
  b.trans_len = p.m_IsTransLen;
  b.use_duo_ampl = p.m_UseDuoAmpl;
  b.use_duo_faza = p.m_UseDuoFaza;
  return b;
}

ResultsPointSource::ResultsPointSource(std::shared_ptr<const MeasureSnapshot> snapshot)
    : snapshot_(std::move(snapshot)) {}

std::complex<double> ResultsPointSource::Impedance(const AntIzms& set, int64_t index, bool cable) const {
  return snapshot_->Impedance().ComputeZ(set, index, cable ? 1 : 0);
}

double ResultsPointSource::RatioCorrectionDb(double f_hz) const { return snapshot_->Cal().RatioCorrectionDb(f_hz); }

double ResultsPointSource::PhaseCorrectionRad(double f_hz) const { return snapshot_->Cal().PhaseCorrectionRad(f_hz); }

double ResultsPointSource::LevelCorrectionDb(int which, double f_hz) const {
  return snapshot_->Cal().LevelCorrectionDb(which, f_hz);
}

}  // namespace kavu

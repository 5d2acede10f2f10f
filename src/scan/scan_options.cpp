#include "scan/scan_options.h"

#include <algorithm>
#include <cmath>

#include "shell/settings_store.h"

namespace kavu {
namespace {
constexpr const char* kSection = "CDlgOptions";
int32_t Clamp(int32_t v, int32_t lo, int32_t hi) { return std::clamp(v, lo, hi); }
}  // namespace

void ScanOptions::Check() {
  m_Delay1_ms = Clamp(m_Delay1_ms, 0, 1000);
  m_Delay1_CB = Clamp(m_Delay1_CB, 2, 100);
  m_MultyImpsTMax = Clamp(m_MultyImpsTMax, 7, 8000);
  m_MultyPolosaUsed = Clamp(m_MultyPolosaUsed, 40, 999);
  m_MultyPPS = Clamp(m_MultyPPS, -100000, 100000);
  if (m_MultyPolosaRsp != 0) m_MultyPolosaRsp = 1;
  if (!std::isfinite(m_PolosaFM)) m_PolosaFM = 20000;
  m_PolosaFM = std::clamp(m_PolosaFM, 2000.0, 10000000.0);
  m_UpTimeGraphik_ms = Clamp(m_UpTimeGraphik_ms, 10, 1000);
  m_UpTimeVodopad_ms = Clamp(m_UpTimeVodopad_ms, 10, 1000);
  if (m_TZond10 <= 0) m_TZond10 = 1;
  if (m_TZond10 > 630) m_TZond10 = 630;
  if (m_ZondN <= 0) m_ZondN = 1;
  if (m_ZondN >= 256) m_ZondN = 255;
}

ScanOptions ScanOptions::Load() {
  SettingsStore& s = Settings();
  ScanOptions o;
  o.m_Delay1_ms = s.GetProfileInt(kSection, "m_Delay1_ms", o.m_Delay1_ms);
  o.m_Delay1_CB = s.GetProfileInt(kSection, "m_Delay1_CB", o.m_Delay1_CB);
  o.m_MultyImpsTMax = s.GetProfileInt(kSection, "m_MultyImpsTMax", o.m_MultyImpsTMax);
  o.m_MultyPolosaUsed = s.GetProfileInt(kSection, "m_MultyPolosaUsed", o.m_MultyPolosaUsed);
  o.m_MultyPPS = s.GetProfileInt(kSection, "m_MultyPPS", o.m_MultyPPS);
  o.m_MultyPolosaRsp = s.GetProfileInt(kSection, "m_MultyPolosaRsp", o.m_MultyPolosaRsp);
  o.m_PolosaFM = s.GetProfileDouble(kSection, "m_PolosaFM", o.m_PolosaFM);
  o.m_UpTimeGraphik_ms = s.GetProfileInt(kSection, "m_UpTimeGraphik_ms", o.m_UpTimeGraphik_ms);
  o.m_UpTimeVodopad_ms = s.GetProfileInt(kSection, "m_UpTimeVodopad_ms", o.m_UpTimeVodopad_ms);
  o.m_TZond10 = s.GetProfileInt(kSection, "m_TZond10", o.m_TZond10);
  o.m_ZondN = s.GetProfileInt(kSection, "m_ZondN", o.m_ZondN);
  o.m_SaveName_IsDate = s.GetProfileInt(kSection, "m_SaveName_IsDate", 0);
  o.m_SaveName_IsSdrMode = s.GetProfileInt(kSection, "m_SaveName_IsSdrMode", 1);
  o.m_SaveName_IsGenMode = s.GetProfileInt(kSection, "m_SaveName_IsGenMode", 1);
  o.m_SaveName_IsKsvMin = s.GetProfileInt(kSection, "m_SaveName_IsKsvMin", 0);
  o.m_SaveName_IsKsvMinFM = s.GetProfileInt(kSection, "m_SaveName_IsKsvMinFM", 0);
  o.Check();
  return o;
}

RatePlanInputs ScanOptions::PlanInputs(double rate_hz, double timer_clock_hz, double timer_prescaler) const {
  RatePlanInputs in;
  in.sampleRate = rate_hz;
  in.delay1Ms = m_Delay1_ms;
  in.upTimeGraphikMs = m_UpTimeGraphik_ms;
  in.upTimeVodopadMs = m_UpTimeVodopad_ms;
  in.polosaFM = m_PolosaFM;
  in.tZond10 = m_TZond10;
  in.zondN = m_ZondN;
  in.multyPPS = m_MultyPPS;
  in.timerClockHz = timer_clock_hz;
  in.timerPrescaler = timer_prescaler;
  return in;
}

GroupPlanInputs ScanOptions::GroupInputs(const SampleRatePlan& plan, double analog_bandwidth_hz) const {
  GroupPlanInputs g;
  g.zondN = plan.ZondN();
  g.slotSec = plan.Slot();
  g.sampleRateHz = plan.SampleRateUsed();
  g.firstNullHz = plan.FirstNullHz();
  g.polosaFM = m_PolosaFM;
  g.multyImpsTMax = m_MultyImpsTMax;
  g.multyPolosaUsed = m_MultyPolosaUsed;
  g.multyPolosaRsp = m_MultyPolosaRsp != 0;
  g.analogBandwidthHz = analog_bandwidth_hz;
  return g;
}

}  // namespace kavu

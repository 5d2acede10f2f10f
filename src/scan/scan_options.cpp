#include "scan/scan_options.h"

#include "shell/settings_fields.h"

namespace kavu {
namespace {

constexpr const char* kOptionsSection = "CDlgOptions";
using O = ScanOptions;

constexpr SettingBinding<ScanOptions> kOptionFields[] = {
    Bind<&O::m_Delay1_ms>("m_Delay1_ms", 100, ClampTo(0, 1000)),
    Bind<&O::m_Delay1_CB>("m_Delay1_CB", 2, ClampTo(2, 100)),
    Bind<&O::m_MultyImpsTMax>("m_MultyImpsTMax", 100, ClampTo(7, 8000)),
    Bind<&O::m_MultyPolosaUsed>("m_MultyPolosaUsed", 100, ClampTo(40, 999)),
    Bind<&O::m_MultyPPS>("m_MultyPPS", 0, ClampTo(-100000, 100000)),
    Bind<&O::m_MultyPolosaRsp>("m_MultyPolosaRsp", 1, NonZeroIsOne()),
    Bind<&O::m_PolosaFM>("m_PolosaFM", 20000.0, ClampTo(2000.0, 10000000.0)),
    Bind<&O::m_UpTimeGraphik_ms>("m_UpTimeGraphik_ms", 50, ClampTo(10, 1000)),
    Bind<&O::m_UpTimeVodopad_ms>("m_UpTimeVodopad_ms", 20, ClampTo(10, 1000)),
    Bind<&O::m_TZond10>("m_TZond10", 20, ClampTo(1, 630)),
    Bind<&O::m_ZondN>("m_ZondN", 1, ClampTo(1, 255)),
    Bind<&O::m_SaveName_IsDate>("m_SaveName_IsDate", 0),
    Bind<&O::m_SaveName_IsSdrMode>("m_SaveName_IsSdrMode", 1),
    Bind<&O::m_SaveName_IsGenMode>("m_SaveName_IsGenMode", 1),
    Bind<&O::m_SaveName_IsKsvMin>("m_SaveName_IsKsvMin", 0),
    Bind<&O::m_SaveName_IsKsvMinFM>("m_SaveName_IsKsvMinFM", 0),
};

}  // namespace

std::span<const SettingBinding<ScanOptions>> ScanOptions::Bindings() { return kOptionFields; }

void ScanOptions::Check() { CheckSettings(Bindings(), *this); }

ScanOptions ScanOptions::Load() {
  ScanOptions o;
  LoadSettings(Settings(), kOptionsSection, Bindings(), o);
  return o;
}

bool ScanOptions::Save() const { return SaveSettings(Settings(), kOptionsSection, Bindings(), *this); }

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

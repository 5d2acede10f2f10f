#include "scan/scan_station.h"

#include <cstdio>

#include "board/gen_power.h"
#include "dsp/ombpf2.h"
#include "shell/settings_store.h"

namespace kavu {
namespace {
template <class... A>
std::string Printf(const char* fmt, A... a) {
  char buf[256];
  std::snprintf(buf, sizeof buf, fmt, a...);
  return buf;
}

RatePlanInputs InitialInputs() {
  BPF2_InitGlobal(65536);  // the rate plan designs its filter with the FFT
  return ScanOptions::Load().PlanInputs(20000000, OBoardProtocol::kDefaultTimerClock,
                                        OBoardProtocol::kDefaultTimerDivider);
}
}  // namespace

ScanStation::ScanStation(IWindowThread& window, INotice& notice, IScanEvents& events,
                         const ScanStationOptions& options)
    : window_(window),
      box_(notice),
      board_(port_),
      keeper_(InitialInputs()),
      si_(Si5351Config::Load()),
      desks_(LoadGenDesks()) {
  gen_ = std::make_unique<GenSetup>(board_, box_, keeper_, si_, desks_, GenSetupOptions::Load());
  gen_->List().BuildFromSettings(si_, desks_);
  rings_ = std::make_unique<SampleRings>(options.ring_capacity);
  receivers_ = std::make_unique<ReceiverSet>(*rings_, static_cast<IReceiverSetHost&>(*this));
  store_ = std::make_unique<ResultsStore>(options.results_capacity);
  ScanEngineParts parts{window, box_, board_, *gen_, *receivers_, *rings_, keeper_, *store_, events,
                        static_cast<const ISaveDescription*>(this)};
  engine_ = std::make_unique<ScanEngine>(parts, options.chain_capacity);
  loop_ = std::make_unique<SampleLoop>(*rings_, engine_->Counters(), *engine_, &spectrum_);
  engine_->SetLoop(loop_.get());
}

ScanStation::~ScanStation() { Stop(); }

bool ScanStation::Start(std::string* error) {
  const int port = Settings().GetProfileInt("OSerialPortSelector", "m_PortSelect_0", 0);
  if (port == 0) {
    *error = "Com-порт не выбран (настройка OSerialPortSelector/m_PortSelect_0)";
    return false;
  }
  if (!port_.Open(port, OSerialPort::kBaud)) {
    *error = port_.LastErrorText();
    return false;
  }
  receivers_->LoadSettings();
  receivers_->Discover();
  if (receivers_->AutoSelect() < 0) {
    *error = receivers_->Status().text;
    port_.Close();
    return false;
  }
  loop_->Start();
  started_ = true;
  return true;
}

bool ScanStation::SetRate(int32_t rate_hz, std::string* error) {
  bool known = false;
  for (const RtlSdrRate& r : kRtlSdrRates) known = known || r.hz == rate_hz;
  if (!known) {
    std::string list;
    for (const RtlSdrRate& r : kRtlSdrRates) list += (list.empty() ? "" : ", ") + std::to_string(r.hz);
    *error = "the receiver's settable rates are " + list;
    return false;
  }
  const auto [ok, text] = receivers_->ChangeRtlSampleRate(rate_hz);
  if (!ok) *error = text;
  return ok;
}

void ScanStation::Stop() {
  if (engine_ && engine_->State() != ScanState::kIdle) engine_->StopScan();
  if (loop_) loop_->Stop();
  if (started_) {
    receivers_->Shutdown();
    port_.Close();
    started_ = false;
  }
}

void ScanStation::SampleRateChanged(double rate_hz) {
  RatePlanInputs in = ScanOptions::Load().PlanInputs(rate_hz, keeper_.Inputs().timerClockHz,
                                                     keeper_.Inputs().timerPrescaler);
  keeper_.SetInputs(in);
}

std::string ScanStation::ReceiverText(bool detailed) const {
  if (receivers_->Selected() < 0) return "";
  const ORtlSdr& rtl = receivers_->Rtl();
  std::string s = "rtlsdr";
  if (!detailed) return s;
  const int dm = rtl.CurrentDirectMode();
  if (dm == 1) return s + "_directI";
  if (dm == 2) return s + "_directQ";
  return s + Printf(rtl.RtlIsGCal() ? "_амп=%0.1f" : "_ga=%0.1f", rtl.CurGA() / 10.0);
}

std::string ScanStation::RateText() const {
  if (receivers_->Selected() < 0) return "";
  return Printf("дискр %0.3f", receivers_->ActiveSampleRate() / 1e6);
}

std::string ScanStation::ExtraText() const {
  const ORtlSdr& rtl = receivers_->Rtl();
  return receivers_->Selected() >= 0 && rtl.RtlIsGCal() ? rtl.RtlGCalName() : "";
}

std::string ScanStation::GeneratorText(bool with_power) const {
  return GenFileNameText(gen_->GetGenNum(), desks_, with_power);
}

}  // namespace kavu

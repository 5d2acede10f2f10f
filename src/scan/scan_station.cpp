#include "scan/scan_station.h"

#include <cstdio>

#include "board/gen_power.h"
#include "scan/fft_start_up.h"
#include "shell/log_console.h"
#include "shell/settings_store.h"

namespace kavu {
namespace {
constexpr double kStartRateHz = 20000000;  // the plan's rate until a receiver reports its own

template <class... A>
std::string Printf(const char* fmt, A... a) {
  char buf[256];
  std::snprintf(buf, sizeof buf, fmt, a...);
  return buf;
}

RatePlanInputs InitialInputs() {
  return ScanOptions::Load().PlanInputs(kStartRateHz, OBoardProtocol::kDefaultTimerClock,
                                        OBoardProtocol::kDefaultTimerDivider);
}
}  // namespace

ScanStation::ScanStation(IWindowThread& window, INotice& notice, IScanEvents& events,
                         const ScanStationOptions& options)
    : window_(window),
      station_events_(options.station_events),
      box_(notice),
      board_(port_),
      fft_(StartFft(65536)),
      keeper_(fft_, InitialInputs()),
      si_(Si5351Config::Load()),
      desks_(LoadGenDesks()),
      spectrum_(fft_),
      port_changes_(options.port_changes) {
  gen_ = std::make_unique<GenSetup>(board_, box_, keeper_, si_, desks_, GenSetupOptions{});
  rings_ = std::make_unique<SampleRings>(options.ring_capacity);
  receivers_ = std::make_unique<ReceiverSet>(*rings_, static_cast<IReceiverSetHost&>(*this));
  store_ = std::make_unique<ResultsStore>(options.results_capacity);
  ScanEngineParts parts{window, box_, board_, *gen_, *receivers_, *rings_, keeper_, *store_, events,
                        static_cast<const ISaveDescription*>(this)};
  engine_ = std::make_unique<ScanEngine>(parts, options.chain_capacity);
  spectrum_.SetPlanSource(&keeper_);
  loop_ = std::make_unique<SampleLoop>(*rings_, engine_->Counters(), *engine_, &spectrum_);
  engine_->SetLoop(loop_.get());
  // Options that give no plan at all leave every user on the shipped defaults alike.
  if (!ApplyOptions(ScanOptions::Load(), GenSetupOptions::Load(), kStartRateHz)) {
    ApplyOptions(ScanOptions{}, GenSetupOptions{}, kStartRateHz);
  }
  if (!port_changes_) {
    udev_ = std::make_unique<UdevPortMonitor>();
    port_changes_ = udev_.get();
  }
  selector_ = std::make_unique<OSerialPortSelector>(port_, port_view_, &box_);
}

// The front end may be half gone here: scans' files still queued are written by the engine's
// destructor, but no end is reported any more.
ScanStation::~ScanStation() { Halt(false); }

StationStart ScanStation::StartUp() {
  if (started_) return start_;
  started_ = true;
  receivers_->LoadSettings();
  selector_->InitFromSettings();  // lists the ports and opens the saved one, silently
  selector_->Attach(*port_changes_, window_, [this] { NotifyPorts(); });
  start_.port_open = port_.IsOpen();
  if (!start_.port_open) start_.port_error = PortErrorText();
  NotifyPorts();
  settings_ = SpektrSettings::Load();
  receivers_->Discover();
  if (station_events_) station_events_->ReceiversListed();
  gen_->List().BuildFromSettings(si_, desks_);
  engine_->SetRangeText(settings_.m_ScanDia);
  engine_->SetCyclic(settings_.m_IsScanCikl);
  OptionsChanged();
  loop_->Start();
  receivers_->AutoSelect();
  window_.StartTimer(kSerialPollTimer, kSerialPollMs, [this] { PollSerial(); });
  start_.receiver_open = receivers_->ActiveSampleRate() > 0;
  if (!start_.receiver_open) start_.receiver_error = receivers_->Status().text;
  return start_;
}

bool ScanStation::Start(std::string* error) {
  const StationStart s = StartUp();
  if (!s.port_open) *error = s.port_error;
  else if (!s.receiver_open) *error = s.receiver_error;
  return s.port_open && s.receiver_open;
}

std::string ScanStation::PortErrorText() const {
  const int saved = Settings().GetProfileInt("OSerialPortSelector", selector_->SettingsKey(), 0);
  if (saved == 0) {
    return "Com-порт не выбран (настройка OSerialPortSelector/" + selector_->SettingsKey() + ")";
  }
  if (port_view_.Find(saved) < 0) return "COM" + std::to_string(saved) + " нет в списке портов";
  return "ОШИБКА ОТКРЫТИЯ COM" + std::to_string(saved) + ": " + port_.LastErrorText();
}

bool ScanStation::SetRate(int32_t rate_hz, std::string* error) {
  if (receivers_->IsActive(ReceiverKind::kHackRf)) {
    for (int v = 0; v < OHackRfUse::kRateCount; ++v) {
      if (OHackRfUse::kRates[v] != rate_hz) continue;
      const auto [ok, text] = receivers_->ChangeHackRfSampleRate(v);
      if (!ok) *error = text;
      return ok;
    }
    std::string list;
    for (const int32_t r : OHackRfUse::kRates) list += (list.empty() ? "" : ", ") + std::to_string(r);
    *error = "the HackRF's settable rates are " + list;
    return false;
  }
  if (receivers_->IsActive(ReceiverKind::kSdrPlay)) {
    // The converter's rates of the SDRplay window, 2 to 10 MHz in 1 MHz steps; with both tuners
    // of an RSPduo running, the API fixes it at 2 MHz (divided by the decimation).
    OSdrPlayUse& sdr = receivers_->SdrPlay();
    if (sdr.IsDual()) {
      if (rate_hz == static_cast<int32_t>(sdr.OutputRate())) return true;
      *error = "with both tuners the SDRplay's rate is " + std::to_string(static_cast<int32_t>(sdr.OutputRate()));
      return false;
    }
    if (rate_hz < 2'000'000 || rate_hz > 10'000'000 || rate_hz % 1'000'000 != 0) {
      *error = "the SDRplay's settable rates are 2000000, 3000000, ... 10000000";
      return false;
    }
    const auto [ok, text] = receivers_->ChangeSdrPlaySampleRate(rate_hz);
    if (!ok) *error = text;
    return ok;
  }
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

void ScanStation::Stop() { Halt(true); }

void ScanStation::Halt(bool report_saves) {
  if (engine_ && (engine_->State() != ScanState::kIdle || engine_->Starting())) engine_->StopScan();
  // Every ended scan's files are written (and reported) before the station stops.
  if (engine_ && report_saves) engine_->FlushSaves();
  if (selector_) selector_->Detach();
  if (loop_) loop_->Stop();
  if (started_) {
    window_.StopTimer(kSerialPollTimer);
    receivers_->Shutdown();
    board_.CancelPending();  // an upload or a run's reply may still hold the port
    port_.Close();
    started_ = false;
  }
}

bool ScanStation::ApplyOptions(const ScanOptions& scan, GenSetupOptions gen, double rate_hz) {
  if (!keeper_.SetInputs(scan.PlanInputs(rate_hz, keeper_.Inputs().timerClockHz,
                                         keeper_.Inputs().timerPrescaler))) {
    return false;
  }
  // The probing slot and pair count the batch is built with are the ones the plan measures.
  gen_->Options() = gen;
  gen_->SetProbeTiming({scan.m_TZond10, scan.m_ZondN});
  engine_->ApplyOptions(scan);
  options_ = scan;
  return true;
}

bool ScanStation::OptionsChanged() {
  receivers_->ReloadTuningSettings();
  gen_->SetNextInit({Si5351Config::Load(), LoadGenDesks()});
  if (ApplyOptions(ScanOptions::Load(), GenSetupOptions::Load(), keeper_.Inputs().sampleRate)) return true;
  box_.Show("ScanStation::OptionsChanged() - из этих настроек не получается план частоты "
            "дискретизации, действуют прежние настройки");
  return false;
}

void ScanStation::NotifyPorts() {
  if (station_events_) station_events_->PortsChanged();
}

void ScanStation::SampleRateChanged(double rate_hz) {
  // The options in use, not a fresh reading: the set-up and the engine keep them too.
  if (!keeper_.SetInputs(options_.PlanInputs(rate_hz, keeper_.Inputs().timerClockHz,
                                             keeper_.Inputs().timerPrescaler))) {
    Log() << LogColour(kColourError) << "ScanStation::SampleRateChanged() - нет плана для "
          << rate_hz << " выб/с, действует прежний\n" << LogColour(kColourNormal);
  }
  if (station_events_) station_events_->ReceiverRateChanged(rate_hz);
}

void ScanStation::ShowSettingsWindow(ReceiverKind kind) {
  if (station_events_) station_events_->ShowReceiverSettings(kind);
}

void ScanStation::HideSdrPlayWindow() {
  if (station_events_) station_events_->HideSdrPlayWindow();
}

void ScanStation::SecondInputChanged(bool on) {
  // The loop reads ring B and the scans carry input-B levels and phase while it is on.
  if (loop_) loop_->SetHasB(on);
  if (engine_) engine_->SetHasB(on);
}

void ScanStation::ShowInfo(const std::string& text) {
  if (station_events_) station_events_->ShowInfo(text);
}

void ScanStation::StatusChanged(const ReceiverStatus& status) {
  if (station_events_) station_events_->ReceiverStatusChanged(status);
}

std::string ScanStation::ReceiverText(bool detailed) const {
  if (receivers_->Selected() < 0) return "";
  if (receivers_->IsActive(ReceiverKind::kHackRf)) {
    const OHackRfUse& h = receivers_->HackRf();
    if (!detailed) return "HackRF";
    std::string s = h.CurAmp() ? "HackRF_amp" : "HackRF";
    s += Printf("_lna%d", h.CurLna());
    return s + Printf(h.GainCalibrationOn() ? "_амп=%d" : "_vga=%d", h.CurVga());
  }
  if (receivers_->IsActive(ReceiverKind::kSdrPlay)) {
    const OSdrPlayUse& p = receivers_->SdrPlay();
    std::string s = SdrPlayModelName(p.Requested().hwVer);
    if (!detailed) return s;
    s += Printf("_lna%d", p.CurLna());
    const int mode = p.GainModeInForce();
    s += mode == 1 ? Printf("_gain=%d", p.m_AutoG) : mode == 2 ? Printf("_амп=%d", p.m_AutoG) : Printf("_ga=%d", p.CurGrDb());
    return p.IsDual() ? s + "_DuoAB" : s;
  }
  if (receivers_->ExtIO().IsLoaded()) {
    // The plug-in's file name without its folder and its extension.
    std::string name = receivers_->ExtIO().Path();
    name.erase(0, name.find_last_of('/') + 1);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
  }
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
  if (receivers_->IsActive(ReceiverKind::kHackRf)) {
    return Printf("дискр %0.3f, полоса %0.3f", receivers_->ActiveSampleRate() / 1e6,
                  receivers_->HackRf().BandWidth() / 1e6);
  }
  return Printf("дискр %0.3f", receivers_->ActiveSampleRate() / 1e6);
}

std::string ScanStation::ExtraText() const {
  if (receivers_->IsActive(ReceiverKind::kHackRf)) {
    const OHackRfUse& h = receivers_->HackRf();
    return h.GainCalibrationOn() ? h.m_GCalHackRFName : "";
  }
  if (receivers_->IsActive(ReceiverKind::kSdrPlay)) {
    const OSdrPlayUse& p = receivers_->SdrPlay();
    return p.GainModeInForce() == 2 ? p.m_RspGCalName : "";
  }
  const ORtlSdr& rtl = receivers_->Rtl();
  return receivers_->Selected() >= 0 && rtl.RtlIsGCal() ? rtl.RtlGCalName() : "";
}

std::string ScanStation::GeneratorText(bool with_power) const {
  return GenFileNameText(gen_->GetGenNum(), gen_->Desks(), with_power);
}

}  // namespace kavu

// ReceiverSet: discovery, the start-up choice and SelectReceiver.
#include "receivers/receiver_set.h"

#include <cstdio>
#include <cstring>

#include "platform/user_paths.h"
#include "receivers/receiver_settings.h"
#include "shell/log_console.h"
#include "shell/settings_store.h"

namespace kavu {
namespace {
constexpr uint32_t kMaxRtlDevices = 128;
}  // namespace

ReceiverSet::ReceiverSet(SampleRings& rings, IReceiverSetHost& host) : rings_(rings), host_(host) {
  sdrplay_sink_.rings = &rings_;
  sdrplay_sink_.use = &sdrplay_;
  sdrplay_.SetMessageBox([this](const std::string& text) { host_.ShowMessage(text); });
  // Runs on the plug-in's thread, only while the plug-in is open (Unload detaches it first).
  extio_.Attach(&rings_, [this](int status) {
    host_.PostToWindowThread([this, alive = alive_.Watch(), status] {
      if (!alive.Expired()) OnExtIOStatus(status);
    });
  });
}

ReceiverSet::~ReceiverSet() {
  sdrplay_.SetMessageBox(nullptr);  // the host may be gone already
  Shutdown();
}

void ReceiverSet::LoadSettings() {
  const ReceiverSettings r = ReceiverSettings::Load(Settings());
  rtl_folder_ = r.rtl_folder;
  sdrplay_folder_ = r.sdrplay_folder;
  hackrf_folder_ = r.hackrf_folder;
  hackrf_name_ = r.hackrf_name;
  extio_folder_ = r.extio_folder;
  is_convertor_ = r.is_convertor;
  convertor_shift_ = r.convertor_shift;
  rtl_.LoadSettings(r.hysteresis_db);
  hackrf_.LoadSettings(r.hysteresis_db);
  sdrplay_.LoadSettings(r.hysteresis_db);
}

void ReceiverSet::ReloadTuningSettings() {
  const ReceiverSettings r = ReceiverSettings::Load(Settings());
  is_convertor_ = r.is_convertor;
  convertor_shift_ = r.convertor_shift;
  rtl_.SetHysteresisDb(r.hysteresis_db);
  hackrf_.SetHysteresisDb(r.hysteresis_db);
  sdrplay_.SetHysteresisDb(r.hysteresis_db);
}

void ReceiverSet::Add(int32_t code, std::string text) {
  ReceiverEntry e;
  e.code = code;
  e.text = std::move(text);
  entries_.push_back(std::move(e));
}

void ReceiverSet::Discover() {
  entries_.clear();
  selected_ = -1;
  DiscoverSdrPlay();
  DiscoverRtlSdr();
  DiscoverHackRf();
  DiscoverExtIO();
}

void ReceiverSet::DiscoverSdrPlay() {
  Log() << LogColour(kColourHeading) << "*** Поиск приёмников SdrPlay *** \n"
        << LogColour(kColourNormal);
  const std::string path = ResolveLibraryPath(sdrplay_folder_, kSdrPlayName);
  if (!sdrplay_.LoadApi(path)) {
    Add(kCodeNoSdrPlay, std::string("Нет ") + kSdrPlayName);
    return;
  }
  sdrplay_.EnumSdrPlay();
  Log() << "СПИСОК УСТРОЙСТВ SdrPlay: \n";
  const unsigned count = sdrplay_.DeviceCount();
  for (unsigned i = 0; i < count; ++i) {
    const sdrplay_api_DeviceT& d = sdrplay_.Device(i);
    const std::string serial(d.SerNo, strnlen(d.SerNo, sizeof d.SerNo));
    char line[256];
    std::snprintf(line, sizeof line, " i=%u sn=%s f=%.9g tuner=%x", i, serial.c_str(), d.rspDuoSampleFreq,
                  static_cast<unsigned>(d.tuner));
    std::string l = line;
    l += d.tuner == kSdrPlayTunerA ? " (A)" : d.tuner == kSdrPlayTunerB ? " (B)" : d.tuner == kSdrPlayTunerBoth ? " (Оба)" : "";
    std::snprintf(line, sizeof line, " mode=%x", static_cast<unsigned>(d.rspDuoMode));
    l += line;
    if (d.rspDuoMode & kSdrPlayDuoSingle) l += " (Single)";
    if (d.rspDuoMode & kSdrPlayDuoDual) l += " (Dual)";
    if (d.rspDuoMode & kSdrPlayDuoMaster) l += " (Master)";
    if (d.rspDuoMode & kSdrPlayDuoSlave) l += " (Slave)";
    Log() << l << "\n";
    std::string text = SdrPlayModelName(d.hwVer) + "_" + serial;
    text += d.tuner == kSdrPlayTunerA ? " A" : d.tuner == kSdrPlayTunerB ? " B" : d.tuner == kSdrPlayTunerBoth ? " AB" : "";
    if (d.rspDuoMode & kSdrPlayDuoDual) text += " dual";
    ReceiverEntry e;
    e.code = static_cast<int32_t>(i);
    e.text = std::move(text);
    e.sdrplay_hw_ver = d.hwVer;
    e.sdrplay_serial = serial;
    entries_.push_back(std::move(e));
  }
  if (count == 0) {
    Log() << "ПУСТО, нет устройств SdrPlay для работы! \n";
    Add(kCodeNoSdrPlay, "Нет приёмников SdrPlay");
  }
}

void ReceiverSet::DiscoverRtlSdr() {
  const std::string path = ResolveLibraryPath(rtl_folder_, ORtlSdr::kLibraryName);
  const int r = rtl_.LoadApi(path);
  if (r == 1) {
    Add(kCodeNoRtlSdr, std::string("Не найдена ") + ORtlSdr::kLibraryName);
    return;
  }
  if (r != 0) {
    Add(kCodeNoRtlSdr, std::string("Ошибка загрузки ") + ORtlSdr::kLibraryName);
    return;
  }
  const RtlSdrApi& api = rtl_.Api();
  const uint32_t count = api.get_device_count ? api.get_device_count() : 0;
  rtl_.SetDeviceCount(count);
  Log() << "Число приёмников Rtl-Sdr: " << count << "\n";
  // A library that claims an absurd number of dongles is not walked beyond what USB can hold.
  const uint32_t listed = count > kMaxRtlDevices ? kMaxRtlDevices : count;
  for (uint32_t i = 0; i < listed && api.get_device_name; ++i) {
    if (const char* name = api.get_device_name(i)) {
      Add(kCodeRtlSdr + static_cast<int32_t>(i), name);
    }
  }
  if (count == 0) {
    Add(kCodeNoRtlSdr, "Не подключены Rtl-Sdr");
    rtl_.SetErrorText(api.get_device_count
                          ? "отсутсвуют приемники Rtl-Sdr, подключенные к компу, "
                            "rtlsdr_get_device_count вернула 0. После подключения надо "
                            "перезапустить программу. Либо можно использовать другие приёмники."
                          : "не найдена rtlsdr_get_device_count()");
  }
}

void ReceiverSet::DiscoverHackRf() {
  const std::string path = ResolveLibraryPath(hackrf_folder_, hackrf_name_);
  const int r = hackrf_.LoadApi(path);
  if (r == 1) {
    Add(kCodeNoHackRf, "Не найдено api для HackRf");
    return;
  }
  if (r != 0) {
    Add(kCodeNoHackRf, "Ошибка загрузки dll c api для HackRf");
    return;
  }
  const int count = hackrf_.ListDevices();
  Log() << "Число приёмников HackRf: " << count << "\n";
  for (int i = 0; i < count; ++i) {
    Add(kCodeHackRf + i, "HackRf " + hackrf_.Devices()[static_cast<size_t>(i)].serial);
  }
  if (count < 1) {
    Add(kCodeNoHackRf, "Не подключены HackRf");
    if (hackrf_.ErrorText().empty()) {
      hackrf_.SetErrorText("нет подключенных приемников HackRf, hackrf_device_list() вернула 0. "
                           "После подключения надо перезапустить программу.");
    }
  }
}

void ReceiverSet::DiscoverExtIO() {
  const std::string folder = extio_folder_.empty() ? ExecutableDir() : extio_folder_;
  Log() << LogColour(kColourHeading) << "*** Поиск плагинов ExtIO по пути " << folder << "\n"
        << LogColour(kColourNormal);
  const std::vector<std::string> found = FindFilesNoCase(folder, kExtIOPattern);
  for (const std::string& name : found) Add(kCodeExtIO, name);
  Log() << "Итого найдено плагинов ExtIO: " << static_cast<unsigned>(found.size()) << "\n";
  if (found.empty()) Add(kCodeNoExtIO, std::string("Нет ") + kExtIOPattern);
}

int ReceiverSet::AutoSelect() {
  const std::string stored = Settings().GetProfileString(kSection, "m_SelectSdrKey", "");
  const int i = FindKey(stored);
  if (i < 0) {
    SetStatus("", kNoSelectionText, StatusColour::kNotice);
    return -1;
  }
  selected_ = i;
  // A run that dies while this receiver opens must not try it again at the next start.
  Settings().WriteProfileString(kSection, "m_SelectSdrKey", "");
  SelectReceiver(i);
  Settings().WriteProfileString(kSection, "m_SelectSdrKey", stored);
  return i;
}

int ReceiverSet::FindKey(const std::string& key) const {
  if (key.empty()) return -1;
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (ReceiverKey(entries_[i]) == key) return static_cast<int>(i);
  }
  return -1;
}

void ReceiverSet::UserSelect(int index) {
  if (index < 0 || index >= static_cast<int>(entries_.size())) return;
  selected_ = index;
  Settings().WriteProfileString(kSection, "m_SelectSdrKey",
                                ReceiverKey(entries_[static_cast<size_t>(index)]));
  SelectReceiver(index);
}

bool ReceiverSet::CloseAll() {
  extio_.Unload();
  active_ = -1;
  rtl_.MyStop();
  sdrplay_.CloseSdr();
  hackrf_.MyCloseHackRf();
  SetSecondInput(false);
  // The second close is the gate: an SDRplay device that still runs (a slave holds it) blocks
  // every selection until it can be closed.
  if (!sdrplay_.CloseSdr()) {
    if (sdrplay_.Status() == 100) active_ = static_cast<int>(ReceiverKind::kSdrPlay);
    SetStatus(status_.caption, sdrplay_.ErrorText(), StatusColour::kError);
    return false;
  }
  return true;
}

void ReceiverSet::SetSecondInput(bool on) {
  if (on == second_input_) return;
  second_input_ = on;
  host_.SecondInputChanged(on);
}

bool ReceiverSet::SelectReceiver(int index) {
  if (index < 0 || index >= static_cast<int>(entries_.size())) return false;
  selected_ = index;
  tuned_hz_ = -1;
  SetStatus(status_.caption, "", StatusColour::kNormal);
  if (!CloseAll()) return false;
  const ReceiverEntry e = entries_[static_cast<size_t>(index)];
  switch (e.code) {
    case kCodeNoHackRf:
    case kCodeNoRtlSdr: {
      const bool hackrf = e.code == kCodeNoHackRf;
      const std::string err = hackrf ? hackrf_.ErrorText() : rtl_.ErrorText();
      std::string text = hackrf ? "Невозможно использовать HackRf" : "Невозможно использовать Rtl-Sdr";
      if (!err.empty()) text += ", " + err;
      SetStatus(status_.caption, text, StatusColour::kNormal);
      host_.ShowSettingsWindow(hackrf ? ReceiverKind::kHackRf : ReceiverKind::kRtlSdr);
      return false;
    }
    case kCodeNoSdrPlay:
      SetStatus(status_.caption, "Не найдены SdrPlay или отсутствует api, " + sdrplay_.ErrorText(),
                StatusColour::kNormal);
      host_.ShowSettingsWindow(ReceiverKind::kSdrPlay);
      return false;
    case kCodeNoExtIO: {
      host_.HideSdrPlayWindow();
      const std::string text = std::string("Не найдены плагины ") + kExtIOPattern +
                               ", попробуйте настроить путь для поиска";
      SetStatus(status_.caption, text, StatusColour::kNormal);
      host_.ShowInfo(text);
      return false;
    }
    default:
      break;
  }
  switch (KindOfCode(e.code)) {
    case ReceiverKind::kHackRf: return SelectHackRf(e);
    case ReceiverKind::kRtlSdr: return SelectRtlSdr(e);
    case ReceiverKind::kSdrPlay: return SelectSdrPlay(e);
    case ReceiverKind::kExtIO: return SelectExtIO(e);
  }
  return false;
}

bool ReceiverSet::SelectRtlSdr(const ReceiverEntry& e) {
  host_.HideSdrPlayWindow();
  SetStatus("ВЫБРАН Rtl-Sdr " + e.text, StatusColour::kNormal);
  if (!rtl_.MyOpen(e.code - kCodeRtlSdr)) {
    SetStatus(StatusTextRtl(), StatusColour::kError);
    return false;
  }
  active_ = static_cast<int>(ReceiverKind::kRtlSdr);
  host_.SampleRateChanged(rtl_.SamplingF());
  const double f = host_.ReceiverFrequency();
  const bool started = rtl_.MyStart(f, KavuRtlSdrBlockSink, &rings_);
  if (started) host_.ClearFrequencyFailedMark();
  SetStatus(StatusTextRtl(), started ? StatusColour::kNormal : StatusColour::kError);
  return started;
}

bool ReceiverSet::SelectHackRf(const ReceiverEntry& e) {
  host_.HideSdrPlayWindow();
  SetStatus("ВЫБРАН HackRf " + e.text, StatusColour::kNormal);
  if (!hackrf_.MyOpenHackRf(e.code - kCodeHackRf)) {
    SetStatus(StatusTextHackRf(), StatusColour::kError);
    return false;
  }
  active_ = static_cast<int>(ReceiverKind::kHackRf);
  host_.SampleRateChanged(hackrf_.Rate());
  const double f = host_.ReceiverFrequency();
  const bool started = hackrf_.MyStartHackRf(f, KavuHackRfBlockSink, &rings_);
  if (started) host_.ClearFrequencyFailedMark();
  SetStatus(StatusTextHackRf(), started ? StatusColour::kNormal : StatusColour::kError);
  return started;
}

bool ReceiverSet::SelectSdrPlay(const ReceiverEntry& e) {
  if (e.code < 0 || static_cast<unsigned>(e.code) >= sdrplay_.DeviceCount()) {
    sdrplay_.SetErrorText("нет устройства SdrPlay №" + std::to_string(e.code));
    SetStatus(StatusTextSdrPlay(), sdrplay_.ErrorText(), StatusColour::kError);
    return false;
  }
  const sdrplay_api_DeviceT& d = sdrplay_.Device(static_cast<unsigned>(e.code));
  const std::string serial(d.SerNo, strnlen(d.SerNo, sizeof d.SerNo));
  SetStatus("ОТКРЫВАЮ SdrPlay_" + SdrPlayModelName(d.hwVer) + "_" + serial + " ...", StatusColour::kNormal);
  const double f = host_.ReceiverFrequency();
  int rc = sdrplay_.InitSdr(d, f);
  if (rc == 0) {
    host_.ClearFrequencyFailedMark();
    active_ = static_cast<int>(ReceiverKind::kSdrPlay);
    host_.SampleRateChanged(sdrplay_.OutputRate());
    const bool dual = sdrplay_.Selected().tuner == kSdrPlayTunerBoth;
    sdrplay_api_CallbackFnsT callbacks{};
    callbacks.StreamACbFn = dual ? StreamACbFn : StreamACbFnSingle;
    callbacks.StreamBCbFn = dual ? StreamBCbFn : nullptr;
    callbacks.EventCbFn = EventCbFn;
    rc = sdrplay_.StartSdr(&callbacks, &sdrplay_sink_);
    if (rc == 0) SetSecondInput(dual);
  }
  if (rc != 0) {
    SetStatus(StatusTextSdrPlay(), sdrplay_.ErrorText(), StatusColour::kError);
  } else {
    SetStatus(StatusTextSdrPlay(), StatusColour::kNormal);
  }
  return rc == 0;
}

bool ReceiverSet::SelectExtIO(const ReceiverEntry& e) {
  host_.HideSdrPlayWindow();
  const std::string folder = extio_folder_.empty() ? ExecutableDir() : extio_folder_;
  extio_path_ = folder + "/" + e.text;
  SetStatus("ВЫБРАН " + extio_path_, StatusColour::kNormal);
  if (!extio_.LoadApi(extio_path_)) {
    SetStatus(StatusTextExtIO(), StatusColour::kError);
    return false;
  }
  active_ = static_cast<int>(ReceiverKind::kExtIO);
  extio_.SetLoFrequency(host_.ReceiverFrequency());
  bool ok = extio_.InitOpen();
  if (ok) {
    host_.ClearFrequencyFailedMark();
    if (extio_.SamplingF() > 0) host_.SampleRateChanged(extio_.SamplingF());
    ok = extio_.StartHw();
  }
  if (ok && extio_.SamplingF() <= 0) {
    SetStatus(StatusTextExtIO(), StatusTextExtIO() + ", " + kExtIONoRateText, StatusColour::kError);
    return false;
  }
  SetStatus(StatusTextExtIO(), ok ? StatusColour::kNormal : StatusColour::kError);
  return ok;
}

void ReceiverSet::OnExtIOStatus(int status) {
  if (active_.load() != static_cast<int>(ReceiverKind::kExtIO)) return;
  if (!extio_.OnStatusNotice(status)) return;
  const int32_t rate = extio_.SamplingF();
  if (rate > 0) host_.SampleRateChanged(rate);
  if (extio_.State() < 3) {
    SetStatus(StatusTextExtIO(), status_.text, status_.colour);
  } else if (rate > 0) {
    SetStatus(StatusTextExtIO(), StatusColour::kNormal);
  } else {
    SetStatus(StatusTextExtIO(), StatusTextExtIO() + ", " + kExtIONoRateText, StatusColour::kError);
  }
}

bool ReceiverSet::ShowExtIOGui(bool show) {
  return active_.load() == static_cast<int>(ReceiverKind::kExtIO) && extio_.ShowGui(show);
}

std::string ReceiverSet::ScanRefusal() const {
  if (active_.load() == static_cast<int>(ReceiverKind::kExtIO) && extio_.SamplingF() <= 0) {
    return kExtIONoRateText;
  }
  return "";
}

void ReceiverSet::SetStatus(std::string caption, std::string text, StatusColour colour) {
  status_.caption = std::move(caption);
  status_.text = std::move(text);
  status_.colour = colour;
  host_.StatusChanged(status_);
}

void ReceiverSet::Shutdown() {
  extio_.Unload();
  active_ = -1;
  sdrplay_.CloseSdr();
  rtl_.MyStop();
  hackrf_.MyCloseHackRf();
  second_input_ = false;  // the host may be gone already: it is not told
}

}  // namespace kavu

// ReceiverSet: status texts, tuning, the shared rate change and the levels.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#include "platform/number_text.h"
#include "receivers/receiver_set.h"
#include "shell/log_console.h"

namespace kavu {

std::string ReceiverSet::StatusTextRtl() const {
  const std::string tail = " [" + rtl_.LibraryPath() + "]";
  if (!rtl_.IsLoaded()) return "ОШИБКА ЗАГРУЗКИ " + rtl_.LibraryPath() + tail;
  char head[96];
  std::snprintf(head, sizeof head, "Rtl-Sdr №%d из %u: ", rtl_.DeviceIndex() + 1, rtl_.DeviceCount());
  if (rtl_.Status() >= 1) {
    std::string t = rtl_.Status() == 2 ? "ОТКРЫТ " : "Ошибка rtlsdr_read_async ";
    t += head + rtl_.Product() + ", " + rtl_.Serial() + ", " + rtl_.Manufacturer();
    t += ", " + FormatFixed(rtl_.SamplingF() / 1e6, 3) + " МГц";
    return t + tail;
  }
  return "Ошибка open " + std::string(head) + rtl_.ErrorText() + tail;
}

std::string ReceiverSet::StatusTextHackRf() const {
  const std::string tail = " [" + hackrf_.LibraryPath() + "]";
  if (!hackrf_.IsLoaded()) return "ОШИБКА ЗАГРУЗКИ " + hackrf_.LibraryPath() + tail;
  int index = 0;
  if (selected_ >= 0 && KindOfCode(entries_[static_cast<size_t>(selected_)].code) == ReceiverKind::kHackRf) {
    index = entries_[static_cast<size_t>(selected_)].code - kCodeHackRf;
  }
  if (hackrf_.Status() >= 2) index = hackrf_.DeviceIndex();
  char head[96];
  std::snprintf(head, sizeof head, "HackRf №%d из %d: ", index + 1, static_cast<int>(hackrf_.Devices().size()));
  if (hackrf_.Status() >= 2) {
    std::string t = hackrf_.Status() == 3 ? "ОТКРЫТ " : "Ошибка hackrf_start_rx ";
    const size_t i = static_cast<size_t>(std::max(0, hackrf_.DeviceIndex()));
    t += head + (i < hackrf_.Devices().size() ? hackrf_.Devices()[i].serial : std::string());
    t += ", " + FormatTrimmed(hackrf_.Rate() / 1e6, 3) + " МГц";
    t += " (полоса " + FormatTrimmed(hackrf_.BandWidth() / 1e6, 3) + " МГц)";
    return t + tail;
  }
  return "Ошибка open " + std::string(head) + hackrf_.ErrorText() + tail;
}

const sdrplay_api_DeviceT* ReceiverSet::SdrPlayShown() const {
  if (sdrplay_.Status() >= 1) return &sdrplay_.Requested();
  if (selected_ >= 0 && KindOfCode(entries_[static_cast<size_t>(selected_)].code) == ReceiverKind::kSdrPlay) {
    const int32_t code = entries_[static_cast<size_t>(selected_)].code;
    if (code >= 0 && static_cast<unsigned>(code) < sdrplay_.DeviceCount()) return &sdrplay_.Device(static_cast<unsigned>(code));
  }
  return &sdrplay_.Requested();
}

std::string ReceiverSet::StatusTextSdrPlay() const {
  if (!sdrplay_.IsLoaded()) return std::string("ОШИБКА, ") + kSdrPlayName + " не загружена";
  const int32_t st = sdrplay_.Status();
  std::string t = st == 100 ? "ОТКРЫТ " : st == 1 ? "ГОТОВ " : "ОШИБКА ";
  const sdrplay_api_DeviceT* d = SdrPlayShown();
  t += "SdrPlay_" + SdrPlayModelName(d->hwVer) + "_" + std::string(d->SerNo, strnlen(d->SerNo, sizeof d->SerNo));
  if (st == 1 || st == 100) {
    if (sdrplay_.Selected().rspDuoMode & kSdrPlayDuoDual) t += " dual";
    if (sdrplay_.Selected().rspDuoMode & kSdrPlayDuoSlave) t += " slave";
    t += " " + FormatTrimmed(sdrplay_.OutputRate() / 1e6, 3) + " МГц";
  }
  return t;
}

std::string ReceiverSet::StatusTextExtIO() const {
  const std::string tail = " [" + extio_path_ + "]";
  if (!extio_.IsLoaded()) return "ОШИБКА ЗАГРУЗКИ " + tail;
  const int32_t state = extio_.State();
  if (state < 1) return "Ошибка InitHW " + tail;
  std::string t = state >= 3 ? "ОТКРЫТ " : state == 2 ? "Ошибка StartHW " : "Ошибка OpenHW ";
  const int type = extio_.SampleType();
  t += extio_.Name() + ", " + extio_.Model() + ", " + OExtIOUse::TypeWord(type);
  if (!OExtIOUse::TypeAccepted(type)) t += "(не_умею!)";
  t += ", " + FormatFixed(extio_.SamplingF() / 1e6, 3) + " МГц";
  return t + tail;
}

bool ReceiverSet::Tune(double f_hz, const double* batch, int n) {
  tune_report_.clear();
  double f = f_hz;
  if (is_convertor_) {
    f = std::max(0.0, f_hz + convertor_shift_);
    Log() << " с конвертором Sdr-приёмник настраивается на F=" << f / 1e6 << " МГц \n";
  }
  const int kind = active_.load();
  if (kind == static_cast<int>(ReceiverKind::kHackRf) && hackrf_.Status() >= 2) {
    const bool ok = hackrf_.SetFreq(f, batch, n);
    tune_report_ = "Настр. " + FormatFixed(f / 1e6, 3) + " МГц";
    if (is_convertor_) tune_report_ += " с конвертором";
    if (hackrf_.AutoVgaActive()) {
      tune_report_ += ", АРУ " + FormatFixed(hackrf_.AutoVgaWorst(), 1) + " -> " +
                      std::to_string(hackrf_.m_GCalHackRFValue) + " уст. VGa=" + std::to_string(hackrf_.CurVga());
    }
    if (!ok) tune_report_ += " ERR " + hackrf_.ErrorText();
    if (ok) tuned_hz_ = f_hz;
    return ok;
  }
  bool ok = false;
  std::string error;
  if (kind == static_cast<int>(ReceiverKind::kRtlSdr) && rtl_.Status() >= 1) {
    ok = rtl_.SetCenterFreq(f, batch, n);
    if (!ok) error = rtl_.ErrorText();
  } else if (kind == static_cast<int>(ReceiverKind::kExtIO) && extio_.IsLoaded()) {
    ok = extio_.SetLo(f);
    if (!ok) error = extio_.ErrorText();
  } else if (kind == static_cast<int>(ReceiverKind::kSdrPlay) && sdrplay_.IsLoaded()) {
    ok = sdrplay_.SetFrf(f, batch, n) == 0;
    tune_report_ = "Настройка на " + FormatFixed(f / 1e6, 3) + " МГц";
    if (is_convertor_) tune_report_ += " с конвертором";
    if (!sdrplay_.LnaCutText().empty()) tune_report_ += " " + sdrplay_.LnaCutText();
    if (!ok) tune_report_ += " " + sdrplay_.ErrorText();
    if (ok) tuned_hz_ = f_hz;
    return ok;
  } else {
    return false;
  }
  tune_report_ = "Настройка на " + FormatFixed(f / 1e6, 3) + " МГц";
  if (is_convertor_) tune_report_ += " с конвертором";
  if (!ok) tune_report_ += " ERR " + error;
  if (ok) tuned_hz_ = f_hz;
  return ok;
}

double ReceiverSet::TunedFrequency() const {
  const int kind = active_.load();
  const double shift = is_convertor_ ? convertor_shift_ : 0.0;
  if (kind == static_cast<int>(ReceiverKind::kHackRf) && hackrf_.Status() >= 2) {
    return tuned_hz_ >= 0 ? tuned_hz_ : hackrf_.Frequency() - shift;
  }
  if (kind == static_cast<int>(ReceiverKind::kRtlSdr) && rtl_.Status() >= 1) {
    return tuned_hz_ >= 0 ? tuned_hz_ : rtl_.CurrentFrequency() - shift;
  }
  if (kind == static_cast<int>(ReceiverKind::kExtIO) && extio_.IsLoaded()) {
    return tuned_hz_ >= 0 ? tuned_hz_ : extio_.LoFrequency() - shift;
  }
  if (kind == static_cast<int>(ReceiverKind::kSdrPlay) && sdrplay_.Status() >= 1) {
    if (tuned_hz_ >= 0) return tuned_hz_;
    OSdrPlayUse& use = const_cast<OSdrPlayUse&>(sdrplay_);
    for (int i = 0; i < 2; ++i) {
      if (sdrplay_api_RxChannelParamsT* c = use.Params().Channel(i)) return SdrPlayParams::RfHz(*c) - shift;
    }
  }
  return std::numeric_limits<double>::quiet_NaN();
}

double ReceiverSet::ActiveSampleRate() const {
  const int kind = active_.load();
  if (kind == static_cast<int>(ReceiverKind::kHackRf) && hackrf_.Status() >= 2) return hackrf_.Rate();
  if (kind == static_cast<int>(ReceiverKind::kRtlSdr) && rtl_.Status() >= 1) {
    return rtl_.SamplingF();
  }
  if (kind == static_cast<int>(ReceiverKind::kExtIO) && extio_.State() >= 3) {
    return extio_.SamplingF() > 0 ? extio_.SamplingF() : 0.0;
  }
  if (kind == static_cast<int>(ReceiverKind::kSdrPlay) && sdrplay_.Status() >= 1) return sdrplay_.OutputRate();
  return 0.0;
}

std::pair<bool, std::string> ReceiverSet::ChangeHackRfSampleRate(int var) {
  hackrf_.m_SampleRateVar = std::clamp(var, 0, OHackRfUse::kRateCount - 1);
  hackrf_.SaveSettings();
  const bool ok = hackrf_.SetSampleRateVar(hackrf_.m_SampleRateVar);
  if (active_.load() == static_cast<int>(ReceiverKind::kHackRf)) {
    host_.SampleRateChanged(hackrf_.Rate());
    SetStatus(StatusTextHackRf(), status_.colour);
  }
  if (!ok) return {false, hackrf_.ErrorText()};
  return {true, "Установка частоты дискретизации " + FormatTrimmed(hackrf_.Rate() / 1e6, 3) +
                    " МГц. Чем больше, тем быстрее сканирование и выше нагрузка на usb и комп "};
}

std::pair<bool, std::string> ReceiverSet::ChangeRtlSampleRate(int32_t rate) {
  const bool ok = rtl_.SetSampleRate(rate);
  host_.SampleRateChanged(rtl_.SamplingF());
  if (active_.load() == static_cast<int>(ReceiverKind::kRtlSdr)) {
    SetStatus(StatusTextRtl(), status_.colour);
  }
  if (!ok) return {false, rtl_.ErrorText()};
  return {true, "Частота дискретизации АЦП изменена (влияет на поток данных)"};
}

std::pair<bool, std::string> ReceiverSet::ChangeSdrPlaySampleRate(double fs_hz) {
  Log() << "Установка FS = " << fs_hz << "\n";
  const int rc = sdrplay_.SetSampleRate(fs_hz);
  if (rc != 0) return {false, sdrplay_.ErrorText()};
  if (active_.load() == static_cast<int>(ReceiverKind::kSdrPlay)) {
    host_.SampleRateChanged(sdrplay_.OutputRate());
    SetStatus(StatusTextSdrPlay(), status_.colour);
  }
  // The point whatever the locale (a window's process may run under one with a comma).
  return {true, "Установка частоты дискретизации АЦП в " + FormatFixed(fs_hz / 1e6, 3) +
                    " МГц, определяет поток данных и как следствие макс. полосу частот (не забудьте задать "
                    "правильную полосу пропускания фильтров)"};
}

std::pair<bool, std::string> ReceiverSet::ChangeSdrPlayDecimation(int factor, bool wide_band) {
  Log() << "Установка m_Decim = " << factor << " wideBandSignal=" << (wide_band ? 1 : 0) << "\n";
  const int rc = sdrplay_.SetDecimation(factor, wide_band);
  if (rc != 0) return {false, sdrplay_.ErrorText()};
  if (factor > 0) {
    sdrplay_.m_Decim = factor;
    sdrplay_.SaveSettings();
  }
  if (active_.load() == static_cast<int>(ReceiverKind::kSdrPlay)) {
    host_.SampleRateChanged(sdrplay_.OutputRate());
    SetStatus(StatusTextSdrPlay(), status_.colour);
  }
  if (factor == 1) return {true, "Децимация выключена, поток данных и наблюдаемая полоса частот максимальны"};
  char t[512];
  std::snprintf(t, sizeof t,
                "Прореживание для уменьшения потока данных в %d раз, ценой сужения полосы (не забудьте ограничить "
                "полосу пропускания фильтров)",
                factor);
  std::string text = t;
  if (wide_band) text += "; wideBandSignal включен, увеличивает нагрузку на проц!";
  return {true, text};
}

ReceiverLevels ReceiverSet::Levels() const {
  ReceiverLevels l;
  if (active_.load() == static_cast<int>(ReceiverKind::kRtlSdr)) {
    l.gain_db = rtl_.CurGA() / 10.0;
  } else if (active_.load() == static_cast<int>(ReceiverKind::kHackRf)) {
    l.gain_db = hackrf_.GainDb();
  } else if (active_.load() == static_cast<int>(ReceiverKind::kSdrPlay)) {
    l.gain_db = sdrplay_.GainA();
    l.duo = sdrplay_.IsDual();
    l.gain_duo_db = l.duo ? sdrplay_.GainB() : 0.0;
  }
  l.overloads = rings_.m_OverloadA.load(std::memory_order_relaxed);
  l.overloads_duo = rings_.m_OverloadB.load(std::memory_order_relaxed);
  return l;
}

}  // namespace kavu

// ORtlSdr: tuning, direct sampling, gains, sample rate and the stored settings.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/num_convert.h"
#include "platform/number_text.h"
#include "receivers/o_rtl_sdr.h"
#include "results/calibration_table.h"
#include "shell/log_console.h"
#include "shell/settings_fields.h"

namespace kavu {

std::span<const SettingBinding<ORtlSdr>> ORtlSdr::Bindings() {
  using R = ORtlSdr;
  static constexpr SettingBinding<ORtlSdr> kFields[] = {
      Bind<&R::direct_choice_>("m_RtlDirectMode", 4, DefaultOutside(0, 4)),
      Bind<&R::rtl_ga_>("m_RtlGa", 0),
      Bind<&R::buf_step_>("m_RtlBufSzStep", kMinBufStep, ClampTo(kMinBufStep, kMaxBufStep)),
      Bind<&R::gcal_name_>("m_RtlGCalName",
                           "c:\\AntIzmSdrData\\LastKavuAntIzm 24Ом sma si551 rtlsdr.dll 19.7 дБ - 3.kant"),
      Bind<&R::is_gcal_>("m_RtlIsGCal", false),
  };
  return kFields;
}

void ORtlSdr::LoadSettings(double hysteresis_db) {
  hysteresis_db_ = hysteresis_db;
  kavu::LoadSettings(Settings(), kSection, Bindings(), *this);
  if (is_gcal_) {
    if (!gcal_) gcal_ = std::make_unique<CalibrationTable>();
    if (!gcal_->LoadTable(gcal_name_)) is_gcal_ = false;  // off for this run
  }
}

void ORtlSdr::SetRtlDirectMode(int32_t mode) {
  direct_choice_ = mode;
  CheckSettings(Bindings(), *this);
  SaveMember<&ORtlSdr::direct_choice_>(Settings(), kSection, Bindings(), *this);
}

void ORtlSdr::SetRtlGa(int32_t gain) {
  rtl_ga_ = gain;
  SaveMember<&ORtlSdr::rtl_ga_>(Settings(), kSection, Bindings(), *this);
}

void ORtlSdr::SetRtlBufSzStep(int32_t step) {
  buf_step_ = step;
  CheckSettings(Bindings(), *this);
  SaveMember<&ORtlSdr::buf_step_>(Settings(), kSection, Bindings(), *this);
}

bool ORtlSdr::SetGainCalibration(bool on, const std::string& file, std::string* message) {
  bool ok = true;
  if (on) {
    gcal_name_ = file;
    SaveMember<&ORtlSdr::gcal_name_>(Settings(), kSection, Bindings(), *this);
    if (!gcal_) gcal_ = std::make_unique<CalibrationTable>();
    ok = gcal_->LoadTable(file);
    if (message) *message = gcal_->Status();
    if (!ok) on = false;
  }
  is_gcal_ = on;
  SaveMember<&ORtlSdr::is_gcal_>(Settings(), kSection, Bindings(), *this);
  return ok;
}

int32_t ORtlSdr::NearestGainIndex(int32_t value) const {
  int32_t best = -1;
  long best_diff = 0;
  for (size_t i = 0; i < gains_.size(); ++i) {
    const long d = std::labs(static_cast<long>(gains_[i]) - value);
    if (best < 0 || d < best_diff) {
      best = static_cast<int32_t>(i);
      best_diff = d;
    }
  }
  return best;
}

int32_t ORtlSdr::ChooseGain(int32_t target) const {
  const int32_t i = NearestGainIndex(target);
  return i < 0 ? target : gains_[static_cast<size_t>(i)];
}

double ORtlSdr::CalLevel(double f) const { return gcal_ ? gcal_->LevelAt(f) : 0.0; }

bool ORtlSdr::SetCenterFreq(double frequency_hz, const double* batch, int n) {
  SetDirectMode(frequency_hz);
  frequency_ = frequency_hz;
  // The library takes whole hertz as an unsigned 32-bit value: anything that does not fit is
  // refused rather than converted with an undefined result.
  const std::optional<uint32_t> whole =
      std::isfinite(frequency_hz) && frequency_hz < 5000.0 ? std::optional<uint32_t>(5000)
                                                           : ToUInt32(frequency_hz);
  if (!whole) {
    SetErrorText("частота " + FormatFixed(frequency_hz, 0) +
                 " Гц вне диапазона rtlsdr_set_center_freq() (0 … 4294967295 Гц)");
    Log() << LogColour(kColourError) << "ORtlSdr::SetCenterFreq() - " << ErrorText() << "\n"
          << LogColour(kColourNormal);
    return false;
  }
  const uint32_t ifm = *whole;
  if (!api_.set_center_freq) {
    SetErrorText("отсутствует rtlsdr_set_center_freq()");
    return false;
  }
  if (!dev_) {
    SetErrorText("устройство rtlsdr не открыто");
    return false;
  }
  if (const int e = api_.set_center_freq(dev_, ifm); e != 0) {
    Log() << LogColour(kColourError) << "rtlsdr_set_center_freq err=" << e << " iFM=" << ifm
          << "\n" << LogColour(kColourNormal);
    SetErrorText("rtlsdr_set_center_freq() err=" + std::to_string(e) +
                 ", iFM=" + std::to_string(ifm));
    return false;
  }
  if (is_gcal_) SetMyAru(false, batch, n);
  return true;
}

bool ORtlSdr::SetDirectMode(double frequency_hz) {
  int32_t mode = direct_choice_;
  if (mode == 3 || mode == 4) mode = frequency_hz < kDirectThresholdHz ? mode - 2 : 0;
  if (mode == direct_mode_) return true;
  direct_mode_ = mode;
  Log() << LogColour(kColourNotice) << "!!!!!!!!! SetDirectMode dm=" << mode << "\n"
        << LogColour(kColourNormal);
  if (!api_.set_direct_sampling || !dev_) return false;
  const int e = api_.set_direct_sampling(dev_, mode);
  if (e != 0) {
    Log() << LogColour(kColourError) << "rtlsdr_set_direct_sampling err=" << e << " dm=" << mode
          << "\n" << LogColour(kColourNormal);
  }
  if (api_.set_tuner_gain) {
    if (const int g = api_.set_tuner_gain(dev_, cur_ga_); g != 0) {
      Log() << LogColour(kColourError)
            << "SetDirectMode() err, rtlsdr_set_tuner_gain() вернула ошибку err=" << g
            << " m_CurGA=" << cur_ga_.load() << "\n" << LogColour(kColourNormal);
    }
  }
  return e == 0;
}

bool ORtlSdr::SetMyAru(bool forced, const double* batch, int n) {
  if (!api_.set_tuner_gain) {
    Log() << LogColour(kColourError) << "SetMyAru() - нет rtlsdr_set_tuner_gain \n"
          << LogColour(kColourNormal);
    return false;
  }
  if (!is_gcal_) return SetTunerGain(rtl_ga_);
  double worst = CalLevel(frequency_);
  for (int i = 0; batch && i < n; ++i) worst = std::max(worst, CalLevel(batch[i]));
  // A table that gives no level (NaN) leaves the gain as it is.
  const std::optional<int32_t> target = ToInt32((rtl_ga_ * 0.1 - worst) * 10.0);
  if (!target) return false;
  const int32_t chosen = ChooseGain(*target);
  if (!forced && std::abs(chosen - cur_ga_.load()) <= 10.0 * hysteresis_db_) return true;
  return SetTunerGain(chosen);
}

bool ORtlSdr::SetSampleRate(int32_t rate) {
  sampling_f_ = rate;
  if (!api_.set_sample_rate) {
    SetErrorText("rtlsdr_set_sample_rate() отсутствует");
    return false;
  }
  if (!dev_) {
    SetErrorText("устройство rtlsdr не открыто");
    return false;
  }
  const int e = rate > 0 ? api_.set_sample_rate(dev_, static_cast<uint32_t>(rate)) : -1;
  if (e != 0) {
    SetErrorText("rtlsdr_set_sample_rate() вернула err=" + std::to_string(e) +
                 ", FS=" + std::to_string(rate));
    // A refused rate leaves the device at its old one: the plan must go on using that.
    if (api_.get_sample_rate) sampling_f_ = static_cast<int32_t>(api_.get_sample_rate(dev_));
    return false;
  }
  return true;
}

bool ORtlSdr::SetTunerGain(int32_t gain) {
  if (!api_.set_tuner_gain) {
    SetErrorText("rtlsdr_set_tuner_gain() отсутствует");
    return false;
  }
  if (!dev_) {
    SetErrorText("устройство rtlsdr не открыто");
    return false;
  }
  cur_ga_ = gain;
  if (const int e = api_.set_tuner_gain(dev_, gain); e != 0) {
    SetErrorText("rtlsdr_set_tuner_gain() вернула err=" + std::to_string(e) +
                 ", gain=" + std::to_string(gain));
    return false;
  }
  return true;
}

std::optional<uint32_t> ORtlSdr::ReadSampleRate() const {
  if (!dev_ || !api_.get_sample_rate) return std::nullopt;
  return api_.get_sample_rate(dev_);
}

std::optional<int32_t> ORtlSdr::ReadTunerGain() const {
  if (!dev_ || !api_.get_tuner_gain) return std::nullopt;
  return api_.get_tuner_gain(dev_);
}

std::optional<ORtlSdr::XtalReading> ORtlSdr::ReadXtal() const {
  if (!dev_ || !api_.get_xtal_freq) return std::nullopt;
  XtalReading r;
  r.code = api_.get_xtal_freq(dev_, &r.rtl_hz, &r.tuner_hz);
  return r;
}

}  // namespace kavu

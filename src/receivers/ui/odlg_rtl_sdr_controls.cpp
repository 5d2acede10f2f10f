// ODlgRtlSdr: what each control does. Every setting is stored as soon as it changes; a change
// made while no device is open is stored, refused with the not-open text and calls nothing on
// the library.
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <cmath>
#include <optional>

#include "platform/num_convert.h"
#include "platform/number_text.h"
#include "receivers/ui/odlg_rtl_sdr.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

constexpr const char* kDirectExplanations[] = {
    "Режим с использованием тюнера, основной для работы на высоких (выше ~25 МГц) частотах, на "
    "более низких Rtl-Sdr работать не будет",
    "Direct Mode с использованием входа I (для Rtl-Sdr v3 бессмысленнно)",
    "Direct Mode с использованием входа Q (обычно для работы на низких частотах для Rtl-Sdr v3)",
    "автовключение Direct Mode на низких частотах с использованием входа I, иначе обычный режим "
    "с использованием тюнера (для Rtl-Sdr v3 бессмысленнно)",
    "автовключение Direct Mode на низких частотах с использованием входа Q, иначе обычный режим "
    "с использованием тюнера (типично для Rtl-Sdr v3)",
};

constexpr const char* kBufferText =
    "Смена размера буфера данных. Большой буфер замедляет сканирование, но снижает вероятность "
    "потери данных, ведущей к искажениям измерений";

// The rates the RTL2832U's resampler gives, in samples per second.
bool RtlRateInRange(int64_t hz) {
  return (hz > 225000 && hz <= 300000) || (hz > 900000 && hz <= 3200000);
}

// A typed rate: a number in MHz ("2.048", "2,048", "2.048 МГц") or in kHz when it says "КГц".
std::optional<int64_t> ParseTypedRate(QString text) {
  text = text.trimmed();
  double scale = 1e6;
  if (text.contains("кгц", Qt::CaseInsensitive)) scale = 1e3;
  text.replace(',', '.');
  const std::optional<double> v = ParseReal(text.toStdString());
  if (!v || *v <= 0) return std::nullopt;
  const std::optional<int32_t> hz = ToInt32(std::round(*v * scale));
  if (!hz) return std::nullopt;
  return *hz;
}

}  // namespace

void ODlgRtlSdr::OnRateChosen(int index) {
  if (index < 0 || index >= rate_->count()) return;
  ApplyRate(rate_->itemData(index).toInt());
}

void ODlgRtlSdr::OnRateTyped() {
  const QString text = rate_->currentText();
  if (rate_->findText(text) >= 0) return;  // a list entry: the combo reports it as a choice
  const std::optional<int64_t> hz = ParseTypedRate(text);
  if (!hz || !RtlRateInRange(*hz)) {
    ShowStatus("Частота дискретизации '" + text.toStdString() +
                   "' не подходит: Rtl-Sdr работает на 0.225001 … 0.3 и 0.900001 … 3.2 МГц",
               Colour::kError);
    return;
  }
  ApplyRate(static_cast<int32_t>(*hz));
}

void ODlgRtlSdr::ApplyRate(int32_t rate_hz) {
  if (!RequireOpen("")) return;
  const auto [ok, text] = receivers_.ChangeRtlSampleRate(rate_hz);
  ShowStatus(text, ok ? Colour::kNormal : Colour::kError);
  UpdateReopenButton();
  emit SettingsChanged(receivers_.Rtl().SamplingF());
}

void ODlgRtlSdr::OnDirectModeChosen(int index) {
  if (index < 0 || index > 4) return;
  ORtlSdr& rtl = receivers_.Rtl();
  rtl.SetRtlDirectMode(index);
  const std::string failure = "Не удалось установить требуемый Direct Mode";
  if (!RequireOpen(failure + " ERR ")) return;
  if (rtl.SetDirectMode(rtl.CurrentFrequency())) {
    ShowStatus(kDirectExplanations[index], Colour::kNormal);
  } else {
    ShowStatus(failure, Colour::kError);
  }
}

void ODlgRtlSdr::OnGainSlider(int position) {
  ORtlSdr& rtl = receivers_.Rtl();
  const auto& gains = rtl.Gains();
  const int32_t gain = position >= 0 && position < static_cast<int>(gains.size())
                           ? gains[static_cast<size_t>(position)]
                           : position * 10;
  Log() << "pos=" << position << " ga = " << gain << "\n";
  rtl.SetRtlGa(gain);
  ApplyGain();
}

void ODlgRtlSdr::OnCalibrationClicked(bool checked) {
  ORtlSdr& rtl = receivers_.Rtl();
  std::string table_failure;
  if (checked) {
    const QString start = QFileInfo(QString::fromStdString(rtl.RtlGCalName())).absolutePath();
    const QString file = pick_calibration_file_ ? pick_calibration_file_(start) : QString();
    if (file.isEmpty()) {
      rtl.SetGainCalibration(false, "", nullptr);
    } else {
      std::string message;
      if (!rtl.SetGainCalibration(true, file.toStdString(), &message)) {
        table_failure = message.empty() ? std::string("?") : message;
      }
    }
  } else {
    rtl.SetGainCalibration(false, "", nullptr);
  }
  calibration_->setChecked(rtl.RtlIsGCal());
  RefreshGainControls();
  ApplyGain(table_failure);
}

void ODlgRtlSdr::ApplyGain(const std::string& table_failure) {
  ORtlSdr& rtl = receivers_.Rtl();
  std::string text;
  if (rtl.RtlIsGCal()) {
    text = "Автовыбор усиления ради |О| = " + FormatFixed(rtl.RtlGa() / 10.0, 1) +
           " дБ, корр. неравномерности АЧХ по " + rtl.RtlGCalName();
  } else {
    text = "Усиление сигнала " + FormatFixed(rtl.RtlGa() / 10.0, 1) +
           " дБ. Устанавливайте так, чтобы избежать перегрузки!";
  }
  if (!RequireOpen((table_failure.empty() ? text : table_failure) + " ERR ")) {
    UpdateGainLabel();
    return;
  }
  const bool ok = rtl.SetMyAru(true, nullptr, 0);
  UpdateGainLabel();
  if (!table_failure.empty()) {
    const std::string error = ok ? rtl.RtlGCalName() : rtl.ErrorText();
    ShowStatus(table_failure + " ERR " + error, Colour::kError);
  } else if (!ok) {
    ShowStatus(text + " ERR " + rtl.ErrorText(), Colour::kError);
  } else {
    ShowStatus(text, Colour::kNormal);
  }
}

void ODlgRtlSdr::OnBufferChosen(int index) {
  if (index < 0 || index >= buffer_->count()) return;
  ORtlSdr& rtl = receivers_.Rtl();
  rtl.SetRtlBufSzStep(buffer_->itemData(index).toInt());
  if (!RequireOpen(std::string(kBufferText) + " ERR ")) return;
  // The restart stops the reading thread and waits for it: the back end cancels the library's
  // read again and again until it returns, so this takes a few milliseconds even when the
  // stream has only just started.
  if (rtl.RestartStreaming()) {
    ShowStatus(kBufferText, Colour::kNormal);
  } else {
    ShowStatus(std::string(kBufferText) + " ERR " + rtl.ErrorText(), Colour::kError);
  }
  UpdateReopenButton();
}

}  // namespace kavu

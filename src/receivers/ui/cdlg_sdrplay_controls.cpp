// CDlgSdrPlay: what each control does. Every change goes through the back end (or ReceiverSet
// where the main window must re-plan) and ends with its status text: the normal colour, or the
// text with the back end's error in the error colour when the API refused.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <cmath>
#include <cstdio>

#include "platform/number_text.h"
#include "receivers/ui/cdlg_sdrplay.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

std::string SdrFormatInt(const char* format, int v) {
  char t[512];
  std::snprintf(t, sizeof t, format, v);
  return t;
}

std::string RateStatus(double hz) {
  return "Установка частоты дискретизации АЦП в " + FormatFixed(hz / 1e6, 3) +
         " МГц, определяет поток данных и как следствие макс. полосу частот (не забудьте задать правильную "
         "полосу пропускания фильтров)";
}

std::string DecimationStatus(int factor, bool wide_band) {
  if (factor == 1) return "Децимация выключена, поток данных и наблюдаемая полоса частот максимальны";
  std::string t = SdrFormatInt(
      "Прореживание для уменьшения потока данных в %d раз, ценой сужения полосы (не забудьте ограничить полосу "
      "пропускания фильтров)",
      factor);
  if (wide_band) t += "; wideBandSignal включен, увеличивает нагрузку на проц!";
  return t;
}

}  // namespace

std::optional<double> CDlgSdrPlay::PositiveNumber(const QString& text) {
  QString t = text.trimmed();
  t.replace(',', '.');
  qsizetype end = 0;
  while (end < t.size() && (t[end].isDigit() || t[end] == '.')) ++end;
  bool ok = false;
  const double v = t.left(end).toDouble(&ok);
  if (!ok || !std::isfinite(v) || v <= 0) return std::nullopt;
  return v;
}

void CDlgSdrPlay::Connect() {
  connect(rate_, &QComboBox::activated, this, &CDlgSdrPlay::OnRateChosen);
  connect(rate_->lineEdit(), &QLineEdit::returnPressed, this, &CDlgSdrPlay::OnRateTyped);
  connect(usb_, &QComboBox::activated, this, &CDlgSdrPlay::OnUsbChosen);
  connect(bandwidth_, &QComboBox::activated, this,
          [this](int i) { OnBandwidth(bandwidth_->itemData(i).toInt()); });
  connect(bandwidth_->lineEdit(), &QLineEdit::returnPressed, this,
          [this] { OnTyped(bandwidth_, 1.0, [this](double v) { OnBandwidth(static_cast<int>(std::lround(v))); }); });
  connect(if_type_, &QComboBox::activated, this, [this](int i) { OnIfType(if_type_->itemData(i).toInt()); });
  connect(if_type_->lineEdit(), &QLineEdit::returnPressed, this,
          [this] { OnTyped(if_type_, 1.0, [this](double v) { OnIfType(static_cast<int>(std::lround(v))); }); });
  connect(lo_, &QComboBox::activated, this, [this](int i) { OnLoMode(lo_->itemData(i).toInt()); });
  connect(lo_->lineEdit(), &QLineEdit::returnPressed, this,
          [this] { OnTyped(lo_, 1.0, [this](double v) { OnLoMode(static_cast<int>(std::lround(v))); }); });
  connect(decim_, &QComboBox::activated, this, &CDlgSdrPlay::OnDecimation);
  connect(wide_band_, &QCheckBox::clicked, this, &CDlgSdrPlay::OnWideBand);
  connect(duo_, &QComboBox::activated, this, &CDlgSdrPlay::OnDuo);
  connect(gain_mode_, &QComboBox::activated, this, &CDlgSdrPlay::OnGainMode);
  connect(lna_, &QSlider::valueChanged, this, &CDlgSdrPlay::OnLnaSlider);
  connect(ga_, &QSlider::valueChanged, this, &CDlgSdrPlay::OnGaSlider);
  connect(input_, &QComboBox::activated, this, &CDlgSdrPlay::OnInput);
  for (QCheckBox* b : {notch_, dab_notch_, ext_ref_, bias_t_, hdr_, am_port_}) {
    connect(b, &QCheckBox::clicked, this, &CDlgSdrPlay::OnSwitch);
  }
}

void CDlgSdrPlay::OnTyped(QComboBox* combo, double scale, const std::function<void(double)>& apply) {
  const QString text = combo->currentText();
  if (combo->findText(text) >= 0) return;  // an item's text: its choice arrives as the item's
  const std::optional<double> v = PositiveNumber(text);
  if (!v) {
    ShowStatus("Не принято \"" + text.toStdString() + "\": нужно положительное число", Colour::kError);
    filling_ = true;  // the combo shows the value in force again
    RefreshDevice();
    RefreshChannel();
    filling_ = false;
    return;
  }
  apply(*v * scale);
}

void CDlgSdrPlay::OnRateChosen(int index) {
  if (index >= 0) ApplyRate(rate_->itemData(index).toDouble());
}

void CDlgSdrPlay::OnRateTyped() {
  // Typed in MHz as the items are; a number above 1000 is taken as Hz.
  OnTyped(rate_, 1.0, [this](double v) { ApplyRate(v < 1000.0 ? v * 1e6 : v); });
}

void CDlgSdrPlay::ApplyRate(double hz) {
  const auto [ok, text] = receivers_.ChangeSdrPlaySampleRate(hz);
  emit SettingsChanged();
  if (ok) {
    ShowStatus(RateStatus(hz), Colour::kNormal);
  } else {
    ShowStatus(RateStatus(hz) + " " + text, Colour::kError);
  }
  filling_ = true;
  RefreshDevice();
  filling_ = false;
}

void CDlgSdrPlay::OnUsbChosen(int) {
  message_box_("смена не поддерживается этой программой");
  filling_ = true;
  RefreshDevice();
  filling_ = false;
}

void CDlgSdrPlay::OnBandwidth(int kHz) {
  Log() << "Установка полосы " << kHz << " КГц \n";
  const int rc = receivers_.SdrPlay().SetBwType(kHz);
  ShowResult(SdrFormatInt("Фильтры, ограничивающие полосу пропускания до %d КГц. Выбирайте в зависимости от частоты "
                          "дискретизации с учетом децимации",
                          kHz),
             rc);
  filling_ = true;
  RefreshChannel();
  filling_ = false;
}

void CDlgSdrPlay::OnIfType(int kHz) {
  Log() << "Установка IfType = " << kHz << " КГц \n";
  const int rc = receivers_.SdrPlay().SetIfType(kHz);
  ShowResult(kHz == 0 ? "Режим нулевой ПЧ, наиболее широкие возможности задания параметров приёмника, в том числе "
                        "частоты дискретизации"
                      : "Установка ненулевой ПЧ, должно быть правильно согласовано с частотой дискретизации АЦП",
             rc);
  filling_ = true;
  RefreshChannel();
  filling_ = false;
}

void CDlgSdrPlay::OnLoMode(int mode) {
  Log() << "Установка loMode = " << mode << "\n";
  const int rc = receivers_.SdrPlay().SetLoMode(mode);
  ShowResult("Установка loMode", rc);
  filling_ = true;
  RefreshChannel();
  filling_ = false;
}

void CDlgSdrPlay::OnDecimation(int index) {
  if (index < 0) return;
  const int factor = decim_->itemData(index).toInt();
  const bool wide = wide_band_->isChecked();
  const auto [ok, text] = receivers_.ChangeSdrPlayDecimation(factor, wide);
  emit SettingsChanged();
  if (ok) {
    ShowStatus(DecimationStatus(factor, wide), Colour::kNormal);
  } else {
    ShowStatus(DecimationStatus(factor, wide) + " " + text, Colour::kError);
  }
  filling_ = true;
  RefreshChannel();
  filling_ = false;
}

void CDlgSdrPlay::OnWideBand(bool checked) {
  const auto [ok, text] = receivers_.ChangeSdrPlayDecimation(0, checked);
  const std::string status = SdrFormatInt(
      "Установка wideBandSignal=%d, вероятно управление софтовой фильтрацией при прореживании, увеличивает "
      "нагрузку на проц! (по возможнуйте используйте вместо цифровой аналоговые фильтры)",
      checked ? 1 : 0);
  ShowStatus(ok ? status : status + " " + text, ok ? Colour::kNormal : Colour::kError);
  filling_ = true;
  RefreshChannel();
  filling_ = false;
}

void CDlgSdrPlay::OnDuo(int index) {
  if (duo_->count() < 2 || index < 0) return;
  OSdrPlayUse& s = receivers_.SdrPlay();
  s.m_DuoMasterMode = index;
  s.SaveSettings();
  ShowStatus(index == 1 ? "Двухвходовый режим Sdr-приёмника, вход B используется для подачи опорной частоты при "
                          "оценке фазы, вход B обязательно должен быть подключен к выходу генератора для "
                          "измерительного моста"
                        : "Обычный одновходовый режим работы Sdr-приёмника, используется только один вход, наиболее "
                          "широкие возможности по заданию параметров работы приёмника",
             Colour::kNormal);
  emit ReopenRequested();
}

void CDlgSdrPlay::OnGainMode(int index) {
  OSdrPlayUse& s = receivers_.SdrPlay();
  const int mode = std::clamp(index, 0, 2);
  std::string file = s.m_RspGCalName;
  if (mode == 2) {
    const QString picked = pick_calibration_file_(QString::fromStdString(s.m_RspGCalName));
    if (!picked.isEmpty()) file = picked.toStdString();
  }
  std::string message;
  if (!s.SetGainMode(mode, file, &message)) {
    // Nothing stored: the mode in force stays, and the combo shows it again. (The back end's
    // error text is not added: it would be left over from some earlier call.)
    ShowStatus("АРУ load err: " + message + "\r\n" + file, Colour::kError);
    filling_ = true;
    gain_mode_->setCurrentIndex(s.GainModeInForce());
    SetGaSlider();
    RefreshGainLabels();
    filling_ = false;
    return;
  }
  int rc = 0;
  std::string text;
  if (mode == 2) {
    rc = s.AutoGain(s.m_AutoG, true, nullptr, 0);
    text = "Автоуправление ослаблением GA в зависимости от требуемого уровня сигнала |О| по данным калибровки из " +
           s.m_RspGCalName;
  } else if (mode == 1) {
    rc = s.AutoGain(s.m_AutoG, true, nullptr, 0);
    text = "Режим автоуправления ослаблением GA в зависимости от итогового целевого усиления sdr (для компенсации "
           "зависимости итогового усиления sdr от частоты настройки)";
  } else {
    rc = s.SetGainReduction(s.m_Ga);
    text = "Режим ручного задания ослабления GA. Итоговое усиление sdr зависит от LNA и частоты";
  }
  ShowResult(text, rc);
  Refresh();
}

void CDlgSdrPlay::OnLnaSlider(int position) {
  if (filling_) return;
  OSdrPlayUse& s = receivers_.SdrPlay();
  s.m_Lna = position;
  s.SaveSettings();
  int applied = position;
  const int rc = s.SetLna(position, &applied);
  lna_label_->setText(rc == 0 ? QString("LNA=%1").arg(applied) : QString("Err=%1").arg(position));
  RefreshGainLabels();
  const std::string head = "Ослабление для МШУ (LNA), устанавливайте так, чтобы избежать перегрузки. Сейчас ";
  if (rc != 0) {
    ShowResult(head + std::to_string(position) + " (на разных диапазонах это означает разное ослабление)", rc);
  } else if (applied == position) {
    ShowStatus(head + std::to_string(applied) + " (на разных диапазонах это означает разное ослабление)",
               Colour::kNormal);
  } else {
    ShowStatus(head + std::to_string(applied) + " вместо " + std::to_string(position) +
                   " (в зависимости от частоты и режима доступно разное число градаций LNA)",
               Colour::kNotice);
  }
}

void CDlgSdrPlay::OnGaSlider(int position) {
  if (filling_) return;
  OSdrPlayUse& s = receivers_.SdrPlay();
  const int mode = s.GainModeInForce();
  int rc = 0;
  std::string text;
  if (mode == 0) {
    s.m_Ga = position;
    s.SaveSettings();
    rc = s.SetGainReduction(position);
    text = "Ослабление сигнала " + std::to_string(position) + " дБ. Устанавливайте так, чтобы избежать перегрузки!";
  } else {
    s.m_AutoG = 99 - position;
    s.SaveSettings();
    rc = s.AutoGain(s.m_AutoG, true, nullptr, 0);
    text = mode == 1 ? "Автовыбор ослабления ради общ. усиления sdr=" + std::to_string(s.m_AutoG) + " дБ"
                     : "Автовыбор ослабления ради |О|=" + std::to_string(s.m_AutoG) +
                           " дБ c корр. неравномерности АЧХ по " + s.m_RspGCalName;
  }
  RefreshGainLabels();
  ShowResult(text, rc);
}

void CDlgSdrPlay::OnInput(int index) {
  if (index < 0) return;
  OSdrPlayUse& s = receivers_.SdrPlay();
  s.m_AntNum = index;
  s.SaveSettings();
  const int hw = s.Selected().hwVer;
  if (!s.HasDeviceParams()) {
    ShowStatus("Вроде переключение антенн тут не поддерживается", Colour::kNormal);
  } else if (hw == kSdrPlayRsp2) {
    ShowResult("Переключение антенн у Rsp2", s.SetAntenna(index));
  } else if (hw == kSdrPlayRspDx) {
    ShowResult("Переключение антенн у RspDx", s.SetAntenna(index));
  } else if (hw == kSdrPlayRspDuo) {
    if (s.Selected().rspDuoMode == kSdrPlayDuoSlave) return;
    const int32_t wanted = index == 0 ? kSdrPlayTunerA : kSdrPlayTunerB;
    if (!s.IsDual() && s.Selected().tuner != wanted) {
      const int rc = s.SwapTuner(am_port_->isChecked() ? 1 : 0);
      ShowResult("Переключение duo на другой тюнер", rc);
      if (rc != 0) return;
    }
    Refresh();
    return;
  } else {
    ShowStatus("Вроде переключение антенн тут не поддерживается", Colour::kNormal);
  }
  Refresh();
}

void CDlgSdrPlay::OnSwitch() {
  if (filling_) return;
  OSdrPlayUse& s = receivers_.SdrPlay();
  SdrPlaySwitches w;
  w.notch = notch_->isChecked();
  w.dab_notch = dab_notch_->isChecked();
  w.ext_ref = ext_ref_->isChecked();
  w.bias_t = bias_t_->isChecked();
  w.hdr = hdr_->isChecked();
  w.am_port = am_port_->isChecked();
  const int hw = s.Selected().hwVer;
  const char* title = hw == kSdrPlayRsp1A   ? "Настройка Rsp1A"
                      : hw == kSdrPlayRsp2   ? "Настройка Rsp2"
                      : hw == kSdrPlayRspDuo ? "Настройка RspDuo"
                      : hw == kSdrPlayRspDx  ? "Настройка RspDx"
                                             : nullptr;
  if (!title) return;  // RSP1: no switches
  std::string step;
  const int rc = s.ApplySwitches(w, &step);
  ShowResult(step.empty() ? title : step, rc);
  if (rc == 0 && hw == kSdrPlayRspDuo) Refresh();
}

}  // namespace kavu

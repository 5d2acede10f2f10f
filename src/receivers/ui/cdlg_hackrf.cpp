// CDlgHackRF: building the window, the refresh command, the controls' handlers, closing and help.
#include "receivers/ui/cdlg_hackrf.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QSlider>
#include <QTextEdit>

#include "platform/number_text.h"
#include "results/ui/help_key.h"

namespace kavu {
namespace {

constexpr const char* kCaption = "Настройка HackRF";
constexpr const char* kNoDevices =
    "Не найдены приёмники HackRF!\r\nДля обновления списка доступных приёмников HackRF перезапустите "
    "программу.\r\nТакже Вы можете использовать разные sdr-приёмники через плагины ExtIO*.dll";

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

QString CDlgHackRF::RateText(int var) {
  return Q(FormatTrimmed(OHackRfUse::kRates[var] / 1e6, 3) + " МГц");
}

CDlgHackRF::CDlgHackRF(ReceiverSet& receivers, QWidget* parent) : QDialog(parent), receivers_(receivers) {
  setWindowTitle("Настройки HackRF");
  setObjectName("CDlgHackRF");
  new HelpKey(*this, "CDlgHackRF");  // F1: the window's help topic
  pick_calibration_file_ = [this](const QString& start) {
    return QFileDialog::getOpenFileName(
        this,
        "Выбирете файл с результатами сканирования, который будет использоваться для регулировки усиления",
        start, "KavuAnt - файлы (*.kant)");
  };
  BuildControls();
  ShowStatus("", Colour::kNormal);
}

CDlgHackRF::~CDlgHackRF() = default;

void CDlgHackRF::BuildControls() {
  auto* grid = new QGridLayout(this);
  rate_ = new QComboBox(this);
  rate_->setObjectName("rate");  // 1132
  for (int v = 0; v < OHackRfUse::kRateCount; ++v) rate_->addItem(RateText(v), v);
  clk_out_ = new QCheckBox("CLK Out", this);  // 1039
  clk_out_->setObjectName("clkOut");
  amp_ = new QCheckBox("AMP", this);  // 1040
  amp_->setObjectName("amp");
  lna_ = new QSlider(Qt::Horizontal, this);  // 1120
  lna_->setObjectName("lna");
  lna_->setRange(0, 5);
  lna_->setPageStep(1);
  lna_label_ = new QLabel(this);  // 1166
  lna_label_->setObjectName("lnaLabel");
  lna_label_->setMinimumWidth(lna_label_->fontMetrics().horizontalAdvance("Lna 40 дБ") + 4);
  vga_ = new QSlider(Qt::Horizontal, this);  // 1121
  vga_->setObjectName("vga");
  vga_->setPageStep(1);
  vga_label_ = new QLabel(this);  // 1167
  vga_label_->setObjectName("vgaLabel");
  vga_label_->setMinimumWidth(vga_label_->fontMetrics().horizontalAdvance("Цель |O| = 90 дБ") + 4);
  calibration_ = new QCheckBox("Коррекция неравномерности АЧХ", this);  // 1038
  calibration_->setObjectName("calibration");
  buffers_ = new QLabel("Буфера: ", this);  // 1265
  buffers_->setObjectName("buffers");
  status_ = new QTextEdit(this);  // 1098
  status_->setObjectName("status");
  status_->setReadOnly(true);
  const int lines = status_->fontMetrics().lineSpacing() * 4;
  status_->setMinimumHeight(lines);
  status_->setMaximumHeight(lines + 2 * status_->frameWidth() + 8);

  auto* rate_label = new QLabel("&дискр:", this);
  rate_label->setBuddy(rate_);
  grid->addWidget(rate_label, 0, 0);
  grid->addWidget(rate_, 0, 1);
  grid->addWidget(clk_out_, 0, 2);
  grid->addWidget(amp_, 0, 3);
  grid->addWidget(buffers_, 0, 4);
  grid->addWidget(lna_, 1, 0, 1, 2);
  grid->addWidget(lna_label_, 1, 2);
  grid->addWidget(calibration_, 1, 3, 1, 2);
  grid->addWidget(vga_, 2, 0, 1, 2);
  grid->addWidget(vga_label_, 2, 2);
  grid->addWidget(status_, 3, 0, 1, 5);
  grid->setColumnStretch(1, 2);
  grid->setColumnStretch(4, 1);

  connect(rate_, &QComboBox::activated, this, &CDlgHackRF::OnRateChosen);
  connect(clk_out_, &QCheckBox::clicked, this, &CDlgHackRF::OnClkOut);
  connect(amp_, &QCheckBox::clicked, this, &CDlgHackRF::OnAmp);
  connect(lna_, &QSlider::valueChanged, this, &CDlgHackRF::OnLnaSlider);
  connect(vga_, &QSlider::valueChanged, this, &CDlgHackRF::OnVgaSlider);
  connect(calibration_, &QCheckBox::clicked, this, &CDlgHackRF::OnCalibrationClicked);
}

void CDlgHackRF::ShowStatus(const std::string& text, Colour colour) {
  QString t = Q(text);
  t.replace("\r\n", "\n");
  status_->setPlainText(t);
  const char* background = colour == Colour::kError    ? "rgb(255,190,190)"
                           : colour == Colour::kNotice ? "rgb(255,255,190)"
                                                       : "palette(base)";
  status_->setStyleSheet(QString("QTextEdit { background: %1; }").arg(background));
  status_->setProperty("colour", static_cast<int>(colour));
}

void CDlgHackRF::ShowResult(const std::string& text, bool ok) {
  if (ok) {
    ShowStatus(text, Colour::kNormal);
  } else {
    ShowStatus(text + " ERR " + receivers_.HackRf().ErrorText(), Colour::kError);
  }
}

void CDlgHackRF::SetVgaRange() {
  const OHackRfUse& h = receivers_.HackRf();
  const QSignalBlocker block(vga_);
  if (h.GainCalibrationOn()) {
    vga_->setRange(0, 90);
    vga_->setValue(h.m_GCalHackRFValue);
  } else {
    vga_->setRange(0, 31);
    vga_->setValue(h.m_VGa / 2);
  }
}

void CDlgHackRF::UpdateVgaLabel() {
  const OHackRfUse& h = receivers_.HackRf();
  vga_label_->setText(h.GainCalibrationOn() ? QString("Цель |O| = %1 дБ").arg(h.m_GCalHackRFValue)
                                            : QString("VGa %1 дБ").arg(h.m_VGa));
}

void CDlgHackRF::UpdateCalibrationText() {
  const OHackRfUse& h = receivers_.HackRf();
  const QSignalBlocker block(calibration_);
  calibration_->setChecked(h.GainCalibrationOn());
  calibration_->setText(h.GainCalibrationOn() ? "Корр АЧХ по " + QFileInfo(Q(h.m_GCalHackRFName)).fileName()
                                              : QString("Коррекция неравномерности АЧХ"));
}

void CDlgHackRF::RefreshControls() {
  const OHackRfUse& h = receivers_.HackRf();
  const HackRfApi& api = h.Api();
  filling_ = true;
  rate_->setEnabled(api.set_sample_rate != nullptr);
  rate_->setCurrentIndex(h.m_SampleRateVar);
  clk_out_->setEnabled(api.set_clkout_enable != nullptr);
  clk_out_->setChecked(h.m_IsClkOutEn != 0);
  amp_->setEnabled(api.set_amp_enable != nullptr);
  amp_->setChecked(h.m_IsAmp != 0);
  lna_->setEnabled(api.set_lna_gain != nullptr);
  {
    const QSignalBlocker block(lna_);
    lna_->setValue(h.m_Lna / 8);
  }
  lna_label_->setText(QString("Lna %1 дБ").arg(h.m_Lna));
  vga_->setEnabled(api.set_vga_gain != nullptr);
  SetVgaRange();
  UpdateVgaLabel();
  UpdateCalibrationText();
  const bool known = h.BufferSize() >= 0 && h.QueueDepth() >= 0;
  buffers_->setText(known ? QString("Буфера: %1 / %2").arg(h.BufferSize()).arg(h.QueueDepth()) : QString("Буфера: "));
  buffers_->setEnabled(known);
  filling_ = false;
}

void CDlgHackRF::Refresh() {
  const OHackRfUse& h = receivers_.HackRf();
  setWindowTitle(kCaption);
  RefreshControls();
  if (!h.IsLoaded()) {
    ShowStatus(h.ErrorText(), Colour::kError);
  } else if (!h.Devices().empty()) {
    if (h.Status() >= 2) {
      const size_t i = static_cast<size_t>(std::max(0, h.DeviceIndex()));
      setWindowTitle(QString("Настройка HackRF №%1 из %2: %3")
                         .arg(h.DeviceIndex() + 1)
                         .arg(h.Devices().size())
                         .arg(Q(i < h.Devices().size() ? h.Devices()[i].serial : std::string())));
      ShowStatus(receivers_.StatusTextHackRf(), h.Status() == 3 ? Colour::kNormal : Colour::kError);
    } else {
      ShowStatus("Не удалось открыть приёмник HackRF! " + h.ErrorText(), Colour::kError);
    }
  } else if (h.ErrorText().empty()) {
    ShowStatus(kNoDevices, Colour::kNotice);
  } else {
    ShowStatus("Не найдены приёмники HackRF! " + h.ErrorText(), Colour::kError);
  }
}

void CDlgHackRF::ShowTuned(const std::string& report) {
  const size_t err = report.find(" ERR ");
  ShowStatus(report, err == std::string::npos ? Colour::kNormal : Colour::kError);
}

void CDlgHackRF::OnRateChosen(int index) {
  if (filling_ || index < 0) return;
  const auto [ok, text] = receivers_.ChangeHackRfSampleRate(index);
  emit SettingsChanged(OHackRfUse::kRates[receivers_.HackRf().m_SampleRateVar]);
  if (ok) {
    ShowStatus(text, Colour::kNormal);
  } else {
    ShowStatus("Установка частоты дискретизации " + FormatTrimmed(OHackRfUse::kRates[index] / 1e6, 3) +
                   " МГц ERR " + text,
               Colour::kError);
  }
  RefreshControls();
}

void CDlgHackRF::OnClkOut(bool checked) {
  OHackRfUse& h = receivers_.HackRf();
  h.m_IsClkOutEn = checked ? 1 : 0;
  h.SaveSettings();
  const bool ok = h.SetClkOutEn(checked);
  ShowResult("ClkOut = " + std::to_string(h.m_IsClkOutEn), ok);
}

void CDlgHackRF::OnAmp(bool checked) {
  OHackRfUse& h = receivers_.HackRf();
  h.m_IsAmp = checked ? 1 : 0;
  h.SaveSettings();
  const bool ok = h.SetAmpEn(checked);
  ShowResult("Усилитель AMP = " + std::to_string(h.m_IsAmp), ok);
}

void CDlgHackRF::OnLnaSlider(int position) {
  if (filling_) return;
  OHackRfUse& h = receivers_.HackRf();
  h.m_Lna = position * 8;
  h.SaveSettings();
  const bool ok = h.SetLnaGain(h.m_Lna);
  lna_label_->setText(QString("Lna %1 дБ").arg(h.m_Lna));
  ShowResult("Усиление LNA " + std::to_string(h.m_Lna) + " дБ. Устанавливайте так, чтобы избежать перегрузки!", ok);
}

void CDlgHackRF::OnVgaSlider(int position) {
  if (filling_) return;
  OHackRfUse& h = receivers_.HackRf();
  if (h.GainCalibrationOn()) {
    h.m_GCalHackRFValue = position;
  } else {
    h.m_VGa = position * 2;
  }
  h.SaveSettings();
  ApplyVga();
}

void CDlgHackRF::ApplyVga(const std::string& table_failure) {
  OHackRfUse& h = receivers_.HackRf();
  const bool ok = h.AutoVga(true, nullptr, 0);
  UpdateVgaLabel();
  std::string text;
  if (h.GainCalibrationOn()) {
    text = "Цель АРУ |О|=" + std::to_string(h.m_GCalHackRFValue) + " дБ, установлено VGa=" +
           std::to_string(h.CurVga()) + " дБ для F=" + FormatFixed(h.Frequency() / 1e6, 3) + " МГц";
  } else {
    text = "Усиление VGa " + std::to_string(h.m_VGa) + " дБ. Устанавливайте так, чтобы избежать перегрузки!";
  }
  if (!table_failure.empty()) {
    ShowStatus(table_failure + " ERR " + h.ErrorText(), Colour::kError);
    return;
  }
  ShowResult(text, ok);
}

void CDlgHackRF::OnCalibrationClicked(bool checked) {
  OHackRfUse& h = receivers_.HackRf();
  std::string failure;
  if (checked) {
    const QString file = pick_calibration_file_(Q(h.m_GCalHackRFName));
    if (file.isEmpty()) {
      h.SetGainCalibration(false, "", nullptr);  // cancelling turns it off
    } else {
      std::string message;
      if (!h.SetGainCalibration(true, file.toStdString(), &message)) failure = message;
    }
  } else {
    h.SetGainCalibration(false, "", nullptr);
  }
  SetVgaRange();
  UpdateCalibrationText();
  ApplyVga(failure);
}

void CDlgHackRF::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  Refresh();
}

void CDlgHackRF::reject() {
  hide();
  emit Closed();
}


}  // namespace kavu

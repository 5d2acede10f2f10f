// CDlgSdrPlay: building the window, the status, the refresh command, closing and help. The
// controls' handlers are in cdlg_sdrplay_controls.cpp.
#include "receivers/ui/cdlg_sdrplay.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTextEdit>
#include <cmath>
#include <cstring>

#include "platform/number_text.h"
#include "results/ui/help_key.h"

namespace kavu {
namespace {

constexpr const char* kSdrPlayCaption = "SdrPlay настройка";

QString SdrText(const std::string& s) { return QString::fromStdString(s); }

// "%0.<decimals>f" with a point whatever the locale.
QString Fixed(double v, int decimals) { return QString::fromStdString(FormatFixed(v, decimals)); }

QString LoText(int mode) {
  static const char* const kNames[] = {"LO_Undefined", "LO_Auto", "LO_120MHz", "LO_144MHz", "LO_168MHz"};
  return mode >= 0 && mode <= 4 ? QString(kNames[mode]) : QString("LO_?%1").arg(mode);
}

QComboBox* MakeCombo(QWidget* parent, const char* name, bool editable) {
  auto* c = new QComboBox(parent);
  c->setObjectName(name);
  c->setEditable(editable);
  if (editable) c->setInsertPolicy(QComboBox::NoInsert);
  return c;
}

QCheckBox* MakeBox(QWidget* parent, const char* text) {
  auto* b = new QCheckBox(text, parent);
  b->setObjectName(text);
  return b;
}

}  // namespace

CDlgSdrPlay::CDlgSdrPlay(ReceiverSet& receivers, QWidget* parent) : QDialog(parent), receivers_(receivers) {
  setWindowTitle(kSdrPlayCaption);
  setObjectName("CDlgSdrPlay");
  new HelpKey(*this, "CDlgSdrPlay");  // F1: the window's help topic
  pick_calibration_file_ = [this](const QString& start) {
    return QFileDialog::getOpenFileName(
        this,
        "Выбирете файл с результатами сканирования, который будет использоваться для регулировки усиления",
        start, "KavuAnt - файлы (*.kant)");
  };
  message_box_ = [this](const QString& text) { QMessageBox::information(this, kSdrPlayCaption, text); };
  BuildControls();
  BuildLayout();
  Connect();
  ShowStatus("", Colour::kNormal);
}

CDlgSdrPlay::~CDlgSdrPlay() = default;

void CDlgSdrPlay::BuildControls() {
  rate_ = MakeCombo(this, "rate", true);  // 1132
  for (int mhz = 2; mhz <= 10; ++mhz) rate_->addItem(QString("%1 МГц").arg(mhz), mhz * 1'000'000.0);
  decim_ = MakeCombo(this, "decim", false);  // 1177
  for (int f : {1, 2, 4, 8, 16}) decim_->addItem(f == 1 ? QString("1 (нет)") : QString::number(f), f);
  wide_band_ = MakeBox(this, "wideBandSignal");  // 1180
  duo_ = MakeCombo(this, "duo", false);          // 1174
  ppm_ = new QLineEdit(this);                    // 1130
  ppm_->setObjectName("ppm");
  ppm_->setReadOnly(true);
  usb_ = MakeCombo(this, "usb", false);    // 1134
  input_ = MakeCombo(this, "input", false);  // 1152
  bandwidth_ = MakeCombo(this, "bandwidth", true);  // 1156
  for (int k : {200, 300, 600, 1536, 5000, 6000, 7000, 8000}) bandwidth_->addItem(QString("%1 кГц").arg(k), k);
  if_type_ = MakeCombo(this, "ifType", true);  // 1158
  if_type_->addItem("IF_Zero", 0);
  for (int k : {450, 1620, 2048}) if_type_->addItem(QString("%1 КГц").arg(k), k);
  lo_ = MakeCombo(this, "lo", true);  // 1160
  const char* const los[] = {"Auto", "120MHz", "144MHz", "168MHz"};
  for (int i = 0; i < 4; ++i) lo_->addItem(los[i], i + 1);
  lna_ = new QSlider(Qt::Horizontal, this);  // 1162
  lna_->setObjectName("lna");
  lna_->setRange(0, 12);
  lna_->setPageStep(1);
  lna_label_ = new QLabel("LNA=0", this);  // 1166
  lna_label_->setObjectName("lnaLabel");
  lna_label_->setMinimumWidth(lna_label_->fontMetrics().horizontalAdvance("LNA=27") + 6);
  ga_ = new QSlider(Qt::Horizontal, this);  // 1164
  ga_->setObjectName("ga");
  ga_->setPageStep(1);
  ga_label_ = new QLabel("GA=20 дБ", this);  // 1167
  ga_label_->setObjectName("gaLabel");
  ga_label_->setMinimumWidth(ga_label_->fontMetrics().horizontalAdvance("GA=59 дБ") + 6);
  total_ = new QLabel("Итог: ", this);  // 1185
  total_->setObjectName("total");
  gain_mode_ = MakeCombo(this, "gainMode", false);  // 1193
  gain_mode_->addItems({"Упр. GA", "Упр. усил", "Упр. ур. ген"});
  notch_ = MakeBox(this, "NotchEnable");         // 1137
  dab_notch_ = MakeBox(this, "DabNotchEnable");  // 1139
  ext_ref_ = MakeBox(this, "extRefOutputEn");    // 1141
  bias_t_ = MakeBox(this, "biasTEnable");        // 1144
  hdr_ = MakeBox(this, "hdrEnable");             // 1147
  am_port_ = MakeBox(this, "amPortSel");         // 1150
  agc_ = new QCheckBox("АРУ", this);              // 1170
  agc_->setObjectName("agc");
  agc_->setEnabled(false);
  status_ = new QTextEdit(this);  // 1098
  status_->setObjectName("status");
  status_->setReadOnly(true);
  const int lines = status_->fontMetrics().lineSpacing() * 4;
  status_->setMinimumHeight(lines);
  status_->setMaximumHeight(lines + 2 * status_->frameWidth() + 8);
}

void CDlgSdrPlay::BuildLayout() {
  // Wide enough for their longest texts: the items of some change with the device.
  const auto fit = [](QComboBox* c, const char* longest) {
    c->setMinimumWidth(c->fontMetrics().horizontalAdvance(QString::fromUtf8(longest)) + 40);
  };
  fit(rate_, "10.000 МГц");
  fit(duo_, "оба_входа");
  fit(input_, "2 входа, свойства B");
  auto* grid = new QGridLayout(this);
  const auto labelled = [&](const char* text, QWidget* w, int row, int col) {
    auto* l = new QLabel(text, this);
    l->setBuddy(w);
    grid->addWidget(l, row, col);
    grid->addWidget(w, row, col + 1);
  };
  labelled("дискр:", rate_, 0, 0);
  labelled("децим:", decim_, 0, 2);
  grid->addWidget(wide_band_, 0, 4);
  labelled("duo:", duo_, 0, 5);
  labelled("ppm:", ppm_, 1, 0);
  labelled("usb:", usb_, 1, 2);
  grid->addWidget(agc_, 1, 4);
  labelled("Вх:", input_, 1, 5);
  labelled("полоса:", bandwidth_, 2, 0);
  labelled("IfType:", if_type_, 2, 2);
  labelled("LO:", lo_, 2, 5);
  grid->addWidget(lna_, 3, 0, 1, 3);
  grid->addWidget(lna_label_, 3, 3);
  grid->addWidget(gain_mode_, 3, 4);
  grid->addWidget(total_, 3, 5, 1, 2);
  grid->addWidget(ga_, 4, 0, 1, 3);
  grid->addWidget(ga_label_, 4, 3);
  grid->addWidget(notch_, 5, 0, 1, 2);
  grid->addWidget(dab_notch_, 5, 2, 1, 2);
  grid->addWidget(ext_ref_, 5, 4);
  grid->addWidget(bias_t_, 6, 0, 1, 2);
  grid->addWidget(hdr_, 6, 2, 1, 2);
  grid->addWidget(am_port_, 6, 4);
  auto* refresh = new QPushButton("Обновить", this);  // 1001
  refresh->setObjectName("refresh");
  refresh->setAutoDefault(false);
  grid->addWidget(refresh, 6, 6);
  grid->addWidget(status_, 7, 0, 1, 7);
  grid->setColumnStretch(1, 2);
  grid->setColumnStretch(6, 1);
  connect(refresh, &QPushButton::clicked, this, &CDlgSdrPlay::Refresh);
}

void CDlgSdrPlay::ShowStatus(const std::string& text, Colour colour) {
  QString t = SdrText(text);
  t.replace("\r\n", "\n");
  status_->setPlainText(t);
  const char* background = colour == Colour::kError    ? "rgb(255,190,190)"
                           : colour == Colour::kNotice ? "rgb(255,255,190)"
                                                       : "palette(base)";
  status_->setStyleSheet(QString("QTextEdit { background: %1; }").arg(background));
  status_->setProperty("colour", static_cast<int>(colour));
}

void CDlgSdrPlay::ShowResult(const std::string& text, int rc) {
  if (rc == 0) {
    ShowStatus(text, Colour::kNormal);
  } else {
    ShowStatus(text + " " + receivers_.SdrPlay().ErrorText(), Colour::kError);
  }
}

void CDlgSdrPlay::Refresh() {
  OSdrPlayUse& s = receivers_.SdrPlay();
  filling_ = true;
  gain_mode_->setCurrentIndex(s.GainModeInForce());
  setWindowTitle(kSdrPlayCaption);
  if (!RefreshNoDevice()) {
    lna_->setRange(0, std::max(0, s.LnaStateCount(-1) - 1));
    RefreshCaption();
    RefreshDevice();
    RefreshDuo();
    RefreshSwitches();
    RefreshChannel();
  }
  filling_ = false;
}

bool CDlgSdrPlay::RefreshNoDevice() {
  const OSdrPlayUse& s = receivers_.SdrPlay();
  if (!s.IsLoaded()) {
    ShowStatus(s.ErrorText(), Colour::kError);
    return true;
  }
  if (s.DeviceCount() > 0) return false;
  if (s.ErrorText().empty()) {
    const std::string t =
        "Не найдены приёмники SdrPlay!\r\nДля обновления списка доступных приёмников SdrPlay перезапустите "
        "программу. Используется " +
        std::string(OSdrPlayUse::kLibraryName) + " версии " + FormatFixed(s.ApiVersion(), 2) +
        ", проверьте актуальность.\r\nТакже Вы можете использовать sdr-приёмники через плагины ExtIO*.so";
    ShowStatus(t, Colour::kNotice);
  } else {
    ShowStatus("Не найдены приёмники SdrPlay! " + s.ErrorText(), Colour::kError);
  }
  return true;
}

void CDlgSdrPlay::RefreshCaption() {
  const sdrplay_api_DeviceT& d = receivers_.SdrPlay().Requested();
  QString t = QString("Настройка %1 SN=%2")
                  .arg(SdrText(SdrPlayModelName(d.hwVer)))
                  .arg(QString::fromUtf8(d.SerNo, static_cast<int>(strnlen(d.SerNo, sizeof d.SerNo))));
  t += d.tuner == kSdrPlayTunerA ? " A" : d.tuner == kSdrPlayTunerB ? " B" : d.tuner == kSdrPlayTunerBoth ? " AB" : "";
  if (d.rspDuoMode & kSdrPlayDuoSingle) t += " single";
  if (d.rspDuoMode & kSdrPlayDuoDual) t += " dual";
  if (d.rspDuoMode & kSdrPlayDuoMaster) t += " master";
  if (d.rspDuoMode & kSdrPlayDuoSlave) t += " slave";
  setWindowTitle(t);
}

void CDlgSdrPlay::RefreshDevice() {
  OSdrPlayUse& s = receivers_.SdrPlay();
  const sdrplay_api_DevParamsT* dev = s.HasDeviceParams() ? s.Params().Dev() : nullptr;
  for (QWidget* w : std::initializer_list<QWidget*>{ppm_, rate_, usb_}) w->setEnabled(dev != nullptr);
  usb_->clear();
  usb_->addItems({"ISOCH", "BULK"});
  if (!dev) return;
  ppm_->setText(Fixed(dev->ppm, 3));
  rate_->setEditText(Fixed(dev->fsFreq.fsHz / 1e6, 3) + " МГц");
  if (dev->transferMode == 0 || dev->transferMode == 1) {
    usb_->setCurrentIndex(dev->transferMode);
  } else {
    usb_->addItem(QString("ubs %1").arg(dev->transferMode));
    usb_->setCurrentIndex(2);
  }
}

void CDlgSdrPlay::RefreshDuo() {
  const OSdrPlayUse& s = receivers_.SdrPlay();
  const sdrplay_api_DeviceT& d = s.Requested();
  duo_->clear();
  if (s.Selected().rspDuoMode == kSdrPlayDuoSlave || d.rspDuoMode == kSdrPlayDuoSlave) {
    duo_->addItem("slave");
  } else {
    duo_->addItem("single");
    if (d.tuner == kSdrPlayTunerBoth && (d.rspDuoMode & kSdrPlayDuoDual) != 0) duo_->addItem("оба_входа");
  }
  duo_->setCurrentIndex(s.IsDual() && duo_->count() > 1 ? 1 : 0);
  duo_->setEnabled(duo_->count() > 1);
}

void CDlgSdrPlay::RefreshSwitches() {
  OSdrPlayUse& s = receivers_.SdrPlay();
  const int hw = s.Selected().hwVer;
  RefreshInputs(hw);
  SdrPlaySwitches usable;
  const SdrPlaySwitches on = s.Switches(s.ShownChannel(input_->currentIndex()), &usable);
  const auto set = [](QCheckBox* box, bool checked, bool enabled) {
    box->setChecked(checked);
    box->setEnabled(enabled);
  };
  set(notch_, on.notch, usable.notch);
  set(dab_notch_, on.dab_notch, usable.dab_notch);
  set(ext_ref_, on.ext_ref, usable.ext_ref);
  set(bias_t_, on.bias_t, usable.bias_t);
  // An RSPduo shows channel A's AM notch here, which this box never changes.
  set(hdr_, on.hdr, usable.hdr && hw != kSdrPlayRspDuo);
  set(am_port_, on.am_port, usable.am_port);
}

void CDlgSdrPlay::RefreshInputs(int hw) {
  OSdrPlayUse& s = receivers_.SdrPlay();
  const SdrPlayParams p = s.Params();
  input_->clear();
  input_->setEnabled(false);
  if (hw == kSdrPlayRsp2) {
    input_->addItems({"A", "B"});
    const sdrplay_api_RxChannelParamsT* a = p.Channel(0);
    input_->setCurrentIndex(a && a->rsp2TunerParams.antennaSel == 6 ? 1 : 0);
    input_->setEnabled(a != nullptr);
  } else if (hw == kSdrPlayRspDuo) {
    if (s.IsDual()) {
      input_->addItems({"2 входа, свойства A", "2 входа, свойства B"});
      input_->setCurrentIndex(std::clamp(s.m_AntNum, 0, 1));
    } else {
      input_->addItems({"Тюнер A", "Тюнер B"});
      input_->setCurrentIndex(s.Selected().tuner == kSdrPlayTunerB ? 1 : 0);
    }
    input_->setEnabled(s.Selected().rspDuoMode != kSdrPlayDuoSlave);
  } else if (hw == kSdrPlayRspDx) {
    input_->addItems({"A", "B", "С"});
    const sdrplay_api_DevParamsT* dev = p.Dev();
    input_->setCurrentIndex(dev ? std::clamp<int>(dev->rspDxParams.antennaSel, 0, 2) : 0);
    input_->setEnabled(dev != nullptr);
  }
}

void CDlgSdrPlay::RefreshChannel() {
  OSdrPlayUse& s = receivers_.SdrPlay();
  const int shown = s.ShownChannel(input_->currentIndex());
  sdrplay_api_RxChannelParamsT* c = shown >= 0 ? s.Params().Channel(shown) : nullptr;
  for (QWidget* w : std::initializer_list<QWidget*>{bandwidth_, if_type_, lo_, lna_, ga_, decim_, wide_band_}) {
    w->setEnabled(c != nullptr);
  }
  if (!c) return;
  bandwidth_->setEditText(QString("%1 КГц").arg(SdrPlayParams::BwType(*c)));
  if_type_->setEditText(QString("%1 КГц").arg(SdrPlayParams::IfType(*c)));
  lo_->setEditText(LoText(SdrPlayParams::LoMode(*c)));
  {
    const QSignalBlocker block(lna_);
    lna_->setValue(SdrPlayParams::Lna(*c));
  }
  lna_label_->setText(QString("LNA=%1").arg(SdrPlayParams::Lna(*c)));
  SetGaSlider();
  RefreshGainLabels();
  agc_->setChecked(SdrPlayParams::AgcEnable(*c) != 0);
  const int factor = SdrPlayParams::DecimEnable(*c) ? SdrPlayParams::DecimFactor(*c) : 1;
  const int at = decim_->findData(factor);
  if (at >= 0) decim_->setCurrentIndex(at);
  wide_band_->setChecked(SdrPlayParams::WideBand(*c) != 0);
}

void CDlgSdrPlay::SetGaSlider() {
  OSdrPlayUse& s = receivers_.SdrPlay();
  const QSignalBlocker block(ga_);
  if (s.GainModeInForce() == 0) {
    ga_->setRange(20, 59);
    ga_->setValue(s.HasDeviceParams() ? s.CurGrDb() : s.m_Ga);
  } else {
    ga_->setRange(0, 99);
    ga_->setValue(99 - s.m_AutoG);
  }
}

void CDlgSdrPlay::RefreshGainLabels() {
  OSdrPlayUse& s = receivers_.SdrPlay();
  const int shown = s.ShownChannel(input_->currentIndex());
  const sdrplay_api_RxChannelParamsT* c = shown >= 0 ? s.Params().Channel(shown) : nullptr;
  ga_label_->setText(QString("GA=%1 дБ").arg(s.HasDeviceParams() ? s.CurGrDb() : s.m_Ga));
  const double gain = c ? SdrPlayParams::CurrentGain(*c) : 0.0;
  const int mode = s.GainModeInForce();
  QString t = "Итог: " + Fixed(gain, 1);
  if (mode == 0) t += " дБ";
  if (mode == 1) t += QString(" дБ, цель %1").arg(s.m_AutoG);
  if (mode == 2) t += QString(", цель %1 |О|").arg(s.m_AutoG);
  total_->setText(t);
}

void CDlgSdrPlay::ShowTuned(const std::string& report, bool ok) {
  ShowStatus(report, ok ? Colour::kNormal : Colour::kError);
}

void CDlgSdrPlay::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  Refresh();
}

void CDlgSdrPlay::reject() {
  hide();
  emit Closed();
}


}  // namespace kavu

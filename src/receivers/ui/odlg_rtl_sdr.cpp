// ODlgRtlSdr: building the window, the refresh command, the status line, closing and help.
// The controls' handlers are in odlg_rtl_sdr_controls.cpp.
#include "receivers/ui/odlg_rtl_sdr.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTextEdit>

#include "platform/number_text.h"
#include "results/ui/help_key.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

constexpr const char* kCaption = "Настройка Rtl-Sdr";
constexpr const char* kNoDevices =
    "Не найдены приёмники Rtl-Sdr!\nДля обновления списка доступных приёмников Rtl-Sdr "
    "перезапустите программу.\nТакже Вы можете использовать разные sdr-приёмники через плагины "
    "ExtIO*.dll";

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

ODlgRtlSdr::ODlgRtlSdr(ReceiverSet& receivers, QWidget* parent)
    : QDialog(parent), receivers_(receivers) {
  setWindowTitle(kCaption);
  setObjectName("ODlgRtlSdr");
  new HelpKey(*this, "ODlgRtlSdr");  // F1: the window's help topic
  pick_calibration_file_ = [this](const QString& start) {
    return QFileDialog::getOpenFileName(
        this,
        "Выбирете файл с результатами сканирования, который будет использоваться для регулировки "
        "усиления",
        start, "KavuAnt - файлы (*.kant)");
  };
  BuildControls();
  FillCombos();
  ShowStatus("", Colour::kNormal);
}

ODlgRtlSdr::~ODlgRtlSdr() = default;

void ODlgRtlSdr::BuildControls() {
  auto* grid = new QGridLayout(this);
  rate_ = new QComboBox(this);
  rate_->setObjectName("rate");
  rate_->setEditable(true);
  rate_->setInsertPolicy(QComboBox::NoInsert);
  direct_ = new QComboBox(this);
  direct_->setObjectName("direct");
  buffer_ = new QComboBox(this);
  buffer_->setObjectName("buffer");
  gain_ = new QSlider(Qt::Horizontal, this);
  gain_->setObjectName("gain");
  gain_->setPageStep(1);
  gain_label_ = new QLabel(this);
  gain_label_->setObjectName("gainLabel");
  gain_label_->setMinimumWidth(gain_label_->fontMetrics().horizontalAdvance("99.9 дБ, цель 99.9") + 4);
  calibration_ = new QCheckBox("Коррекция неравномерности АЧХ", this);
  calibration_->setObjectName("calibration");
  status_ = new QTextEdit(this);
  status_->setObjectName("status");
  status_->setReadOnly(true);
  // Room for the longest texts (three lines), not the editor's default half a page.
  const int lines = status_->fontMetrics().lineSpacing() * 4;
  status_->setMinimumHeight(lines);
  status_->setMaximumHeight(lines + 2 * status_->frameWidth() + 8);
  reopen_ = new QPushButton("Переоткрыть приёмник", this);
  reopen_->setObjectName("reopen");
  reopen_->setAutoDefault(false);

  auto label = [this](const char* text, QWidget* buddy) {
    auto* l = new QLabel(text, this);
    l->setBuddy(buddy);
    return l;
  };
  grid->addWidget(label("&дискр:", rate_), 0, 0);
  grid->addWidget(rate_, 0, 1);
  grid->addWidget(label("&DirectSampling:", direct_), 0, 2);
  grid->addWidget(direct_, 0, 3);
  grid->addWidget(label("&Буфер:", buffer_), 0, 4);
  grid->addWidget(buffer_, 0, 5);
  grid->addWidget(gain_, 1, 0, 1, 3);
  grid->addWidget(gain_label_, 1, 3);
  grid->addWidget(calibration_, 1, 4, 1, 2);
  grid->addWidget(status_, 2, 0, 1, 6);
  grid->addWidget(reopen_, 3, 5);
  grid->setColumnStretch(1, 2);
  grid->setColumnStretch(3, 3);
  grid->setColumnStretch(5, 1);

  connect(rate_, &QComboBox::activated, this, &ODlgRtlSdr::OnRateChosen);
  connect(rate_->lineEdit(), &QLineEdit::returnPressed, this, &ODlgRtlSdr::OnRateTyped);
  connect(direct_, &QComboBox::activated, this, &ODlgRtlSdr::OnDirectModeChosen);
  connect(buffer_, &QComboBox::activated, this, &ODlgRtlSdr::OnBufferChosen);
  connect(gain_, &QSlider::valueChanged, this, &ODlgRtlSdr::OnGainSlider);
  connect(calibration_, &QCheckBox::clicked, this, &ODlgRtlSdr::OnCalibrationClicked);
  connect(reopen_, &QPushButton::clicked, this, [this] { emit ReopenRequested(); });
}

void ODlgRtlSdr::FillCombos() {
  for (const RtlSdrRate& r : kRtlSdrRates) rate_->addItem(r.text, r.hz);
  const std::string threshold = FormatFixed(ORtlSdr::kDirectThresholdHz / 1e6, 1);
  for (const std::string& t : {std::string("No (через тюнер)"), std::string("Вход I"),
                               std::string("Вход Q"), "I при f<" + threshold + " МГц",
                               "Q при f<" + threshold + " МГц"}) {
    direct_->addItem(Q(t));
  }
  for (int step = ORtlSdr::kMinBufStep; step <= ORtlSdr::kMaxBufStep; ++step) {
    buffer_->addItem(QString("%1 кб").arg((1 << step) / 1024), step);
  }
  const ORtlSdr& rtl = receivers_.Rtl();
  direct_->setCurrentIndex(rtl.RtlDirectMode());
  buffer_->setCurrentIndex(rtl.RtlBufSzStep() - ORtlSdr::kMinBufStep);
}

void ODlgRtlSdr::ShowStatus(const std::string& text, Colour colour) {
  QString t = Q(text);
  t.replace("\r\n", "\n");
  status_->setPlainText(t);
  const char* background = colour == Colour::kError    ? "rgb(255,190,190)"
                           : colour == Colour::kNotice ? "rgb(255,255,190)"
                                                       : "palette(base)";
  status_->setStyleSheet(QString("QTextEdit { background: %1; }").arg(background));
  status_->setProperty("colour", static_cast<int>(colour));
}

bool ODlgRtlSdr::RequireOpen(const std::string& failure) {
  const ORtlSdr& rtl = receivers_.Rtl();
  if (rtl.IsLoaded() && rtl.Status() >= 1) return true;
  ShowStatus(failure + "устройство rtlsdr не открыто", Colour::kError);
  return false;
}

void ODlgRtlSdr::Refresh() {
  const ORtlSdr& rtl = receivers_.Rtl();
  setWindowTitle(kCaption);
  {
    const QSignalBlocker block(calibration_);
    calibration_->setChecked(rtl.RtlIsGCal());
  }
  RefreshGainControls();
  UpdateReopenButton();
  if (!rtl.IsLoaded()) {
    ShowStatus(rtl.ErrorText(), Colour::kError);
  } else if (rtl.DeviceCount() == 0) {
    const std::string error = rtl.ErrorText();
    if (error.empty()) {
      ShowStatus(kNoDevices, Colour::kNotice);
    } else {
      ShowStatus("Не найдены приёмники Rtl-Sdr! " + error, Colour::kError);
    }
  } else if (rtl.Status() == 0) {
    ShowStatus("Не удалось открыть приёмник Rtl-Sdr! " + rtl.ErrorText(), Colour::kError);
  } else {
    RefreshOpenDevice();
  }
}

void ODlgRtlSdr::RefreshOpenDevice() {
  const ORtlSdr& rtl = receivers_.Rtl();
  setWindowTitle(QString("Настройка Rtl-Sdr №%1 из %2: %3, %4, %5")
                     .arg(rtl.DeviceIndex() + 1)
                     .arg(rtl.DeviceCount())
                     .arg(Q(rtl.Product()), Q(rtl.Serial()), Q(rtl.Manufacturer())));
  const std::optional<uint32_t> rate = rtl.ReadSampleRate();
  rate_->setEditText(rate ? Q(FormatFixed(*rate / 1e6, 3)) : QString("???"));
  if (const std::optional<ORtlSdr::XtalReading> x = rtl.ReadXtal()) {
    Log() << "rtl_freq = " << x->rtl_hz << " tuner_freq=" << x->tuner_hz << " err=" << x->code
          << "\n";
  }
  // A stream that ended on its own (a dongle pulled out) leaves the device open but silent.
  if (rtl.Status() == 1 && rtl.ErrorText().rfind("rtlsdr_read_async", 0) == 0) {
    ShowStatus("Ошибка rtlsdr_read_async " + rtl.ErrorText(), Colour::kError);
  }
}

void ODlgRtlSdr::RefreshGainControls() {
  const ORtlSdr& rtl = receivers_.Rtl();
  const int n = static_cast<int>(rtl.Gains().size());
  const QSignalBlocker block(gain_);
  gain_->setRange(0, n > 0 ? n - 1 : 128);
  int32_t value = rtl.RtlGa();
  if (!rtl.RtlIsGCal()) value = rtl.ReadTunerGain().value_or(rtl.RtlGa());
  const int32_t index = rtl.NearestGainIndex(value);
  gain_->setValue(index >= 0 ? index : value / 10);
  UpdateGainLabel();
}

void ODlgRtlSdr::UpdateGainLabel() {
  const ORtlSdr& rtl = receivers_.Rtl();
  std::string text = FormatFixed(rtl.CurGA() / 10.0, 1) + " дБ";
  if (rtl.RtlIsGCal()) text += ", цель " + FormatFixed(rtl.RtlGa() / 10.0, 1);
  gain_label_->setText(Q(text));
}

void ODlgRtlSdr::UpdateReopenButton() {
  // Offered when a dongle is listed but not streaming: opened by nobody, failed, or pulled out.
  const ORtlSdr& rtl = receivers_.Rtl();
  reopen_->setVisible(rtl.IsLoaded() && rtl.DeviceCount() > 0 && rtl.Status() != 2);
}

void ODlgRtlSdr::ShowTuned(double mhz, bool with_converter) {
  std::string text = "Настройка на " + FormatFixed(mhz, 3) + " МГц";
  if (with_converter) text += " с конвертором";
  ShowStatus(text, Colour::kNormal);
}

void ODlgRtlSdr::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  Refresh();  // every time the window opens
}

void ODlgRtlSdr::reject() {
  // The close box and Escape only hide the window; the main window unchecks its button.
  hide();
  emit Closed();
}


}  // namespace kavu

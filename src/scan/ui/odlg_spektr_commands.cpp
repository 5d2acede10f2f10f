// ODlgSpektr: what its buttons, lists and menus do.
#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <cstdio>

#include "board/service_diagnostics.h"
#include "results/ui/about_box.h"
#include "scan/ui/cdlg_options.h"
#include "scan/ui/odlg_spektr.h"
#include "scan/ui/spektr_texts.h"
#include "shell/log_console.h"
#include "shell/settings_store.h"
#include "shell/ui/screen_fit.h"

namespace kavu {
namespace {

// The bridge switch: output bits and the texts of the three buttons.
struct BridgeButton {
  uint8_t bits;
  const char* no_port;
  const char* failed;
};
constexpr BridgeButton kBridge[3] = {
    {8, "ODlgSpektr::OnBnClickedRadio1() - Com-порт не открыт, устр-во управления АА программе не доступно",
     "ODlgSpektr::OnBnClickedRadio1() - ошибка, вызов SetCS() вернул ошибку"},
    {16, "ODlgSpektr::OnBnClickedRadio2() - Com-порт не открыт, устр-во управления АА программе не доступно",
     "ODlgSpektr::OnBnClickedRadio2() - ошибка, вызов SetCS() вернул ошибку"},
    {0, "ODlgSpektr::OnBnClickedRadio3() - Com-порт не открыт, устр-во управления программе АА не доступно",
     "ODlgSpektr::OnBnClickedRadio3() - ошибка, вызов SetCS() вернул ошибку"}};
constexpr uint8_t kBridgeMask = 231;

}  // namespace

void ODlgSpektr::StoreRangeText() {
  if (filling_) return;
  session_.NewRange(cyclic_->isChecked(), range_->text().toStdString());
}

void ODlgSpektr::StartScan(bool single_group) {
  StoreRangeText();
  if (results_->isVisible() && !station_->Engine().Cyclic()) results_->close();
  if (session_.StartScan(single_group)) {
    ScanButtons(true);
    gen_output_->setEnabled(true);
  }
  UpdateResultLines();
  UpdateTuning();
}

void ODlgSpektr::OnButtonScanOne() {
  if (station_->Engine().State() != ScanState::kIdle || station_->Engine().Starting()) return;
  if (station_->Engine().OnButtonScanOne()) ScanButtons(true);
  UpdateResultLines();
}

void ODlgSpektr::PauseOrContinue() { session_.PauseOrContinue(); }

void ODlgSpektr::SetF(double hz) {
  Log() << "SetF manual F=" << hz / 1e6 << "\n";
  station_->Spektr().SaveFM_Sdr(hz);
  sdr_freq_->SetValueText(QString::fromStdString(MhzEditText(station_->Spektr().m_FM_Sdr)));
  const bool tuned = station_->Receivers().Tune(station_->Spektr().m_FM_Sdr, nullptr, 0);
  sdr_freq_->SetFailed(!tuned);
  if (tuned && rtl_window_) rtl_window_->ShowTuned(station_->Spektr().m_FM_Sdr / 1e6, station_->Receivers().IsConvertor());
  if (hackrf_window_ && station_->Receivers().IsActive(ReceiverKind::kHackRf)) {
    hackrf_window_->ShowTuned(station_->Receivers().TuneReport());
  }
  if (sdrplay_window_ && station_->Receivers().IsActive(ReceiverKind::kSdrPlay)) {
    sdrplay_window_->ShowTuned(station_->Receivers().TuneReport(), tuned);
  }
  UpdateTuning();
}

void ODlgSpektr::SetGenFManual(double hz) {
  station_->Spektr().SaveFM_Gen(hz);
  const double f = station_->Spektr().m_FM_Gen;
  gen_freq_->SetValueText(QString::fromStdString(MhzEditText(f)));
  if (!station_->Port().IsOpen()) {
    GenFManualSet(f, false);
    return;
  }
  // The chip's commands go out on the board's thread, behind a scan's batch or run still on its
  // way; the window stays responsive meanwhile.
  station_->Gen().SetGenFManualAsync(f, [self = QPointer<ODlgSpektr>(this), f](bool ok) {
    if (self) self->GenFManualSet(f, ok);
  });
}

void ODlgSpektr::GenFManualSet(double hz, bool ok) {
  if (!ok) {
    Log() << LogColour(kColourError) << "ODlgSpektr::SetGenFManual() - не удалось установить частоту генератора в "
          << hz / 1e6 << " МГц " << station_->Gen().State().error_text << "\n" << LogColour(kColourNormal);
  }
  gen_freq_->SetFailed(!ok);
  UpdateTuning();
}

void ODlgSpektr::TuneFromDoubleClick(double fraction_of_width) {
  double rate = station_->Receivers().ActiveSampleRate();
  if (rate <= 0) rate = station_->Keeper().Inputs().sampleRate;
  double receiver = station_->Receivers().TunedFrequency();
  if (!std::isfinite(receiver)) receiver = station_->Spektr().m_FM_Sdr;
  SetGenFManual(DoubleClickFrequency(fraction_of_width, rate, receiver));
  view_->update();
}

bool ODlgSpektr::BoardFree(const char* operation) {
  const ScanEngine& engine = station_->Engine();
  if (engine.State() != ScanState::kScanning && !engine.Starting() && !station_->Board().Busy()) return true;
  station_->Box().Show(std::string(operation) + " - устройство управления занято сканированием, повторите после паузы "
                                                "или окончания сканирования");
  return false;
}

void ODlgSpektr::OnBridge(int button) {
  if (button < 0 || button > 2) return;
  for (int i = 0; i < 3; ++i) bridge_[i]->setChecked(i == button);
  const BridgeButton& b = kBridge[button];
  if (!station_->Port().IsOpen()) {
    bridge_[button]->setChecked(false);
    station_->Box().Show(b.no_port);
    return;
  }
  if (!BoardFree("ODlgSpektr::OnBnClickedRadio")) {
    bridge_[button]->setChecked(false);
    return;
  }
  if (!station_->Board().SetCS(b.bits, kBridgeMask)) {
    bridge_[button]->setChecked(false);
    station_->Box().Show(b.failed);
    return;
  }
  if (button == 2) setWindowTitle(QString::fromUtf8("off - спец. режим выкл. сигнала"));
}

void ODlgSpektr::OnGenOutput(bool on) {
  if (!BoardFree("ODlgSpektr::OnGenOutput()") || !station_->Gen().GenOn(on)) {
    gen_output_->setChecked(!on);
    inform(true, QString::fromUtf8("ОШИБКА УПРАВЛЕНИЯ ВЫХОДНЫМ СИГНАЛОМ"),
           QString::fromUtf8("Не удалось активировать / дезактивировать выход генератора ВЧ"));
  }
}

void ODlgSpektr::OnReceiverChosen(int index) {
  if (filling_) return;
  station_->ChooseReceiver(index);
  ReceiversListed();
  UpdateTuning();
}

void ODlgSpektr::OnPortChosen(int index) {
  if (filling_) return;
  const StationView v = station_->View();
  if (index < 0 || index >= static_cast<int>(v.ports.size())) return;
  const int number = v.ports[static_cast<size_t>(index)].number;
  if (number == 0) {
    station_->ClosePort();
  } else {
    station_->OpenPort(number);
  }
  PortsChanged();
}

void ODlgSpektr::OnGeneratorChosen(int index) {
  if (filling_ || !BoardFree("ODlgSpektr::OnSelchangeGen()")) return;
  switch (station_->ChooseGenerator(index)) {
    case GenChoice::kNeedsOptions:
      ShowOptions();
      break;
    case GenChoice::kInitialised:
      gen_output_->setEnabled(true);
      break;
    case GenChoice::kStarted:  // only the asynchronous choice answers this
    case GenChoice::kFailed:
    case GenChoice::kRefused:
      break;
  }
  UpdateTuning();
}

void ODlgSpektr::OnReceiverSettings(bool checked) {
  if (filling_) return;
  const StationView v = station_->View();
  const auto& entries = station_->Receivers().Entries();
  const int sel = v.receiver;
  if (sel >= 0 && sel < static_cast<int>(entries.size()) &&
      entries[static_cast<size_t>(sel)].code == kCodeExtIO) {
    // The plug-in's own window; a plug-in without one leaves the box unchecked.
    if (!station_->Receivers().ShowExtIOGui(checked) && checked) {
      filling_ = true;
      sdr_settings_->setChecked(false);
      filling_ = false;
    }
    return;
  }
  if (!checked) {
    // Unchecked: the receivers' settings windows are hidden (made once, they are kept).
    if (rtl_window_) rtl_window_->hide();
    if (hackrf_window_) hackrf_window_->hide();
    if (sdrplay_window_) sdrplay_window_->hide();
    return;
  }
  ShowReceiverSettings(sel >= 0 && sel < static_cast<int>(entries.size())
                           ? WindowKindOfCode(entries[static_cast<size_t>(sel)].code)
                           : ReceiverKind::kRtlSdr);
}

void ODlgSpektr::ShowResults() {
  if (results_->isVisible()) {
    results_->raise();
    results_->activateWindow();
    return;
  }
  // Without a window manager "maximised" is ignored: start at the screen's available size.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) results_->resize(screen->availableGeometry().size());
  results_->Rebuild();
  results_->showMaximized();
}

void ODlgSpektr::ShowOptions() {
  if (auto* open = findChild<CDlgOptions*>()) {
    open->raise();
    open->activateWindow();
    return;
  }
  // Modal, without holding up the caller: the options take effect when it closes.
  auto* dlg = new CDlgOptions(session_, this);
  dlg->setAttribute(Qt::WA_DeleteOnClose);
  dlg->open_link = open_link;
  connect(dlg, &QDialog::finished, this, [this] {
    station_->OptionsChanged();  // the plan again at the current rate, from the options kept
    UpdateTuning();
  });
  dlg->open();
}

void ODlgSpektr::NotBuiltYet(const QString& what) {
  inform(false, QString::fromUtf8("ИНФО"),
         what + QString::fromUtf8(": эта функция в программе ещё не сделана."));
}


void ODlgSpektr::MenuCommand(int id) {
  switch (id) {
    case 20000:
      NotBuiltYet(QString::fromUtf8("Перепрошивка МК"));
      return;
    case 20001:
      ShowOptions();
      return;
    case 20002:
      OnButtonScanOne();
      return;
    case 20003:
      ShowResults();
      return;
    case 20999:
      ShowAbout();
      return;
    default:
      ServiceTest(id);
  }
}

void ODlgSpektr::ServiceTest(int id) {
  if (!station_->Port().IsOpen()) {
    station_->Box().Show("Com-порт не открыт, устройство управления не доступно");
    return;
  }
  if (!BoardFree("ODlgSpektr::OnCommand()")) return;
  OServiceDiagnostics d(station_->Board(), station_->Box());
  if (id == 20100) {
    d.DeselectAndReadTimer();
  } else if (id >= 20101 && id <= 20103) {
    d.SelectCs(id - 20101);  // logs its "Выбор SPI абонента CS…" line
  } else if (id >= 20104 && id <= 20107) {
    d.SelectSpiMode(id - 20104);  // logs its "Выбор SPI mode …" line
  } else if (id == 20108) {
    d.SendSpiByte();
  } else if (id == 20200) {
    d.I2cScan();
  } else if (id == 20300 || id == 20301) {
    const int divider = station_->Gen().Options().m_MinusGenDivider;
    d.MinusGenPwm(id == 20300, divider);
  }
}

void ODlgSpektr::ShowAbout() { about_ = ShowAboutBox(*this, open_link); }

}  // namespace kavu

// ODlgSpektr: what the station and the scan engine report, and the status texts.
#include <QApplication>
#include <QPalette>
#include <cmath>

#include "scan/ui/odlg_spektr.h"
#include "scan/ui/spektr_texts.h"

namespace kavu {
namespace {
const QColor kOverloadColour(255, 128, 128);
const QColor kStartColour(255, 255, 190);
}  // namespace

void ODlgSpektr::SetStatus(const QString& text, const QColor& background) {
  status_->setText(text);
  status_->setToolTip(text);
  QPalette p = status_->palette();
  p.setColor(QPalette::Window, background.isValid() ? background : palette().color(QPalette::Window));
  status_->setPalette(p);
}

void ODlgSpektr::PortsChanged() {
  const StationView v = station_->View();
  filling_ = true;
  port_list_->clear();
  for (const PortListItem& item : v.ports) port_list_->addItem(QString::fromStdString(item.text), item.number);
  port_list_->setCurrentIndex(v.port_item);
  filling_ = false;
  const bool error = !station_->Port().IsOpen() && station_->Port().LastErrorCode() != 0;
  port_list_->setStyleSheet(error ? "QComboBox { background: rgb(255, 190, 190); }" : "");
  gen_switch_on_->setEnabled(v.generators_switchable);
  if (!v.generators_switchable) gen_output_->setEnabled(false);
  filling_ = true;
  gen_list_->clear();
  for (const GenListItem& g : v.generators) gen_list_->addItem(QString::fromStdString(g.text), g.data);
  gen_list_->setCurrentIndex(v.generator < 0 && !v.generators.empty() ? 0 : v.generator);
  filling_ = false;
}

void ODlgSpektr::ReceiversListed() {
  const StationView v = station_->View();
  filling_ = true;
  sdr_list_->clear();
  for (const std::string& r : v.receivers) sdr_list_->addItem(QString::fromStdString(r));
  sdr_list_->setCurrentIndex(v.receiver);
  filling_ = false;
  PortsChanged();  // the generator list is built after the receivers are listed
}

void ODlgSpektr::ReceiverRateChanged(double) { UpdateTuning(); }

void ODlgSpektr::ReceiverStatusChanged(const ReceiverStatus& status) {
  if (!status.caption.empty()) setWindowTitle(QString::fromStdString(status.caption));
  const QColor colour = status.colour == StatusColour::kError    ? kOverloadColour
                        : status.colour == StatusColour::kNotice ? kStartColour
                                                                 : QColor();
  SetStatus(QString::fromStdString(status.text), colour);
  // A HackRF opened or closed meanwhile: its window, when shown, follows.
  if (hackrf_window_ && hackrf_window_->isVisible()) hackrf_window_->Refresh();
  if (sdrplay_window_ && sdrplay_window_->isVisible()) sdrplay_window_->Refresh();
}

void ODlgSpektr::ShowReceiverSettings(ReceiverKind kind) {
  if (kind == ReceiverKind::kRtlSdr) {
    ShowRtlSdrWindow();
    return;  // the box stays checked while the window is shown
  }
  if (kind == ReceiverKind::kHackRf) {
    ShowHackRfWindow();
    return;
  }
  if (kind == ReceiverKind::kSdrPlay) {
    ShowSdrPlayWindow();
    return;
  }
  NotBuiltYet(QString::fromUtf8("Окно настроек ") + QString::fromUtf8(KindName(kind)));
  // Until the other settings windows exist nothing stays open for the box to show.
  filling_ = true;
  sdr_settings_->setChecked(false);
  filling_ = false;
}

void ODlgSpektr::ShowInfo(const std::string& text) {
  inform(false, QString::fromUtf8("ИНФО"), QString::fromStdString(text));
}

void ODlgSpektr::StatusLine(const std::string& text, bool overload) {
  SetStatus(QString::fromStdString(text), overload ? kOverloadColour : QColor());
  // A group is being sent: also for scans started without these buttons (the next cycle of a
  // cyclic scan, the web page).
  ScanButtons(station_->Engine().State() != ScanState::kIdle);
  UpdateResultLines();
}

void ODlgSpektr::Title(const std::string& text) { setWindowTitle(QString::fromStdString(text)); }

void ODlgSpektr::PauseButtonText(const std::string& text) { pause_->setText(QString::fromStdString(text)); }

void ODlgSpektr::GroupEnded(int32_t, int32_t) {
  if (results_->isVisible()) results_->DataChanged();
  UpdateResultLines();
}

void ODlgSpektr::ShowSignal() { OnShowSignal(); }

void ODlgSpektr::ScanEnded(const ScanEndReport& report) {
  ScanButtons(false);
  UpdateResultLines();
  UpdateTuning();
  if (shut_down_ || report.single || report.stopped || report.points == 0) return;
  if (report.saved) {
    if (bell) bell();
    else QApplication::beep();
  }
  if (results_->isVisible()) {
    results_->Rebuild();
  } else {
    ShowResults();
  }
}

void ODlgSpektr::ScanButtons(bool scanning) {
  pause_->setEnabled(scanning);
  if (!scanning) pause_->setText(QString::fromUtf8("Пауза"));
  scan_->setEnabled(!scanning);
  scan_one_->setEnabled(!scanning);
}

void ODlgSpektr::ReceiveStatus() {
  if (station_->Engine().State() != ScanState::kIdle) return;
  ReceiverSet& rx = station_->Receivers();
  if (rx.ActiveSampleRate() <= 0) return;
  SampleRings& rings = rx.Rings();
  ReceiveFigures f;
  f.rate_sps = station_->Loop().MeasuredRate();
  f.max_block = rings.m_MaxBlockN.exchange(0);
  f.peak_a = station_->Loop().TakePeakA();
  f.peak_b = station_->Loop().TakePeakB();
  f.has_b = rx.Levels().duo;
  const SpectrumFrame frame = station_->Spectrum().Graph();
  f.has_spectrum = frame.number > 0;
  f.spectrum_min_db = frame.minCentreDb;
  f.spectrum_max_db = frame.maxDb;
  const auto& entries = rx.Entries();
  const int sel = rx.Selected();
  f.rtl = sel >= 0 && sel < static_cast<int>(entries.size()) &&
          KindOfCode(entries[static_cast<size_t>(sel)].code) == ReceiverKind::kRtlSdr;
  f.direct_mode = rx.Rtl().CurrentDirectMode();
  f.gain_db = rx.Rtl().CurGA() / 10.0;
  f.hackrf = rx.IsActive(ReceiverKind::kHackRf);
  f.lna = rx.HackRf().CurLna();
  f.vga = rx.HackRf().CurVga();
  f.amp = rx.HackRf().CurAmp() != 0;
  f.sdrplay = rx.IsActive(ReceiverKind::kSdrPlay);
  f.grdb = rx.SdrPlay().CurGrDb();
  f.sdr_lna = rx.SdrPlay().CurLna();
  const int32_t a = rings.m_OverloadA.load(), b = rings.m_OverloadB.load();
  const bool overload = a != last_overload_a_ || b != last_overload_b_;
  last_overload_a_ = a;
  last_overload_b_ = b;
  SetStatus(QString::fromStdString(ReceiveStatusText(f)), overload ? kOverloadColour : QColor());
}

void ODlgSpektr::UpdateTuning() {
  if (!view_) return;
  ReceiverSet& rx = station_->Receivers();
  double receiver = rx.TunedFrequency();
  if (!std::isfinite(receiver)) receiver = station_->Spektr().m_FM_Sdr;
  double rate = rx.ActiveSampleRate();
  if (rate <= 0) rate = station_->Keeper().Inputs().sampleRate;
  view_->SetTuning(receiver, rate, station_->Spektr().m_FM_Gen, station_->Options().m_PolosaFM);
}

void ODlgSpektr::UpdateResultLines() {
  if (!view_) return;
  ScanEngine& e = station_->Engine();
  const ScanPlanView v = e.Plan().View();
  const bool previous = e.Cyclic() && v.previousCount > 0;
  const std::vector<std::string> lines =
      ResultLines(e.LastPoint(), previous ? v.previous.data() : v.ranges.data(), previous ? v.previousCount : v.count);
  view_->SetResultLines(lines, previous);
}

}  // namespace kavu

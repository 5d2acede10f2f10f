// ODlgSpektr: construction, start-up, keys and shutdown.
#include "scan/ui/odlg_spektr.h"

#include <QCloseEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QMessageBox>

#include "results/help_links.h"
#include "scan/ui/calibration_window_install.h"
#include "scan/ui/spektr_texts.h"
#include "shell/log_console.h"
#include "shell/ui/link_opener.h"

namespace kavu {

ODlgSpektr::ODlgSpektr(IAnalyzerSession& session, IWindowThread& window, QWidget* parent)
    : QWidget(parent), session_(session), window_(window), station_(&session.Station()) {
  session_.SetListener(this);
  results_ = std::make_unique<CShowDataWindow>(station_->Store(), station_->Engine().Measure());
  InstallCalibrationWindow(*results_);
  results_->setWindowTitle(QString::fromUtf8("Результаты"));
  results_->scan_running = [this] { return station_->Engine().Busy(); };
  inform = [this](bool error, const QString& caption, const QString& text) {
    QMessageBox box(error ? QMessageBox::Critical : QMessageBox::Information, caption, text, QMessageBox::Ok, this);
    box.exec();
  };
  setWindowTitle(QString::fromUtf8(kCaption));
  setFocusPolicy(Qt::ClickFocus);
  BuildControls();
  station_->Spectrum().SetListener(&window_, view_);
  receive_timer_.setInterval(1000);
  connect(&receive_timer_, &QTimer::timeout, this, &ODlgSpektr::ReceiveStatus);
}

ODlgSpektr::~ODlgSpektr() {
  Shutdown();
  // The view draws from the station's spectrum and settings: it goes before the station does.
  station_->Spectrum().SetListener(nullptr, nullptr);
  session_.SetListener(nullptr);
  delete view_;
  view_ = nullptr;
  results_.reset();
}

void ODlgSpektr::StartUp() {
  if (started_) return;
  started_ = true;
  SetStatus(QString::fromUtf8(kInitialStatus), QColor(255, 255, 190));
  session_.StartUp();
  const SpektrSettings& s = station_->Spektr();
  gr_min_->setText(QString::number(s.m_GrMin));
  gr_max_->setText(QString::number(s.m_GrMax));
  vd_min_->setText(QString::number(s.m_VdMin));
  vd_max_->setText(QString::number(s.m_VdMax));
  sdr_freq_->SetValueText(QString::fromStdString(MhzEditText(s.m_FM_Sdr)));
  gen_freq_->SetValueText(QString::fromStdString(MhzEditText(s.m_FM_Gen)));
  range_->setText(QString::fromStdString(s.m_ScanDia));
  cyclic_->setChecked(s.m_IsScanCikl);
  PortsChanged();
  ReceiversListed();
  results_->LoadAnts("");
  UpdateTuning();
  receive_timer_.start();
}

void ODlgSpektr::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    // Enter never ends the window: the edit being typed in loses the focus for a moment, so
    // that it stores its value, and gets it back.
    Log() << "onok \n";
    QWidget* typing = focusWidget();
    setFocus(Qt::OtherFocusReason);
    if (typing && typing != this) typing->setFocus(Qt::OtherFocusReason);
    event->accept();
    return;
  }
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    close();
    return;
  }
  if (event->key() == Qt::Key_F1) {
    // The window's help topic, with the place of the pointer as the help request carries it.
    const QPoint p = mapFromGlobal(QCursor::pos());
    LinkOpener opener(this);
    if (open_link) opener.open_url = open_link;
    opener.Open(QString::fromStdString(HelpAddress(HelpBase(), "ODlgSpektr", HelpF1Suffix(1, 0, 0, p.x(), p.y()))));
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

bool ODlgSpektr::eventFilter(QObject* watched, QEvent* event) {
  if (watched == scan_ && (event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::KeyRelease)) {
    scan_click_modifiers_ = static_cast<QInputEvent*>(event)->modifiers();
  }
  return QWidget::eventFilter(watched, event);
}

void ODlgSpektr::closeEvent(QCloseEvent* event) {
  Shutdown();
  if (results_) results_->close();
  if (about_) about_->close();
  event->accept();
  emit Finished(0);
}

void ODlgSpektr::Shutdown() {
  if (shut_down_) return;
  shut_down_ = true;
  receive_timer_.stop();
  // A running scan is stopped, the sample loop joined, the receivers and then the port closed;
  // then the web server.
  session_.Stop();
}

}  // namespace kavu

#pragma once
// ODlgSpektr: the program's main window, "Антенный анализатор на базе Sdr-приёмника". It is
// handed the analyzer session (the station: port, board, receivers, sample loop, results store,
// scan engine; the web server behind it) and owns the results window; it commands the session and
// shows what it reports: the receiver and port lists, the
// generator list, manual tuning of receiver and generator, the bridge switch, the scan buttons,
// the status line and, in its lower part, the live spectrum and waterfall with the result lines.
//
// Window thread only. Nothing here waits for the board or a receiver longer than one short
// command: a scan's groups run asynchronously in the engine and come back as events.
//
// Lifetime: StartUp once after construction (the session's start-up order); close (the close
// box or Escape) stops the session (scan stopped, sample loop joined, receivers closed, port
// closed, web server stopped), closes the results window and emits Finished(0). "Перепрошивка МК..." would end with
// kFirmwareCode once the updater exists.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "receivers/ui/cdlg_hackrf.h"
#include "receivers/ui/cdlg_sdrplay.h"
#include "receivers/ui/odlg_rtl_sdr.h"
#include "results/ui/cshow_data_window.h"
#include "scan/analyzer_session_interface.h"
#include "scan/ui/cdlg_one_signal.h"
#include "scan/ui/freq_edit.h"
#include "scan/ui/spectrum_view.h"

namespace kavu {

class ODlgSpektr : public QWidget, private ISessionListener {
  Q_OBJECT

 public:
  static constexpr int kFirmwareCode = -3333;
  static constexpr const char* kCaption = "Антенный анализатор на базе Sdr-приёмника";
  static constexpr const char* kInitialStatus =
      "Выбирете Sdr-приёмник для работы или настройте параметры поиска подключенных к компу "
      "sdr-приёмников";

  // `session` (made, not started) and `window` must outlive the window, which becomes the
  // session's listener until it is destroyed.
  ODlgSpektr(IAnalyzerSession& session, IWindowThread& window, QWidget* parent = nullptr);
  ~ODlgSpektr() override;

  // The start-up: the session's (web server, then the station: settings, ports, receivers,
  // generators, sample loop, the remembered receiver), then the controls filled from it and the results window's data sets
  // loaded. Once only.
  void StartUp();

  // Shows an information box (`error`: with the error icon). Replaced in tests; the default is a
  // message box.
  std::function<void(bool error, const QString& caption, const QString& text)> inform;
  // Opens a help address (F1); null: the desktop's browser. Replaced in tests.
  std::function<bool(const QString& url)> open_link;
  // The short sound that marks a saved scan's end: the desktop's bell. Replaced in tests.
  std::function<void()> bell;

  ScanStation& Station() { return *station_; }
  IAnalyzerSession& Session() { return session_; }
  CShowDataWindow& Results() { return *results_; }
  SpectrumView& View() { return *view_; }

  // Commands of the buttons and menus (window thread).
  void StartScan(bool single_group);  // "Сканировать!"; Shift held: one group
  void OnButtonScanOne();             // "Одно изм!"
  void PauseOrContinue();             // "Пауза" / "Продолжить"
  void SetF(double hz);               // tune the receiver (manual)
  void SetGenFManual(double hz);      // set the selected generator (manual, on the board's thread)
  void TuneFromDoubleClick(double fraction_of_width);
  void OnBridge(int button);          // 0 "О", 1 "Ант", 2 "off"
  void ShowResults();                 // "Показ графиков..."
  void OnShowFilter();                // "Показ фильтра НЧ..."
  void OnShowSignal();                // "Показ изм сигнала..."
  void ShowRtlSdrWindow();            // the RTL-SDR settings window
  ODlgRtlSdr* RtlSdrWindow() { return rtl_window_; }
  void ShowHackRfWindow();            // the HackRF settings window
  CDlgHackRF* HackRfWindow() { return hackrf_window_; }
  void ShowSdrPlayWindow();           // the SDRplay settings window
  CDlgSdrPlay* SdrPlayWindow() { return sdrplay_window_; }
  void ShowAbout();
  // "Настройки...": the options window, modal; when it closes the station re-reads the options.
  void ShowOptions();
  // A service menu command (the numbers of "Разное...": 20000 … 20999).
  void MenuCommand(int id);
  QMenu& ServiceMenu() { return *service_menu_; }
  QMenu& WindowMenu() { return *window_menu_; }

 signals:
  void Finished(int code);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Layout (odlg_spektr_layout.cpp).
  void BuildControls();
  QWidget* BuildReceiverRow();
  QWidget* BuildGeneratorRow();
  QWidget* BuildScanRow();
  void BuildMenus();
  void Connect();
  void Shortcuts();
  // Station and scan events (odlg_spektr_events.cpp).
  void PortsChanged() override;
  void ReceiversListed() override;
  void ReceiverRateChanged(double rate_hz) override;
  void ReceiverStatusChanged(const ReceiverStatus& status) override;
  void ShowReceiverSettings(ReceiverKind kind) override;
  void HideSdrPlayWindow() override;
  void ShowInfo(const std::string& text) override;
  void StatusLine(const std::string& text, bool overload) override;
  void Title(const std::string& text) override;
  void PauseButtonText(const std::string& text) override;
  void GroupEnded(int32_t points, int32_t groups) override;
  void ShowSignal() override;
  void ScanEnded(const ScanEndReport& report) override;
  bool PageStartScan() override;
  void RangeChanged(bool cyclic, const std::string& text) override;
  void SetStatus(const QString& text, const QColor& background);
  void ReceiveStatus();
  void UpdateTuning();
  // The manual generator setting's outcome: the log line and the frequency box's colour.
  void GenFManualSet(double hz, bool ok);
  void UpdateResultLines();
  void ScanButtons(bool scanning);
  // Commands (odlg_spektr_commands.cpp).
  void OnReceiverChosen(int index);
  void OnPortChosen(int index);
  void OnGeneratorChosen(int index);
  void OnGenOutput(bool on);
  void OnReceiverSettings(bool checked);
  void StoreRangeText();
  void NotBuiltYet(const QString& what);
  void ServiceTest(int id);
  // False, with the error box naming `operation`, while a scan holds the board.
  bool BoardFree(const char* operation);
  void Shutdown();

  IAnalyzerSession& session_;
  IWindowThread& window_;
  ScanStation* station_;  // the session's
  std::unique_ptr<CShowDataWindow> results_;
  bool started_ = false, shut_down_ = false, filling_ = false;
  Qt::KeyboardModifiers scan_click_modifiers_;
  QTimer receive_timer_;  // the receive-status line, once a second while no scan runs
  int32_t last_overload_a_ = 0, last_overload_b_ = 0;
  QPointer<QWidget> about_;

  QComboBox* sdr_list_ = nullptr;
  QPushButton* sdr_settings_ = nullptr;
  FreqEdit* sdr_freq_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* options_ = nullptr;
  QLineEdit* gr_min_ = nullptr;
  QLineEdit* gr_max_ = nullptr;
  QLineEdit* vd_min_ = nullptr;
  QLineEdit* vd_max_ = nullptr;
  QComboBox* port_list_ = nullptr;
  QComboBox* gen_list_ = nullptr;
  QPushButton* gen_switch_on_ = nullptr;
  FreqEdit* gen_freq_ = nullptr;
  QCheckBox* gen_output_ = nullptr;
  QPushButton* bridge_[3] = {nullptr, nullptr, nullptr};
  QPushButton* scan_one_ = nullptr;
  QLineEdit* range_ = nullptr;
  QPushButton* scan_ = nullptr;
  QPushButton* pause_ = nullptr;
  QCheckBox* cyclic_ = nullptr;
  QPushButton* misc_ = nullptr;
  QPushButton* show_filter_ = nullptr;
  QPushButton* show_signal_ = nullptr;
  QPushButton* show_graphs_ = nullptr;
  QToolButton* menu_button_ = nullptr;
  QMenu* window_menu_ = nullptr;
  QMenu* service_menu_ = nullptr;
  SpectrumView* view_ = nullptr;
  QPointer<ODlgRtlSdr> rtl_window_;
  QPointer<CDlgHackRF> hackrf_window_;
  QPointer<CDlgSdrPlay> sdrplay_window_;
  QPointer<CDlgOneSignal> signal_view_;  // deletes itself when closed
};

}  // namespace kavu

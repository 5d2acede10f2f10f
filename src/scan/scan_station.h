#pragma once
// ScanStation: the analyzer as every front end wires it (the desktop program, the command-line
// tool, the headless server): the serial port with its port list and hot-plug, the board
// protocol, the rate plan, the generator set-up, the receivers, the sample rings and loop, the
// live spectrum, the result store and the scan engine, made and started in the order of the
// main window's start-up, and stopped (loop joined, receivers closed, port closed) at the end.
//
// Start-up order (StartUp): the receiver back ends' settings; the port list and the saved port
// opened (no command is sent to the board by that); the main window's settings; the receivers
// discovered; the generator list; the range text and cyclic flag handed to the engine; the rate
// plan for 20,000,000 samples per second; the sample loop (the live spectrum runs from here on,
// with or without a board); last the remembered receiver opened, its key emptied in the settings
// while it opens so that a receiver that hangs on open is not chosen again at the next start.
// Generators are initialised only by SwitchOnGenerators ("Включить"), ChooseGenerator and a scan
// start, never by opening a port.
//
// Options: the generator set-up, the rate plan and the engine always work from one reading of
// the options (OptionsChanged), so the board plays the timeline the measurement expects.
//
// Window thread: everything except what the engine and the loop do on the sample thread. The
// station knows nothing of the virtual bench: it uses whatever port and receiver the settings
// name (the bench writes its own settings file for that).
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "board/board_protocol.h"
#include "board/gen_setup.h"
#include "board/port_list_model.h"
#include "board/serial_port.h"
#include "board/serial_port_selector.h"
#include "platform/event_loop.h"
#include "platform/port_change_monitor.h"
#include "receivers/receiver_set.h"
#include "receivers/sample_rings.h"
#include "results/results_store.h"
#include "scan/live_spectrum.h"
#include "scan/rate_plan_keeper.h"
#include "scan/sample_loop.h"
#include "scan/scan_engine.h"
#include "scan/scan_options.h"
#include "scan/spektr_settings.h"
#include "shell/error_box.h"

namespace kavu {

// What a front end learns from the station (window thread). Every call has a do-nothing default.
class IStationEvents {
 public:
  virtual ~IStationEvents() = default;
  // The port list or the open port changed: a device came or went, a port was opened or closed.
  virtual void PortsChanged() {}
  // Discovery filled the receiver list.
  virtual void ReceiversListed() {}
  // A receiver was opened or its rate set; the rate plan is already re-made for `rate_hz`.
  virtual void ReceiverRateChanged(double /*rate_hz*/) {}
  // The receiver caption, status line or its colour changed.
  virtual void ReceiverStatusChanged(const ReceiverStatus& /*status*/) {}
  // Show (creating on first use) the settings window of a receiver kind; hide SDRplay's.
  virtual void ShowReceiverSettings(ReceiverKind /*kind*/) {}
  virtual void HideSdrPlayWindow() {}
  // The information box captioned "ИНФО".
  virtual void ShowInfo(const std::string& /*text*/) {}
};

struct ScanStationOptions {
  int32_t ring_capacity = SampleRings::kProgramCapacity;
  int64_t chain_capacity = OSignalChain::kProgramCapacity;
  int32_t results_capacity = AntIzms::kCapacity;
  // Where device hot-plug notices come from; null: the udev monitor. Must outlive the station.
  IPortChangeSource* port_changes = nullptr;
  // The front end's listener; null: none. Must outlive the station.
  IStationEvents* station_events = nullptr;
};

// What is open and listed, for the main window's controls and the web page.
struct StationView {
  std::vector<PortListItem> ports;
  int port_item = -1;                 // selected item of `ports`, -1 none
  int open_port = 0;                  // number of the open port, 0 when none is open
  bool generators_switchable = false; // "Включить" enabled: the port is open
  std::vector<std::string> receivers; // the receiver list's texts
  int receiver = -1;                  // selected entry, -1 none
  bool receiver_open = false;         // a receiver delivers samples
  ReceiverStatus receiver_status;
  std::vector<GenListItem> generators;
  int generator = -1;                 // selected entry of `generators`
  bool scanning = false;              // a scan runs or is paused
};

// What StartUp achieved.
struct StationStart {
  bool port_open = false;
  std::string port_error;      // why not, when the port is not open
  bool receiver_open = false;
  std::string receiver_error;  // why not, when no receiver is open
};

enum class GenChoice {
  kInitialised,   // InitAllGens succeeded
  kFailed,        // InitAllGens failed (its error box was shown)
  kNeedsOptions,  // the entry "настройте сперва": open the options window, then OptionsChanged
  kRefused,       // no such entry
  kStarted,       // ChooseGeneratorAsync: InitAllGens runs; its `done` tells how it ended
};

class ScanStation : private IReceiverSetHost, private ISaveDescription {
 public:
  ScanStation(IWindowThread& window, INotice& notice, IScanEvents& events,
              const ScanStationOptions& options = ScanStationOptions{});
  ~ScanStation() override;
  ScanStation(const ScanStation&) = delete;
  ScanStation& operator=(const ScanStation&) = delete;

  // The start-up of the header comment; what is missing (no port, no receiver) is reported and
  // the rest runs (a receiver without a board gives the live spectrum). Once only.
  StationStart StartUp();
  // StartUp for a front end that needs both (a scan from the command line): false with the
  // reason in *error when no port or no receiver is open.
  bool Start(std::string* error);
  // Sets an RTL-SDR rate (one of kRtlSdrRates) and re-plans; false with the reason.
  bool SetRate(int32_t rate_hz, std::string* error);
  // Stops the scan, waits for the files of ended scans (their ends are reported now), then the
  // loop, the receivers and the port.
  void Stop();

  // Opens port `number` (as listed; -33 the network bridge) and remembers it; an error box
  // when it cannot be opened. ClosePort closes it and remembers "none".
  bool OpenPort(int number);
  void ClosePort();
  // Opens receiver entry `index` (a running scan is stopped first) and remembers its key.
  bool ChooseReceiver(int index);
  // The same by ReceiverKey; false when no entry has the key.
  bool ChooseReceiverByKey(const std::string& key);
  // A generator list entry chosen: remembered; then InitAllGens at m_FM_Gen, or kNeedsOptions.
  GenChoice ChooseGenerator(int index);
  // "Включить": InitAllGens at m_FM_Gen.
  bool SwitchOnGenerators();
  // The same two without holding up the window thread (GenSetup::InitAllGensAsync): the board's
  // commands run on its exchange thread and `done(ok)` follows on the window thread. False /
  // kFailed at once (done not called) when the port is not open (the error box was shown);
  // ChooseGeneratorAsync answers kRefused and kNeedsOptions at once, as ChooseGenerator does.
  bool SwitchOnGeneratorsAsync(std::function<void(bool)> done);
  GenChoice ChooseGeneratorAsync(int index, std::function<void(bool)> done);

  // Serial poll, every kSerialPollMs from StartUp to Stop (timer kSerialPollTimer): when the
  // port is free (never between a batch's upload and its run's reply, see OBoardProtocol::
  // WhenFree), up to kSerialPollBytes that the board sent on its own are read and logged as
  // "Принято n байт: 0a, 0b, ..." (the first 128 bytes). A failing read of an open port closes
  // the port (PortsChanged) and shows the error box "Ошибка при запросе данных с выбранного
  // порта" with the system's text. PollSerial polls once now (the timer calls it).
  static constexpr int kSerialPollTimer = 1;
  static constexpr int kSerialPollMs = 100;
  static constexpr int kSerialPollBytes = 8192;
  void PollSerial();
  // The options were changed (options window closed, web page): reads them once and gives the
  // same values to the generator set-up, the rate plan (at the rate in use) and the engine; a
  // scan running meanwhile plays and measures its next group with them, never a group already
  // planned. The receivers re-read the converter and the gain-control hysteresis (the next
  // tuning uses them). The Si5351 crystal, ppm and maxima and the slots' ppm, power and
  // reference go to the generator set-up for its next initialisation; the Si5351 outputs'
  // roles, the slots' kinds and fixed frequencies, the library folders and the web server take
  // effect at the next program start. When the options give no rate plan, nothing but the
  // receivers' and the next initialisation's settings changes and the error box says so; false.
  bool OptionsChanged();
  StationView View() const;

  ScanEngine& Engine() { return *engine_; }
  ResultsStore& Store() { return *store_; }
  ReceiverSet& Receivers() { return *receivers_; }
  OSerialPort& Port() { return port_; }
  // The board link, for the main window's bridge switch and service tests (idle board only).
  OBoardProtocol& Board() { return board_; }
  ORatePlanKeeper& Keeper() { return keeper_; }
  SampleLoop& Loop() { return *loop_; }
  LiveSpectrum& Spectrum() { return spectrum_; }
  ErrorBox& Box() { return box_; }
  GenSetup& Gen() { return *gen_; }
  // The main window's settings as loaded at start-up; front ends save through it.
  SpektrSettings& Spektr() { return settings_; }
  const ScanOptions& Options() const { return options_; }

 private:
  // Gives `scan` (with `gen`'s own keys) to the three users; false (nothing changed) when no
  // rate plan can be made from them at `rate_hz`.
  bool ApplyOptions(const ScanOptions& scan, GenSetupOptions gen, double rate_hz);
  void Halt(bool report_saves);
  void NotifyPorts();
  // The serial poll's read, with the port free.
  void ReadUnasked();
  std::string PortErrorText() const;
  // IReceiverSetHost
  void SampleRateChanged(double rate_hz) override;
  void ShowSettingsWindow(ReceiverKind kind) override;
  void HideSdrPlayWindow() override;
  void ShowInfo(const std::string& text) override;
  void SecondInputChanged(bool on) override;
  double ReceiverFrequency() override { return settings_.m_FM_Sdr; }
  void StatusChanged(const ReceiverStatus& status) override;
  void PostToWindowThread(std::function<void()> task) override { window_.Post(std::move(task)); }
  // ISaveDescription
  std::string ReceiverText(bool detailed) const override;
  std::string RateText() const override;
  std::string ExtraText() const override;
  std::string GeneratorText(bool with_power) const override;

  IWindowThread& window_;
  IStationEvents* station_events_;
  ErrorBox box_;
  OSerialPort port_;
  OBoardProtocol board_;
  FftSetupPtr fft_;  // tables and kernel of every transform of this station
  ORatePlanKeeper keeper_;
  Si5351Config si_;
  GenDesks desks_;
  ScanOptions options_;
  SpektrSettings settings_;
  std::unique_ptr<GenSetup> gen_;
  std::unique_ptr<SampleRings> rings_;
  std::unique_ptr<ReceiverSet> receivers_;
  std::unique_ptr<ResultsStore> store_;
  LiveSpectrum spectrum_;
  std::unique_ptr<ScanEngine> engine_;
  std::unique_ptr<SampleLoop> loop_;
  std::unique_ptr<UdevPortMonitor> udev_;  // when no other notice source was given
  IPortChangeSource* port_changes_;
  PortListModel port_view_;
  std::unique_ptr<OSerialPortSelector> selector_;  // ends (detached) before the source
  bool started_ = false;
  StationStart start_;
  bool poll_queued_ = false;  // a poll waits in the board's WhenFree queue
  std::vector<uint8_t> poll_buffer_;
};

}  // namespace kavu

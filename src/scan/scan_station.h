#pragma once
// ScanStation: the analyzer as the front ends without windows wire it: the serial port chosen
// in the settings, the board protocol, the rate plan, the generator set-up, the receivers, the
// sample rings and loop, the result store and the scan engine, made and started in the order
// the main window uses, and stopped (loop joined, receiver closed, port closed) at the end.
//
// Window thread: everything except what the engine and loop do on the sample thread. The
// station itself knows nothing of the virtual bench: it uses whatever port and receiver the
// settings name (the bench writes its own settings file for that).
#include <memory>
#include <string>

#include "board/board_protocol.h"
#include "board/gen_setup.h"
#include "board/serial_port.h"
#include "platform/event_loop.h"
#include "receivers/receiver_set.h"
#include "receivers/sample_rings.h"
#include "results/results_store.h"
#include "scan/live_spectrum.h"
#include "scan/rate_plan_keeper.h"
#include "scan/sample_loop.h"
#include "scan/scan_engine.h"
#include "shell/error_box.h"

namespace kavu {

struct ScanStationOptions {
  int32_t ring_capacity = SampleRings::kProgramCapacity;
  int64_t chain_capacity = OSignalChain::kProgramCapacity;
  int32_t results_capacity = AntIzms::kCapacity;
};

class ScanStation : private IReceiverSetHost, private ISaveDescription {
 public:
  ScanStation(IWindowThread& window, INotice& notice, IScanEvents& events,
              const ScanStationOptions& options = ScanStationOptions{});
  ~ScanStation() override;
  ScanStation(const ScanStation&) = delete;
  ScanStation& operator=(const ScanStation&) = delete;

  // Opens the saved port, discovers and opens the saved receiver, starts the sample loop.
  // False with the reason in *error when no port or no receiver could be opened.
  bool Start(std::string* error);
  // Sets an RTL-SDR rate (one of kRtlSdrRates) and re-plans; false with the reason.
  bool SetRate(int32_t rate_hz, std::string* error);
  void Stop();

  ScanEngine& Engine() { return *engine_; }
  ResultsStore& Store() { return *store_; }
  ReceiverSet& Receivers() { return *receivers_; }
  OSerialPort& Port() { return port_; }
  ORatePlanKeeper& Keeper() { return keeper_; }
  SampleLoop& Loop() { return *loop_; }
  LiveSpectrum& Spectrum() { return spectrum_; }
  ErrorBox& Box() { return box_; }
  GenSetup& Gen() { return *gen_; }

 private:
  // IReceiverSetHost
  void SampleRateChanged(double rate_hz) override;
  // ISaveDescription
  std::string ReceiverText(bool detailed) const override;
  std::string RateText() const override;
  std::string ExtraText() const override;
  std::string GeneratorText(bool with_power) const override;

  IWindowThread& window_;
  ErrorBox box_;
  OSerialPort port_;
  OBoardProtocol board_;
  ORatePlanKeeper keeper_;
  Si5351Config si_;
  GenDesks desks_;
  std::unique_ptr<GenSetup> gen_;
  std::unique_ptr<SampleRings> rings_;
  std::unique_ptr<ReceiverSet> receivers_;
  std::unique_ptr<ResultsStore> store_;
  LiveSpectrum spectrum_;
  std::unique_ptr<ScanEngine> engine_;
  std::unique_ptr<SampleLoop> loop_;
  bool started_ = false;
};

}  // namespace kavu

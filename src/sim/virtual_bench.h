#pragma once
// VirtualBench: the hardware of an analyzer, emulated in this process so the program cannot tell
// it from the real thing. It holds
//   - the emulated control board (sim/emulated_board.h) on a pseudo-terminal, with its chip
//     models (sim/board_peripherals.h), reachable through a stable link to the terminal that is
//     put first in KAVU_EXTRA_PORTS, so the program lists it as port 901;
//   - the sample source of the simulated RTL-SDR library ("Virtual bench"): the library is
//     loaded from the simulated-library folder and attached to this bench, so when the program
//     loads the same file through its ordinary library path it streams this bench's signal;
//   - the simulated bridge and antenna with the impairments (sim/bench_signal.h).
// Board and receiver share one clock: the steady clock, read by the board (scaled by the board
// clock error) and by the receiver's sample time base. A batch's timeline starts at the sample
// where its run command arrived plus latency_us.
//
// A bench run uses its own settings file in the bench's private folder: it points the RTL-SDR
// library folder at the simulated library, the other receiver kinds at an empty folder, selects
// port 901 and the bench receiver. The user's settings are never touched: Start() makes the
// process-wide store use that file, Stop() points it back.
//
// Only one bench runs per process (the simulated library has one device). Start before the
// program's start-up uses the ports or the receivers; Stop after the program closed them.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/dyn_library.h"
#include "sim/antenna_model.h"
#include "sim/bench_impairments.h"
#include "sim/bench_signal.h"
#include "sim/board_clock.h"
#include "sim/board_firmware.h"
#include "sim/sim_feeder_abi.h"

namespace kavu {
class SettingsStore;
}

namespace kavu::sim {

class BoardPeripherals;
class EmulatedBoard;

struct VirtualBenchOptions {
  BenchImpairments impairments;
  AntennaModel antenna;              // the load on the antenna port
  EmulatedBoardConfig board;         // buffer size and timer of the emulated board
  std::string folder;                // private folder; empty: a new one under /tmp, removed at Stop
  bool private_settings = true;      // write and use the bench's own settings file
  std::string simlib_folder;         // empty: DefaultSimLibFolder()
  // The private settings file; empty: settings.ini in the folder. Its parent folders are made.
  std::string settings_file;
  // Load the simulated library and attach it to this bench. A bench serving programs in other
  // processes (sim/bench_socket_server.h) leaves it off and serves Source() instead.
  bool attach_library = true;
  // The generator chip on the board (sim/spi_chip_model.h SpiChipKinds): "si5351" (the board's
  // own Si5351 on I2C) or an SPI chip, fitted on CS0 and configured as slot 0 and selected in the
  // private settings.
  std::string gen = "si5351";
  // The receiver the bench stands in for (VirtualBench::Receivers(), rx=NAME): which simulated
  // library is loaded and attached, and which one the private settings select.
  std::string rx = "rtlsdr";
};

// A receiver the bench can stand in for.
struct BenchReceiver {
  const char* name;     // rx=NAME
  const char* file;     // the simulated library in the simulated-library folder
  const char* attach;   // its feeder attach function (sim/sim_feeder_abi.h)
  int extio_type;       // the plug-in's sample type, 0 for other kinds
  const char* key;      // the receiver list's key the private settings select (m_SelectSdrKey)
  const char* meaning;  // for sim-list
};

class VirtualBench : private IBenchState {
 public:
  VirtualBench();
  ~VirtualBench() override;
  VirtualBench(const VirtualBench&) = delete;
  VirtualBench& operator=(const VirtualBench&) = delete;

  // Starts the board, makes the link, attaches the simulated library, writes and selects the
  // private settings. False with the reason in *error (nothing is left running then).
  bool Start(VirtualBenchOptions options, std::string* error);
  // Detaches the library, stops the board, removes the link (and a folder it made), restores the
  // settings file and KAVU_EXTRA_PORTS. Safe to call twice.
  void Stop();
  bool Running() const { return running_; }

  // The simulated-library folder and the paths the program sees.
  const std::string& SimLibFolder() const { return simlib_folder_; }
  const std::string& LinkPath() const { return link_path_; }
  const std::string& SettingsPath() const { return settings_path_; }
  const std::string& Folder() const { return folder_; }
  static constexpr int kBenchPort = 901;
  static constexpr const char* kReceiverKey = "RtlSdr Virtual bench";
  static constexpr const char* kBoardFaultName = "board_fault";
  static constexpr const char* kGenName = "gen";
  static constexpr const char* kChipFaultName = "chip_fault";
  static constexpr const char* kRxName = "rx";
  // Every receiver of rx=NAME, the default ("rtlsdr") first.
  static std::span<const BenchReceiver> Receivers();
  static const BenchReceiver* FindReceiver(std::string_view name);
  // The receiver this bench stands in for (valid while it runs).
  const BenchReceiver& Receiver() const { return *rx_; }

  EmulatedBoard& Board();
  BoardPeripherals& Peripherals();
  // Changes an impairment by name while running (takes effect for later samples; the bridge
  // resistors, board_ppm and the seed apply from the next Start). The name "chip_fault" injects
  // a fault into the SPI generator chip on CS0 (sim/spi_chip_model.h names: wrong-type,
  // cts-stuck, cts-wrong, read-back, none). The name "board_fault" injects a fault into the
  // emulated board instead: value NAME[:COMMAND[:COUNT]] (sim/board_fault.h names, the command
  // code in hexadecimal, COUNT matching commands or -1 for all), for example "no-reply:5C".
  bool Set(std::string_view name, std::string_view value, std::string* error);
  const BenchImpairments& Impairments() const { return options_.impairments; }

  // This bench as a feeder of the simulated library (valid while it runs).
  KavuSimSource Source();

  // The simulated receiver's log: open, close, start, stop, settings changes.
  std::vector<std::string> ReceiverLog() const;
  // Tests: called on the receiver's thread at every fill of samples, after the board was looked
  // at and before the samples are made, so that a run can be made to land in between.
  void SetFillHook(std::function<void()> hook);
  // Writes the board's command log and the receiver's log into `folder` (test evidence).
  bool WriteEvidence(const std::string& folder) const;

  // The simulated library's default folder: $KAVU_SIMLIB_DIR, else the installation's private
  // folder beside the program, else the build tree's (sim/simlib_location.h).
  static std::string DefaultSimLibFolder();

 private:
  class Clock;
  TimelineState StateAt(int64_t t_ns, int64_t* next_change_ns) const override;
  bool WriteSettings(std::string* error);
  bool SelectBenchGenerator(std::string* error);
  bool WriteSdrPlaySettings(SettingsStore& store) const;
  bool AttachLibrary(std::string* error);

  // Source callbacks (the simulated library's reading and calling threads).
  static void OnConfigure(void* ctx, uint32_t rate, uint64_t center, int32_t gain, int32_t direct);
  static uint64_t OnDue(void* ctx);
  static void OnFill(void* ctx, uint64_t first, int32_t format, void* buf, uint32_t samples);
  static void OnFillDual(void* ctx, uint64_t first, int32_t format, void* buf_a, void* buf_b, uint32_t samples);
  static int32_t OnFault(void* ctx);
  static void OnLog(void* ctx, const char* line);

  VirtualBenchOptions options_;
  std::unique_ptr<Clock> clock_;
  std::unique_ptr<BoardPeripherals> peripherals_;
  std::unique_ptr<EmulatedBoard> board_;
  DynLibrary simlib_;
  kavu_sim_attach_fn attach_ = nullptr;
  const BenchReceiver* rx_ = nullptr;  // the receiver of options_.rx while running

  mutable std::mutex mutex_;  // guards the signal, the time base, the timeline cache and the log
  std::unique_ptr<BenchSignal> signal_;
  SampleTimeBase timebase_;
  std::optional<BatchTimeline> last_run_;
  size_t runs_seen_ = 0;
  TimelineState live_;  // the board's state when the samples being filled were asked for
  std::function<void()> fill_hook_;
  std::vector<std::string> rx_log_;

  bool running_ = false;
  bool made_folder_ = false;
  std::string folder_, link_path_, settings_path_, simlib_folder_;
  std::string previous_settings_;
  std::optional<std::string> previous_extra_ports_;
};

}  // namespace kavu::sim

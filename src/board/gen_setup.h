#pragma once
// Generator set-up of the main window: the initialisation of all generators (InitAllGens),
// setting a frequency by hand (SetGenFManual), switching the output (GenOn) and the frequency
// batch of a scan group (MyBigCmdCreate), dispatching by the generator list's selection to the
// chip families (gen_chip.h). Window thread only, except that InitAllGensAsync and
// SetGenFManualAsync run their commands on the board's exchange thread.
//
// Requires a board protocol on an open port for anything to reach the board; user-visible
// failures go through the error box, details to the log.
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "board/board_protocol.h"
#include "board/gen_batch.h"
#include "board/gen_desk.h"
#include "board/gen_list.h"
#include "board/gen_state.h"
#include "board/sample_clock.h"
#include "board/si5351_gen.h"
#include "shell/error_box.h"
#include "shell/liveness.h"
#include "shell/settings_fields.h"

namespace kavu {

// Options of section "CDlgOptions" the generator set-up owns (checks and stores), with their
// load checks. The probing slot and pair count are the scan options' (ScanOptions): the set-up
// is handed them as ProbeTiming.
struct GenSetupOptions {
  static constexpr const char* kSection = "CDlgOptions";
  int32_t m_MinusGenDivider = 40;  // 0..256 (outside -> 0); 0 = -5 V generator off
  int32_t m_SynType = 0;           // 0..2 (outside -> 0)

  // The stored keys with their defaults and ranges (the checks above).
  static std::span<const SettingBinding<GenSetupOptions>> Bindings();
  void Check();
  static GenSetupOptions Load();
  // Writes every key; false when a write failed.
  bool Save() const;

  bool operator==(const GenSetupOptions&) const = default;
};

// The probing timeline a batch plays: the slot and the pair count the measurement expects. Kept
// and checked by the scan options; the station hands them in with the rate plan they belong to.
struct ProbeTiming {
  int32_t m_TZond10 = 20;  // probing slot, 0.1 ms (1 … 630)
  int32_t m_ZondN = 1;     // probing pairs per frequency (1 … 255)
  bool operator==(const ProbeTiming&) const = default;
};

// Everything a group's batch is built with. A scan takes it when it plans a group, so an options
// change during the scan reaches the next group and never a group already planned.
struct BatchOptions {
  int32_t m_SynType = 0;
  ProbeTiming probe;
  bool operator==(const BatchOptions&) const = default;
};

// The settings an options change hands to the set-up for its next initialisation: the Si5351
// crystal, its error and the outputs' maxima, and each slot's ppm, power and ADF4351 reference.
// The Si5351 outputs' roles, the slots' kinds and fixed frequencies shape the generator list
// and stay as they were at start until the next program start.
struct GenRetune {
  Si5351Config si;
  GenDesks desks;
};

class GenSetup {
 public:
  // Everything is referenced, not copied, and must outlive the object. The Si5351 settings
  // and the slot descriptions are taken as they are (loaded and checked by the caller).
  GenSetup(OBoardProtocol& board, ErrorBox& box, ISampleClock& clock, const Si5351Config& si,
           const GenDesks& desks, const GenSetupOptions& options);
  // Waits for an initialisation or setting still running on the exchange thread (its result is
  // dropped).
  ~GenSetup();
  GenSetup(const GenSetup&) = delete;
  GenSetup& operator=(const GenSetup&) = delete;

  GenList& List() { return list_; }
  GenState& State() { return gen_; }
  Si5351State& Si5351() { return si_state_; }
  GenSetupOptions& Options() { return options_; }
  // The probing timeline of the batches built from now on (see ProbeTiming).
  void SetProbeTiming(const ProbeTiming& probe) { probe_ = probe; }
  const ProbeTiming& Probe() const { return probe_; }
  // What a batch would be built with now: the synchronisation type and the probing timeline.
  BatchOptions CurrentBatchOptions() const { return {options_.m_SynType, probe_}; }
  // Keeps `next` for the next initialisation (InitAllGens, InitAllGensAsync), which takes from
  // it what GenRetune lists; until then the generators run as they were initialised. One that
  // starts while a setting still runs on the exchange thread leaves it for the one after.
  void SetNextInit(const GenRetune& next) { next_init_ = next; }
  // The Si5351 settings and slots in use (as taken by the last initialisation); like State(),
  // read them only when neither Initialising() nor Setting().
  const Si5351Config& SiInUse() const { return si_state_.cfg; }
  const GenDesks& Desks() const { return desks_; }

  // Initialises every generator at frequency `hz` and switches the selected one on.
  bool InitAllGens(double hz);
  // The same without holding up the window thread: the port check and the first log line now,
  // the board's commands as one exchange on the exchange thread (queued behind a pending batch
  // or run), then on the window thread the timer re-plan and the error boxes, in the order they
  // arose, and last `done(result)`. False (done never called): the port is not open (its error
  // box was shown). While it runs, State() and Si5351() belong to the exchange thread: read
  // them only when Initialising() is false.
  bool InitAllGensAsync(double hz, std::function<void(bool)> done);
  bool Initialising() const { return initialising_; }
  // The text of the last error box of the last initialisation (empty when it showed none).
  const std::string& LastInitError() const { return last_init_error_; }
  // Sets the selected generator to `hz`; false (with not_set and the error text) on failure.
  // Not while Initialising() or Setting(): the exchange thread owns the state then.
  bool SetGenFManual(double hz);
  // SetGenFManual without holding up the window thread: the same commands, in the same order,
  // as one exchange on the exchange thread (queued behind a pending batch or run, with nothing
  // coming between them), then `done(result)` on the window thread with everything the blocking
  // call leaves (the frequency, not_set, the error text, the chip's registers) in place. A port
  // that closed before the exchange's turn came is met as the blocking call meets it, on the
  // window thread. `done` is not called once this object is gone, nor when CancelPending drops
  // the exchange before it ran. While Setting(), State() and Si5351() belong to the exchange
  // thread: read them in `done`.
  void SetGenFManualAsync(double hz, std::function<void(bool)> done);
  // A setting's `done` is still to come (false again when CancelPending dropped it unsent).
  bool Setting() const;
  // Switches the selected generator's output.
  bool GenOn(bool on);
  // The batch of a scan group for the selected generator (freqs[0] already set by
  // SetGenFManual), built with `batch` (taken when the group was planned); out.count tells how
  // many frequencies it covers. The first form uses CurrentBatchOptions().
  bool MyBigCmdCreate(std::span<const double> freqs, FrequencyBatch& out);
  bool MyBigCmdCreate(std::span<const double> freqs, const BatchOptions& batch, FrequencyBatch& out);
  // Stores a batch on the board without running it (BigCmd2, store only).
  bool StoreBatch(const FrequencyBatch& batch);

  // GetGenNum: the selected list entry's data, -1 when none.
  int GetGenNum() const { return list_.GetGenNum(); }

 private:
  IGenChip* ChipFor(int gen_num);
  // InitAllGens' first steps (log, flags, the port check); false when the port is not open.
  bool BeginInit();
  // InitAllGens from the -5 V generator on.
  bool InitRest(double hz);
  // The error box now, or after the exchange when called inside one.
  void Fail(const std::string& text);
  // What InitRest left for the window thread when it ran on the exchange thread.
  void ApplyDeferred();
  bool InitBoard();
  bool InitSpiSlots();
  bool SelectTarget(int slot);
  // Takes what SetNextInit kept (window thread, before an initialisation).
  void TakeNextInit();

  OBoardProtocol* board_;
  ErrorBox* box_;
  ISampleClock* clock_;
  GenDesks desks_;
  GenSetupOptions options_;
  ProbeTiming probe_;
  std::optional<GenRetune> next_init_;
  Si5351State si_state_;
  GenState gen_;
  GenList list_;
  OSi5351 si5351_;
  std::array<std::unique_ptr<Si5351Gen>, Si5351Config::kOutputs> si_gens_;
  std::array<std::unique_ptr<IGenChip>, kGenSlots> spi_gens_;
  bool initialising_ = false;
  // The last SetGenFManualAsync, kept alive by its exchange until that has run or been dropped.
  struct SettingRun {
    bool ran = false;       // the job ran (exchange thread, read after it in `done`)
    bool finished = false;  // `done` ran (window thread)
  };
  std::weak_ptr<SettingRun> last_setting_;
  Liveness alive_;
  bool replan_deferred_ = false;
  std::vector<std::string> deferred_boxes_;
  std::string last_init_error_;
};

}  // namespace kavu

#include "sim/virtual_bench.h"

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>

#include "board/gen_desk.h"
#include "board/gen_list.h"
#include "board/si5351_config.h"
#include "shell/settings_store.h"
#include "sim/board_command_log.h"
#include "sim/board_fault.h"
#include "sim/board_peripherals.h"
#include "sim/emulated_board.h"
#include "sim/simlib_location.h"
#include "platform/steady_clock.h"

namespace kavu::sim {
namespace {

constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

constexpr const char* kExtIOFile = "ExtIO_KavuSim.so";
constexpr const char* kExtIOKey = "ExtIO_plugin ExtIO_KavuSim.so";
constexpr const char* kSdrPlayFile = "libsdrplay_api.so.3";
constexpr const char* kSdrPlayAttach = "kavu_simsdrplay_attach";
constexpr BenchReceiver kReceivers[] = {
    {"rtlsdr", "librtlsdr.so.0", "kavu_simrtl_attach", 0, VirtualBench::kReceiverKey,
     "RTL-SDR \"Virtual bench\", unsigned 8-bit"},
    {"hackrf", "libhackrf.so.0", "kavu_simhackrf_attach", 0, "RtlSdr HackRf 00000000000000004b41565542454e31",
     "the simulated HackRF library libhackrf.so.0: signed 8-bit, 2 to 20 MS/s"},
    {"extio-int16", kExtIOFile, "kavu_simextio_attach", 3, kExtIOKey,
     "ExtIO plug-in ExtIO_KavuSim.so, type 3: int16 pairs with a DC offset"},
    {"extio-float", kExtIOFile, "kavu_simextio_attach", 7, kExtIOKey,
     "ExtIO plug-in ExtIO_KavuSim.so, type 7: float pairs with a DC offset"},
    {"extio-uchar", kExtIOFile, "kavu_simextio_attach", 9, kExtIOKey,
     "ExtIO plug-in ExtIO_KavuSim.so, type 9: unsigned 8-bit pairs"},
    {"rsp1", kSdrPlayFile, kSdrPlayAttach, 0, "SdrPlay_1_1000RSP1",
     "SDRplay RSP1 on the simulated service library libsdrplay_api.so.3: 14-bit, 2 to 10 MS/s"},
    {"rsp1a", kSdrPlayFile, kSdrPlayAttach, 0, "SdrPlay_255_1001RSP1A", "SDRplay RSP1A, as rsp1"},
    {"rsp2", kSdrPlayFile, kSdrPlayAttach, 0, "SdrPlay_2_1002RSP2", "SDRplay RSP2, as rsp1"},
    {"rspduo", kSdrPlayFile, kSdrPlayAttach, 0, "SdrPlay_3_1003RSPDUO", "SDRplay RSPduo, single tuner A"},
    {"rspduo-dual", kSdrPlayFile, kSdrPlayAttach, 0, "SdrPlay_3_1003RSPDUO",
     "SDRplay RSPduo, both tuners: B sees the generator's output, 2 MS/s"},
    {"rspdx", kSdrPlayFile, kSdrPlayAttach, 0, "SdrPlay_4_1004RSPDX", "SDRplay RSPdx, as rsp1"},
};

}  // namespace

// The board's clock: the steady clock, running fast by board_ppm.
class VirtualBench::Clock : public IBoardClock {
 public:
  explicit Clock(double ppm) : start_(SteadyNowNs()), scale_(1.0 + ppm * 1e-6) {}
  int64_t NowNs() override { return ToBoard(SteadyNowNs()); }
  int64_t ToBoard(int64_t real_ns) const {
    return start_ + static_cast<int64_t>(std::llround(static_cast<double>(real_ns - start_) * scale_));
  }
  int64_t ToReal(int64_t board_ns) const {
    return start_ + static_cast<int64_t>(std::llround(static_cast<double>(board_ns - start_) / scale_));
  }

 private:
  int64_t start_;
  double scale_;
};

VirtualBench::VirtualBench() = default;
VirtualBench::~VirtualBench() { Stop(); }

std::string VirtualBench::DefaultSimLibFolder() { return sim::SimLibFolder(); }

std::span<const BenchReceiver> VirtualBench::Receivers() { return kReceivers; }

const BenchReceiver* VirtualBench::FindReceiver(std::string_view name) {
  for (const BenchReceiver& r : kReceivers) {
    if (name == r.name) return &r;
  }
  return nullptr;
}

EmulatedBoard& VirtualBench::Board() { return *board_; }
BoardPeripherals& VirtualBench::Peripherals() { return *peripherals_; }

bool VirtualBench::Start(VirtualBenchOptions options, std::string* error) {
  Stop();
  options_ = std::move(options);
  rx_ = FindReceiver(options_.rx);
  if (!rx_) {
    if (error) {
      *error = std::string(kRxName) + ": неизвестный приёмник '" + options_.rx + "', ожидалось";
      for (const BenchReceiver& r : kReceivers) *error += std::string(" ") + r.name;
    }
    return false;
  }
  simlib_folder_ = options_.simlib_folder.empty() ? DefaultSimLibFolder() : options_.simlib_folder;
  folder_ = options_.folder;
  if (folder_.empty()) {
    char tmpl[] = "/tmp/kavu-bench-XXXXXX";
    if (!mkdtemp(tmpl)) {
      if (error) *error = "не удалось создать папку стенда в /tmp";
      return false;
    }
    folder_ = tmpl;
    made_folder_ = true;
  }
  clock_ = std::make_unique<Clock>(options_.impairments.board_ppm);
  peripherals_ = std::make_unique<BoardPeripherals>();
  if (options_.gen != "si5351") {
    auto chip = MakeSpiChipModel(options_.gen);
    if (!chip) {
      if (error) *error = "gen: неизвестный генератор '" + options_.gen + "'";
      peripherals_.reset();
      return false;
    }
    peripherals_->FitSpiChip(0, std::move(chip));
  }
  board_ = std::make_unique<EmulatedBoard>(*peripherals_, options_.board, clock_.get());
  {
    std::lock_guard lock(mutex_);
    signal_ = std::make_unique<BenchSignal>(options_.impairments, options_.antenna);
    timebase_ = SampleTimeBase{2'400'000.0, 0, SteadyNowNs()};
    last_run_.reset();
    runs_seen_ = 0;
    live_ = TimelineState{};
    rx_log_.clear();
  }
  running_ = true;  // from here on Stop() undoes whatever was done
  if (!board_->Start(error)) {
    Stop();
    return false;
  }
  link_path_ = folder_ + "/board-tty";
  std::error_code ec;
  std::filesystem::remove(link_path_, ec);
  if (symlink(board_->DevicePath().c_str(), link_path_.c_str()) != 0) {
    if (error) *error = "не удалось создать ссылку " + link_path_ + " на " + board_->DevicePath();
    link_path_.clear();
    Stop();
    return false;
  }
  if (const char* old = std::getenv("KAVU_EXTRA_PORTS")) previous_extra_ports_ = std::string(old);
  const std::string ports = link_path_ + (previous_extra_ports_ && !previous_extra_ports_->empty()
                                              ? ":" + *previous_extra_ports_
                                              : std::string());
  setenv("KAVU_EXTRA_PORTS", ports.c_str(), 1);
  if ((options_.attach_library && !AttachLibrary(error)) ||
      (options_.private_settings && !WriteSettings(error))) {
    Stop();
    return false;
  }
  return true;
}

bool VirtualBench::AttachLibrary(std::string* error) {
  const std::string path = simlib_folder_ + "/" + rx_->file;
  if (simlib_.Open(path) != DynLibrary::Result::kLoaded) {
    if (error) *error = "не удалось загрузить симулятор приёмника '" + path + "': " + simlib_.Error();
    return false;
  }
  attach_ = reinterpret_cast<kavu_sim_attach_fn>(simlib_.Symbol(rx_->attach));
  const KavuSimSource s = Source();
  if (!attach_ || attach_(&s) != 0) {
    if (error) *error = "'" + path + "' - не симулятор приёмника (нет " + rx_->attach + ")";
    attach_ = nullptr;
    return false;
  }
  if (rx_->extio_type != 0) {
    // The plug-in starts from its defaults (a test in this process may have scripted it), with
    // the sample type of this receiver.
    using ResetFn = void (*)();
    using SetFn = int (*)(const char*, double);
    const auto reset = reinterpret_cast<ResetFn>(simlib_.Symbol("kavu_simextio_reset"));
    const auto set = reinterpret_cast<SetFn>(simlib_.Symbol("kavu_simextio_set"));
    if (!reset || !set) {
      if (error) *error = "'" + path + "' - нет функций сценария kavu_simextio_reset/kavu_simextio_set";
      return false;
    }
    reset();
    set("type", rx_->extio_type);
  }
  return true;
}

KavuSimSource VirtualBench::Source() {
  KavuSimSource s{};
  s.abi_version = kKavuSimAbiVersion;
  s.ctx = this;
  s.configure = &VirtualBench::OnConfigure;
  s.due = &VirtualBench::OnDue;
  s.fill = &VirtualBench::OnFill;
  s.fault = &VirtualBench::OnFault;
  s.log = &VirtualBench::OnLog;
  s.fill_dual = &VirtualBench::OnFillDual;
  return s;
}

bool VirtualBench::WriteSettings(std::string* error) {
  settings_path_ = options_.settings_file.empty() ? folder_ + "/settings.ini" : options_.settings_file;
  const std::string empty_dir = folder_ + "/no-libraries";
  std::error_code ec;
  std::filesystem::create_directories(empty_dir, ec);
  std::filesystem::create_directories(std::filesystem::path(settings_path_).parent_path(), ec);
  SettingsStore store(settings_path_);
  // Only the chosen receiver's folder holds a library: the others are listed as missing.
  const auto folder_for = [&](const char* attach) {
    return std::string(rx_->attach) == attach ? simlib_folder_ : empty_dir;
  };
  const bool hackrf = std::string(rx_->attach) == "kavu_simhackrf_attach";
  const bool sdrplay = std::string(rx_->attach) == kSdrPlayAttach;
  // The bench's HackRF at unity gain, so its reference tone has the level the bench is set to.
  const bool ok =
      store.WriteProfileString("ODlgRtlSdr", "m_PathApiDllRtl", folder_for("kavu_simrtl_attach")) &&
      store.WriteProfileString("OSdrPlayUse", "m_PathApiDll", folder_for(kSdrPlayAttach)) &&
      (!sdrplay || WriteSdrPlaySettings(store)) &&
      store.WriteProfileString("OHackRfUse", "m_PathApiDll", folder_for("kavu_simhackrf_attach")) &&
      store.WriteProfileString("OHackRfUse", "m_NameApiDll", "libhackrf.so.0") &&
      (!hackrf || (store.WriteProfileInt("OHackRfUse", "m_Lna", 0) && store.WriteProfileInt("OHackRfUse", "m_VGa", 0) &&
                   store.WriteProfileInt("OHackRfUse", "m_IsAmp", 0))) &&
      store.WriteProfileString("OExtIOUse", "m_PathExtIO", folder_for("kavu_simextio_attach")) &&
      store.WriteProfileInt("OSerialPortSelector", "m_PortSelect_0", kBenchPort) &&
      store.WriteProfileString("ODlgSpektr", "m_SelectSdrKey", rx_->key);
  if (!ok) {
    if (error) *error = "не удалось записать настройки стенда в " + settings_path_;
    return false;
  }
  previous_settings_ = Settings().Path();
  UseSettingsFile(settings_path_);
  return SelectBenchGenerator(error);
}

// The bench's SDRplay receiver at unity gain (gRdB 40, LNA state 0: the simulated library's
// gain model), manual gain, no decimation; the RSPduo on tuner A, or on both for rspduo-dual.
bool VirtualBench::WriteSdrPlaySettings(SettingsStore& store) const {
  const bool dual = std::string(rx_->name) == "rspduo-dual";
  return store.WriteProfileInt("CDlgSdrPlay", "m_Ga", 40) && store.WriteProfileInt("CDlgSdrPlay", "m_Lna", 0) &&
         store.WriteProfileInt("CDlgSdrPlay", "m_IsAutoGA", 0) && store.WriteProfileInt("CDlgSdrPlay", "m_Decim", 1) &&
         store.WriteProfileInt("CDlgSdrPlay", "m_AntNum", 0) &&
         store.WriteProfileInt("CDlgSdrPlay", "m_DuoMasterMode", dual ? 1 : 0);
}

// With an SPI chip fitted: slot 0 gets its kind and the generator list selects it.
bool VirtualBench::SelectBenchGenerator(std::string* error) {
  int kind = 0;
  for (const SpiChipKind& k : SpiChipKinds()) {
    if (options_.gen == k.name) kind = k.gen_kind;
  }
  if (kind == 0) return true;
  SettingsStore& store = Settings();
  store.WriteProfileInt(GenDesk::Section(0), "m_GenRfmType", kind);
  GenList list;
  list.Build(Si5351Config::Load(), LoadGenDesks(), 0);
  const auto& items = list.Items();
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].data == 100) return store.WriteProfileInt("ODlgSpektr", "m_GenNum", static_cast<int>(i));
  }
  if (error) *error = "gen: генератор на CS0 не попал в список генераторов";
  return false;
}

void VirtualBench::Stop() {
  if (!running_) return;
  running_ = false;
  if (attach_) attach_(nullptr);
  attach_ = nullptr;
  simlib_.Close();
  if (board_) board_->Stop();
  if (!previous_settings_.empty()) UseSettingsFile(previous_settings_);
  previous_settings_.clear();
  if (!link_path_.empty()) {
    unlink(link_path_.c_str());
    if (previous_extra_ports_) {
      setenv("KAVU_EXTRA_PORTS", previous_extra_ports_->c_str(), 1);
    } else {
      unsetenv("KAVU_EXTRA_PORTS");
    }
  }
  previous_extra_ports_.reset();
  link_path_.clear();
  if (made_folder_) {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
    made_folder_ = false;
  }
  board_.reset();
  peripherals_.reset();
}

bool VirtualBench::Set(std::string_view name, std::string_view value, std::string* error) {
  if (name == kChipFaultName) {
    bool ok = false;
    const SpiChipFault f = SpiChipFaultFromName(value, &ok);
    if (ok && peripherals_ && peripherals_->SetSpiChipFault(0, f)) return true;
    if (error) {
      *error = std::string(kChipFaultName) + ": '" + std::string(value) +
               "' - ожидалось wrong-type, cts-stuck, cts-wrong, read-back или none, и генератор "
               "на CS0 (gen=...)";
    }
    return false;
  }
  if (name == kBoardFaultName) {
    // NAME[:COMMAND[:COUNT[:LATE_MS]]], the command as a hexadecimal code (any when absent), the
    // count of matching commands (1 when absent, -1 every one), and for late-reply how late the
    // reply goes out (1500 ms when absent).
    const size_t c1 = value.find(':');
    const std::string_view kind_text = value.substr(0, c1);
    const auto kind = ParseBoardFaultKind(kind_text);
    BoardFault fault;
    bool ok = kind.has_value() && board_;
    if (ok) fault.kind = *kind;
    if (ok && c1 != std::string_view::npos) {
      const std::string_view rest = value.substr(c1 + 1);
      const size_t c2 = rest.find(':');
      const std::string cmd(rest.substr(0, c2));
      char* end = nullptr;
      const long code = std::strtol(cmd.c_str(), &end, 16);
      ok = !cmd.empty() && end && *end == 0 && code >= 0 && code <= 255;
      fault.command = static_cast<int>(code);
      if (ok && c2 != std::string_view::npos) {
        const std::string_view tail = rest.substr(c2 + 1);
        const size_t c3 = tail.find(':');
        const std::string count(tail.substr(0, c3));
        const long n = std::strtol(count.c_str(), &end, 10);
        ok = !count.empty() && *end == 0 && (n == -1 || (n >= 1 && n <= 1000000));
        fault.count = static_cast<int>(n);
        if (ok && c3 != std::string_view::npos) {
          const std::string late(tail.substr(c3 + 1));
          const long ms = std::strtol(late.c_str(), &end, 10);
          ok = fault.kind == BoardFaultKind::kLateReply && !late.empty() && *end == 0 && ms >= 1 &&
               ms <= 600000;
          fault.late_ms = static_cast<int>(ms);
        }
      }
    }
    if (!ok) {
      if (error) {
        *error = std::string(kBoardFaultName) + ": '" + std::string(value) +
                 "' - ожидалось ИМЯ[:КОМАНДА[:СКОЛЬКО[:МС]]] (МС только у late-reply), имена: no-reply, "
                 "short-reply, "
                 "wrong-byte, late-reply, i2c-nack, unplug" + (board_ ? "" : " (стенд не запущен)");
      }
      return false;
    }
    board_->InjectFault(fault);
    return true;
  }
  std::lock_guard lock(mutex_);
  if (!options_.impairments.Set(name, value, error)) return false;
  if (signal_) signal_->UpdateImpairments(options_.impairments);
  return true;
}

std::vector<std::string> VirtualBench::ReceiverLog() const {
  std::lock_guard lock(mutex_);
  return rx_log_;
}

bool VirtualBench::WriteEvidence(const std::string& folder) const {
  std::string rx;
  for (const std::string& l : ReceiverLog()) rx += l + "\n";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  bool ok = board_ ? board_->CommandLog().WriteTo(folder + "/board-commands.log") : true;
  FILE* f = std::fopen((folder + "/receiver.log").c_str(), "w");
  if (!f) return false;
  ok = std::fwrite(rx.data(), 1, rx.size(), f) == rx.size() && ok;
  return std::fclose(f) == 0 && ok;
}

TimelineState VirtualBench::StateAt(int64_t t_ns, int64_t* next_change_ns) const {
  *next_change_ns = kNever;
  if (!last_run_) return live_;
  const BatchTimeline& run = *last_run_;
  const int64_t latency = static_cast<int64_t>(options_.impairments.latency_us * 1000.0);
  const int64_t board_ns = clock_->ToBoard(t_ns - latency);
  if (board_ns < run.anchor_ns) {
    *next_change_ns = clock_->ToReal(run.anchor_ns) + latency;
    return run.before;
  }
  const double tick = static_cast<double>(board_ns - run.anchor_ns) * 1e-9 * run.ticks_per_second;
  if (!(tick < static_cast<double>(run.duration_ticks))) return live_;
  const TimelineSegment* seg = run.At(static_cast<uint64_t>(tick));
  if (!seg) return live_;
  *next_change_ns = clock_->ToReal(run.TickToNs(seg->end_ticks)) + latency;
  return seg->state;
}

void VirtualBench::OnConfigure(void* ctx, uint32_t rate, uint64_t center, int32_t gain, int32_t direct) {
  auto* self = static_cast<VirtualBench*>(ctx);
  std::lock_guard lock(self->mutex_);
  const int64_t now = SteadyNowNs();
  SampleTimeBase& tb = self->timebase_;
  // Keep the sample count continuous across a rate change.
  const double done = static_cast<double>(now - tb.origin_ns) * 1e-9 * tb.rate;
  tb.origin_sample += static_cast<uint64_t>(std::max(0.0, std::floor(done)));
  tb.origin_ns = now;
  tb.rate = rate > 0 ? rate : 1.0;
  if (self->signal_) self->signal_->Configure(tb.rate, static_cast<double>(center), gain, direct);
}

uint64_t VirtualBench::OnDue(void* ctx) {
  auto* self = static_cast<VirtualBench*>(ctx);
  std::lock_guard lock(self->mutex_);
  const SampleTimeBase& tb = self->timebase_;
  const double done = static_cast<double>(SteadyNowNs() - tb.origin_ns) * 1e-9 * tb.rate;
  return tb.origin_sample + static_cast<uint64_t>(std::max(0.0, std::floor(done)));
}

void VirtualBench::OnFill(void* ctx, uint64_t first, int32_t format, void* buf, uint32_t samples) {
  auto* self = static_cast<VirtualBench*>(ctx);
  std::lock_guard lock(self->mutex_);
  // The newest run and the state outside runs come from one look at the board: samples that
  // were due before a run was played show the state before it (its timeline's `before`), never
  // the state it left behind. Changes outside runs (single commands) show from this fill on.
  if (self->peripherals_) {
    BoardPeripherals::View view = self->peripherals_->ViewSince(self->runs_seen_);
    if (view.newest) self->last_run_ = std::move(view.newest);
    self->runs_seen_ = view.runs;
    self->live_ = view.live;
  }
  if (self->fill_hook_) self->fill_hook_();
  if (self->signal_) self->signal_->FillFormat(*self, self->timebase_, first, format, buf, samples);
}

void VirtualBench::OnFillDual(void* ctx, uint64_t first, int32_t format, void* buf_a, void* buf_b,
                              uint32_t samples) {
  auto* self = static_cast<VirtualBench*>(ctx);
  std::lock_guard lock(self->mutex_);
  if (self->peripherals_) {
    BoardPeripherals::View view = self->peripherals_->ViewSince(self->runs_seen_);
    if (view.newest) self->last_run_ = std::move(view.newest);
    self->runs_seen_ = view.runs;
    self->live_ = view.live;
  }
  if (self->fill_hook_) self->fill_hook_();
  if (self->signal_) self->signal_->FillDual(*self, self->timebase_, first, format, buf_a, buf_b, samples);
}

void VirtualBench::SetFillHook(std::function<void()> hook) {
  std::lock_guard lock(mutex_);
  fill_hook_ = std::move(hook);
}

int32_t VirtualBench::OnFault(void* ctx) {
  auto* self = static_cast<VirtualBench*>(ctx);
  std::lock_guard lock(self->mutex_);
  return static_cast<int32_t>(self->options_.impairments.rx_fault);
}

void VirtualBench::OnLog(void* ctx, const char* line) {
  auto* self = static_cast<VirtualBench*>(ctx);
  std::lock_guard lock(self->mutex_);
  self->rx_log_.emplace_back(line ? line : "");
}

}  // namespace kavu::sim

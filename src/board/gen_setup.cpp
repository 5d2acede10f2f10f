#include "board/gen_setup.h"

#include <algorithm>

#include "board/ad9833_gen.h"
#include "board/adf4351_gen.h"
#include "board/rfm22_gen.h"
#include "board/rfm69_gen.h"
#include "board/si4463_gen.h"
#include "platform/number_text.h"
#include "shell/log_console.h"
#include "shell/settings_fields.h"

namespace kavu {
namespace {

const char* InitFailureText(int kind) {
  switch (kind) {
    case 1: case 2: return "Ошибка начальной инициализации Rfm22 / Rfm23";
    case 3: case 4: case 5: return "Ошибка начальной инициализации Rfm69";
    case 6: return "Ошибка начальной инициализации ad9833";
    case 7: return "Ошибка начальной инициализации ADF4351";
    default: return "Ошибка начальной инициализации si4463";
  }
}

// The chip driver of an SPI slot's kind (nullptr for an empty slot).
std::unique_ptr<IGenChip> MakeSpiChip(const SpiGenContext& ctx) {
  switch (ctx.desk->m_GenRfmType) {
    case 1: case 2: return std::make_unique<Rfm22Gen>(ctx);
    case 3: case 4: case 5: return std::make_unique<Rfm69Gen>(ctx);
    case 6: return std::make_unique<Ad9833Gen>(ctx);
    case 7: return std::make_unique<Adf4351Gen>(ctx);
    case 8: return std::make_unique<Si4463Gen>(ctx);
    default: return nullptr;
  }
}


}  // namespace

std::span<const SettingBinding<GenSetupOptions>> GenSetupOptions::Bindings() {
  using O = GenSetupOptions;
  static constexpr SettingBinding<GenSetupOptions> kFields[] = {
      Bind<&O::m_MinusGenDivider>("m_MinusGenDivider", 40, LowOutside(0, 256)),
      Bind<&O::m_SynType>("m_SynType", 0, DefaultOutside(0, 2)),
  };
  return kFields;
}

void GenSetupOptions::Check() { CheckSettings(Bindings(), *this); }

GenSetupOptions GenSetupOptions::Load() {
  GenSetupOptions o;
  LoadSettings(Settings(), kSection, Bindings(), o);
  return o;
}

bool GenSetupOptions::Save() const { return SaveSettings(Settings(), kSection, Bindings(), *this); }

GenSetup::GenSetup(OBoardProtocol& board, ErrorBox& box, ISampleClock& clock,
                   const Si5351Config& si, const GenDesks& desks, const GenSetupOptions& options)
    : board_(&board), box_(&box), clock_(&clock), desks_(desks), options_(options),
      si5351_(board, si_state_, gen_) {
  si_state_.cfg = si;
  for (int k = 0; k < Si5351Config::kOutputs; ++k) {
    si_gens_[static_cast<size_t>(k)] = std::make_unique<Si5351Gen>(si5351_, k);
  }
  for (int i = 0; i < kGenSlots; ++i) {
    SpiGenContext ctx;
    ctx.board = board_;
    ctx.desk = &desks_[static_cast<size_t>(i)];
    ctx.gen = &gen_;
    ctx.notice = &box_->Notice();
    ctx.slot = i;
    spi_gens_[static_cast<size_t>(i)] = MakeSpiChip(ctx);
  }
}

GenSetup::~GenSetup() {
  if (initialising_ || Setting()) board_->CancelPending();
}

IGenChip* GenSetup::ChipFor(int s) {
  if (s >= 0 && s < Si5351Config::kOutputs) return si_gens_[static_cast<size_t>(s)].get();
  if (s >= 100 && s < 100 + kGenSlots) return spi_gens_[static_cast<size_t>(s - 100)].get();
  return nullptr;
}

bool GenSetup::SelectTarget(int slot) {
  board_->m_Rfm_Gen = slot;
  if (board_->SetBigCmdAbonent()) return true;
  last_init_error_ = "m_Rfm_Gen=" + std::to_string(slot) + " ошибка исполнения SetBigCmdAbonent() ";
  LogRed(last_init_error_ + "\n");
  return false;
}

// Steps 3 to 7 of the initialisation: -5 V generator, buffer, timer, bridge, batch target.
bool GenSetup::InitBoard() {
  const int d = options_.m_MinusGenDivider;
  const int period = d == 0 ? 40 : d - 1;
  const int duty = d == 0 ? 0 : d / 2;
  Log() << "Ген -5в делитель " << period << " Shim=" << duty << "\n";
  if (!board_->SetMinusGenPeriod(static_cast<uint8_t>(period), static_cast<uint8_t>(duty))) {
    Fail("InitAllGens() - не удалось задать режим генератору -5в, вероятно устройство "
               "управления не работает или нет связи с ним");
    return false;
  }
  if (!board_->GetMKBufSz()) {
    Fail("InitAllGens() - не удалось определить объём буфера в МК, вероятно устройство "
               "управления не работает");
    return false;
  }
  if (!board_->GetDelaysTimerInfo()) {
    Fail("InitAllGens() - не удалось определить параметры таймера МК, вероятно "
               "устройство управления не работает");
    return false;
  }
  if (board_->TicksPerSecond() != clock_->PlannedTickRateHz()) {
    Log() << "Обнаружено изменение настроек таймера МК \n";
    // The rate plan is the window thread's: inside an exchange it is re-made afterwards.
    if (board_->OnExchangeThread()) {
      replan_deferred_ = true;
    } else {
      clock_->ReplanForBoardTimer(board_->TimerClock(), board_->TimerDivider());
    }
  }
  gen_.bridge_reference = true;
  board_->SetCS(0x28, 0xE7);
  return SelectTarget(0);
}

bool GenSetup::InitSpiSlots() {
  for (int i = 0; i < kGenSlots; ++i) {
    board_->m_Rfm_Gen = i;
    const int kind = desks_[static_cast<size_t>(i)].m_GenRfmType;
    if (kind == 0) continue;
    IGenChip* chip = spi_gens_[static_cast<size_t>(i)].get();
    // A kind with no driver must not stop the other generators, the Si5351 outputs among them,
    // from being initialised.
    if (chip == nullptr) {
      Log() << "Генератор на SPI c CS" << i << " (" << GenKind(kind).options_text
            << ") пропущен: эта версия программы его не поддерживает \n";
      continue;
    }
    Log() << LogColour(kColourHeading) << "Инициализация генератора на SPI c CS" << i << "\n"
          << LogColour(kColourNormal);
    if (!SelectTarget(i)) return false;
    if (!board_->SetSpiModeToGen(kind, true)) {
      LogRed("irfm=" + std::to_string(i) + " ошибка исполнения SetSpiModeToGen() \n");
    }
    if (!chip->Init()) {
      Fail(InitFailureText(kind));
      return false;
    }
  }
  return true;
}

namespace {
constexpr const char* kPortClosedText =
    "InitAllGens() - ком-порт не открыт, включение генераторов не возможно. Выбирете ком-порт для работы";
}  // namespace

void GenSetup::TakeNextInit() {
  // While an exchange of this set-up runs, the exchange thread owns the state: kept for later.
  if (!next_init_ || initialising_ || Setting()) return;
  const GenRetune& n = *next_init_;
  Si5351Config& cfg = si_state_.cfg;
  cfg.FrefHz = n.si.FrefHz;
  cfg.PPM = n.si.PPM;
  cfg.MaxFOutsMHz = n.si.MaxFOutsMHz;
  cfg.FrefHzRefused = 0.0;
  cfg.CheckAndDerive();
  for (size_t i = 0; i < desks_.size(); ++i) {
    GenDesk& d = desks_[i];
    const GenDesk& from = n.desks[i];
    d.ppm = from.ppm;
    d.m_GenPowerRfm22 = from.m_GenPowerRfm22;
    d.m_GenPowerRfm69 = from.m_GenPowerRfm69;
    d.m_dds_Forma = from.m_dds_Forma;
    d.m_ADF4351_Pow = from.m_ADF4351_Pow;
    d.m_GenPowerSI4463 = from.m_GenPowerSI4463;
    d.m_ADF4351_BaseFM = from.m_ADF4351_BaseFM;
    d.Check();
  }
  next_init_.reset();
}

bool GenSetup::BeginInit() {
  // The settings changed since the last initialisation apply from this one on (window thread:
  // no exchange of this set-up runs now).
  TakeNextInit();
  Log() << "\nИНИЦИАЛИЗАЦИЯ ГЕНЕРАТОРОВ ВЧ ***************** \n";
  last_init_error_.clear();
  gen_.on_checked = false;
  gen_.on_enabled = false;
  gen_.not_set = true;
  if (!board_->Port().IsOpen()) {
    Fail(kPortClosedText);
    return false;
  }
  return true;
}

void GenSetup::Fail(const std::string& text) {
  last_init_error_ = text;
  if (board_->OnExchangeThread()) {
    deferred_boxes_.push_back(text);
  } else {
    box_->Show(text);
  }
}

void GenSetup::ApplyDeferred() {
  if (replan_deferred_) clock_->ReplanForBoardTimer(board_->TimerClock(), board_->TimerDivider());
  replan_deferred_ = false;
  std::vector<std::string> boxes;
  boxes.swap(deferred_boxes_);
  for (const std::string& text : boxes) box_->Show(text);
}

bool GenSetup::InitAllGens(double hz) { return BeginInit() && InitRest(hz); }

bool GenSetup::InitAllGensAsync(double hz, std::function<void(bool)> done) {
  if (!BeginInit()) return false;
  initialising_ = true;
  auto ran = std::make_shared<bool>(false);
  board_->RunAsync(
      "InitAllGens",
      [this, hz, ran] {
        *ran = true;
        return InitRest(hz);
      },
      [this, ran, alive = alive_.Watch(), done = std::move(done)](bool ok) {
        if (alive.Expired()) return;
        initialising_ = false;
        // The port closed before the exchange's turn came: nothing reached the board.
        if (!*ran) Fail(kPortClosedText);
        ApplyDeferred();
        if (done) done(ok);
      });
  return true;
}

bool GenSetup::InitRest(double hz) {
  if (!InitBoard()) return false;
  si5351_.Si5351_Init(GetGenNum());  // its result is not a reason to stop: SPI sources may work
  if (!InitSpiSlots()) return false;
  const int s = GetGenNum();
  if (s >= 100 && s < 100 + kGenSlots) board_->m_Rfm_Gen = s - 100;
  if (!SelectTarget(board_->m_Rfm_Gen)) return false;
  const bool ok1 = SetGenFManual(hz);
  if (!ok1) {
    Fail("InitAllGens() - SetGenFManual() вернула ошибку !!!\n" + gen_.error_text);
  }
  gen_.on_enabled = true;
  const bool ok2 = GenOn(true);
  gen_.on_checked = ok2;
  if (!ok2) {
    if (ok1) last_init_error_ = "InitAllGens() - GenOn() вернула ошибку !!! ";
    LogRed("InitAllGens() - GenOn() вернула ошибку !!! \n");
  }
  return ok1 && ok2;
}

bool GenSetup::SetGenFManual(double hz) {
  gen_.manual_hz = gen_.current_hz = hz;
  gen_.not_set = false;
  gen_.freq_text = FormatTrimmed(hz / 1e6, 9) + " МГц";
  gen_.error_text.clear();
  const int s = GetGenNum();
  bool ok = false;
  if (s < 0) {
    // The usual cause is a crystal setting that leaves the Si5351 without outputs: named then.
    const std::string why = si_state_.cfg.CrystalProblem();
    gen_.error_text = why.empty() ? "генератор ВЧ не выбран, GetGenNum() вернула минус" : "генератор ВЧ не выбран: " + why;
  } else if (s < Si5351Config::kOutputs) {
    ok = si_gens_[static_cast<size_t>(s)]->SetF(hz);
  } else if (s >= 100 && s < 100 + kGenSlots) {
    board_->m_Rfm_Gen = s - 100;
    board_->SetSpiModeToGen(desks_[static_cast<size_t>(s - 100)].m_GenRfmType, false);
    IGenChip* chip = ChipFor(s);
    ok = chip && chip->SetF(hz);
  } else {
    gen_.error_text = "генератор ВЧ не не опознан в SetGenFManual()";
  }
  if (!ok) gen_.not_set = true;
  return ok;
}

void GenSetup::SetGenFManualAsync(double hz, std::function<void(bool)> done) {
  auto run = std::make_shared<SettingRun>();
  last_setting_ = run;
  board_->RunAsync(
      "SetGenFManual",
      [this, hz, run] {
        run->ran = true;
        return SetGenFManual(hz);
      },
      [this, hz, run, alive = alive_.Watch(), done = std::move(done)](bool ok) {
        if (alive.Expired()) return;
        run->finished = true;
        // Not sent (the port is closed): the closed port's answers, at once, as when blocking.
        if (!run->ran) ok = SetGenFManual(hz);
        if (done) done(ok);
      });
}

bool GenSetup::Setting() const {
  const std::shared_ptr<SettingRun> run = last_setting_.lock();
  return run && !run->finished;
}

bool GenSetup::GenOn(bool on) {
  const int s = GetGenNum();
  if (s < 0) return false;
  if (s >= 100 && s < 100 + kGenSlots) {
    board_->m_Rfm_Gen = s - 100;
    board_->SetSpiModeToGen(desks_[static_cast<size_t>(s - 100)].m_GenRfmType, false);
  }
  IGenChip* chip = ChipFor(s);
  return chip && chip->On(on);
}

bool GenSetup::MyBigCmdCreate(std::span<const double> freqs, FrequencyBatch& out) {
  return MyBigCmdCreate(freqs, CurrentBatchOptions(), out);
}

bool GenSetup::MyBigCmdCreate(std::span<const double> freqs, const BatchOptions& batch, FrequencyBatch& out) {
  IGenChip* chip = ChipFor(GetGenNum());
  if (!chip) {
    LogRed("ODlgSpektr::MyBigCmdCreate() - генератор ВЧ не выбран \n");
    return false;
  }
  BatchTimingInputs in;
  in.ticks_per_second = board_->TicksPerSecond();
  in.TZond10 = batch.probe.m_TZond10;
  in.ZondN = batch.probe.m_ZondN;
  in.SynType = batch.m_SynType;
  in.sample_period_sec = clock_->SamplePeriodSec();
  in.buffer_size = board_->BufferSize();
  std::string error;
  const Si5351Regs before = si_state_.last;
  if (!kavu::MyBigCmdCreate(in, freqs, chip->BatchSteps(), out, error)) {
    si_state_.last = before;  // nothing was sent: the chip still holds the old registers
    gen_.error_text = error;
    return false;
  }
  const int s = GetGenNum();
  if (s >= 0 && s < Si5351Config::kOutputs && out.count < static_cast<int>(freqs.size())) {
    // A step cut off by the buffer already advanced the last written state; after the batch
    // the chip holds the registers of the last frequency the batch covers.
    Si5351Regs covered;
    std::string ignored;
    if (Si5351_CalcF(si_state_.cfg, freqs[static_cast<size_t>(out.count - 1)], s, covered,
                     ignored)) {
      si_state_.last = covered;
    }
  }
  return true;
}

bool GenSetup::StoreBatch(const FrequencyBatch& batch) {
  return board_->BigCmd2(batch.bytes.data(), static_cast<int>(batch.bytes.size()), false);
}

}  // namespace kavu

// The generator set-up through the real serial path: the program's port and protocol on a
// pseudo-terminal, the emulated board with the Si5351 register model behind it.
#include "board/gen_setup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/event_loop.h"
#include "shell/log_console.h"
#include "shell/settings_store.h"
#include "sim/board_peripherals.h"
#include "sim/emulated_board.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

class FakeSampleClock : public ISampleClock {
 public:
  double SamplePeriodSec() const override { return 1.0 / 2e6; }
  double PlannedTickRateHz() const override { return rate_; }
  void ReplanForBoardTimer(double clock_hz, double divider) override {
    rate_ = clock_hz / divider;
    ++replans;
    replan_thread = std::this_thread::get_id();
  }
  int replans = 0;
  std::thread::id replan_thread;

 private:
  double rate_ = 156'250.0;
};

class GenSetupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Log().SetSink(OLogConsole::Sink::None);
    Log().SetCapture(true);
    Log().TakeCaptured();
    si_.FrefHz = 25e6;
    si_.OutHz = {0.0, 10e6, -1.0};
    si_.CheckAndDerive();
  }
  void TearDown() override {
    if (HasFailure() && board_) {
      std::fprintf(stderr, "--- emulated board command log ---\n%s--- end ---\n",
                   board_->CommandLog().Text().c_str());
    }
    port_.Close();
    if (board_) board_->Stop();
    Log().SetCapture(false);
    Log().SetSink(OLogConsole::Sink::Stdout);
  }
  void Start(sim::EmulatedBoardConfig config = {}) {
    board_ = std::make_unique<sim::EmulatedBoard>(hw_, config);
    std::string error;
    ASSERT_TRUE(board_->Start(&error)) << error;
    const std::string path = board_->DevicePath();
    port_.SetPathResolver([path](int) { return path; });
    ASSERT_TRUE(port_.Open(901, OSerialPort::kBaud)) << port_.LastErrorText();
    clearedAt_ = proto_.RequestsSent();
  }
  // The board's log of everything sent since it was last cleared. The last frames may have no
  // reply: the call that sent them has returned before the board got to them, so this waits
  // until the board has logged as many frames as were sent.
  std::vector<sim::BoardLogEntry> SentFrames() {
    const auto sent = static_cast<size_t>(proto_.RequestsSent() - clearedAt_);
    EXPECT_TRUE(board_->WaitForFrames(sent, 10000)) << sent << " frames sent";
    return board_->CommandLog().Entries();
  }
  // Clears the board's log once everything sent before has reached it.
  void ClearBoardLog() {
    SentFrames();
    board_->CommandLog().Clear();
    clearedAt_ = proto_.RequestsSent();
  }
  // The requests since the log was last cleared, one hex line each; clears the log.
  std::string Requests() {
    std::string text;
    for (const auto& e : SentFrames()) text += sim::BoardCommandLog::Hex(e.request, 40) + "\n";
    ClearBoardLog();
    return text;
  }
  std::unique_ptr<GenSetup> MakeSetup(int selected_data = 0) {
    auto g = std::make_unique<GenSetup>(proto_, box_, clock_, si_, desks_, GenSetupOptions{});
    g->List().Build(si_, desks_, 0);
    EXPECT_TRUE(g->List().SelectData(selected_data));
    return g;
  }

  test::ScopedSettings settings_;
  sim::BoardPeripherals hw_;
  std::unique_ptr<sim::EmulatedBoard> board_;
  OSerialPort port_;
  OBoardProtocol proto_{port_};
  RecordingNotice notice_;
  ErrorBox box_{notice_};
  FakeSampleClock clock_;
  Si5351Config si_;
  GenDesks desks_{};
  int64_t clearedAt_ = 0;
};

TEST_F(GenSetupTest, InitAllGensAndManualSettingReachTheSi5351Model) {
  Start();
  auto g = MakeSetup(0);
  ASSERT_TRUE(g->InitAllGens(14.2e6)) << Log().TakeCaptured();
  EXPECT_TRUE(notice_.Texts().empty());
  const sim::Si5351Output clk0 = hw_.Si5351Out(0);
  EXPECT_TRUE(clk0.on);
  EXPECT_NEAR(clk0.hz, 14.2e6, 0.2);
  const sim::Si5351Output clk1 = hw_.Si5351Out(1);  // fixed output, never disabled
  EXPECT_TRUE(clk1.on);
  EXPECT_NEAR(clk1.hz, 10e6, 0.1);
  EXPECT_FALSE(hw_.Si5351Out(2).on);
  EXPECT_EQ(hw_.Si5351Reg(24), 0x2E);  // CLK0 and CLK2 high impedance, CLK1 never disabled
  EXPECT_EQ(hw_.Si5351Reg(3), 0xFE);
  // The rest of the start-up sequence, as the chip holds it afterwards.
  EXPECT_EQ(hw_.Si5351Reg(2), 0xFF);
  EXPECT_EQ(hw_.Si5351Reg(9), 0xFF);
  EXPECT_EQ(hw_.Si5351Reg(15), 0x00);
  EXPECT_EQ(hw_.Si5351Reg(149), 0x00);
  EXPECT_EQ(hw_.Si5351Reg(187), 0xD0);
  EXPECT_EQ(hw_.Si5351Reg(17), 0x0F + 0x20);  // the fixed output runs from PLL B
  EXPECT_EQ(hw_.Si5351Reg(18), 0x8F);         // the unused output stays powered down
  EXPECT_EQ(hw_.Bridge(), sim::BridgeState::kReference);
  EXPECT_TRUE(g->State().on_checked);
  EXPECT_FALSE(g->State().not_set);
  EXPECT_EQ(g->State().freq_text, "14.2 МГц");
  EXPECT_EQ(clock_.replans, 0);

  ASSERT_TRUE(g->SetGenFManual(434e6));
  EXPECT_NEAR(hw_.Si5351Out(0).hz * 3, 434e6, 20.0);
  EXPECT_NEAR(g->State().current_hz, 434e6, 20.0);
  EXPECT_EQ(g->Si5351().last.harmonic, 3);
  ASSERT_TRUE(g->GenOn(false));
  EXPECT_FALSE(hw_.Si5351Out(0).on);
  EXPECT_TRUE(hw_.Si5351Out(1).on);

  EXPECT_FALSE(g->SetGenFManual(1000.0));  // below the output divider's range
  EXPECT_TRUE(g->State().not_set);
  EXPECT_NE(g->State().error_text.find("вне возможностей Si5351"), std::string::npos);
  EXPECT_NEAR(hw_.Si5351Out(0).hz * 3, 434e6, 20.0);  // nothing was written
}

TEST_F(GenSetupTest, EveryOutputFrom100kHzTo1GHzThroughThePort) {
  si_.OutHz = {0.0, 0.0, 0.0};
  si_.MaxFOutsMHz = {250, 160, 100};
  si_.CheckAndDerive();
  Start();
  int modes[2] = {0, 0}, harmonics[8] = {};
  for (int out = 0; out < 3; ++out) {
    auto g = MakeSetup(out);
    ASSERT_TRUE(g->InitAllGens(1e6));
    for (double f = 100e3; f <= 1e9; f *= 1.31) {
      ASSERT_TRUE(g->SetGenFManual(f)) << f;
      const Si5351Regs& r = g->Si5351().last;
      ++modes[r.mode];
      ++harmonics[std::min(r.harmonic, 7)];
      const double fund = f / r.harmonic;
      // Half a step of 2^-19 in the fractional PLL (mode 1) or output divider (mode 0, where
      // the R-divider halvings coarsen it by up to 128).
      const double step = r.mode == 1 ? si_.Fx / 4.0 / kSi5351Denominator
                                      : fund * fund * 128.0 / (si_.KMax * si_.Fx) / kSi5351Denominator;
      const sim::Si5351Output o = hw_.Si5351Out(out);
      EXPECT_TRUE(o.on) << f;
      EXPECT_NEAR(o.hz * r.harmonic, f, r.harmonic * step + 1e-6) << f << " CLK" << out;
    }
  }
  EXPECT_GT(modes[0], 0);
  EXPECT_GT(modes[1], 0);
  EXPECT_GT(harmonics[3], 0);
  EXPECT_GT(harmonics[5], 0);
  EXPECT_GT(harmonics[7], 0);
}

TEST_F(GenSetupTest, GroupBatchStoredAndRunOnTheBoardGivesTheTimeline) {
  sim::EmulatedBoardConfig cfg;
  cfg.timer.divider = 32;  // 312,500 ticks per second: the plan is redone
  Start(cfg);
  auto g = MakeSetup(0);
  ASSERT_TRUE(g->InitAllGens(7.0e6));
  EXPECT_EQ(clock_.replans, 1);
  EXPECT_NE(Log().TakeCaptured().find("Обнаружено изменение настроек таймера МК \n"),
            std::string::npos);
  std::vector<double> f;
  for (int k = 0; k < 14; ++k) f.push_back(7.0e6 + k * 50e3);
  FrequencyBatch b;
  ASSERT_TRUE(g->MyBigCmdCreate(f, b));
  ASSERT_EQ(b.count, 14);
  ASSERT_TRUE(g->StoreBatch(b));
  const size_t runs = hw_.RunCount();
  ASSERT_TRUE(proto_.BigCmd2_Exec());
  ASSERT_TRUE(hw_.WaitForRuns(runs + 1, 2000));
  const sim::BatchTimeline t = *hw_.LastTimeline();
  EXPECT_TRUE(t.complete);
  EXPECT_EQ(t.duration_ticks, b.duration_ticks);
  EXPECT_DOUBLE_EQ(t.ticks_per_second, 312'500.0);
  int probes_seen = 0;
  for (const sim::TimelineSegment& s : t.segments) {
    if (s.kind != sim::SegmentKind::kAntennaSlot) continue;
    EXPECT_EQ(s.end_ticks - s.start_ticks, 625u);  // 2 ms
    EXPECT_NEAR(s.state.sources[0].hz, f[static_cast<size_t>(s.probe_index)], 0.2);
    ++probes_seen;
  }
  EXPECT_EQ(probes_seen, 14);
}

TEST_F(GenSetupTest, TruncatedGroupLeavesTheLastWrittenStateOfItsLastFrequency) {
  sim::EmulatedBoardConfig cfg;
  cfg.buffer_size = 256;
  Start(cfg);
  auto g = MakeSetup(0);
  ASSERT_TRUE(g->InitAllGens(3.0e6));
  std::vector<double> f;
  for (int k = 0; k < 128; ++k) f.push_back(3.0e6 + k * 10e3);
  FrequencyBatch b;
  ASSERT_TRUE(g->MyBigCmdCreate(f, b));
  ASSERT_GT(b.count, 1);
  ASSERT_LT(b.count, 128);
  EXPECT_LE(b.bytes.size(), 256u);
  EXPECT_NE(Log().TakeCaptured().find("BigCmd урезана, nf=" + std::to_string(b.count)),
            std::string::npos);
  ASSERT_TRUE(g->StoreBatch(b));
  ASSERT_TRUE(proto_.BigCmd2_Exec());
  const double last = f[static_cast<size_t>(b.count - 1)];
  EXPECT_NEAR(hw_.Si5351Out(0).hz, last, 0.1);
  EXPECT_NEAR(g->Si5351().last.actual, last, 0.1);
  // The next group goes on from there: its first step compares against the right state.
  ASSERT_TRUE(g->SetGenFManual(f[static_cast<size_t>(b.count)]));
  FrequencyBatch next;
  ASSERT_TRUE(g->MyBigCmdCreate(std::span<const double>(f).subspan(static_cast<size_t>(b.count)), next));
  EXPECT_GT(next.count, 1);
}

TEST_F(GenSetupTest, FixedOutputsNeedingDifferentPllBAreWarnedAbout) {
  si_.OutHz = {0.0, 150e6, 140e6};
  si_.CheckAndDerive();
  Start();
  auto g = MakeSetup(0);
  ASSERT_TRUE(g->InitAllGens(14e6));
  const std::string log = Log().TakeCaptured();
  EXPECT_NE(log.find("si5351a - ВНИМАНИЕ, фиксированные выходы CLK1 и CLK2 требуют разной "
                     "настройки общего PLL B: CLK1 даст 139.999998 МГц вместо 150 МГц! \n"),
            std::string::npos)
      << log;
  // The model shows what the warning says: both outputs on the PLL B of 140 MHz (within the
  // PLL's step of 25 MHz / 4 / 2^19).
  EXPECT_NEAR(hw_.Si5351Out(1).hz, 139.999998e6, 1.0);
  EXPECT_NEAR(hw_.Si5351Out(2).hz, 140e6, 12.0);
}

TEST_F(GenSetupTest, FailuresReachTheErrorBox) {
  auto g = MakeSetup(0);
  EXPECT_FALSE(g->InitAllGens(14e6));  // port not open
  ASSERT_EQ(notice_.Texts().size(), 1u);
  EXPECT_EQ(notice_.Texts()[0],
            "InitAllGens() - ком-порт не открыт, включение генераторов не возможно. Выбирете "
            "ком-порт для работы");

  Start();
  hw_.SetSi5351Present(false);
  EXPECT_FALSE(g->InitAllGens(14e6));
  const std::string log = Log().TakeCaptured();
  EXPECT_NE(log.find("si5351a - ошибка, записанное значение регистра 3 отличается от прочитанного"),
            std::string::npos);
  ASSERT_EQ(notice_.Texts().size(), 2u);
  EXPECT_EQ(notice_.Texts()[1].rfind("InitAllGens() - SetGenFManual() вернула ошибку !!!\n", 0), 0u);
  EXPECT_TRUE(g->State().not_set);
  EXPECT_FALSE(g->State().on_checked);

  desks_[1].m_GenRfmType = 3;  // an Rfm69 on CS1, but nothing fitted there: RegOpMode reads FF
  hw_.SetSi5351Present(true);
  auto spi = MakeSetup(101);
  EXPECT_FALSE(spi->InitAllGens(433.92e6));
  EXPECT_EQ(notice_.Texts().back(), "Ошибка начальной инициализации Rfm69");
}

TEST_F(GenSetupTest, InitAllGensAsyncDoesWhatTheBlockingOneDoesOffTheWindowThread) {
  sim::EmulatedBoardConfig config;
  config.timer = {16'000'000, 128};  // another tick rate than the plan's: a re-plan follows
  Start(config);
  EventLoop loop;
  proto_.SetWindowThread(&loop);
  auto g = MakeSetup(0);
  ASSERT_TRUE(g->InitAllGens(14.2e6));
  // The reference: a fresh blocking set-up on the chip as the first one left it.
  clock_ = FakeSampleClock{};
  ClearBoardLog();
  Log().TakeCaptured();
  ASSERT_TRUE(MakeSetup(0)->InitAllGens(14.2e6));
  const std::string blockingLog = Log().TakeCaptured();
  const std::vector<sim::BoardLogEntry> blocking = SentFrames();
  ASSERT_EQ(clock_.replans, 1);
  ClearBoardLog();

  // The same again from a fresh set-up (the plan still expects the old tick rate).
  clock_ = FakeSampleClock{};
  auto a = MakeSetup(0);
  int result = -1;
  ASSERT_TRUE(a->InitAllGensAsync(14.2e6, [&](bool ok) { result = ok; }));
  // Nothing waited on the board here: the outcome comes later as a window-thread task.
  EXPECT_EQ(result, -1);
  EXPECT_TRUE(a->Initialising());
  EXPECT_TRUE(proto_.Busy());
  ASSERT_TRUE(loop.RunUntil([&] { return result >= 0; }, std::chrono::seconds(15)));
  EXPECT_EQ(result, 1);
  EXPECT_FALSE(a->Initialising());
  EXPECT_FALSE(proto_.Busy());
  EXPECT_EQ(Log().TakeCaptured(), blockingLog);
  const std::vector<sim::BoardLogEntry> async = SentFrames();
  std::string a_text, b_text;
  for (const auto& e : async) a_text += sim::BoardCommandLog::Hex(e.request, 40) + "\n";
  for (const auto& e : blocking) b_text += sim::BoardCommandLog::Hex(e.request, 40) + "\n";
  ASSERT_EQ(a_text, b_text);
  for (size_t i = 0; i < async.size(); ++i) EXPECT_EQ(async[i].request, blocking[i].request) << i;
  // The rate plan is the window thread's: re-made there, after the exchange.
  EXPECT_EQ(clock_.replans, 1);
  EXPECT_EQ(clock_.replan_thread, std::this_thread::get_id());
  EXPECT_TRUE(a->State().on_checked);
  EXPECT_NEAR(hw_.Si5351Out(0).hz, 14.2e6, 0.2);
  EXPECT_TRUE(notice_.Texts().empty());

  // A failure shows the same boxes, before `done` hears of it.
  hw_.SetSi5351Present(false);
  EXPECT_FALSE(g->InitAllGens(14e6));
  const std::vector<std::string> blockingBoxes = notice_.Texts();
  ASSERT_EQ(blockingBoxes.size(), 1u);
  size_t boxesAtDone = 0;
  result = -1;
  ASSERT_TRUE(a->InitAllGensAsync(14e6, [&](bool ok) {
    result = ok;
    boxesAtDone = notice_.Texts().size();
  }));
  EXPECT_EQ(notice_.Texts().size(), 1u);  // not shown from the exchange thread
  ASSERT_TRUE(loop.RunUntil([&] { return result >= 0; }, std::chrono::seconds(15)));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(boxesAtDone, 2u);
  ASSERT_EQ(notice_.Texts().size(), 2u);
  EXPECT_EQ(notice_.Texts()[1], blockingBoxes[0]);
  EXPECT_EQ(a->LastInitError(), blockingBoxes[0]);
  EXPECT_FALSE(a->State().on_checked);

  // A closed port is refused at once with its box, and `done` is never called.
  port_.Close();
  bool called = false;
  EXPECT_FALSE(a->InitAllGensAsync(14e6, [&](bool) { called = true; }));
  loop.RunPending();
  EXPECT_FALSE(called);
  EXPECT_EQ(notice_.Texts().back().rfind("InitAllGens() - ком-порт не открыт", 0), 0u);
}

TEST_F(GenSetupTest, SetGenFManualAsyncDoesWhatTheBlockingOneDoesOffTheWindowThread) {
  Start();
  EventLoop loop;
  proto_.SetWindowThread(&loop);
  auto g = MakeSetup(0);
  ASSERT_TRUE(g->InitAllGens(140e6));
  int result = -1;
  auto async = [&](double hz) {
    result = -1;
    g->SetGenFManualAsync(hz, [&](bool ok) { result = ok; });
    // Nothing waited on the board here: the outcome comes later as a window-thread task.
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(g->Setting());
    EXPECT_TRUE(loop.RunUntil([&] { return result >= 0; }, std::chrono::seconds(10)));
    EXPECT_FALSE(g->Setting());
  };
  // From one state of the chip, a group's first frequency (multisynth only) and one a harmonic
  // away (the whole register set): each time the same requests, log and state as blocking.
  for (const double hz : {141.25e6, 434e6}) {
    SCOPED_TRACE(hz);
    ASSERT_TRUE(g->SetGenFManual(140e6));
    Requests();
    Log().TakeCaptured();
    ASSERT_TRUE(g->SetGenFManual(hz));
    const std::string blockingLog = Log().TakeCaptured();
    const std::string blocking = Requests();
    const GenState blockingState = g->State();
    ASSERT_TRUE(g->SetGenFManual(140e6));
    Requests();
    Log().TakeCaptured();
    async(hz);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Log().TakeCaptured(), blockingLog);
    EXPECT_EQ(Requests(), blocking);
    EXPECT_FALSE(blocking.empty());
    EXPECT_EQ(g->State().current_hz, blockingState.current_hz);
    EXPECT_EQ(g->State().freq_text, blockingState.freq_text);
    EXPECT_FALSE(g->State().not_set);
    EXPECT_NEAR(hw_.Si5351Out(0).hz * g->Si5351().last.harmonic, hz, 20.0);
  }

  // A frequency the chip cannot make: false, the frequency box marked, the driver's text kept.
  EXPECT_FALSE(g->SetGenFManual(1000.0));
  const std::string refusedText = g->State().error_text;
  ASSERT_FALSE(refusedText.empty());
  async(1000.0);
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(g->State().not_set);
  EXPECT_EQ(g->State().error_text, refusedText);

  // Queued behind an upload that holds the port, and sent whole after its reply.
  const uint8_t batch[] = {0xFF};
  bool stored = false;
  proto_.BigCmd2Async(batch, 1, false, [&](bool ok) { stored = ok; });
  async(141.25e6);
  EXPECT_TRUE(stored);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Requests().rfind("CD 5A 01 00 FF", 0), 0u);

  // Dropped unsent by CancelPending (the port about to be closed or reopened): no longer
  // pending, and `done` never comes.
  proto_.BigCmd2Async(batch, 1, false, [](bool) {});
  bool called = false;
  g->SetGenFManualAsync(145e6, [&](bool) { called = true; });
  EXPECT_TRUE(g->Setting());
  proto_.CancelPending();
  EXPECT_FALSE(g->Setting());
  loop.RunUntil([] { return false; }, std::chrono::milliseconds(200));
  EXPECT_FALSE(called);
  Requests();

  // A port closed before the exchange's turn: the closed port's answer, as blocking.
  port_.Close();
  const bool closedBlocking = g->SetGenFManual(141.5e6);
  async(141.5e6);
  EXPECT_EQ(result, closedBlocking ? 1 : 0);
  EXPECT_NEAR(g->State().current_hz, 141.5e6, 20.0);
}

TEST_F(GenSetupTest, ABadCrystalSettingIsNamedWhereverItStopsTheGenerator) {
  for (const double fref : {0.0, -5.0, 1e300}) {
    Settings().WriteProfileDouble("CDlgOptions", "m_Si5351_FrefHz", fref);
    Log().TakeCaptured();
    si_ = Si5351Config::Load();
    EXPECT_FALSE(si_.Fitted());
    const std::string log = Log().TakeCaptured();
    // A refused value is logged at once; 0 (no chip fitted, as asked) only when it stops a generator.
    EXPECT_EQ(log.find("m_Si5351_FrefHz") != std::string::npos, fref != 0.0) << fref << ": " << log;
    auto g = std::make_unique<GenSetup>(proto_, box_, clock_, si_, desks_, GenSetupOptions{});
    g->List().Build(si_, desks_, 0);
    EXPECT_FALSE(g->SetGenFManual(14.2e6));
    EXPECT_TRUE(g->State().not_set);
    EXPECT_NE(g->State().error_text.find("m_Si5351_FrefHz"), std::string::npos) << g->State().error_text;
    EXPECT_EQ(g->State().error_text.find("GetGenNum() вернула минус"), std::string::npos);
  }
}

TEST_F(GenSetupTest, ChangedSettingsTakeEffectAtTheNextInitialisationAndOnlyWhatMayChange) {
  Start();
  auto g = MakeSetup(0);
  ASSERT_TRUE(g->InitAllGens(14.2e6)) << Log().TakeCaptured();
  EXPECT_NEAR(hw_.Si5351Out(0).hz, 14.2e6, 0.2);

  GenRetune next{si_, desks_};
  next.si.PPM = 100;                          // the crystal runs 100 ppm slow
  next.si.MaxFOutsMHz = {200, 250, 250};
  next.si.OutHz = {0.0, 20e6, 0.0};           // a role: the next program start's
  next.desks[1].m_GenRfmType = 1;             // a kind: the next program start's
  next.desks[1].m_GenPowerRfm22 = 9;          // taken, checked: 7
  next.desks[1].ppm = -3;
  next.desks[2].m_ADF4351_BaseFM = 100e6;
  next.desks[2].RfmFixFM = 433e6;             // a fixed frequency: the next program start's
  g->SetNextInit(next);
  // Until the next initialisation the generators run as they were set up.
  ASSERT_TRUE(g->SetGenFManual(14.2e6));
  EXPECT_NEAR(hw_.Si5351Out(0).hz, 14.2e6, 0.2);
  EXPECT_EQ(g->SiInUse().PPM, 0.0);

  ASSERT_TRUE(g->InitAllGens(14.2e6)) << Log().TakeCaptured();
  const Si5351Config& si = g->SiInUse();
  EXPECT_EQ(si.PPM, 100.0);
  EXPECT_EQ(si.MaxFOutsMHz, (std::array<int32_t, 3>{200, 250, 250}));
  EXPECT_EQ(si.OutHz, si_.OutHz);
  // The chip is now asked for 100 ppm more than before, which the slow crystal turns into 14.2 MHz
  // of its own reckoning: the emulated chip's exact crystal shows the correction.
  EXPECT_NEAR(hw_.Si5351Out(0).hz, 14.2e6 * 1.0001, 2.0);
  EXPECT_NEAR(hw_.Si5351Out(1).hz, 10e6 * 1.0001, 2.0);  // the fixed output, still 10 MHz, corrected
  const GenDesks& d = g->Desks();
  EXPECT_EQ(d[1].m_GenRfmType, 0);
  EXPECT_EQ(d[1].m_GenPowerRfm22, 7);
  EXPECT_EQ(d[1].ppm, -3.0);
  EXPECT_EQ(d[2].m_ADF4351_BaseFM, 100e6);
  EXPECT_EQ(d[2].RfmFixFM, 0.0);
  EXPECT_TRUE(notice_.Texts().empty());

  // Taken once: a later initialisation keeps what the last one took.
  ASSERT_TRUE(g->InitAllGens(7e6));
  EXPECT_EQ(g->SiInUse().PPM, 100.0);
}

TEST_F(GenSetupTest, ABatchIsBuiltWithTheOptionsItWasGiven) {
  Start();
  auto g = MakeSetup(0);
  ASSERT_TRUE(g->InitAllGens(7.0e6));
  g->SetProbeTiming({20, 1});
  const BatchOptions planned = g->CurrentBatchOptions();
  EXPECT_EQ(planned, (BatchOptions{0, {20, 1}}));
  // The options change after the group was planned: its batch keeps the planned timeline.
  g->SetProbeTiming({35, 2});
  g->Options().m_SynType = 1;
  const std::vector<double> f{7.0e6, 7.05e6};
  FrequencyBatch old_timing, new_timing;
  ASSERT_TRUE(g->MyBigCmdCreate(f, planned, old_timing));
  ASSERT_TRUE(g->MyBigCmdCreate(f, new_timing));
  // The same batches as the set-up builds with those options in force (the duration is the
  // timeline's: the slot, the pairs and the pause; the retuning steps take no time).
  FrequencyBatch want_new;
  ASSERT_TRUE(g->MyBigCmdCreate(f, (BatchOptions{1, {35, 2}}), want_new));
  g->SetProbeTiming({20, 1});
  g->Options().m_SynType = 0;
  FrequencyBatch want_old;
  ASSERT_TRUE(g->MyBigCmdCreate(f, want_old));
  EXPECT_EQ(old_timing.duration_ticks, want_old.duration_ticks);
  EXPECT_EQ(new_timing.duration_ticks, want_new.duration_ticks);
  EXPECT_GT(new_timing.duration_ticks, old_timing.duration_ticks);
}

}  // namespace
}  // namespace kavu

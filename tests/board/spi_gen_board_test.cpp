// Every SPI generator through the real serial path: the program's port, protocol and generator
// set-up on a pseudo-terminal, the emulated board with the chip's model on CS0 turning what
// arrives back into the frequency generated.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "board/gen_setup.h"
#include "board/rfm22_gen.h"
#include "shell/log_console.h"
#include "shell/settings_store.h"
#include "sim/ad9833_model.h"
#include "sim/adf4351_model.h"
#include "sim/board_peripherals.h"
#include "sim/si4463_model.h"
#include "sim/spi_chip_model.h"
#include "pty_board.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

class FixedClock : public ISampleClock {
 public:
  double SamplePeriodSec() const override { return 1.0 / 2e6; }
  double PlannedTickRateHz() const override { return 156'250.0; }
  void ReplanForBoardTimer(double, double) override {}
};

// What each chip can make, and how finely: the request must come back within `step` (times
// the harmonic in use) from the model's decoded output.
struct ChipCase {
  const char* name;
  int kind;
  double lo_hz, hi_hz;  // the range the driver accepts
};
const ChipCase kCases[] = {
    {"rfm22", 1, 240e6, 960e6},    {"rfm23", 2, 240e6, 960e6},       {"rfm69", 3, 31.0, 1023.99e6},
    {"ad9833", 6, 0.0, 25e6},      {"adf4351", 7, 34.375e6, 13.2e9}, {"si4463", 8, 2.5e6, 1e12},
};

class SpiGenBoardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    si_.FrefHz = 25e6;
    si_.OutHz = {-1.0, -1.0, -1.0};
    si_.CheckAndDerive();
  }
  void TearDown() override {
    if (HasFailure() && pty_.board) {
      const std::string text = pty_.board->CommandLog().Text();
      std::fprintf(stderr, "--- board log (tail) ---\n%s\n",
                   text.substr(text.size() > 4000 ? text.size() - 4000 : 0).c_str());
    }
  }
  // Fits chip `name` on CS0 as slot 0 of `kind` and starts the board.
  std::unique_ptr<GenSetup> Start(const char* name, int kind, sim::EmulatedBoardConfig cfg = {}) {
    hw_.FitSpiChip(0, sim::MakeSpiChipModel(name));
    desks_[0].m_GenRfmType = kind;
    pty_.Start(hw_, cfg);
    auto g = std::make_unique<GenSetup>(proto_, box_, clock_, si_, desks_, GenSetupOptions{});
    g->List().Build(si_, desks_, 0);
    EXPECT_TRUE(g->List().SelectData(100));
    return g;
  }
  sim::SourceState Out() const { return hw_.AllSources()[sim::kTimelineFirstSpiSource]; }
  // Frequency step of the chip at `hz` (the model decodes to within this of the request).
  static double Step(const char* name, double hz) {
    const std::string n = name;
    if (n == "rfm22" || n == "rfm23") return 312.5;
    if (n == "rfm69") return 61.1;
    if (n == "ad9833") return 0.1;
    if (n == "adf4351") return 25e6 / 4095.0;  // at the VCO; the divider only makes it finer
    return 60e6 / 4 / 524288.0 * std::ceil(hz / 1.136e9);
  }
  // The harmonic the driver uses at `hz`.
  static int Harmonic(const char* name, double hz) {
    const std::string n = name;
    if (n == "adf4351") return hz > 4.4e9 ? 3 : 1;
    if (n == "si4463") return hz > 1.136e9 ? static_cast<int>(std::ceil(hz / 1.136e9)) : 1;
    return 1;
  }

  test::ScopedSettings settings_;
  sim::BoardPeripherals hw_;
  test::PtyBoard pty_;
  OBoardProtocol& proto_ = pty_.proto;
  RecordingNotice notice_;
  ErrorBox box_{notice_};
  FixedClock clock_;
  Si5351Config si_;
  GenDesks desks_{};
};

TEST_F(SpiGenBoardTest, EveryChipFrom100kHzToItsTopThroughThePort) {
  for (const ChipCase& c : kCases) {
    SCOPED_TRACE(c.name);
    auto g = Start(c.name, c.kind);
    const double first = std::max(c.lo_hz, 1e6) * 1.01;
    ASSERT_TRUE(g->InitAllGens(first)) << pty_.Logged();
    EXPECT_TRUE(notice_.Texts().empty());
    EXPECT_TRUE(Out().on);
    int accepted = 0, refused = 0;
    for (double f = 100e3; f <= std::min(c.hi_hz * 1.3, 15e9); f *= 1.45) {
      const bool in_range = f >= c.lo_hz && f < c.hi_hz;
      const bool ok = g->SetGenFManual(f);
      EXPECT_EQ(ok, in_range) << f;
      if (!ok) {
        ++refused;
        EXPECT_TRUE(g->State().not_set);
        EXPECT_NE(g->State().error_text.find("вне возможностей"), std::string::npos) << f;
        continue;
      }
      ++accepted;
      double made = Out().hz * Harmonic(c.name, f);
      if (c.kind <= 2) made /= Rfm22DirectFactor(0);  // the direct setting's crystal correction
      EXPECT_NEAR(made, f, Step(c.name, f) * Harmonic(c.name, f)) << f;
      EXPECT_TRUE(Out().on) << f;
    }
    EXPECT_GT(accepted, 2);
    EXPECT_GT(refused, 0);
    ASSERT_TRUE(g->GenOn(false));
    EXPECT_FALSE(Out().on);
    ASSERT_TRUE(g->GenOn(true));
    EXPECT_TRUE(Out().on);
    pty_.Stop();
  }
}

// A scan group on each chip: the batch the board plays retunes the model before every probing
// element, and the group ends early where the chip needs a direct setting.
TEST_F(SpiGenBoardTest, GroupBatchOfEachChipGivesTheTimeline) {
  const struct {
    const char* name;
    int kind;
    double f0, step;
    int expect_count;
  } groups[] = {{"rfm22", 1, 430e6, 0.5e6, 12}, {"rfm69", 3, 430e6, 0.5e6, 12},
                {"ad9833", 6, 1e6, 10e3, 12},   {"adf4351", 7, 140e6, 1e6, 12},
                {"si4463", 8, 430e6, 0.5e6, 12}, {"adf4351", 7, 134e6, 1e6, 4},
                {"si4463", 8, 550e6, 2e6, 3}};
  for (const auto& c : groups) {
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.f0));
    auto g = Start(c.name, c.kind);
    ASSERT_TRUE(g->InitAllGens(c.f0)) << pty_.Logged();
    std::vector<double> f;
    for (int k = 0; k < 12; ++k) f.push_back(c.f0 + k * c.step);
    FrequencyBatch b;
    ASSERT_TRUE(g->MyBigCmdCreate(f, b));
    EXPECT_EQ(b.count, c.expect_count);
    ASSERT_TRUE(g->StoreBatch(b));
    const size_t runs = hw_.RunCount();
    ASSERT_TRUE(proto_.BigCmd2_Exec());
    ASSERT_TRUE(hw_.WaitForRuns(runs + 1, 3000));
    const sim::BatchTimeline t = *hw_.LastTimeline();
    EXPECT_TRUE(t.complete);
    int probes = 0, pauses = 0;
    for (const sim::TimelineSegment& s : t.segments) {
      const sim::SourceState& src = s.state.sources[sim::kTimelineFirstSpiSource];
      if (s.kind == sim::SegmentKind::kSyncPause) {  // "Выключение генератора": the chip is off
        EXPECT_FALSE(src.on);
        ++pauses;
      }
      if (s.kind != sim::SegmentKind::kAntennaSlot) continue;
      const double want = f[static_cast<size_t>(s.probe_index)];
      const double made = c.kind <= 2 && s.probe_index == 0 ? src.hz / Rfm22DirectFactor(0) : src.hz;
      EXPECT_TRUE(src.on);
      EXPECT_NEAR(made, want, Step(c.name, want)) << s.probe_index;
      ++probes;
    }
    EXPECT_EQ(probes, b.count);
    EXPECT_EQ(pauses, 1);
    // The next group starts with the direct setting, which reaches what the batch could not.
    if (b.count < 12) {
      ASSERT_TRUE(g->SetGenFManual(f[static_cast<size_t>(b.count)]));
      EXPECT_NEAR(Out().hz, f[static_cast<size_t>(b.count)], Step(c.name, f[0]));
    }
    pty_.Stop();
  }
}

TEST_F(SpiGenBoardTest, Ad9833NeverRetunesTheRegisterItRuns) {
  sim::EmulatedBoardConfig cfg;
  cfg.buffer_size = 300;
  auto g = Start("ad9833", 6, cfg);
  ASSERT_TRUE(g->InitAllGens(1e6));
  for (double f : {2e6, 3e6, 4e6}) ASSERT_TRUE(g->SetGenFManual(f));
  // A group cut back by the board's buffer: the next direct setting must still use the other
  // register.
  std::vector<double> f;
  for (int k = 0; k < 40; ++k) f.push_back(1e6 + k * 1e3);
  FrequencyBatch b;
  ASSERT_TRUE(g->MyBigCmdCreate(f, b));
  ASSERT_LT(b.count, 40);
  ASSERT_TRUE(g->StoreBatch(b));
  ASSERT_TRUE(proto_.BigCmd2_Exec());
  ASSERT_TRUE(g->SetGenFManual(f[static_cast<size_t>(b.count)]));
  ASSERT_TRUE(g->SetGenFManual(5e6));
  int glitches = -1;
  hw_.InspectSpiChip(0, [&](const sim::ISpiChipModel* m) { glitches = m->Glitches(); });
  EXPECT_EQ(glitches, 0);
  EXPECT_NEAR(Out().hz, 5e6, 0.1);
}

TEST_F(SpiGenBoardTest, Adf4351DirectSettingWritesDividerThenR0AndFixedSlotRuns) {
  auto g = Start("adf4351", 7);
  ASSERT_TRUE(g->InitAllGens(100e6));
  int divider = 0;
  hw_.InspectSpiChip(0, [&](const sim::ISpiChipModel* m) {
    divider = static_cast<const sim::Adf4351Model*>(m)->Divider();
  });
  EXPECT_EQ(divider, 32);
  EXPECT_NEAR(Out().hz, 100e6, 1.0);
  ASSERT_TRUE(g->SetGenFManual(1e9));  // divider 4: R4 then R0
  EXPECT_NEAR(Out().hz, 1e9, 2000.0);
  EXPECT_FALSE(g->SetGenFManual(14e9));  // would need a VCO above 4.4 GHz
  EXPECT_NEAR(Out().hz, 1e9, 2000.0);
  pty_.Stop();

  // A fixed-frequency ADF4351 on CS1 is programmed and switched on at start.
  hw_.FitSpiChip(1, sim::MakeSpiChipModel("adf4351"));
  desks_[1].m_GenRfmType = 7;
  desks_[1].RfmFixFM = 50e6;
  auto g2 = Start("rfm69", 3);
  ASSERT_TRUE(g2->InitAllGens(433e6)) << pty_.Logged();
  const sim::SourceState fixed = hw_.AllSources()[sim::kTimelineFirstSpiSource + 1];
  EXPECT_TRUE(fixed.on);
  EXPECT_NEAR(fixed.hz, 50e6, 1.0);
}

TEST_F(SpiGenBoardTest, ChipFaultsGiveTheirTextsAndLeaveThePortUsable) {
  // Rfm22 of the wrong type: the question, answered No, stops; Yes goes on and is remembered.
  auto g = Start("rfm22", 1);
  hw_.SetSpiChipFault(0, sim::SpiChipFault::kWrongType);
  notice_.SetAnswer(NoticeAnswer::kNo);
  EXPECT_FALSE(g->InitAllGens(434e6));
  ASSERT_EQ(notice_.Questions().size(), 1u);
  EXPECT_NE(notice_.Questions()[0].find("Похоже, что генератор №2 это не Rfm22/Rfm23!"),
            std::string::npos);
  EXPECT_EQ(notice_.Texts().back(), "Ошибка начальной инициализации Rfm22 / Rfm23");
  notice_.SetAnswer(NoticeAnswer::kYes);
  EXPECT_TRUE(g->InitAllGens(434e6));
  EXPECT_EQ(Settings().GetProfileInt("ODlgSpektr", "IsCheckRfm22Cfg", 1), 0);
  EXPECT_TRUE(g->InitAllGens(434e6));
  EXPECT_EQ(notice_.Questions().size(), 2u);  // not asked again
  hw_.SetSpiChipFault(0, sim::SpiChipFault::kReadBack);
  g->InitAllGens(434e6);
  EXPECT_NE(pty_.Logged().find("Ошибка, записанные регистры Rfm22 не прочлись корректно"),
            std::string::npos);
  pty_.Stop();

  auto r69 = Start("rfm69", 3);
  hw_.SetSpiChipFault(0, sim::SpiChipFault::kReadBack);
  EXPECT_FALSE(r69->InitAllGens(434e6));
  EXPECT_NE(pty_.Logged().find("Rfm69_RegOpMode=4 Old=4"), std::string::npos);
  EXPECT_EQ(notice_.Texts().back(), "Ошибка начальной инициализации Rfm69");
  EXPECT_GE(proto_.SpiOut(0), 0);  // the port still answers
  pty_.Stop();

  auto si = Start("si4463", 8);
  hw_.SetSpiChipFault(0, sim::SpiChipFault::kWrongType);
  EXPECT_FALSE(si->InitAllGens(434e6));
  EXPECT_NE(pty_.Logged().find("ЭТО НЕ si4463 !!!!!!!!!!!!! \n"), std::string::npos);
  hw_.SetSpiChipFault(0, sim::SpiChipFault::kCtsWrong);
  EXPECT_FALSE(si->InitAllGens(434e6));
  EXPECT_NE(pty_.Logged().find("при ожидании ответа получен не допустимый байт = 7F"),
            std::string::npos);
  hw_.SetSpiChipFault(0, sim::SpiChipFault::kCtsStuck);
  EXPECT_FALSE(si->InitAllGens(434e6));
  EXPECT_NE(pty_.Logged().find("тайм-аут при ожидании ответа"), std::string::npos);
  EXPECT_EQ(notice_.Texts().back(), "Ошибка начальной инициализации si4463");
  hw_.SetSpiChipFault(0, sim::SpiChipFault::kNone);
  EXPECT_TRUE(si->InitAllGens(434e6));  // the port and the chip work on
  EXPECT_NEAR(Out().hz, 434e6, 100.0);
}

}  // namespace
}  // namespace kavu

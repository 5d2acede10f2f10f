#include "board/gen_batch.h"

#include <gtest/gtest.h>

#include "board/si5351_batch.h"
#include "board/si5351_calc.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

using Bytes = std::vector<uint8_t>;

// The Si5351 swept output's batch steps, with the last written state as SetF leaves it.
class Si5351BatchOnly : public Si5351BatchSteps {
 public:
  Si5351BatchOnly(int out, double first_hz) : Si5351BatchSteps(state_, out) {
    state_.cfg.CheckAndDerive();
    std::string err;
    EXPECT_TRUE(Si5351_CalcF(state_.cfg, first_hz, out, state_.last, err));
  }

 private:
  Si5351State state_;
};

BatchTimingInputs Syn1() {
  BatchTimingInputs in;
  in.SynType = 1;
  in.ticks_per_second = 10'000'000.0 / 64;
  in.sample_period_sec = 1.0 / 20e6;
  return in;
}

FrequencyBatch Build(const BatchTimingInputs& in, std::vector<double> f, IGenBatchSteps& chip) {
  FrequencyBatch b;
  std::string err;
  EXPECT_TRUE(MyBigCmdCreate(in, f, chip, b, err)) << err;
  return b;
}

TEST(GenBatch, GoldenSingleFrequencyAndStepBytes) {
  Si5351BatchOnly chip(0, 14.0e6);
  FrequencyBatch b = Build(Syn1(), {14.0e6}, chip);
  EXPECT_EQ(b.bytes, (Bytes{0x01, 0x39, 0x80, 0x00, 0x9C, 0x86, 0x12, 0x01, 0x39, 0x01, 0xFF}));
  EXPECT_EQ(b.count, 1);
  EXPECT_EQ(b.duration_ticks, 313u + 156 + 626);

  // Mode 0 step: only the multisynth changes; 20 bytes (10 + 3 + 2 + 5) ending with the settling delay 469 ticks.
  Si5351BatchOnly chip2(2, 14.0e6);
  b = Build(Syn1(), {14.0e6, 14.1e6}, chip2);
  ASSERT_EQ(b.bytes.size(), 11u + 20);
  Si5351Regs r;
  std::string err;
  Si5351Config cfg;
  cfg.CheckAndDerive();
  ASSERT_TRUE(Si5351_CalcF(cfg, 14.1e6, 2, r, err));
  Bytes step{0xA9, 42 + 16};
  step.insert(step.end(), r.ms.begin(), r.ms.end());
  step.insert(step.end(), {0xA2, 0xB1, 0x20, 0x01, 0xD5, 0x86, 0x12, 0x01, 0x39, 0x01, 0xFF});
  EXPECT_EQ(Bytes(b.bytes.begin() + 10, b.bytes.end()), step);
  EXPECT_EQ(b.count, 2);
  EXPECT_EQ(b.duration_ticks, 313u + 156 + 626 + 469 + 626);
}

TEST(GenBatch, GeneratorOffPauseAndBridgeCodes) {
  Si5351BatchOnly chip(1, 14.0e6);
  BatchTimingInputs in = Syn1();
  in.SynType = 0;
  in.ZondN = 0x103;  // only the low byte is written
  EXPECT_EQ(Build(in, {14e6}, chip).bytes,
            (Bytes{0x01, 0x39, 0x84, 0xA2, 0x03, 0xFF, 0x00, 0x9C, 0x85, 0xA2, 0x03, 0xFD, 0x87,
                   0x86, 0x12, 0x01, 0x39, 0x03, 0xFF}));
  in.SynType = 2;
  EXPECT_EQ(Build(in, {14e6}, chip).bytes[2], 0x83);
}

TEST(GenBatch, GroupEndsBeforeModeOrHarmonicChange) {
  Si5351BatchOnly chip(0, 120e6);
  FrequencyBatch b = Build(Syn1(), {120e6, 124e6, 126e6, 127e6}, chip);
  EXPECT_EQ(b.count, 2);  // 126 MHz crosses FOut4Min = 125 MHz
  EXPECT_EQ(b.bytes.back(), 0xFF);
  Si5351BatchOnly chip2(0, 240e6);
  EXPECT_EQ(Build(Syn1(), {240e6, 249e6, 251e6}, chip2).count, 2);  // harmonic 3 above 250 MHz
}

TEST(GenBatch, BufferTruncationKeepsWholeSteps) {
  Log().SetCapture(true);
  Log().TakeCaptured();
  Si5351BatchOnly chip(0, 10e6);
  BatchTimingInputs in = Syn1();
  in.buffer_size = 11 + 20 * 3 + 5;  // room for three steps, not four
  std::vector<double> f;
  for (int k = 0; k < 14; ++k) f.push_back(10e6 + k * 1e5);
  FrequencyBatch b = Build(in, f, chip);
  EXPECT_EQ(b.count, 4);
  EXPECT_EQ(b.bytes.size(), 10u + 20 * 3 + 1);
  EXPECT_EQ(b.bytes.back(), 0xFF);
  const std::string log = Log().TakeCaptured();
  Log().SetCapture(false);
  EXPECT_NE(log.find("BigCmd урезана, nf=4 вместо m_Scan_FMsN = 14 PosOK=70 == 0x46\n"),
            std::string::npos)
      << log;
}

TEST(GenBatch, LongStandaloneDelaysAreSplitAndZeroBecomesOne) {
  Si5351BatchOnly chip(0, 10e6);
  BatchTimingInputs in = Syn1();
  in.sample_period_sec = 1.0 / 8000;  // 2048 samples = 0.256 s = 40000 ticks
  FrequencyBatch b = Build(in, {10e6}, chip);
  EXPECT_EQ(Bytes(b.bytes.begin(), b.bytes.begin() + 5), (Bytes{0x7F, 0xFF, 0x1C, 0x41, 0x80}));
  EXPECT_EQ(b.duration_ticks, 40000u + 156 + 626);

  in = Syn1();
  in.ticks_per_second = 400;  // 1 ms is 0.4 ticks
  in.TZond10 = 630;           // 25.2 ticks
  b = Build(in, {10e6}, chip);
  EXPECT_EQ(b.bytes, (Bytes{0x00, 0x19, 0x80, 0x00, 0x01, 0x86, 0x12, 0x00, 0x19, 0x01, 0xFF}));

  Bytes d;
  EXPECT_EQ(AppendDelayTicks(32767 * 2 + 1, d), 65535u);
  EXPECT_EQ(d, (Bytes{0x7F, 0xFF, 0x7F, 0xFF, 0x00, 0x01}));
}

TEST(GenBatch, ProbingDelayOutsideFifteenBitsRefusesTheBatch) {
  Si5351BatchOnly chip(0, 10e6);
  for (double rate : {10'000'000.0, 1000.0, 0.0, -5.0}) {
    BatchTimingInputs in = Syn1();
    in.ticks_per_second = rate;  // 2 ms = 20000 ticks fits; 63 ms does not; 0.1 ms at 1 kHz is 0
    in.TZond10 = rate == 1000.0 ? 1 : 630;
    Log().SetCapture(true);
    Log().TakeCaptured();
    FrequencyBatch b;
    std::string err;
    EXPECT_FALSE(MyBigCmdCreate(in, std::vector<double>{10e6, 11e6}, chip, b, err)) << rate;
    const std::string log = Log().TakeCaptured();
    Log().SetCapture(false);
    EXPECT_TRUE(b.bytes.empty());
    if (rate > 0) {
      EXPECT_NE(err.find("m_TZond10"), std::string::npos) << err;
      EXPECT_NE(err.find("таймер"), std::string::npos) << err;
      EXPECT_NE(log.find("CmdWrDelaySec() - ОШИБКА, задержка DelaySec="), std::string::npos);
    }
  }
  // The same timer with a short slot works.
  BatchTimingInputs ok = Syn1();
  ok.ticks_per_second = 10'000'000.0;
  EXPECT_EQ(Build(ok, {10e6}, chip).bytes[7], 0x4E);  // 20000 ticks = 4E 20
}

TEST(GenBatch, FailingCalculationRefusesAndEmptyGroupIsAnError) {
  Si5351BatchOnly chip(0, 10e3);
  FrequencyBatch b;
  std::string err;
  EXPECT_FALSE(MyBigCmdCreate(Syn1(), std::vector<double>{10e3, 1e3}, chip, b, err));
  EXPECT_NE(err.find("nf=1"), std::string::npos) << err;
  EXPECT_NE(err.find("вне возможностей Si5351"), std::string::npos) << err;
  EXPECT_FALSE(MyBigCmdCreate(Syn1(), std::vector<double>{}, chip, b, err));
}

}  // namespace
}  // namespace kavu

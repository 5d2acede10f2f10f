// The virtual bench driven through the program's real paths: the board on port 901 through the
// serial code and its protocol, the receiver through discovery, the library loader and the
// RTL-SDR back end, with the bench's private settings.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <future>
#include <numbers>
#include <span>
#include <thread>

#include "board/board_protocol.h"
#include "board/serial_port.h"
#include "board/si5351_calc.h"
#include "measure/bridge_model.h"
#include "receivers/receiver_set.h"
#include "receivers/sample_ring_reader.h"
#include "shell/settings_store.h"
#include "sim/board_peripherals.h"
#include "sim/emulated_board.h"
#include "sim/virtual_bench.h"
#include "support/temp_dir.h"

namespace kavu::sim {
namespace {

struct Host : IReceiverSetHost {
  double ReceiverFrequency() override { return 145.2e6; }
};

// Amplitude of the component at offset_hz in `n` fresh samples of the rings.
double MeasureRing(SampleRings& rings, double offset_hz, double rate, int n) {
  SampleRingReader reader(rings);
  std::vector<IqEntry> buf(static_cast<size_t>(n));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (reader.Read(buf.data(), nullptr, n) != SampleRingReader::ReadResult::kOk) {
    if (std::chrono::steady_clock::now() > deadline) return -1;
    rings.m_hDataEvent.Wait(50);
  }
  std::complex<double> acc;
  for (int k = 0; k < n; ++k) {
    acc += std::complex<double>(buf[static_cast<size_t>(k)].i, buf[static_cast<size_t>(k)].q) *
           std::polar(1.0, -2 * std::numbers::pi * offset_hz * k / rate);
  }
  return std::abs(acc) / n;
}

// Waits until the receiver's thread has looked at the board after this call; the fills that
// looked before have been delivered by then (one thread makes them in turn), so samples read
// from here on show the board as it is now. False after 10 s.
bool WaitForFreshFill(VirtualBench& bench) {
  std::atomic<bool> looked{false};
  bench.SetFillHook([&looked] { looked = true; });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!looked && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  bench.SetFillHook(nullptr);  // returns once no fill runs the hook any more
  return looked;
}

TEST(VirtualBench, TheProgramsOwnPathsReachTheBoardAndTheSimulatedReceiver) {
  test::ScopedSettings user_settings;
  Settings().WriteProfileString("ODlgSpektr", "m_SelectSdrKey", "user's own receiver");
  VirtualBench bench;
  VirtualBenchOptions options;
  options.antenna = *AntennaModel::Parse("25-30j", nullptr);
  options.impairments.gain_step_db = 0;
  std::string error;
  ASSERT_TRUE(bench.Start(options, &error)) << error;
  EXPECT_EQ(Settings().Path(), bench.SettingsPath());
  ASSERT_NE(std::getenv("KAVU_EXTRA_PORTS"), nullptr);
  EXPECT_EQ(std::string(std::getenv("KAVU_EXTRA_PORTS")).rfind(bench.LinkPath(), 0), 0u);

  // The board, as port 901.
  OSerialPort port;
  ASSERT_TRUE(port.Open(VirtualBench::kBenchPort, 115200)) << port.LastErrorText();
  OBoardProtocol board(port);
  ASSERT_TRUE(board.GetMKBufSz());
  // A board fault by name: the next command's reply is lost, the one after is answered.
  EXPECT_FALSE(bench.Set("board_fault", "no-such-fault", &error));
  EXPECT_FALSE(bench.Set("board_fault", "no-reply:zz", &error));
  // A delay is only a late reply's, and only a positive number of milliseconds.
  EXPECT_FALSE(bench.Set("board_fault", "no-reply:32:1:300", &error));
  EXPECT_FALSE(bench.Set("board_fault", "late-reply:32:1:0", &error));
  EXPECT_FALSE(bench.Set("board_fault", "late-reply:32:1:3s", &error));
  EXPECT_FALSE(bench.Set("board_fault", "late-reply:32:1:", &error));
  EXPECT_NE(error.find("[:МС]"), std::string::npos) << error;
  ASSERT_TRUE(bench.Set("board_fault", "no-reply", &error)) << error;
  EXPECT_FALSE(board.SetCS(8, 231));
  Si5351Config cfg;
  cfg.CheckAndDerive();
  Si5351Regs regs;
  ASSERT_TRUE(Si5351_CalcF(cfg, 145e6, 0, regs, error)) << error;
  ASSERT_EQ(board.I2cBlockWrite(26, regs.pll.data(), 8), 0);
  ASSERT_EQ(board.I2cBlockWrite(42, regs.ms.data(), 8), 0);
  ASSERT_EQ(board.I2cRegWrite(16, regs.clk_control), 0);
  ASSERT_EQ(board.I2cRegWrite(3, 0xFE), 0);
  EXPECT_NEAR(bench.Peripherals().Si5351Out(0).hz, 145e6, 20);
  ASSERT_TRUE(board.SetCS(8, 231));  // bridge: reference
  EXPECT_EQ(bench.Peripherals().Bridge(), BridgeState::kReference);

  // The receiver, found and chosen by the program's discovery from the bench's settings.
  SampleRings rings(1 << 22);  // 1.7 s: a reader held up on a slow host is not lapped
  Host host;
  {
    ReceiverSet set(rings, host);
    set.LoadSettings();
    set.Discover();
    ASSERT_EQ(set.AutoSelect(), 1) << set.Status().text;
    ASSERT_EQ(set.Rtl().Status(), 2) << set.Rtl().ErrorText();
    const double rate = set.ActiveSampleRate();
    // The chip's own frequency, gen_ppm off the receiver's crystal.
    const double offset =
        bench.Peripherals().Si5351Out(0).hz * (1 + options.impairments.gen_ppm * 1e-6) - 145.2e6;
    const double o_level = MeasureRing(rings, offset, rate, 1 << 16);
    EXPECT_NEAR(o_level, options.impairments.ref_lsb, 0.02 * options.impairments.ref_lsb);

    ASSERT_TRUE(board.SetCS(16, 231));  // bridge: antenna
    ASSERT_TRUE(WaitForFreshFill(bench));
    const double a_level = MeasureRing(rings, offset, rate, 1 << 16);
    const double rho = std::abs(ExpectedRatio(BridgeSettings{}, {25, -30}, 145e6));
    EXPECT_NEAR(a_level / o_level, rho, 0.01);
    // The receiver unplugged by name: its stream ends with the library's error.
    ASSERT_TRUE(bench.Set("rx_fault", "1", &error)) << error;
    for (int i = 0; i < 500 && set.Rtl().Status() == 2; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(set.Rtl().Status(), 1);
    EXPECT_EQ(set.StatusTextRtl().rfind("Ошибка rtlsdr_read_async ", 0), 0u);
    set.Shutdown();
  }
  port.Close();
  const auto log = bench.ReceiverLog();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front(), "open");
  EXPECT_EQ(log.back(), "close");
  test::TempDir evidence;
  EXPECT_TRUE(bench.WriteEvidence(evidence.Path()));
  EXPECT_NE(test::ReadFile(evidence.File("receiver.log")).find("open"), std::string::npos);
  EXPECT_FALSE(test::ReadFile(evidence.File("board-commands.log")).empty());
  bench.Stop();
  // The user's settings were never touched and are in use again.
  EXPECT_EQ(Settings().Path(), user_settings.Path());
  EXPECT_EQ(Settings().GetProfileString("ODlgSpektr", "m_SelectSdrKey", ""), "user's own receiver");
}

}  // namespace
}  // namespace kavu::sim

namespace kavu::sim {
namespace {

// Envelope of the tone at offset_hz over consecutive windows of `w` samples.
std::vector<double> Envelope(const std::vector<IqEntry>& s, double offset_hz, double rate, size_t w) {
  std::vector<double> env;
  for (size_t start = 0; start + w <= s.size(); start += w) {
    std::complex<double> acc;
    for (size_t k = start; k < start + w; ++k) {
      acc += std::complex<double>(s[k].i, s[k].q) *
             std::polar(1.0, -2 * std::numbers::pi * offset_hz * static_cast<double>(k) / rate);
    }
    env.push_back(std::abs(acc) / static_cast<double>(w));
  }
  return env;
}

// Classifies each envelope window: R reference, A antenna, 0 off, '?' else, and returns the
// sequence of slots (runs of two windows or more of one class; `lengths` their windows). A window
// across an edge can take any level between its neighbours' (off to antenna, 1.54 × the
// reference, passes the reference level), so a lone window is not a slot.
std::string SlotPattern(const std::vector<double>& env, double ref, double ant, std::vector<size_t>* lengths) {
  std::string classes;
  for (double e : env) {
    char c = '?';
    if (std::abs(e - ref) < 0.03 * ref) c = 'R';
    else if (std::abs(e - ant) < 0.03 * ant) c = 'A';
    else if (e < 2) c = '0';
    classes.push_back(c);
  }
  std::string runs;
  for (size_t i = 0; i < classes.size();) {
    size_t j = i;
    while (j < classes.size() && classes[j] == classes[i]) ++j;
    if (classes[i] != '?' && j - i >= 2) {
      if (runs.empty() || runs.back() != classes[i]) {
        runs.push_back(classes[i]);
        if (lengths) lengths->push_back(0);
      }
      if (lengths) lengths->back() += j - i;
    }
    i = j;
  }
  return runs;
}

// Through the board's protocol: the Si5351's CLK0 on 145 MHz, the bridge in the reference position.
bool ToneOnReference(OBoardProtocol& board, std::string* error) {
  Si5351Config cfg;
  cfg.CheckAndDerive();
  Si5351Regs regs;
  if (!Si5351_CalcF(cfg, 145e6, 0, regs, *error)) return false;
  const bool ok = board.I2cBlockWrite(26, regs.pll.data(), 8) == 0 && board.I2cBlockWrite(42, regs.ms.data(), 8) == 0 &&
                  board.I2cRegWrite(16, regs.clk_control) == 0 && board.I2cRegWrite(3, 0xFE) == 0 &&
                  board.SetCS(8, 231);
  if (!ok) *error = "the board did not take the generator's or the bridge's setting";
  return ok;
}

// A bench with a 150 + j75 ohm antenna, the Si5351's CLK0 on 145 MHz and the bridge in the
// reference position, the program's receiver set streaming from it.
class BenchOnReference : public ::testing::Test {
 protected:
  void SetUp() override {
    options_.antenna = *AntennaModel::Parse("150+75j", nullptr);
    options_.impairments.gain_step_db = 0;
    std::string error;
    ASSERT_TRUE(bench_.Start(options_, &error)) << error;
    ASSERT_TRUE(port_.Open(VirtualBench::kBenchPort, 115200)) << port_.LastErrorText();
    ASSERT_TRUE(ToneOnReference(board_, &error)) << error;
    set_.LoadSettings();
    set_.Discover();
    ASSERT_EQ(set_.AutoSelect(), 1) << set_.Status().text;
    rate_ = set_.ActiveSampleRate();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  void TearDown() override {
    bench_.SetFillHook(nullptr);
    set_.Shutdown();
    port_.Close();
    bench_.Stop();
  }

  // Runs `batch` and classifies everything received from just before the command until 0.1 s
  // after the run's reply (the reply comes when the run has ended; 0.1 s later everything the run
  // did is in the ring, however late the receiver's thread was scheduled). Reading from the
  // command on keeps the stretch far shorter than the ring on a slow host. The slot pattern (see
  // SlotPattern).
  std::string RunAndClassify(std::span<const uint8_t> batch, std::vector<size_t>* lengths) {
    reader_ = std::make_unique<SampleRingReader>(rings_);  // from the samples now being written
    if (!board_.BigCmd2(batch.data(), static_cast<int>(batch.size()), true)) {
      ADD_FAILURE() << "the run was not confirmed";
      return "";
    }
    const uint64_t at_reply = reader_->Available();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (reader_->Available() < at_reply + static_cast<uint64_t>(0.1 * rate_)) {
      if (std::chrono::steady_clock::now() > deadline) {
        ADD_FAILURE() << "the receiver stopped delivering";
        return "";
      }
      rings_.m_hDataEvent.Wait(50);
    }
    std::vector<IqEntry> samples(reader_->Available());
    if (reader_->Read(samples.data(), nullptr, static_cast<int32_t>(samples.size())) !=
        SampleRingReader::ReadResult::kOk) {
      ADD_FAILURE() << "the samples could not be read";
      return "";
    }
    const double offset =
        bench_.Peripherals().Si5351Out(0).hz * (1 + options_.impairments.gen_ppm * 1e-6) - 145.2e6;
    const double ref = options_.impairments.ref_lsb;
    const double ant = ref * std::abs(ExpectedRatio(BridgeSettings{}, {150, 75}, 145e6));
    return SlotPattern(Envelope(samples, offset, rate_, 480), ref, ant, lengths);  // 0.2 ms windows
  }

  test::ScopedSettings user_settings_;
  VirtualBenchOptions options_;
  VirtualBench bench_;
  OSerialPort port_;
  OBoardProtocol board_{port_};
  SampleRings rings_{1 << 23};
  Host host_;
  ReceiverSet set_{rings_, host_};
  double rate_ = 0;
  std::unique_ptr<SampleRingReader> reader_;
};

TEST_F(BenchOnReference, ABatchRunShapesTheReceivedSignalOnTheSharedClock) {
  // 1000 ticks (6.4 ms) reference, bridge off for 1000 ticks, then two pairs of antenna and
  // reference slots of 1000 ticks each; the bridge rests in the reference position afterwards.
  const uint8_t batch[] = {0x03, 0xE8, 0x80, 0x03, 0xE8, 0x87, 0x86, 0x12, 0x03, 0xE8, 0x02, 0xFF};
  std::vector<size_t> lengths;
  const std::string runs = RunAndClassify(batch, &lengths);
  EXPECT_EQ(runs, "R0ARAR") << "envelope pattern";
  // The pause and the slots last 1000 ticks of 6.4 us: 6.4 ms, 32 windows (± 2 for the edges).
  for (size_t i = 1; i + 1 < runs.size() && runs.size() == 6; ++i) {
    EXPECT_NEAR(static_cast<double>(lengths[i]), 32.0, 2.0) << "run " << i << " (" << runs[i] << ")";
  }
  EXPECT_EQ(bench_.Peripherals().Timelines().size(), 1u);
}

// The receiver's thread makes samples some time after they were due. A run the board plays
// meanwhile starts after those samples: they keep the state before it, never the state the run
// leaves behind, and the run's own slots follow in full.
TEST_F(BenchOnReference, ARunPlayedWhileSamplesAreMadeStartsAfterThem) {
  // The next fill waits, after its look at the board, until the run below has been played. The
  // hook owns what it uses: fills go on after this body has returned, until TearDown removes it.
  auto in_fill = std::make_shared<std::promise<void>>();
  auto armed = std::make_shared<std::atomic<bool>>(true);
  const size_t runs_before = bench_.Peripherals().RunCount();
  BoardPeripherals& peripherals = bench_.Peripherals();
  bench_.SetFillHook([in_fill, armed, runs_before, &peripherals] {
    if (!armed->exchange(false)) return;
    in_fill->set_value();
    peripherals.WaitForRuns(runs_before + 1, 5000);
  });
  ASSERT_EQ(in_fill->get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
  // 1000 ticks (6.4 ms) more of the reference, then the bridge off until the run ends: the state
  // it leaves behind (off) differs from the state before it (reference). An off stretch before
  // the run's reference slot would be the run's end shown early.
  const uint8_t batch[] = {0x03, 0xE8, 0x80, 0x03, 0xE8, 0xFF};
  EXPECT_EQ(RunAndClassify(batch, nullptr), "R0");
}

}  // namespace
}  // namespace kavu::sim

namespace kavu::sim {
namespace {

// The bench as a HackRF: its settings choose the simulated HackRF library, the program opens
// the board by itself, and the reference tone arrives at the level the bench is set to, as it
// does through the RTL-SDR; an unknown receiver kind is refused before anything starts.
TEST(VirtualBench, AsAHackRfTheProgramOpensItAndHearsTheSameLevel) {
  test::ScopedSettings user_settings;
  VirtualBench bench;
  VirtualBenchOptions options;
  options.antenna = *AntennaModel::Parse("50", nullptr);
  options.impairments.gain_step_db = 0;
  options.rx = "nope";
  std::string error;
  EXPECT_FALSE(bench.Start(options, &error));
  EXPECT_EQ(error,
            "rx: неизвестный приёмник 'nope', ожидалось rtlsdr hackrf extio-int16 extio-float extio-uchar rsp1 rsp1a "
            "rsp2 rspduo rspduo-dual rspdx");
  EXPECT_EQ(Settings().Path(), user_settings.Path());
  options.rx = "hackrf";
  ASSERT_TRUE(bench.Start(options, &error)) << error;
  OSerialPort port;
  ASSERT_TRUE(port.Open(VirtualBench::kBenchPort, 115200)) << port.LastErrorText();
  OBoardProtocol board(port);
  Si5351Config cfg;
  cfg.CheckAndDerive();
  Si5351Regs regs;
  ASSERT_TRUE(Si5351_CalcF(cfg, 145e6, 0, regs, error)) << error;
  ASSERT_EQ(board.I2cBlockWrite(26, regs.pll.data(), 8), 0);
  ASSERT_EQ(board.I2cBlockWrite(42, regs.ms.data(), 8), 0);
  ASSERT_EQ(board.I2cRegWrite(16, regs.clk_control), 0);
  ASSERT_EQ(board.I2cRegWrite(3, 0xFE), 0);
  ASSERT_TRUE(board.SetCS(8, 231));  // bridge: reference
  SampleRings rings(1 << 22);
  Host host;
  {
    ReceiverSet set(rings, host);
    set.LoadSettings();
    set.Discover();
    const int chosen = set.AutoSelect();
    ASSERT_GE(chosen, 0) << set.Status().text;
    EXPECT_EQ(set.Entries()[static_cast<size_t>(chosen)].text, "HackRf 00000000000000004b41565542454e31");
    ASSERT_EQ(set.HackRf().Status(), 3) << set.HackRf().ErrorText();
    EXPECT_DOUBLE_EQ(set.Levels().gain_db, 0.0);
    const double rate = set.ActiveSampleRate();
    EXPECT_EQ(rate, 10e6);
    const double offset =
        bench.Peripherals().Si5351Out(0).hz * (1 + options.impairments.gen_ppm * 1e-6) - 145.2e6;
    EXPECT_NEAR(MeasureRing(rings, offset, rate, 1 << 17), options.impairments.ref_lsb,
                0.02 * options.impairments.ref_lsb);
    set.Shutdown();
  }
  port.Close();
  const auto log = bench.ReceiverLog();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front(), "init");
  EXPECT_EQ(log.back(), "exit");
  bench.Stop();
  EXPECT_EQ(Settings().Path(), user_settings.Path());
}

// The bench as an RSPduo running both tuners: the program opens it in dual-tuner mode by
// itself; input A hears the bridge and input B the generator ahead of it, so B keeps its level
// in both bridge positions while A follows the load. Both at 16 bits (256 units per 8-bit LSB).
TEST(VirtualBench, AsAnRspDuoWithBothTunersInputBHearsTheGenerator) {
  test::ScopedSettings user_settings;
  VirtualBench bench;
  VirtualBenchOptions options;
  options.antenna = *AntennaModel::Parse("25-30j", nullptr);
  options.impairments.gain_step_db = 0;
  options.rx = "rspduo-dual";
  std::string error;
  ASSERT_TRUE(bench.Start(options, &error)) << error;
  OSerialPort port;
  ASSERT_TRUE(port.Open(VirtualBench::kBenchPort, 115200)) << port.LastErrorText();
  OBoardProtocol board(port);
  Si5351Config cfg;
  cfg.CheckAndDerive();
  Si5351Regs regs;
  ASSERT_TRUE(Si5351_CalcF(cfg, 145e6, 0, regs, error)) << error;
  ASSERT_EQ(board.I2cBlockWrite(26, regs.pll.data(), 8), 0);
  ASSERT_EQ(board.I2cBlockWrite(42, regs.ms.data(), 8), 0);
  ASSERT_EQ(board.I2cRegWrite(16, regs.clk_control), 0);
  ASSERT_EQ(board.I2cRegWrite(3, 0xFE), 0);
  ASSERT_TRUE(board.SetCS(8, 231));  // bridge: reference
  SampleRings rings(1 << 22);
  Host host;
  {
    ReceiverSet set(rings, host);
    set.LoadSettings();
    set.Discover();
    const int chosen = set.AutoSelect();
    ASSERT_GE(chosen, 0) << set.Status().text;
    EXPECT_EQ(set.Entries()[static_cast<size_t>(chosen)].text, "RSPduo_1003RSPDUO AB dual");
    ASSERT_EQ(set.SdrPlay().Status(), 100) << set.SdrPlay().ErrorText();
    EXPECT_TRUE(set.Levels().duo);
    const double rate = set.ActiveSampleRate();
    EXPECT_EQ(rate, 2e6);
    const double offset =
        bench.Peripherals().Si5351Out(0).hz * (1 + options.impairments.gen_ppm * 1e-6) - 145.2e6;
    const auto measure = [&](std::complex<double>* a, std::complex<double>* b) {
      SampleRingReader reader(rings);
      const int n = 1 << 16;
      std::vector<IqEntry> ba(static_cast<size_t>(n)), bb(static_cast<size_t>(n));
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      while (reader.Read(ba.data(), bb.data(), n) != SampleRingReader::ReadResult::kOk) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        rings.m_hDataEvent.Wait(50);
      }
      *a = *b = 0;
      for (int k = 0; k < n; ++k) {
        const std::complex<double> r = std::polar(1.0, -2 * std::numbers::pi * offset * k / rate);
        const size_t i = static_cast<size_t>(k);
        *a += std::complex<double>(ba[i].i, ba[i].q) * r;
        *b += std::complex<double>(bb[i].i, bb[i].q) * r;
      }
      *a /= n;
      *b /= n;
      return true;
    };
    // The simulated gain model: 101 dB (the RSPduo) − gRdB 40 − 3 dB per GHz; unity at 61 dB.
    const double lsb = 256 * options.impairments.ref_lsb * std::pow(10.0, (set.Levels().gain_db - 61.0) / 20.0);
    EXPECT_NEAR(set.Levels().gain_db, 61.0 - 3.0 * 0.1452, 0.01);
    std::complex<double> ra, rb, aa, ab;
    ASSERT_TRUE(WaitForFreshFill(bench));
    ASSERT_TRUE(measure(&ra, &rb));
    EXPECT_NEAR(std::abs(ra), lsb, 0.03 * lsb);
    EXPECT_NEAR(std::abs(rb), lsb, 0.03 * lsb);
    ASSERT_TRUE(board.SetCS(16, 231));  // bridge: antenna
    ASSERT_TRUE(WaitForFreshFill(bench));
    ASSERT_TRUE(measure(&aa, &ab));
    EXPECT_NEAR(std::abs(ab), lsb, 0.03 * lsb) << "input B does not see the bridge";
    const double rho = std::abs(ExpectedRatio(BridgeSettings{}, {25, -30}, 145e6));
    // Against input B, the generator's own phase walk drops out of the ratio.
    EXPECT_NEAR(std::abs((aa / ab) / (ra / rb)), rho, 0.01);
    set.Shutdown();
  }
  port.Close();
  bench.Stop();
  EXPECT_EQ(Settings().Path(), user_settings.Path());
}

}  // namespace
}  // namespace kavu::sim

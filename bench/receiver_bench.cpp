// Receiver-side benchmark: what one second of a 2.4 MS/s stream costs on its way in.
//   sim_signal_x_realtime_2400k   the bench's signal (one Si5351 output with its harmonics in
//                                 band, noise, quantisation) generated this many times faster
//                                 than real time; below 1 the bench cannot keep up
//   ring_deliver_ns_per_sample    the RTL-SDR sink converting 8-bit I/Q into the ring
//   ring_deliver_x_memcpy         that time ÷ copying the same bytes with memcpy (the anchor;
//                                 the ring receives four times as many bytes as it is given)
//   sim_signal_x_realtime_20m     the bench's signal in the HackRF's format (signed 8-bit) at
//                                 20 MS/s, this many times faster than real time
//   ring_deliver_s8_ns_per_sample the HackRF sink converting signed 8-bit I/Q into the ring,
//                                 whole 262,144-byte transfers
//   ring_deliver_s8_memcpy_ns_per_sample  the anchor: memcpy of the same bytes, per sample
//   ring_deliver_i16_ns_per_sample  the SDRplay single-tuner sink: separate 16-bit I and Q
//                                 arrays into the ring, blocks of 2016 samples (the target: at
//                                 most 5, so a 10 MS/s stream costs at most 5 % of a core)
//   ring_deliver_dual_ns_per_pair the SDRplay dual-tuner sinks: tuner A's block staged, tuner
//                                 B's then written into both rings, per pair (target: at most 5)
//   ring_deliver_i16_memcpy_ns_per_sample  the anchor: memcpy of the block's 4 bytes a sample
#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <vector>

#include "bench_registry.h"
#include "receivers/sample_rings.h"
#include "sim/bench_signal.h"

namespace kavu::bench {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

struct OneTone : sim::IBenchState {
  sim::TimelineState StateAt(int64_t, int64_t* next) const override {
    *next = std::numeric_limits<int64_t>::max();
    sim::TimelineState st;
    st.sources[0] = {145e6, true};
    st.bridge = sim::BridgeState::kAntenna;
    return st;
  }
};

void SimSignal() {
  const double rate = 2'400'000.0;
  sim::BenchSignal signal(sim::BenchImpairments{}, *sim::AntennaModel::Parse("25-30j", nullptr));
  signal.Configure(rate, 145.2e6, 0, 0);
  OneTone state;
  std::vector<uint8_t> buf(1 << 14);
  const uint64_t samples = static_cast<uint64_t>(rate);
  const auto t0 = Clock::now();
  for (uint64_t first = 0; first < samples; first += buf.size() / 2) {
    signal.Fill(state, sim::SampleTimeBase{rate, 0, 0}, first, buf.data(), static_cast<uint32_t>(buf.size()));
  }
  BenchPrint("sim_signal_x_realtime_2400k", 1.0 / Seconds(t0, Clock::now()));
}

void RingDelivery() {
  SampleRings rings(SampleRings::kProgramCapacity);
  std::vector<uint8_t> block(1 << 14);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(100 + i % 50);
  std::vector<uint8_t> copy(SampleRings::kProgramCapacity * 2);
  const int blocks = 2 * SampleRings::kProgramCapacity / static_cast<int>(block.size());
  // One pass first, so the ring's pages are in place as they are during a scan.
  for (int b = 0; b < blocks; ++b) rings.DeliverU8(block.data(), static_cast<uint32_t>(block.size()));
  std::memset(copy.data(), 0, copy.size());
  auto t0 = Clock::now();
  for (int b = 0; b < blocks; ++b) rings.DeliverU8(block.data(), static_cast<uint32_t>(block.size()));
  const double ours = Seconds(t0, Clock::now());
  t0 = Clock::now();
  for (int b = 0; b < blocks; ++b) {
    std::memcpy(copy.data() + static_cast<size_t>(b) * block.size(), block.data(), block.size());
  }
  const double anchor = Seconds(t0, Clock::now());
  const double n = static_cast<double>(blocks) * block.size() / 2;
  BenchPrint("ring_deliver_ns_per_sample", ours / n * 1e9);
  BenchPrint("ring_deliver_x_memcpy", ours / anchor);
}

void SimSignal20m() {
  const double rate = 20'000'000.0;
  sim::BenchSignal signal(sim::BenchImpairments{}, *sim::AntennaModel::Parse("25-30j", nullptr));
  signal.Configure(rate, 145.2e6, 0, 0);
  OneTone state;
  const uint32_t pairs = 262'144 / 2;  // one HackRF transfer
  std::vector<int8_t> buf(2 * pairs);
  const uint64_t samples = static_cast<uint64_t>(rate) / 2;  // half a second of stream
  const auto t0 = Clock::now();
  for (uint64_t first = 0; first < samples; first += pairs) {
    signal.FillFormat(state, sim::SampleTimeBase{rate, 0, 0}, first, kKavuSimS8, buf.data(), pairs);
  }
  BenchPrint("sim_signal_x_realtime_20m", 0.5 / Seconds(t0, Clock::now()));
}

void RingDeliveryS8() {
  SampleRings rings(SampleRings::kProgramCapacity);
  std::vector<int8_t> block(262'144);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<int8_t>(static_cast<int>(i % 50) - 25);
  std::vector<uint8_t> copy(SampleRings::kProgramCapacity * 2);
  const int blocks = 2 * SampleRings::kProgramCapacity / static_cast<int>(block.size());
  for (int b = 0; b < blocks; ++b) rings.DeliverS8(block.data(), static_cast<uint32_t>(block.size()));
  std::memset(copy.data(), 0, copy.size());
  double ours = std::numeric_limits<double>::max(), anchor = std::numeric_limits<double>::max();
  // The best of three passes each: the figure of the code, not of a neighbour's burst.
  for (int pass = 0; pass < 3; ++pass) {
    auto t0 = Clock::now();
    for (int b = 0; b < blocks; ++b) rings.DeliverS8(block.data(), static_cast<uint32_t>(block.size()));
    ours = std::min(ours, Seconds(t0, Clock::now()));
    t0 = Clock::now();
    for (int b = 0; b < blocks; ++b) {
      std::memcpy(copy.data() + static_cast<size_t>(b) * block.size(), block.data(), block.size());
    }
    anchor = std::min(anchor, Seconds(t0, Clock::now()));
  }
  const double n = static_cast<double>(blocks) * block.size() / 2;
  BenchPrint("ring_deliver_s8_ns_per_sample", ours / n * 1e9);
  BenchPrint("ring_deliver_s8_memcpy_ns_per_sample", anchor / n * 1e9);
}

void RingDeliveryI16() {
  SampleRings rings(SampleRings::kProgramCapacity);
  constexpr uint32_t kBlock = 2016;
  std::vector<int16_t> xi(kBlock), xq(kBlock), yi(kBlock), yq(kBlock);
  for (uint32_t k = 0; k < kBlock; ++k) {
    xi[k] = static_cast<int16_t>(4 * (k % 500));
    xq[k] = static_cast<int16_t>(-xi[k]);
    yi[k] = static_cast<int16_t>(xi[k] / 2);
    yq[k] = xi[k];
  }
  std::vector<int16_t> copy(static_cast<size_t>(SampleRings::kProgramCapacity) * 2);
  const int blocks = SampleRings::kProgramCapacity / static_cast<int>(kBlock);
  // One pass of each first, so both rings' pages are in place as they are during a scan.
  for (int b = 0; b < blocks; ++b) {
    rings.StageA(xi.data(), xq.data(), kBlock);
    rings.DeliverDualB(yi.data(), yq.data(), kBlock);
  }
  std::memset(copy.data(), 0, copy.size() * sizeof(int16_t));
  double single = std::numeric_limits<double>::max(), dual = single, anchor = single;
  for (int pass = 0; pass < 3; ++pass) {
    auto t0 = Clock::now();
    for (int b = 0; b < blocks; ++b) rings.DeliverI16(xi.data(), xq.data(), kBlock);
    single = std::min(single, Seconds(t0, Clock::now()));
    t0 = Clock::now();
    for (int b = 0; b < blocks; ++b) {
      rings.StageA(xi.data(), xq.data(), kBlock);
      rings.DeliverDualB(yi.data(), yq.data(), kBlock);
    }
    dual = std::min(dual, Seconds(t0, Clock::now()));
    t0 = Clock::now();
    for (int b = 0; b < blocks; ++b) {
      int16_t* to = copy.data() + static_cast<size_t>(b) * 2 * kBlock;
      std::memcpy(to, xi.data(), kBlock * sizeof(int16_t));
      std::memcpy(to + kBlock, xq.data(), kBlock * sizeof(int16_t));
    }
    anchor = std::min(anchor, Seconds(t0, Clock::now()));
  }
  const double n = static_cast<double>(blocks) * kBlock;
  BenchPrint("ring_deliver_i16_ns_per_sample", single / n * 1e9);
  BenchPrint("ring_deliver_dual_ns_per_pair", dual / n * 1e9);
  BenchPrint("ring_deliver_i16_memcpy_ns_per_sample", anchor / n * 1e9);
}

const BenchRegistrar sim_signal("sim_signal", SimSignal);
const BenchRegistrar ring_delivery_i16("ring_deliver_i16", RingDeliveryI16);
const BenchRegistrar sim_signal_20m("sim_signal_20m", SimSignal20m);
const BenchRegistrar ring_delivery_s8("ring_deliver_s8", RingDeliveryS8);
const BenchRegistrar ring_delivery("ring_deliver", RingDelivery);

}  // namespace
}  // namespace kavu::bench

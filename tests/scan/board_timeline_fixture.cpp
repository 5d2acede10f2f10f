#include "board_timeline_fixture.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace kavu::test {
namespace {

enum class Node { kSilent, kO, kA };

struct Segment {
  int64_t begin;  // first sample
  Node node;
  int freq;
};

}  // namespace

Timeline MakeGroupTimeline(const TimelineSpec& s) {
  const SampleRatePlan& plan = *s.plan;
  const double r = plan.SampleRateUsed();
  const double Tz = plan.Slot(), T1 = plan.Pause();
  const int N = plan.ZondN();
  std::vector<Segment> segs;
  double t = 0;  // seconds since the recording started
  const auto at = [&](double time) { return static_cast<int64_t>(std::ceil(time * r - 1e-9)); };
  const auto add = [&](double len, Node node, int freq) {
    segs.push_back({at(t), node, freq});
    t += len;
  };
  add(s.leadIn / r, Node::kO, 0);
  add(std::max(Tz, 2048 / r), Node::kO, 0);
  Timeline out;
  out.pauseStart = at(t);
  add(T1, Node::kSilent, 0);
  for (int k = 0; k < static_cast<int>(s.freqs.size()); ++k) {
    if (k > 0) add(T1 + Tz, Node::kO, k);
    for (int j = 0; j < N; ++j) {
      add(Tz, Node::kA, k);
      add(Tz, Node::kO, k);
    }
  }
  add(0.02, Node::kO, static_cast<int>(s.freqs.size()) - 1);
  const int64_t total = (at(t) / 1024 + 2) * 1024;
  segs.push_back({total, Node::kO, 0});

  std::mt19937_64 gen(s.seed);
  std::normal_distribution<double> nd;
  std::uniform_real_distribution<double> ud(-std::numbers::pi, std::numbers::pi);
  std::vector<double> theta(s.freqs.size());
  for (auto& v : theta) v = ud(gen);
  // Noise power per complex sample so that the band m_PolosaFM holds 1/SNR of the tone's power.
  const double noise = s.amplitude * std::sqrt(std::pow(10.0, -s.inBandSnrDb / 10) * r / plan.Inputs().polosaFM);
  const double sigma = noise / std::sqrt(2.0);
  out.a.resize(static_cast<size_t>(total));
  if (s.duo) out.b.resize(static_cast<size_t>(total));
  size_t seg = 0;
  for (int64_t n = 0; n < total; ++n) {
    while (segs[seg + 1].begin <= n) ++seg;
    const Segment& g = segs[seg];
    const double time = n / r;
    std::complex<double> o(0, 0);
    if (g.node != Node::kSilent) {
      const double df = s.freqs[static_cast<size_t>(g.freq)] * (1 + s.ppm * 1e-6) - s.tuningHz;
      const double wander = s.wanderRad * (std::sin(2 * std::numbers::pi * 5 * time + 0.3) +
                                           0.5 * std::sin(2 * std::numbers::pi * 2 * time));
      const double ph = std::fmod(2 * std::numbers::pi * df * time, 2 * std::numbers::pi) +
                        theta[static_cast<size_t>(g.freq)] + wander;
      o = std::polar(s.amplitude, ph);
    }
    const std::complex<double> x = g.node == Node::kA ? o * s.rho[static_cast<size_t>(g.freq)] : o;
    out.a[static_cast<size_t>(n)] = x + s.dc + std::complex<double>(sigma * nd(gen), sigma * nd(gen));
    if (s.duo) {
      out.b[static_cast<size_t>(n)] = o * s.duoGain + s.dc + std::complex<double>(sigma * nd(gen), sigma * nd(gen));
    }
  }
  return out;
}

}  // namespace kavu::test

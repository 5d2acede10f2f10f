#include "scan/sample_loop.h"

#include <algorithm>
#include <cmath>

#include "shell/log_console.h"
#include "platform/steady_clock.h"

namespace kavu {
namespace {
static_assert(sizeof(IqEntry) == 2 * sizeof(float), "IqEntry must be an I/Q float pair");

const float* Floats(const IqEntry* e) { return &e->i; }

void RaiseTo(std::atomic<float>& peak, float v) {
  float old = peak.load();
  while (v > old && !peak.compare_exchange_weak(old, v)) {
  }
}
}  // namespace

SampleLoop::SampleLoop(SampleRings& rings, LoopCounters& counters, IScanBlockSink& sink, LiveSpectrum* spectrum)
    : rings_(rings),
      counters_(counters),
      sink_(sink),
      spectrum_(spectrum),
      reader_(rings),
      a_(new IqEntry[kBlock]()),
      b_(new IqEntry[kBlock]()),
      prevA_(new IqEntry[kBlock]()),
      prevB_(new IqEntry[kBlock]()) {}

SampleLoop::~SampleLoop() { Stop(); }

void SampleLoop::Start() {
  if (thread_.joinable()) return;
  stop_ = false;
  reader_.SyncToWriter();
  rateStartNs_ = SteadyNowNs();
  thread_ = std::thread([this] { Run(); });
}

void SampleLoop::Stop() {
  if (!thread_.joinable()) return;
  stop_ = true;
  rings_.m_hDataEvent.Signal();
  thread_.join();
}

void SampleLoop::Run() {
  while (!stop_.load()) {
    // A short wait lets Stop() end the thread even when no data comes.
    rings_.m_hDataEvent.Wait(100);
    ConsumeRing();
  }
}

float SampleLoop::Peak(const IqEntry* e, int n) {
  float m = 0;
  for (int k = 0; k < n; ++k) m = std::max(m, std::max(std::fabs(e[k].i), std::fabs(e[k].q)));
  return m;
}

void SampleLoop::ConsumeRing() {
  while (!stop_.load() && reader_.Available() >= static_cast<uint64_t>(kBlock)) {
    // The request is cleared only once the buffered data is dropped: whoever sees it cleared
    // knows that everything delivered from then on is read. While the drop is under way the flag
    // reads kResyncServing; a request made meanwhile overwrites that and is served by another
    // drop (the samples delivered between the two must go too).
    if (counters_.m_RingResync.load() != 0) {
      counters_.m_RingResync.store(LoopCounters::kResyncServing);
      reader_.SyncToWriter();
      int32_t serving = LoopCounters::kResyncServing;
      counters_.m_RingResync.compare_exchange_strong(serving, 0);
      continue;
    }
    ProcessOne();
  }
}

void SampleLoop::ProcessOne() {
  const bool hasB = hasB_.load();
  const SampleRingReader::ReadResult r = reader_.Read(a_.get(), hasB ? b_.get() : nullptr, kBlock);
  if (r == SampleRingReader::ReadResult::kNotEnough) return;
  HandleBlock(r == SampleRingReader::ReadResult::kOverrun, hasB);
  // Counted once the block has had its effect (skip counter, scan, spectrum): whoever sees the
  // count sees what the block did.
  blocks_.fetch_add(1);
}

void SampleLoop::HandleBlock(bool overrun, bool hasB) {
  const int32_t skip = counters_.SdrLoopSkipN.load();
  if (overrun) {
    if (skip == 0) sink_.ScanOverrun();
    return;
  }
  if (skip >= 1) {
    const int32_t waited = LoopCounters::kSkipAll - skip;
    if (waited >= 201 && waited <= 99999) {
      const int64_t now = SteadyNowNs();
      if (now - lastLongSkipLogNs_ >= 1'000'000'000) {
        lastLongSkipLogNs_ = now;
        Log() << "Очень долго пропускаем, SdrLoopSkipN = " << skip << " D=" << waited << "\n";
      }
    }
    // The window thread may have overwritten the counter meanwhile: decrement only what we saw.
    int32_t expected = skip;
    counters_.SdrLoopSkipN.compare_exchange_strong(expected, skip - 1);
    return;
  }
  const float pa = Peak(a_.get(), kBlock);
  const float pb = hasB ? Peak(b_.get(), kBlock) : 0.0f;
  RaiseTo(peakA_, pa);
  if (hasB) RaiseTo(peakB_, pb);
  if (skip == 0) {
    sink_.ScanBlock(Floats(a_.get()), hasB ? Floats(b_.get()) : nullptr, pa, pb);
  } else if (spectrum_) {
    spectrum_->Feed(Floats(prevA_.get()), Floats(a_.get()), hasB ? Floats(prevB_.get()) : nullptr,
                    hasB ? Floats(b_.get()) : nullptr);
  }
  std::swap(a_, prevA_);
  std::swap(b_, prevB_);
  rateSamples_ += kBlock;
  const int64_t now = SteadyNowNs();
  if (now - rateStartNs_ > 1'000'000'000) {
    rate_ = static_cast<double>(rateSamples_) * 1e9 / static_cast<double>(now - rateStartNs_);
    rateSamples_ = 0;
    rateStartNs_ = now;
  }
}

}  // namespace kavu

#include "sim_feed.h"

#include <algorithm>

#include "platform/steady_clock.h"

namespace kavu::test {

std::string SimFeed::LibraryFolder() { return KAVU_SIMLIB_DIR; }
std::string SimFeed::LibraryPath() { return LibraryFolder() + "/librtlsdr.so.0"; }
std::string SimFeed::HackRfPath() { return LibraryFolder() + "/libhackrf.so.0"; }
std::string SimFeed::SdrPlayPath() { return LibraryFolder() + "/libsdrplay_api.so.3"; }

SimFeed::SimFeed(double speed, const std::string& library, const char* attach)
    : speed_(speed), origin_ns_(SteadyNowNs()) {
  if (lib_.Open(library) != DynLibrary::Result::kLoaded) return;
  attach_ = reinterpret_cast<kavu_sim_attach_fn>(lib_.Symbol(attach));
  if (!attach_) return;
  KavuSimSource s{};
  s.abi_version = kKavuSimAbiVersion;
  s.ctx = this;
  s.configure = &SimFeed::Configure;
  s.due = &SimFeed::Due;
  s.fill = &SimFeed::Fill;
  s.fault = &SimFeed::Fault;
  s.log = &SimFeed::LogLine;
  s.fill_dual = &SimFeed::FillDual;
  attached_ = attach_(&s) == 0;
}

SimFeed::~SimFeed() {
  if (attached_) attach_(nullptr);
}

void SimFeed::OnLog(std::function<void(const std::string&)> fn) {
  std::lock_guard lock(mutex_);
  on_log_ = std::move(fn);
}

std::vector<std::string> SimFeed::LogLines() const {
  std::lock_guard lock(mutex_);
  return log_;
}

void SimFeed::Configure(void* ctx, uint32_t rate, uint64_t center, int32_t gain, int32_t direct) {
  auto* self = static_cast<SimFeed*>(ctx);
  std::lock_guard lock(self->mutex_);
  // Keep the clock continuous across a rate change.
  const int64_t now = SteadyNowNs();
  self->origin_samples_ += static_cast<uint64_t>(static_cast<double>(now - self->origin_ns_) * 1e-9 *
                                                 self->rate_ * self->speed_);
  self->origin_ns_ = now;
  self->rate_ = rate;
  self->center_ = center;
  self->direct_ = direct;
  self->gain_ = gain;
  ++self->configures_;
}

uint64_t SimFeed::Due(void* ctx) {
  auto* self = static_cast<SimFeed*>(ctx);
  std::lock_guard lock(self->mutex_);
  const double elapsed = static_cast<double>(SteadyNowNs() - self->origin_ns_) * 1e-9;
  const uint64_t due = self->origin_samples_ + static_cast<uint64_t>(elapsed * self->rate_ * self->speed_);
  const uint64_t limit = self->limit_.load();
  const int64_t first = self->first_sample_.load();
  if (limit == 0 || first < 0) return due;
  return std::min(due, static_cast<uint64_t>(first) + limit);
}

void SimFeed::Fill(void* ctx, uint64_t first, int32_t format, void* buf, uint32_t samples) {
  int64_t none = -1;
  static_cast<SimFeed*>(ctx)->first_sample_.compare_exchange_strong(none, static_cast<int64_t>(first));
  if (format == kKavuSimI16) {
    auto* v = static_cast<int16_t*>(buf);
    for (uint32_t k = 0; k < samples; ++k) {
      v[2 * k] = static_cast<int16_t>(4 * ((first + k) % 8192));
      v[2 * k + 1] = static_cast<int16_t>(-v[2 * k]);
    }
    return;
  }
  if (format != kKavuSimU8 && format != kKavuSimS8) return;
  auto* bytes = static_cast<unsigned char*>(buf);
  for (uint32_t k = 0; k < samples; ++k) {
    const uint64_t s = first + k;
    bytes[2 * k] = static_cast<unsigned char>(s & 0xFF);
    bytes[2 * k + 1] = static_cast<unsigned char>((s >> 8) & 0xFF);
  }
}

void SimFeed::FillDual(void* ctx, uint64_t first, int32_t format, void* a, void* b, uint32_t samples) {
  Fill(ctx, first, format, a, samples);
  if (format != kKavuSimI16) return;
  auto* v = static_cast<int16_t*>(b);
  for (uint32_t k = 0; k < samples; ++k) {
    v[2 * k] = static_cast<int16_t>(4 * ((first + k) % 8192));
    v[2 * k + 1] = v[2 * k];
  }
}

int32_t SimFeed::Fault(void* ctx) { return static_cast<SimFeed*>(ctx)->fault_.load(); }

void SimFeed::LogLine(void* ctx, const char* line) {
  auto* self = static_cast<SimFeed*>(ctx);
  std::function<void(const std::string&)> fn;
  {
    std::lock_guard lock(self->mutex_);
    self->log_.emplace_back(line);
    fn = self->on_log_;
  }
  if (fn) fn(line);
}

}  // namespace kavu::test

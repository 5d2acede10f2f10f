#include "board/gen_batch.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "platform/num_convert.h"
#include "platform/number_text.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

constexpr uint64_t kMaxDelayTicks = 0x7FFF;

// floor(seconds * R + 0.5), or empty when not representable.
std::optional<int64_t> Ticks(double seconds, double r) {
  return ToInt64(std::floor(seconds * r + 0.5));
}

void AppendProbe(uint64_t tz, int32_t z, std::vector<uint8_t>& out) {
  out.insert(out.end(), {0x86, 0x12, static_cast<uint8_t>((tz >> 8) & 0x7F),
                         static_cast<uint8_t>(tz & 0xFF), static_cast<uint8_t>(z & 0xFF)});
}

struct Timing {
  uint64_t first = 0, t1 = 0, tz = 0;
};

bool PlanTiming(const BatchTimingInputs& in, Timing& t, std::string& error) {
  const double r = in.ticks_per_second;
  const std::string timer = "таймер МК " + FormatG(r, 9) + " Гц";
  if (!std::isfinite(r) || r <= 0.0) {
    error = "MyBigCmdCreate() - неверные параметры таймера МК, " + timer;
    LogRed("ODlgSpektr::" + error + "\n");
    return false;
  }
  const auto tz = Ticks(in.TZond10 * 0.0001, r);
  if (!tz || *tz < 1 || *tz > static_cast<int64_t>(kMaxDelayTicks)) {
    const double sec = tz ? static_cast<double>(*tz) / r : in.TZond10 * 0.0001;
    LogRed("CmdWrDelaySec() - ОШИБКА, задержка DelaySec=" + FormatG(sec, 9) +
           " не реализуема, inn = " + (tz ? std::to_string(*tz) : std::string("?")) + " !!! \n");
    error = "MyBigCmdCreate() - длительность зондирования m_TZond10=" +
            std::to_string(in.TZond10) + " (" + FormatG(in.TZond10 * 0.1, 9) +
            " мс) не укладывается в 1..32767 тиков таймера МК (" + timer +
            "), измените m_TZond10 или таймер МК";
    return false;
  }
  const auto t1 = Ticks(0.001, r);
  const double ts = std::isfinite(in.sample_period_sec) ? std::max(in.sample_period_sec, 0.0) : 0.0;
  const auto samples = Ticks(2048.0 * ts, r);
  if (!t1 || !samples || *t1 < 0 || *samples < 0) {
    error = "MyBigCmdCreate() - задержка не реализуема, " + timer;
    LogRed("ODlgSpektr::" + error + "\n");
    return false;
  }
  t.tz = static_cast<uint64_t>(*tz);
  t.t1 = static_cast<uint64_t>(*t1);
  t.first = std::max<uint64_t>(t.tz, static_cast<uint64_t>(*samples));
  return true;
}

// Everything up to and including the probing of F[0].
uint64_t AppendPrologue(const BatchTimingInputs& in, const Timing& t, const IGenBatchSteps& chip,
                        std::vector<uint8_t>& out) {
  uint64_t ticks = AppendDelayTicks(t.first, out);
  if (in.SynType == 1 || in.SynType == 2) {
    out.push_back(in.SynType == 1 ? 0x80 : 0x83);
    ticks += AppendDelayTicks(t.t1, out);
  } else {
    out.push_back(0x84);
    chip.AppendOutputOff(out);
    ticks += AppendDelayTicks(t.t1, out);
    out.push_back(0x85);
    chip.AppendOutputOn(out);
    out.push_back(0x87);
  }
  AppendProbe(t.tz, in.ZondN, out);
  return ticks + 2 * t.tz * static_cast<uint64_t>(in.ZondN & 0xFF);
}

}  // namespace

uint64_t AppendDelayTicks(uint64_t ticks, std::vector<uint8_t>& out) {
  ticks = std::max<uint64_t>(ticks, 1);
  uint64_t left = ticks;
  while (left > 0) {
    const uint64_t k = std::min(left, kMaxDelayTicks);
    out.push_back(static_cast<uint8_t>((k >> 8) & 0x7F));
    out.push_back(static_cast<uint8_t>(k & 0xFF));
    left -= k;
  }
  return ticks;
}

bool MyBigCmdCreate(const BatchTimingInputs& in, std::span<const double> freqs, IGenBatchSteps& chip,
                    FrequencyBatch& out, std::string& error) {
  out = FrequencyBatch{};
  if (freqs.empty()) {
    error = "MyBigCmdCreate() - пустая группа частот";
    LogRed("ODlgSpektr::" + error + "\n");
    return false;
  }
  Timing t;
  if (!PlanTiming(in, t, error)) return false;
  std::vector<uint8_t>& b = out.bytes;
  uint64_t ticks = AppendPrologue(in, t, chip, b);
  if (static_cast<int64_t>(b.size()) + 1 > in.buffer_size) {
    error = "MyBigCmdCreate() - пакет не помещается в буфер МК (" +
            std::to_string(in.buffer_size) + " байт)";
    LogRed("ODlgSpektr::" + error + "\n");
    return false;
  }
  const uint64_t pair_ticks = 2 * t.tz * static_cast<uint64_t>(in.ZondN & 0xFF);
  const uint64_t memory_before = chip.SaveBatchMemory();
  const int n = static_cast<int>(freqs.size());
  int count = n;
  for (int k = 1; k < n; ++k) {
    const size_t pos_ok = b.size();
    const uint64_t memory_ok = chip.SaveBatchMemory();
    std::string reason;
    const BatchStep step = chip.AppendFrequencyStep(freqs[static_cast<size_t>(k)], b, reason);
    if (step == BatchStep::kFailed) {
      LogRed("ODlgSpektr::MyBigCmdCreate() nf=" + std::to_string(k) + reason);
      error = "MyBigCmdCreate() nf=" + std::to_string(k) + reason;
      chip.RestoreBatchMemory(memory_before);
      out = FrequencyBatch{};
      return false;
    }
    if (step == BatchStep::kEndGroup) {
      chip.RestoreBatchMemory(memory_ok);
      b.resize(pos_ok);
      count = k;
      break;
    }
    const uint64_t step_ticks = AppendDelayTicks(t.t1 + t.tz, b);
    AppendProbe(t.tz, in.ZondN, b);
    if (static_cast<int64_t>(b.size()) + 1 >= in.buffer_size) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "%zX", pos_ok);
      LogRed("BigCmd урезана, nf=" + std::to_string(k) + " вместо m_Scan_FMsN = " +
             std::to_string(n) + " PosOK=" + std::to_string(pos_ok) + " == 0x" + hex + "\n");
      chip.RestoreBatchMemory(memory_ok);
      b.resize(pos_ok);
      count = k;
      break;
    }
    ticks += step_ticks + pair_ticks;
  }
  b.push_back(0xFF);
  out.count = count;
  out.duration_ticks = ticks;
  return true;
}

}  // namespace kavu

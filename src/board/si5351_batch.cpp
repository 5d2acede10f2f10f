#include "board/si5351_batch.h"

#include <array>

namespace kavu {
namespace {

void AppendI2c(uint8_t reg, const uint8_t* bytes, size_t n, std::vector<uint8_t>& out) {
  out.push_back(static_cast<uint8_t>(0xA0 + n + 1));
  out.push_back(reg);
  out.insert(out.end(), bytes, bytes + n);
}

uint8_t MsRegister(int i) { return static_cast<uint8_t>(42 + 8 * i); }
uint8_t ClkRegister(int i) { return static_cast<uint8_t>(16 + i); }

}  // namespace

std::vector<uint8_t> Si5351FullBatch(const Si5351Regs& regs, int i) {
  std::vector<uint8_t> out;
  AppendI2c(26, regs.pll.data(), 8, out);
  AppendI2c(MsRegister(i), regs.ms.data(), 8, out);
  AppendI2c(ClkRegister(i), &regs.clk_control, 1, out);
  AppendI2c(22, &regs.reg22_23, 1, out);
  const uint8_t reset = 0x20;
  AppendI2c(177, &reset, 1, out);
  out.push_back(0xFF);
  return out;
}

bool AppendSi5351Step(const Si5351Regs& next, int i, Si5351Regs& last, std::vector<uint8_t>& out) {
  if (next.harmonic != last.harmonic || next.mode != last.mode) return false;
  if (next.pll != last.pll) AppendI2c(26, next.pll.data(), 8, out);
  if (next.ms != last.ms) AppendI2c(MsRegister(i), next.ms.data(), 8, out);
  if (next.clk_control != last.clk_control) AppendI2c(ClkRegister(i), &next.clk_control, 1, out);
  if (next.reg22_23 != last.reg22_23) AppendI2c(22, &next.reg22_23, 1, out);
  const uint8_t reset = 0x20;
  AppendI2c(177, &reset, 1, out);
  last = next;
  return true;
}

void AppendSi5351AllOff(std::vector<uint8_t>& out) { out.insert(out.end(), {0xA2, 0x03, 0xFF}); }

void AppendSi5351OnlyOn(int i, std::vector<uint8_t>& out) {
  out.insert(out.end(), {0xA2, 0x03, static_cast<uint8_t>(0xFF - (1u << i))});
}

BatchStep Si5351BatchSteps::AppendFrequencyStep(double hz, std::vector<uint8_t>& out,
                                                std::string& reason) {
  Si5351Regs next;
  std::string error;
  if (!Si5351_CalcF(state_->cfg, hz, output_, next, error)) {
    reason = " вызов Si5351_CalcF() вернул ошибку: " + error + "\n";
    return BatchStep::kFailed;
  }
  return AppendSi5351Step(next, output_, state_->last, out) ? BatchStep::kAppended
                                                            : BatchStep::kEndGroup;
}

}  // namespace kavu

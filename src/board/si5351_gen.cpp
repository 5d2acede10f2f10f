#include "board/si5351_gen.h"

#include "platform/number_text.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

bool IsFixed(const Si5351Config& cfg, int k, int selected) {
  return k != selected && cfg.OutHz[static_cast<size_t>(k)] > 0.0;
}

}  // namespace

bool OSi5351::Si5351_WriteFProc(const Si5351Regs& regs, bool direct, int i) {
  if (i < 0 || i >= Si5351Config::kOutputs) return false;
  if (direct) {
    const uint8_t ms_reg = static_cast<uint8_t>(42 + 8 * i);
    const uint8_t clk_reg = static_cast<uint8_t>(16 + i);
    const bool ok = board_->I2cBlockWrite(34, regs.pll.data(), 8) == 0 &&
                    board_->I2cBlockWrite(ms_reg, regs.ms.data(), 8) == 0 &&
                    board_->I2cRegWrite(clk_reg, static_cast<uint8_t>(regs.clk_control + 0x20)) == 0 &&
                    board_->I2cRegWrite(23, regs.reg22_23) == 0;
    if (ok) board_->I2cRegWrite(177, 0x80);  // PLL B reset
    return ok;
  }
  gen_->current_hz = regs.harmonic * regs.actual;
  const std::vector<uint8_t> batch = Si5351FullBatch(regs, i);
  return board_->BigCmd2(batch.data(), static_cast<int>(batch.size()), true);
}

bool OSi5351::Si5351_SetF(double hz, int i) {
  Si5351Regs regs;
  std::string error;
  if (!Si5351_CalcF(state_->cfg, hz, i, regs, error)) {
    gen_->error_text = error;
    LogRed("ODlgSpektr::Si5351_SetF() - " + error + "\n");
    return false;
  }
  state_->last = regs;
  if (!Si5351_WriteFProc(regs, false, i)) {
    LogRed("ODlgSpektr::Si5351_SetF() - ошибку вернула Si5351_WriteFProc \n");
    return false;
  }
  return true;
}

bool OSi5351::Si5351_OutputEnable(int i, bool on) {
  if (i < 0 || i >= Si5351Config::kOutputs) return false;
  return board_->I2cRegWrite(3, on ? static_cast<uint8_t>(0xFF - (1u << i)) : 0xFF) == 0;
}

void OSi5351::WarnSharedPllB(int selected) {
  const Si5351Config& cfg = state_->cfg;
  int last = -1;
  Si5351Regs regs[Si5351Config::kOutputs];
  bool have[Si5351Config::kOutputs] = {};
  for (int k = 0; k < Si5351Config::kOutputs; ++k) {
    std::string err;
    if (IsFixed(cfg, k, selected) &&
        Si5351_CalcF(cfg, cfg.OutHz[static_cast<size_t>(k)], k, regs[k], err)) {
      have[k] = true;
      last = k;
    }
  }
  if (last < 0) return;
  // The output written last sets PLL B; each earlier one then divides that VCO instead.
  const Si5351Regs& pll = regs[last];
  const double vco = pll.mode == 1 ? pll.actual * 4.0 : cfg.Fx * cfg.KMax;
  for (int k = 0; k < last; ++k) {
    if (!have[k] || regs[k].pll == pll.pll) continue;
    const double ratio = regs[k].mode == 1 ? 4.0 : cfg.Fx * cfg.KMax / regs[k].actual;
    LogRed("si5351a - ВНИМАНИЕ, фиксированные выходы CLK" + std::to_string(k) + " и CLK" +
           std::to_string(last) + " требуют разной настройки общего PLL B: CLK" +
           std::to_string(k) + " даст " + FormatTrimmed(vco / ratio / 1e6, 6) + " МГц вместо " +
           FormatTrimmed(regs[k].actual / 1e6, 6) + " МГц! \n");
  }
}

bool OSi5351::Si5351_Init(int selected) {
  Log() << LogColour(kColourHeading) << "Инициализация si5351a \n" << LogColour(kColourNormal);
  for (int n = 0; n < 32; ++n) board_->I2C_Cond(2);
  const uint8_t empty = 0xFF;
  board_->BigCmd2(&empty, 1, true);
  board_->I2cRegWrite(3, 0xFF);
  if (board_->I2cRegRead(3) != 0xFF) {
    LogRed("si5351a - ошибка, записанное значение регистра 3 отличается от прочитанного ! \n");
    return false;
  }
  for (uint8_t r = 16; r <= 23; ++r) board_->I2cRegWrite(r, 0x8F);
  board_->I2cRegWrite(2, 0xFF);
  board_->I2cRegWrite(1, 0);
  board_->I2cRegWrite(3, 0xFF);
  board_->I2cRegWrite(9, 0xFF);
  board_->I2cRegWrite(15, 0);
  const Si5351Config& cfg = state_->cfg;
  uint8_t reg24 = 0;
  for (int k = 0; k < Si5351Config::kOutputs; ++k) {
    reg24 = static_cast<uint8_t>(reg24 | (IsFixed(cfg, k, selected) ? 3 : 2) << (2 * k));
  }
  board_->I2cRegWrite(24, reg24);
  board_->I2cRegWrite(149, 0);
  board_->I2cRegWrite(187, 0xD0);
  WarnSharedPllB(selected);
  for (int k = 0; k < Si5351Config::kOutputs; ++k) {
    if (!IsFixed(cfg, k, selected)) continue;
    const double f = cfg.OutHz[static_cast<size_t>(k)];
    Log() << "si5351 CLK" << k << " частота фиксирована f=" << f / 1e6 << "\n";
    Si5351Regs regs;
    std::string error;
    if (!Si5351_CalcF(cfg, f, k, regs, error) || !Si5351_WriteFProc(regs, true, k)) {
      if (!error.empty()) LogRed("si5351a - " + error + "\n");
      LogRed("si5351a - ошибка, не удалось запрограммить выход CLK" + std::to_string(k) +
             " на фикс. частоту! \n");
      return false;
    }
  }
  return true;
}

}  // namespace kavu

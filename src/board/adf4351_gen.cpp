#include "board/adf4351_gen.h"

#include <algorithm>
#include <cmath>

#include "shell/log_console.h"

namespace kavu {

void MyADF4351::TestCreateFractional(double reference_hz, int power) {
  const int r = std::clamp(static_cast<int>(std::ceil(reference_hz / 25.5e6)), 1, 1023);
  F_PFD = reference_hz / r;
  R[0] = ((static_cast<uint32_t>(std::trunc(3.0125e9 / F_PFD + 0.5)) & 0xFFFF) << 15) + 0x50;
  R[1] = 0x0800FFF9;
  R[2] = static_cast<uint32_t>(r) << 14 | 0x0C002E42;
  R[3] = 0x0080000B;
  const int b = std::clamp(static_cast<int>(std::ceil(F_PFD * 2e-6)), 1, 254);
  R[4] = 0x00B00004 | static_cast<uint32_t>(b) << 12 | static_cast<uint32_t>(power & 3) << 3;
  R[5] = 0x00580005;
  Log() << "MyADF4351::TestCreateFractional(), для Fbase=" << GenMhz(reference_hz) << " выбран R="
        << r << ", F_PFD=" << GenMhz(reference_hz / (2.0 * r)) << "\n";
  Log() << " Power=" << power << "\n";
}

bool MyADF4351::SetF(double hz, uint32_t& r0, uint32_t& r4) const {
  if (!(hz > 0.0 && hz <= 13.2e9)) return false;  // the VCO may not exceed 4.4 GHz
  double g = hz > 4.4e9 ? hz / 3.0 : hz;
  int i = 0;
  while (g < 2.2e9) {
    if (i == 6) return false;
    g *= 2.0;
    ++i;
  }
  if (g > 4.4e9) return false;
  const double n = g / F_PFD;
  if (!(n >= 75.0 && n < 65536.0)) return false;
  const double integer = std::floor(n);
  const auto frac = static_cast<uint32_t>(std::floor((n - integer) * 4095.0));
  r0 = (static_cast<uint32_t>(integer) & 0xFFFF) << 15 | (frac & 0xFFF) << 3 | (R[0] & 0x80000000u);
  r4 = (R[4] & 0xFF8FFFFCu) | static_cast<uint32_t>(i) << 20 | 4u;
  return true;
}

void AppendAdf4351Reg(uint32_t v, std::vector<uint8_t>& out) {
  out.insert(out.end(), {0x94, static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                         static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
}

BatchStep Adf4351BatchSteps::AppendFrequencyStep(double hz, std::vector<uint8_t>& out,
                                                 std::string& reason) {
  uint32_t r0 = 0, r4 = 0;
  if (!adf_->SetF(desk_->CorrectedHz(hz), r0, r4)) {
    reason = " вызов m_ADF4351.SetF() вернул ошибку\n";
    return BatchStep::kFailed;
  }
  if (r4 != adf_->R[4]) {
    Log() << "Прервём группу ! \n";
    return BatchStep::kEndGroup;
  }
  AppendAdf4351Reg(r0, out);
  return BatchStep::kAppended;
}

void Adf4351BatchSteps::AppendOutputOff(std::vector<uint8_t>& out) const {
  AppendAdf4351Reg(adf_->R4WithOutput(false), out);
}

void Adf4351BatchSteps::AppendOutputOn(std::vector<uint8_t>& out) const {
  AppendAdf4351Reg(adf_->R4WithOutput(true), out);
}

bool Adf4351Gen::ADF4351_WriteReg(uint32_t v) {
  return GenRunElements(ctx_.Board(), {0x94, static_cast<uint8_t>(v >> 24),
                                       static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
                                       static_cast<uint8_t>(v)});
}

bool Adf4351Gen::ADF4351_SetF(double hz) {
  uint32_t r0 = 0, r4 = 0;
  if (!adf_.SetF(hz, r0, r4)) {
    ctx_.gen->error_text = "частота " + GenMhz12(hz) + " МГц вне возможностей ADF4351";
    return false;
  }
  if (r4 != adf_.R[4]) {
    adf_.R[4] = r4;
    if (!ADF4351_WriteReg(r4)) return false;
  }
  adf_.R[0] = r0;
  return ADF4351_WriteReg(r0);
}

bool Adf4351Gen::ADF4351_On(bool on) {
  adf_.R[4] = adf_.R4WithOutput(on);
  return ADF4351_WriteReg(adf_.R[4]);
}

bool Adf4351Gen::Init() {
  const GenDesk& d = *ctx_.desk;
  adf_.TestCreateFractional(d.m_ADF4351_BaseFM, d.m_ADF4351_Pow);
  for (int r = 5; r >= 0; --r) {
    if (!ADF4351_WriteReg(adf_.R[static_cast<size_t>(r)])) return false;
  }
  if (!d.IsFixed()) return true;
  const double f = d.CorrectedHz(d.RfmFixFM);
  if (ADF4351_SetF(f) && ADF4351_On(true)) return true;
  GenLogRed("Не удалось включить для ADF4351 фиксированную F = " + GenMhz(f) + "\n");
  return false;
}

}  // namespace kavu

#include "board/rfm69_gen.h"

#include <cmath>

#include "shell/log_console.h"

namespace kavu {

bool Rfm69_CalcF(double hz, std::array<uint8_t, 3>& out, std::string* error_text) {
  const double x = std::trunc(hz * 0.016384 + 0.5);
  if (!(x >= 1.0 && x <= 16777215.0)) {
    if (error_text) *error_text = "частота " + GenMhz12(hz) + " МГц вне возможностей Rfm69";
    return false;
  }
  const auto frf = static_cast<uint32_t>(x);
  out = {static_cast<uint8_t>(frf >> 16), static_cast<uint8_t>(frf >> 8),
         static_cast<uint8_t>(frf)};
  return true;
}

double Rfm69CarrierHz(uint32_t frf) { return frf * 61.03515625; }

uint8_t Rfm69PaLevel(int kind, int power) {
  const int p = power & 0x1F;
  if (kind == 3) return static_cast<uint8_t>(0x80 + p);
  const int q = (p & 0x10) ? p : 16;
  return static_cast<uint8_t>((kind == 4 ? 0x40 : 0x60) + q);
}

BatchStep Rfm69BatchSteps::AppendFrequencyStep(double hz, std::vector<uint8_t>& out,
                                               std::string& reason) {
  std::array<uint8_t, 3> r{};
  if (!Rfm69_CalcF(desk_->CorrectedHz(hz), r, nullptr)) {
    reason = " вызов Rfm22_SetF_ToBuf() вернул ошибку\n";
    return BatchStep::kFailed;
  }
  out.insert(out.end(), {0x94, 0x87, r[0], r[1], r[2]});
  return BatchStep::kAppended;
}

bool Rfm69Gen::Rfm69_SetF(double hz) {
  std::array<uint8_t, 3> r{};
  if (!Rfm69_CalcF(hz, r, &ctx_.gen->error_text)) return false;
  OBoardProtocol& b = ctx_.Board();
  if (!b.DeselectAll() || !b.SelectGen() || b.SpiOut(0x87) < 0) return false;
  for (uint8_t v : r) {
    if (b.SpiOut(v) < 0) return false;
  }
  Log() << "Rfm69_SetF FM=" << GenMhz(hz) << " Wr=" << GenHex(r[0]) << ", " << GenHex(r[1])
        << ", " << GenHex(r[2]) << "\n";
  return b.DeselectAll();
}

bool Rfm69Gen::Rfm69_On(bool on) {
  OBoardProtocol& b = ctx_.Board();
  if (!b.RfmRegWrite(0x01, on ? 0x0C : 0x08)) return false;
  Log() << "Rfm69_On, m_Rfm_Gen=" << ctx_.slot << " RegOpMode="
        << GenHex(static_cast<uint32_t>(b.RfmRegRead(0x01) & 0xFF)) << "\n";
  Log() << "Rfm69_On RegIrqFlags1=" << GenHex(static_cast<uint32_t>(b.RfmRegRead(0x27) & 0xFF))
        << "\n";
  return true;
}

bool Rfm69Gen::Init() {
  const GenDesk& d = *ctx_.desk;
  GenLogNotice("CC_Rele_Dlg::Rfm69_Init() call для m_Rfm_Gen=" + std::to_string(ctx_.slot) +
               " type=" + std::to_string(d.m_GenRfmType) + " pow=" +
               std::to_string(d.m_GenPowerRfm69) + "\n");
  if (!ctx_.PortOpen()) return true;
  OBoardProtocol& b = ctx_.Board();
  if (!b.DeselectAll()) return false;
  GenWaitMs(12);
  const int version = b.RfmRegRead(0x10);
  const std::string vline = "rfm69 RegVersion=" + GenHex(static_cast<uint32_t>(version & 0xFF)) + "\n";
  if (version != 0x24) {
    GenLogNotice(vline);
  } else {
    Log() << vline;
  }
  const int old = b.RfmRegRead(0x01);
  if (!b.RfmRegWrite(0x01, 0x08)) return false;
  GenWaitMs(10);
  const int mode = b.RfmRegRead(0x01);
  if (mode != 0x08) {
    GenLogRed("Rfm69_RegOpMode=" + GenHex(static_cast<uint32_t>(mode & 0xFF)) + " Old=" +
              GenHex(static_cast<uint32_t>(old & 0xFF)) + "\n");
    return false;
  }
  for (auto [reg, v] : {std::pair<uint8_t, uint8_t>{0x02, 0x68}, {0x07, 0xE4}, {0x08, 0xC0},
                        {0x09, 0x00}}) {
    if (!b.RfmRegWrite(reg, v)) return false;
  }
  Log() << "rfm69 pow=" << (d.m_GenPowerRfm69 & 0x1F) << "\n";
  if (!b.RfmRegWrite(0x11, Rfm69PaLevel(d.m_GenRfmType, d.m_GenPowerRfm69)) ||
      !b.RfmRegWrite(0x25, 0x00)) {
    return false;
  }
  Log() << "RegIrqFlags1=" << GenHex(static_cast<uint32_t>(b.RfmRegRead(0x27) & 0xFF)) << "\n";
  if (!d.IsFixed()) return true;
  const double f = d.CorrectedHz(d.RfmFixFM);
  if (Rfm69_SetF(f) && Rfm69_On(true)) return true;
  GenLogRed("Не удалось включить для модуля rfm69 фиксированную F = " + GenMhz(f) + "\n");
  return false;
}

}  // namespace kavu

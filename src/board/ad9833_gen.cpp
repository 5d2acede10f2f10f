#include "board/ad9833_gen.h"

#include <cmath>

namespace kavu {

uint16_t Ad9833ControlWord(int forma) {
  switch (forma) {
    case 1: return 0x200A;
    case 2: return 0x2028;
    default: return 0x2008;
  }
}

bool DDS_ad9833_SetF_ToBuf(double hz, int forma, int& toggle, std::array<uint16_t, 3>& out,
                           std::string* error_text) {
  const double x = std::trunc(hz * 4e-8 * 268435456.0 + 0.5);
  if (!(x >= 0.0 && x <= 268435455.0)) {
    if (error_text) {
      *error_text = "частота " + GenMhz12(hz) + " МГц вне возможностей DDS_ad9833, надо от 0 до 12.5 МГц";
    }
    return false;
  }
  const auto fw = static_cast<uint32_t>(x);
  toggle ^= 1;
  const uint16_t a = toggle ? 0x8000 : 0x4000;
  out = {static_cast<uint16_t>(a | (fw & 0x3FFF)), static_cast<uint16_t>(a | ((fw >> 14) & 0x3FFF)),
         static_cast<uint16_t>(Ad9833ControlWord(forma) | (toggle ? 0x0800 : 0))};
  return true;
}

BatchStep Ad9833BatchSteps::AppendFrequencyStep(double hz, std::vector<uint8_t>& out,
                                                std::string& reason) {
  std::array<uint16_t, 3> w{};
  if (!DDS_ad9833_SetF_ToBuf(desk_->CorrectedHz(hz), desk_->m_dds_Forma, *toggle_, w, nullptr)) {
    reason = " вызов DDS_ad9833_SetF_ToBuf() вернул ошибку\n";
    return BatchStep::kFailed;
  }
  for (uint16_t v : w) {
    out.insert(out.end(), {0x92, static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v & 0xFF)});
  }
  return BatchStep::kAppended;
}

void Ad9833BatchSteps::AppendOutputOff(std::vector<uint8_t>& out) const {
  out.insert(out.end(), {0x92, 0x00, 0x80});
}

void Ad9833BatchSteps::AppendOutputOn(std::vector<uint8_t>& out) const {
  const uint16_t w = static_cast<uint16_t>(Ad9833ControlWord(desk_->m_dds_Forma) | (*toggle_ ? 0x0800 : 0));
  out.insert(out.end(), {0x92, static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(w & 0xFF)});
}

uint16_t Ad9833Gen::RunningControl() const {
  return static_cast<uint16_t>(Ad9833ControlWord(ctx_.desk->m_dds_Forma) | (toggle_ ? 0x0800 : 0));
}

bool Ad9833Gen::DDS_ad9833_SetF(double hz) {
  std::array<uint16_t, 3> w{};
  if (!DDS_ad9833_SetF_ToBuf(hz, ctx_.desk->m_dds_Forma, toggle_, w, &ctx_.gen->error_text)) {
    return false;
  }
  OBoardProtocol& b = ctx_.Board();
  for (uint16_t v : w) {
    if (!b.SpiWord16(v)) return false;
  }
  return true;
}

bool Ad9833Gen::On(bool on) { return ctx_.Board().SpiWord16(on ? RunningControl() : 0x0080); }

bool Ad9833Gen::Init() {
  const GenDesk& d = *ctx_.desk;
  GenLogNotice("CC_Rele_Dlg::DDS_ad9833_Init() call для m_Rfm_Gen=" + std::to_string(ctx_.slot) +
               " type=" + std::to_string(d.m_GenRfmType) + "\n");
  if (!ctx_.PortOpen()) return true;
  OBoardProtocol& b = ctx_.Board();
  if (!b.DeselectAll()) return false;
  toggle_ = 0;
  if (!b.SpiWord16(0x2100)) return false;
  for (uint16_t w : {0x4000, 0x4000, 0xC000, 0xE000}) b.SpiWord16(w);
  if (!b.SpiWord16(0x2000)) return false;
  if (!d.IsFixed()) return true;
  const double f = d.CorrectedHz(d.RfmFixFM);
  if (DDS_ad9833_SetF(f) && b.SpiWord16(RunningControl())) return true;
  GenLogRed("Не удалось включить для DDS ad9833 фиксированную F = " + GenMhz(f) + "\n");
  return false;
}

}  // namespace kavu

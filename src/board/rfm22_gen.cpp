#include "board/rfm22_gen.h"

#include <cmath>

#include "shell/log_console.h"
#include "shell/settings_store.h"

namespace kavu {
namespace {

// "Rfm22_Init(), dev_type=.., dev_ver=.., dev_stat=..", the type in red when it is not 8.
void LogDeviceType(int type, int version, int status) {
  const bool type_ok = (type & 0x1F) == 8;
  OLogConsole::Statement line(Log());
  line << "Rfm22_Init(), ";
  if (!type_ok) line << LogColour(kColourError);
  line << "dev_type=" << GenHex(static_cast<uint32_t>(type & 0x1F));
  if (!type_ok) line << LogColour(kColourNormal);
  line << ", dev_ver=" << GenHex(static_cast<uint32_t>(version & 0x1F))
       << ((version & 0x1F) == 6 ? " (Si4430/31/32 Rev B1)" : "") << ", dev_stat="
       << GenHex(static_cast<uint32_t>(status)) << "\n";
}

}  // namespace

bool Rfm22_SetF_ToBuf(double hz, std::array<uint8_t, 3>& out, std::string* error_text,
                      const char* prefix) {
  if (!(hz >= 240e6 && hz < 960e6)) {
    GenLogRed(std::string(prefix) + GenMhz(hz) + " МГц вне диа \n");
    if (error_text) {
      *error_text = "частота " + GenMhz12(hz) + " МГц вне возможностей Rfm22 / Rfm23, надо 240-960 МГц";
    }
    return false;
  }
  const int hbsel = hz >= 480e6 ? 1 : 0;
  const double n = hz * 1e-7 / (hbsel + 1);
  const int fb = static_cast<int>(std::floor(n)) - 24;
  if (fb < 0 || fb > 31) {
    GenLogRed(std::string(prefix) + GenMhz(hz) + " МГц fb=" + std::to_string(fb) + "\n");
    return false;
  }
  const int fc = static_cast<int>(std::floor((n - std::floor(n)) * 64000 + 0.5));
  if (fc > 64000) {
    GenLogRed(std::string(prefix) + GenMhz(hz) + " МГц fc=" + std::to_string(fc) + "\n");
    return false;
  }
  out = {static_cast<uint8_t>(0x40 + 0x20 * hbsel + fb), static_cast<uint8_t>(fc >> 8),
         static_cast<uint8_t>(fc & 0xFF)};
  return true;
}

double Rfm22CarrierHz(const std::array<uint8_t, 3>& r) {
  const int hbsel = (r[0] >> 5) & 1;
  const int fb = r[0] & 0x1F;
  const int fc = r[1] << 8 | r[2];
  return 10e6 * (hbsel + 1) * (fb + 24 + fc / 64000.0);
}

double Rfm22DirectFactor(int slot) { return slot == 1 ? 1.0000150833333332 : 1.0000107882882883; }

BatchStep Rfm22BatchSteps::AppendFrequencyStep(double hz, std::vector<uint8_t>& out,
                                               std::string& reason) {
  std::array<uint8_t, 3> r{};
  if (!Rfm22_SetF_ToBuf(desk_->CorrectedHz(hz), r, nullptr)) {
    reason = " вызов Rfm22_SetF_ToBuf() вернул ошибку\n";
    return BatchStep::kFailed;
  }
  out.insert(out.end(), {0x94, 0xF5, r[0], r[1], r[2]});
  return BatchStep::kAppended;
}

bool Rfm22Gen::Rfm22_SetF(double hz) {
  const double f = hz * Rfm22DirectFactor(ctx_.slot);
  std::array<uint8_t, 3> r{};
  if (!Rfm22_SetF_ToBuf(f, r, &ctx_.gen->error_text, "CC_Rele_Dlg::Rfm22_SetF() - FM=")) {
    return false;
  }
  OBoardProtocol& b = ctx_.Board();
  bool ok = b.SelectGen() && b.SpiOut(0xF5) >= 0;
  for (uint8_t v : r) ok = ok && b.SpiOut(v) >= 0;
  return b.DeselectAll() && ok;
}

bool Rfm22Gen::Rfm22_On(bool on) {
  if (!ctx_.PortOpen()) return true;
  OBoardProtocol& b = ctx_.Board();
  Log() << "ODlgSpektr::Rfm22_On(), IsOnTx=" << (on ? 1 : 0) << "\n";
  if (!b.RfmRegWrite(0x07, on ? 0x0B : 0x03)) return false;
  const int status = b.RfmRegRead(0x02);
  const int r7 = b.RfmRegRead(0x07);
  Log() << "dev_stat=" << GenHex(static_cast<uint32_t>(status)) << " rg7="
        << GenHex(static_cast<uint32_t>(r7)) << "\n";
  if (status < 0) return false;
  if (!on) return (status & 3) == 0;
  if ((status & 3) == 2) return true;
  GenLogRed("? включался режим передачи, но si443x (Rfm22) почему то не находится в режиме передачи!\n");
  return false;
}

bool Rfm22Gen::WriteAll(std::initializer_list<std::pair<uint8_t, uint8_t>> regs) {
  OBoardProtocol& b = ctx_.Board();
  for (const auto& [reg, value] : regs) {
    if (!b.RfmRegWrite(reg, value)) return false;
  }
  return true;
}

// A wrong device type: go on only when the user says so (and then never ask again).
bool Rfm22Gen::AskDeviceType() {
  if (!Settings().GetProfileInt(kAskSection, kAskKey, 1)) return true;
  const NoticeAnswer a =
      ctx_.notice ? ctx_.board->Ask(
                        *ctx_.notice, "ОШИБКА",
                        "Похоже, что генератор №2 это не Rfm22/Rfm23! Нажмите <Да>, чтобы всё "
                        "равно продолжить, и <Нет>, чтобы попытаться выбрать правильный тип "
                        "радиомодуля в настройках")
                  : NoticeAnswer::kCancel;
  if (a != NoticeAnswer::kYes) return false;
  Settings().WriteProfileInt(kAskSection, kAskKey, 0);
  return true;
}

bool Rfm22Gen::Init() {
  const GenDesk& d = *ctx_.desk;
  GenLogNotice("CC_Rele_Dlg::Rfm22_Init() call для m_Rfm_Gen=" + std::to_string(ctx_.slot) +
               " GenPowerRfm22=" + std::to_string(d.m_GenPowerRfm22) + "\n");
  if (!ctx_.PortOpen()) return true;
  OBoardProtocol& b = ctx_.Board();
  if (!b.DeselectAll()) return false;
  b.RfmRegRead(0x03);
  b.RfmRegRead(0x04);
  if (!b.RfmRegWrite(0x07, 0x80)) return false;
  GenWaitMs(30);
  b.RfmRegRead(0x03);
  b.RfmRegRead(0x04);
  const int type = b.RfmRegRead(0x00), version = b.RfmRegRead(0x01), status = b.RfmRegRead(0x02);
  if (type < 0 || version < 0 || status < 0) return false;
  const bool type_ok = (type & 0x1F) == 8;
  LogDeviceType(type, version, status);
  if (!type_ok && !AskDeviceType()) return false;
  if (!WriteAll({{0x06, 0x00}, {0x0B, 0x0A}, {0x0C, 0x0A}, {0x0D, 0x10}})) return false;
  const int r0b = b.RfmRegRead(0x0B), r0c = b.RfmRegRead(0x0C), r0d = b.RfmRegRead(0x0D);
  if (r0b < 0 || r0c < 0 || r0d < 0) return false;
  if (r0b != 0x0A || r0c != 0x0A || r0d != 0x10) {
    GenLogRed("Ошибка, записанные регистры Rfm22 не прочлись корректно, радиомодуль не Rfm22 или не подключен! \n");
  }
  Log() << "Rg5A = " << GenHex(static_cast<uint32_t>(b.RfmRegRead(0x5A) & 0xFF)) << " Rg59 = "
        << GenHex(static_cast<uint32_t>(b.RfmRegRead(0x59) & 0xFF)) << "\n";
  if (!WriteAll({{0x0E, 0x01}, {0x09, 0x7F}, {0x07, 0x03}})) return false;
  Log() << "R7=" << GenHex(static_cast<uint32_t>(b.RfmRegRead(0x07) & 0xFF)) << "\n";
  WriteAll({{0x75, 0x53}, {0x76, 0x64}, {0x77, 0x00}});
  if (!WriteAll({{0x6D, static_cast<uint8_t>(d.m_GenPowerRfm22 & 7)},
                 {0x71, static_cast<uint8_t>(d.IsFixed() ? 0x30 : 0x01)}})) {
    return false;
  }
  const int st = b.RfmRegRead(0x02);
  Log() << "dev_stat=" << GenHex(static_cast<uint32_t>(st & 0xFF)) << "\n";
  if (st < 0 || (st & 3) != 0) {
    GenLogRed("Похоже после настройки модуль Rfm22 не в IDLE режиме !!! \n");
    return false;
  }
  if (!d.IsFixed()) return true;
  const double f = d.CorrectedHz(d.RfmFixFM);
  if (Rfm22_SetF(f) && Rfm22_On(true)) return true;
  GenLogRed("Не удалось включить для модуля rfm22 фиксированную F = " + GenMhz(f) + "\n");
  return false;
}

}  // namespace kavu

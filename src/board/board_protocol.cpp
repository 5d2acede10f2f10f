// Single commands of OBoardProtocol.
#include "board/board_protocol.h"

#include <cstdio>

#include "board/board_reply.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

const char* const kNoBoard = ", вероятно не работает ком-порт или МК управления";

std::string HexText(uint32_t v) {
  char text[12];
  std::snprintf(text, sizeof text, "%X", v);
  return text;
}

}  // namespace

OBoardProtocol::OBoardProtocol(OSerialPort& port, IWindowThread* window) : port_(&port), window_(window) {
  frame_.reserve(kMaxBatchLen + 5);
}

OBoardProtocol::~OBoardProtocol() { CancelPending(); }

double OBoardProtocol::TicksPerSecond() const {
  return timer_divider_ == 0 ? 0.0 : static_cast<double>(timer_clock_) / timer_divider_;
}

void OBoardProtocol::DrainStale(const char* command) {
  uint8_t stale[64];
  int total = 0;
  std::string shown;
  for (;;) {
    int n = 0;
    if (!port_->ReadSome(stale, sizeof stale, &n) || n == 0) break;
    for (int i = 0; i < n && shown.size() < 96; ++i) {
      char piece[4];
      std::snprintf(piece, sizeof piece, "%02X ", stale[i]);
      shown += piece;
    }
    total += n;
  }
  if (total == 0) return;
  Log() << LogColour(kColourNotice) << "Перед командой " << command << " из порта прочитаны лишние байты ("
        << total << "): " << shown << (total > 32 ? "..." : "") << "\n"
        << LogColour(kColourNormal);
}

int OBoardProtocol::TransactNow(const char* command, const uint8_t* request, size_t request_len,
                                uint8_t* reply, int reply_len, int timeout_ms, const std::atomic<bool>* cancel) {
  DrainStale(command);
  port_->Write(request, request_len);
  ++requests_sent_;
  if (reply_len <= 0) return 0;
  return port_->ReadAll(reply, reply_len, timeout_ms, cancel);
}

int OBoardProtocol::Transact(const char* command, const uint8_t* request, size_t request_len,
                             uint8_t* reply, int reply_len, int timeout_ms) {
  WaitForPort(command);
  // Inside a job a cancelled exchange ends the command's wait too.
  return TransactNow(command, request, request_len, reply, reply_len, timeout_ms,
                     OnExchangeThread() ? &cancel_ : nullptr);
}

bool OBoardProtocol::SetCS(uint8_t bits, uint8_t mask) {
  if (!port_->IsOpen()) return true;
  uint8_t r = 0;
  if (Transact("SetCS", {0xCD, 0x32, bits, mask}, &r, 1, 1000) < 1) {
    LogRed("SetCS() - не принят ответ на SetCS, вероятно не работает ком-порт или МК управления \n");
    return false;
  }
  if (r != 0x51) {
    Log() << "i=" << "0" << " R=" << LogHex(r) << "\n";
    LogRed("SetCS() - неправильный ответ на SetCS, вероятно не работает ком-порт или МК управления \n");
    return false;
  }
  return true;
}

int OBoardProtocol::SpiOut(uint8_t b) {
  if (!port_->IsOpen()) return 255;
  uint8_t r = 0;
  if (Transact("SpiOut", {0xCD, 0x3D, b}, &r, 1, 1000) < 1) {
    LogRed(std::string("Не принят ответ на SpiOut()") + kNoBoard + "\n");
    return -1;
  }
  return r;
}

bool OBoardProtocol::SpiSetMode(uint8_t m) {
  if (!port_->IsOpen()) return true;
  uint8_t r[3] = {};
  const int n = Transact("SpiSetMode", {0xCD, 0x3C, m}, r, 3, 1000);
  if (n < 3) {
    LogRed("Не принят ответ на SpiSetMode(), RdSz=" + std::to_string(n) + kNoBoard + "\n");
    return false;
  }
  if (r[0] != 0xA9 || r[1] != 0xE2 || r[2] != m) {
    LogRed("Неправильный ответ на SpiSetMode(), RdSz=" + std::to_string(n) + kNoBoard + "\n");
    return false;
  }
  return true;
}

bool OBoardProtocol::I2C_Cond(uint8_t c) {
  Transact("I2C_Cond", {0xCD, 0x47, c}, nullptr, 0, 0);
  return true;
}

bool OBoardProtocol::I2cOutReplyOk(int got, uint8_t r) {
  if (got < 1) {
    LogRed("CC_Rele_Dlg::I2C_Out() - ошибка, не пришел ответ от МК! \n");
    return false;
  }
  if (r != 0) {
    LogRed("CC_Rele_Dlg::I2C_Out() - ошибка на шине I2C_Error = " + HexText(r) + "\n");
    return false;
  }
  return true;
}

bool OBoardProtocol::I2cInReplyOk(int got) {
  if (got >= 1) return true;
  LogRed("CC_Rele_Dlg::I2C_In() - ошибка, не пришел ответ ! \n");
  return false;
}

bool OBoardProtocol::I2C_Out(uint8_t b) {
  uint8_t r = 0;
  const int got = Transact("I2C_Out", {0xCD, 0x48, b}, &r, 1, kI2cOutReplyMs);
  return I2cOutReplyOk(got, r);
}

int OBoardProtocol::I2C_In() {
  uint8_t r = 0;
  const int got = Transact("I2C_In", {0xCD, 0x49}, &r, 1, kI2cInReplyMs);
  return I2cInReplyOk(got) ? r : -1;
}

bool OBoardProtocol::SetMinusGenPeriod(uint8_t period, uint8_t duty) {
  if (!port_->IsOpen()) return true;
  uint8_t r = 0;
  if (Transact("SetMinusGenPeriod", {0xCD, 0x28, period, duty}, &r, 1, 1000) < 1 || r != 0xD1) {
    LogRed(std::string("Не принят ответ на SetMinusGenPeriod()") + kNoBoard + "\n");
    return false;
  }
  return true;
}

bool OBoardProtocol::GetMKBufSz() {
  buffer_size_ = kDefaultBufferSize;
  if (!port_->IsOpen()) return true;
  uint8_t r[4] = {};
  const int n = Transact("GetMKBufSz", {0xCD, 0x50}, r, 4, 1000);
  const BufSizeReply reply = DecodeBufSizeReply(r);
  const uint32_t r0 = reply.size, r1 = reply.complement;
  if (n < 4) {
    LogRed("Не принят ответ на GetMKBufSz(), RdSz=" + std::to_string(n) + " R=" + HexText(r0) +
        kNoBoard + "\n");
    return false;
  }
  if (!reply.SignatureOk()) {
    LogRed(std::string("Не принят ответ на GetMKBufSz(), неверная сигнатура") + kNoBoard +
        ", R0=" + std::to_string(r0) + " R1=" + std::to_string(r1) + "\n");
    return false;
  }
  buffer_size_ = static_cast<int>(r0);
  Log() << "ОБЪЁМ БУФЕРА МК = " << buffer_size_ << " байт \n";
  if (!reply.Usable()) {
    LogRed("Не принят ответ на GetMKBufSz(), нет памяти\n");
    return false;
  }
  return true;
}

bool OBoardProtocol::SetBigCmdAbonent() {
  if (!port_->IsOpen()) return true;
  const uint8_t sel = m_Rfm_Gen == 0 ? 1 : m_Rfm_Gen == 1 ? 2 : m_Rfm_Gen == 2 ? 4 : 0;
  uint8_t r = 0;
  const int n = Transact("SetBigCmdAbonent", {0xCD, 0x51, 0x07, static_cast<uint8_t>(0xFF - sel), 0xC0},
                         &r, 1, 1000);
  if (n < 1) {
    LogRed("Не принят ответ на SetBigCmdAbonent(), RdSz=" + std::to_string(n) + kNoBoard + "\n");
    return false;
  }
  if (r != 0x9A) {
    LogRed(std::string("Не принят ответ на SetBigCmdAbonent(), неверная сигнатура") + kNoBoard +
        ", R0=" + HexText(r) + "\n");
    return false;
  }
  return true;
}

bool OBoardProtocol::GetDelaysTimerInfo() {
  timer_clock_ = kDefaultTimerClock;
  timer_divider_ = kDefaultTimerDivider;
  if (!port_->IsOpen()) return true;
  // Pre-filled so that a short reply cannot pass the comparison of the copies.
  uint8_t r[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0};
  const int n = Transact("GetDelaysTimerInfo", {0xCD, 0x29}, r, 16, 2000);
  const TimerInfoReply reply = DecodeTimerInfoReply(r);
  const uint32_t fm = reply.clock, div = reply.divider, fm2 = reply.clock2, div2 = reply.divider2;
  if (n < 16) {
    LogRed("Не принят ответ на GetDelaysTimerInfo(), RdSz=" + std::to_string(n) + kNoBoard + "\n" +
        " fm=" + std::to_string(fm) + " div=" + std::to_string(div) + " fm2=" + std::to_string(fm2) +
        " div2=" + std::to_string(div2) + "\n");
    return false;
  }
  // A clock or divider of 0, or a rate at which 1 ms is not 1..32767 ticks, cannot time a batch.
  const double rate = reply.TicksPerSecond();
  if (!reply.Usable()) {
    LogRed("Неверный ответ на GetDelaysTimerInfo() \n");
    return false;
  }
  timer_clock_ = fm;
  timer_divider_ = div;
  Log() << "ТАЙМЕР МК: " << fm << "/" << div << " = " << rate << " Гц, 16 бит до "
        << 65536.0 / fm * div * 1000.0 << " мс \n";
  return true;
}

bool OBoardProtocol::Cmd_GetTIM4(int* counter) {
  *counter = -1;
  if (!port_->IsOpen()) return false;
  uint8_t r[3] = {};
  const int n = Transact("Cmd_GetTIM4", {0xCD, 0x55}, r, 3, 1000);
  if (n < 3) {
    LogRed("Cmd_GetTIM4() - не принят ответ, вероятно не работает ком-порт или МК управления, RdSz=" +
        std::to_string(n) + "\n");
    return false;
  }
  const Tim4Reply reply = DecodeTim4Reply(r);
  if (!reply.signature_ok) {
    LogRed("Cmd_GetTIM4() - неверная сигнатура ответа, RdSz=" + std::to_string(n) + " R=" + HexText(r[0]) +
        ", " + HexText(r[1]) + ", " + HexText(r[2]) + "\n");
    return false;
  }
  *counter = reply.counter;
  return true;
}

}  // namespace kavu

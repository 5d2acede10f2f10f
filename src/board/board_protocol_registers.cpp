// Register access of OBoardProtocol, built on the single commands.
#include "board/board_protocol.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

// The single I2C commands' codes (second frame byte).
constexpr uint8_t kI2cCond = 0x47, kI2cOut = 0x48, kI2cIn = 0x49;

}  // namespace

bool OBoardProtocol::SelectGen() {
  const int b = m_Rfm_Gen >= 0 && m_Rfm_Gen <= 2 ? 1 << m_Rfm_Gen : 0;
  return SetCS(static_cast<uint8_t>(7 - b), static_cast<uint8_t>(0xFF - b));
}

bool OBoardProtocol::DeselectAll() { return SetCS(7, 0xFF); }

bool OBoardProtocol::RfmRegWrite(uint8_t reg, uint8_t value) {
  if (!SelectGen()) return false;
  if (SpiOut(static_cast<uint8_t>(reg | 0x80)) < 0) return false;
  if (SpiOut(value) < 0) return false;
  return DeselectAll();
}

int OBoardProtocol::RfmRegRead(uint8_t reg) {
  if (!SelectGen()) return -1;
  if (SpiOut(reg) < 0) return -2;
  const int value = SpiOut(0xFF);
  if (value < 0) return -3;
  if (!DeselectAll()) return -4;
  return value;
}

bool OBoardProtocol::SpiWord16(uint16_t w) {
  if (!SelectGen()) return false;
  if (SpiOut(static_cast<uint8_t>(w >> 8)) < 0) return false;
  if (SpiOut(static_cast<uint8_t>(w & 0xFF)) < 0) return false;
  return DeselectAll();
}

int OBoardProtocol::RunI2c(const std::vector<I2cStep>& steps, int* value) {
  WaitForPort("I2C_Cond");
  // Inside a job a cancelled exchange ends the waits too.
  const std::atomic<bool>* cancel = OnExchangeThread() ? &cancel_ : nullptr;
  DrainStale("I2C_Cond");
  std::vector<uint8_t> request;
  request.reserve(steps.size() * 3);
  int owed = 0;  // replies still to come
  for (const I2cStep& step : steps) {
    request.push_back(0xCD);
    request.push_back(step.code);
    if (step.code == kI2cCond || step.code == kI2cOut) request.push_back(step.arg);
    if (step.code != kI2cCond) ++owed;
  }
  port_->Write(request.data(), request.size());
  requests_sent_ += static_cast<int64_t>(steps.size());
  for (const I2cStep& step : steps) {
    if (step.code == kI2cCond) continue;
    --owed;
    uint8_t r = 0;
    const bool out = step.code == kI2cOut;
    const int got = port_->ReadAll(&r, 1, out ? kI2cOutReplyMs : kI2cInReplyMs, cancel);
    if (out ? I2cOutReplyOk(got, r) : I2cInReplyOk(got)) {
      if (!out && value) *value = r;
      continue;
    }
    // A refused byte: the board still answers the steps after it, and those answers must not
    // be taken for the next command's. After a missing reply the rest came already or never do.
    if (got == 1 && owed > 0) {
      std::vector<uint8_t> rest(static_cast<size_t>(owed));
      port_->ReadAll(rest.data(), owed, kI2cOutReplyMs, cancel);
    }
    return step.fail;
  }
  return 0;
}

int OBoardProtocol::I2cRegWrite(uint8_t reg, uint8_t value) {
  return RunI2c({{kI2cCond, 0x01, 0},
                 {kI2cOut, 0xC0, -2},
                 {kI2cOut, reg, -3},
                 {kI2cOut, value, -4},
                 {kI2cCond, 0x02, 0}});
}

int OBoardProtocol::I2cBlockWrite(uint8_t reg, const uint8_t* bytes, int n) {
  std::vector<I2cStep> steps = {{kI2cCond, 0x01, 0}, {kI2cOut, 0xC0, -2}, {kI2cOut, reg, -3}};
  for (int i = 0; i < n; ++i) steps.push_back({kI2cOut, bytes[i], -4});
  steps.push_back({kI2cCond, 0x02, 0});
  return RunI2c(steps);
}

int OBoardProtocol::I2cRegRead(uint8_t reg) {
  int value = -6;
  const int result = RunI2c({{kI2cCond, 0x01, 0},
                             {kI2cOut, 0xC0, -2},
                             {kI2cOut, reg, -3},
                             {kI2cCond, 0x02, 0},
                             {kI2cCond, 0x01, 0},
                             {kI2cOut, 0xC1, -5},
                             {kI2cIn, 0, -6},
                             {kI2cCond, 0x10, 0},
                             {kI2cCond, 0x02, 0}},
                            &value);
  return result != 0 ? result : value;
}

bool OBoardProtocol::SetSpiModeToGen(int kind, bool force) {
  int mode = 3;
  if ((kind >= 1 && kind <= 5) || kind == 8) mode = 0;
  if (kind == 6) mode = 2;
  if (mode == spi_mode_ && !force) return true;
  Log() << "Включаю SPI mode" << LogHex(static_cast<uint32_t>(mode)) << ", был "
        << LogHex(static_cast<uint32_t>(spi_mode_)) << " IsForceSet=" << force << "\n";
  if (SpiSetMode(static_cast<uint8_t>(mode))) {
    spi_mode_ = mode;
    return true;
  }
  spi_mode_ = kSpiModeUnknown;
  return false;
}

}  // namespace kavu

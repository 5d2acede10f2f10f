// Register access of OBoardProtocol, built on the single commands.
#include "board/board_protocol.h"
#include "shell/log_console.h"

namespace kavu {

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

int OBoardProtocol::I2cRegWrite(uint8_t reg, uint8_t value) {
  I2C_Cond(0x01);
  if (!I2C_Out(0xC0)) return -2;
  if (!I2C_Out(reg)) return -3;
  if (!I2C_Out(value)) return -4;
  I2C_Cond(0x02);
  return 0;
}

int OBoardProtocol::I2cBlockWrite(uint8_t reg, const uint8_t* bytes, int n) {
  I2C_Cond(0x01);
  if (!I2C_Out(0xC0)) return -2;
  if (!I2C_Out(reg)) return -3;
  for (int i = 0; i < n; ++i) {
    if (!I2C_Out(bytes[i])) return -4;
  }
  I2C_Cond(0x02);
  return 0;
}

int OBoardProtocol::I2cRegRead(uint8_t reg) {
  I2C_Cond(0x01);
  if (!I2C_Out(0xC0)) return -2;
  if (!I2C_Out(reg)) return -3;
  I2C_Cond(0x02);
  I2C_Cond(0x01);
  if (!I2C_Out(0xC1)) return -5;
  const int value = I2C_In();
  if (value < 0) return -6;
  I2C_Cond(0x10);
  I2C_Cond(0x02);
  return value;
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

#pragma once
// Si4463 transceiver model (30 MHz crystal), SPI mode 0, driven by its command interface.
//
// A chip-select period that starts with a command byte carries the command and its arguments;
// the command runs when the chip select goes high and the chip is busy for the next
// kBusyPolls clear-to-send polls. READ_CMD_BUFF (44) answers the clear-to-send byte (00 busy,
// FF ready) and, when ready, the reply of the last command. FRR_A_READ (50) answers the fast
// response registers (the state). Commands: POWER_UP (02), PART_INFO (01, part 0x4463),
// FUNC_INFO (10), GPIO_PIN_CFG (13), SET_PROPERTY (11), GET_PROPERTY (12), CHANGE_STATE (34),
// START_TX (31). The output is on in state TX, at the frequency the properties held when
// START_TX came: (INTE + FRAC / 2^19) · 60 MHz / OUTDIV, OUTDIV from MODEM_CLKGEN_BAND (20 51).
#include <cstdint>
#include <map>
#include <vector>

#include "sim/spi_chip_model.h"

namespace kavu::sim {

class Si4463Model : public ISpiChipModel {
 public:
  static constexpr int kBusyPolls = 1;
  const char* Name() const override { return "si4463"; }
  int Mode() const override { return 0; }
  void Select() override { in_.clear(); }
  uint8_t Transfer(uint8_t mosi) override;
  void Deselect() override;
  SourceState Output() const override { return SourceState{tx_hz_, tx_}; }

  uint8_t Property(uint8_t group, uint8_t prop) const;
  // The frequency the current properties give, Hz.
  double PropertyHz() const;
  int Commands() const { return commands_; }

 private:
  void Run(const std::vector<uint8_t>& cmd);
  uint8_t Cts() const;

  std::map<uint16_t, uint8_t> props_;
  std::vector<uint8_t> in_;      // bytes of this chip-select period
  std::vector<uint8_t> reply_;   // reply of the last command
  size_t reply_pos_ = 0;
  int busy_ = 0;
  bool ready_read_ = false;      // READ_CMD_BUFF saw FF and now streams the reply
  bool tx_ = false;
  double tx_hz_ = 0.0;
  int commands_ = 0;
};

}  // namespace kavu::sim

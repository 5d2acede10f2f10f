#pragma once
// A stand-in for the ILI9488 display that the service test drives on CS0 (SPI mode 3): it takes
// every byte, counts them, and after the identification command 04 answers the display's ID
// bytes 00 54 80 66 in turn until the chip select rises. Never a generator: its output is off.
#include <cstdint>

#include "sim/spi_chip_model.h"

namespace kavu::sim {

class DisplayStubModel : public ISpiChipModel {
 public:
  const char* Name() const override { return "ili9488"; }
  int Mode() const override { return 3; }
  void Select() override { id_pos_ = -1; }
  uint8_t Transfer(uint8_t mosi) override {
    ++bytes_;
    if (id_pos_ >= 0) return kId[id_pos_++ % 4];
    if (mosi == 0x04) id_pos_ = 0;
    return 0x00;
  }
  void Deselect() override { id_pos_ = -1; }
  SourceState Output() const override { return {}; }
  long Bytes() const { return bytes_; }

 private:
  static constexpr uint8_t kId[4] = {0x00, 0x54, 0x80, 0x66};
  int id_pos_ = -1;
  long bytes_ = 0;
};

}  // namespace kavu::sim

#include "sim/si4463_model.h"

namespace kavu::sim {
namespace {

uint16_t Key(uint8_t group, uint8_t prop) { return static_cast<uint16_t>(group << 8 | prop); }

constexpr int kOutdiv[8] = {4, 6, 8, 12, 16, 24, 24, 24};

}  // namespace

uint8_t Si4463Model::Property(uint8_t group, uint8_t prop) const {
  const auto it = props_.find(Key(group, prop));
  return it == props_.end() ? 0 : it->second;
}

double Si4463Model::PropertyHz() const {
  const int outdiv = kOutdiv[Property(0x20, 0x51) & 7];
  const double inte = Property(0x40, 0x00);
  const double frac = static_cast<double>(Property(0x40, 0x01) << 16 | Property(0x40, 0x02) << 8 |
                                          Property(0x40, 0x03));
  return (inte + frac / 524288.0) * 60e6 / outdiv;
}

uint8_t Si4463Model::Cts() const {
  if (fault_ == SpiChipFault::kCtsStuck) return 0x00;
  if (fault_ == SpiChipFault::kCtsWrong) return 0x7F;
  return busy_ > 0 ? 0x00 : 0xFF;
}

uint8_t Si4463Model::Transfer(uint8_t mosi) {
  in_.push_back(mosi);
  if (in_.size() == 1) return 0xFF;
  if (in_[0] == 0x44) {  // READ_CMD_BUFF
    if (ready_read_) return reply_pos_ < reply_.size() ? reply_[reply_pos_++] : 0x00;
    const uint8_t c = Cts();
    if (c == 0xFF) {
      ready_read_ = true;
      reply_pos_ = 0;
    } else if (busy_ > 0) {
      --busy_;
    }
    return c;
  }
  if (in_[0] == 0x50) {  // FRR_A_READ: A = state, B..D zero
    return in_.size() == 2 ? static_cast<uint8_t>(tx_ ? 7 : 3) : 0x00;
  }
  return 0xFF;
}

void Si4463Model::Deselect() {
  ready_read_ = false;
  if (in_.empty() || in_[0] == 0x44 || in_[0] == 0x50 || in_[0] == 0x00) {
    in_.clear();
    return;
  }
  Run(in_);
  in_.clear();
}

void Si4463Model::Run(const std::vector<uint8_t>& c) {
  ++commands_;
  busy_ = kBusyPolls;
  reply_.clear();
  switch (c[0]) {
    case 0x01: {  // PART_INFO
      const uint8_t part_lo = fault_ == SpiChipFault::kWrongType ? 0x38 : 0x63;
      reply_ = {0x11, 0x44, part_lo, 0x00, 0x00, 0x0F, 0x00, 0x06};
      break;
    }
    case 0x10: reply_ = {0x05, 0x02, 0x00, 0x00, 0x00, 0x01}; break;  // FUNC_INFO
    case 0x13: reply_ = {0x21, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00}; break;  // GPIO_PIN_CFG
    case 0x11:  // SET_PROPERTY group n first values...
      if (c.size() >= 4) {
        for (size_t i = 4; i < c.size() && i - 4 < c[2]; ++i) {
          props_[Key(c[1], static_cast<uint8_t>(c[3] + i - 4))] = c[i];
        }
      }
      break;
    case 0x12:  // GET_PROPERTY group n first
      if (c.size() >= 4) {
        for (int i = 0; i < c[2]; ++i) reply_.push_back(Property(c[1], static_cast<uint8_t>(c[3] + i)));
      }
      break;
    case 0x34:  // CHANGE_STATE
      if (c.size() >= 2 && c[1] != 7) tx_ = false;
      break;
    case 0x31:  // START_TX
      tx_ = true;
      tx_hz_ = PropertyHz();
      break;
    default: break;  // POWER_UP and others: accepted
  }
}

}  // namespace kavu::sim

#pragma once
// What lies behind the emulated board's microcontroller: the I2C bus (the Si5351 at write address
// 0xC0), the SPI bus with its chip selects, the bridge lines, the -5 V PWM, and the player of a
// stored batch. The emulated board's core (EmulatedBoard) parses the serial byte stream, answers
// commands and calls this interface for everything the firmware would do with its pins.
//
// Threading: every call comes from the emulated board's own thread, one at a time. An
// implementation that other threads read (tests, the virtual bench) guards its state itself.
//
// Adding hardware: derive from IBoardHardware, route I2C bytes by address and SPI transfers by
// the chip select that is low, and give PlayBatch an interpreter of the batch elements (the
// element codes and the marker meanings are fixed in sim/firmware_assumptions.h).
#include <cstdint>
#include <span>

#include "sim/board_clock.h"

namespace kavu::sim {

// The board's delay timer as GetDelaysTimerInfo reports it. One batch tick lasts
// divider / clock_hz seconds. The emulated board reports kDefaultTimerClockHz and
// kDefaultTimerDivider (156,250 ticks per second, 6.4 us per tick) unless configured otherwise.
struct BoardTimer {
  uint32_t clock_hz = 10'000'000;
  uint32_t divider = 64;

  // Ticks per second; 0 when clock or divider is 0 (the board core never configures that).
  double TicksPerSecond() const {
    return divider == 0 ? 0.0 : static_cast<double>(clock_hz) / divider;
  }
};
inline constexpr uint32_t kDefaultTimerClockHz = 10'000'000;
inline constexpr uint32_t kDefaultTimerDivider = 64;

// Bits of the board's output byte (the byte SetCS writes): CS0..CS2 are active low. After power-on
// the byte is kPowerOnOutputs: every chip select high, both bridge lines low (bridge off).
enum BoardLine : uint8_t {
  kLineCs0 = 0x01,
  kLineCs1 = 0x02,
  kLineCs2 = 0x04,
  kLineBridgeRef = 0x08,  // set = bridge in the reference ("O") position
  kLineBridgeAnt = 0x10,  // set = bridge in the antenna ("Ант") position
  kLineAux5 = 0x20,       // set once by the generator initialisation, no known function
};
inline constexpr uint8_t kPowerOnOutputs = 0x07;

// I2C error codes the board reports (I2C_Out reply, the last byte of a run reply). 0 = acknowledged.
enum BoardI2cError : uint8_t {
  kI2cOk = 0x00,
  kI2cAddressNack = 0x01,  // nobody acknowledged the address byte
  kI2cDataNack = 0x02,     // a data byte was not acknowledged
  kI2cBusError = 0x04,     // bus stuck or a byte sent without a start condition
};

// What SetBigCmdAbonent chose for the elements of later batches (the three bytes after CD 51).
// An SPI element sets the output lines in `cs_mask` to the matching bits of `cs_level` for the
// transfer, so with mask 07 and level 0xFF - sel the selected chip select goes low and the other
// two high; afterwards every line in `cs_mask` goes high again. An I2C element sends
// start, `i2c_address`, its bytes, stop.
struct BatchTarget {
  uint8_t cs_mask = 0x07;
  uint8_t cs_level = 0xFE;
  uint8_t i2c_address = 0xC0;
};

// Everything a batch run needs from the board core.
struct BatchRunContext {
  BoardTimer timer;
  BatchTarget target;
  uint8_t outputs = kPowerOnOutputs;  // the output byte when the run starts
  // Board-clock time at which the run command's last byte arrived, in ns (the timeline's
  // anchor). The board clock is steady_clock on a pseudo-terminal, the bench's sample clock on
  // the virtual bench.
  int64_t arrival_ns = 0;
  // The board's clock. With it a run starts no earlier than the moment its timeline exists: a
  // board thread that was late (a loaded or emulated host) starts the run late, as a slower
  // board would, so samples made meanwhile never miss the run's beginning. Without it the run
  // starts at arrival_ns.
  IBoardClock* clock = nullptr;
};

struct BatchRunResult {
  // Length of the run's timeline from its anchor, in timer ticks (not limited to 15 bits). The
  // core sends the run reply when this time has passed on the board clock.
  uint64_t duration_ticks = 0;
  // First I2C error of the run (kI2cOk when every byte was acknowledged): the run reply's last byte.
  uint8_t i2c_error = kI2cOk;
  // The output byte the run leaves behind (bridge and chip-select lines).
  uint8_t outputs = kPowerOnOutputs;
  // When the run started on the board clock (its timeline's anchor).
  int64_t anchor_ns = 0;
};

class IBoardHardware {
 public:
  virtual ~IBoardHardware() = default;

  // The output byte changed (SetCS). The hardware starts with kPowerOnOutputs without a call.
  virtual void SetOutputs(uint8_t outputs) = 0;
  // One SPI byte exchanged while the chip selects stand as the last SetOutputs left them;
  // returns the byte clocked in (0xFF when no device drives the line).
  virtual uint8_t SpiTransfer(uint8_t out) = 0;
  // SPI mode 0..3 (clock polarity and phase) for later transfers.
  virtual void SetSpiMode(uint8_t mode) = 0;
  // The -5 V charge-pump PWM: period and duty in PWM counts (duty 0 = off).
  virtual void SetMinusGenPwm(uint8_t period, uint8_t duty) = 0;

  // I2C primitives of the single commands (I2C_Cond codes 01, 02, 10 and I2C_Out / I2C_In).
  virtual void I2cStart() = 0;
  virtual void I2cStop() = 0;
  // Sends one byte (the first after a start is the address with the read bit); returns kI2cOk
  // when acknowledged, else a BoardI2cError.
  virtual uint8_t I2cWrite(uint8_t byte) = 0;
  // Reads one byte from the addressed device (0xFF when nobody drives the bus).
  virtual uint8_t I2cRead() = 0;
  // The master ends a read (not-acknowledge after the last byte read), before the stop.
  virtual void I2cEndRead() = 0;

  // Plays a stored batch (the bytes BigCmd2 stored, ending with 0xFF) element by element on the
  // timeline anchored at ctx.arrival_ns, and returns its length and I2C result. Called when
  // BigCmd2 with run (CD 5C) or BigCmd2_Exec (CD 5B) arrives; the core holds the reply until
  // duration_ticks have passed and parses no further commands meanwhile.
  virtual BatchRunResult PlayBatch(std::span<const uint8_t> batch, const BatchRunContext& ctx) = 0;
};

}  // namespace kavu::sim

#pragma once
// Register model of the Si5351A clock generator on the emulated board's I2C bus (write address
// 0xC0, read address 0xC1): what the chip would generate for the registers written to it.
//
// Modelled registers: 3 (output disable bits), 15 (PLL input source), 16..18 (CLK0..2 control:
// power-down bit 7, integer flag bit 6, PLL B select bit 5, source bits 3..2), 24 (disable state,
// two bits per output: 3 = never disabled), 26..33 / 34..41 (PLL A / PLL B feedback multisynth),
// 42..65 (multisynth 0..2 with R divider and DIVBY4). Register 9 (OEB pin mask) has no effect:
// the board ties the OEB pin to "enabled". Every other register is stored and read back
// but has no effect. All 256 registers start at 0, except CLK control registers which start
// powered down (0x80) and register 3 which starts with every output disabled (0xFF).
//
// Not thread-safe: the owner (the emulated board's hardware) serialises access.
#include <array>
#include <cstdint>

namespace kavu::sim {

// What one output generates.
struct Si5351Output {
  double hz = 0.0;   // frequency of the square wave at the pin, Hz (0 when nothing runs)
  bool on = false;   // the pin toggles (powered up, fed by a multisynth, enabled or never disabled)
};

class Si5351Model {
 public:
  static constexpr uint8_t kWriteAddress = 0xC0;
  static constexpr uint8_t kReadAddress = 0xC1;
  static constexpr int kOutputs = 3;

  explicit Si5351Model(double crystal_hz = 25'000'000.0) : crystal_hz_(crystal_hz) { Reset(); }

  // Power-on state (see above).
  void Reset();
  double CrystalHz() const { return crystal_hz_; }
  void SetCrystalHz(double hz) { crystal_hz_ = hz; }
  // A chip that does not answer (absent, or a fault injected): every byte is not acknowledged.
  void SetPresent(bool present) { present_ = present; }

  // I2C transaction, as the bus master drives it. Write returns true when acknowledged.
  void Start();
  bool Write(uint8_t byte);
  uint8_t Read();
  void Stop();

  // Direct register access (tests and diagnostics).
  uint8_t Reg(uint8_t reg) const { return regs_[reg]; }
  void SetReg(uint8_t reg, uint8_t value) { regs_[reg] = value; }

  // What output k (0..2) generates now. A multisynth or PLL whose parameters are zero or invalid
  // gives hz 0 and on false.
  Si5351Output Output(int k) const;
  // VCO frequency of PLL A (pll 0) or PLL B (pll 1), Hz; 0 when its parameters are invalid.
  double PllHz(int pll) const;

 private:
  // Ratio (P1 + 512 + P2 / P3) / 128 of the parameter block at `base`; 0 when P3 is 0.
  double MultisynthRatio(int base) const;

  enum class Phase { Idle, Address, Writing, Reading, Ignored };
  std::array<uint8_t, 256> regs_{};
  double crystal_hz_;
  bool present_ = true;
  Phase phase_ = Phase::Idle;
  bool have_pointer_ = false;
  uint8_t pointer_ = 0;
};

}  // namespace kavu::sim

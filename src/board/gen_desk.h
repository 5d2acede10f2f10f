#pragma once
// GenDesk: the description of one SPI generator slot (chip select CS0..CS2), kept in the settings
// section "CDlgOptions_RfmGen<slot>", and the table of generator kinds.
//
// Kinds: 0 none, 1 Rfm22b, 2 Rfm23b, 3 Rfm69CW, 4 Rfm69HC pa1, 5 Rfm69HC pa12, 6 AD9833,
// 7 ADF4351, 8 Si4463. A slot with a positive fixed frequency is a fixed source: it is set to
// that frequency at initialisation and not offered in the generator list. Every frequency sent
// to an SPI generator is first multiplied by 1 + ppm * 1e-6 (CorrectedHz).
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "shell/settings_fields.h"

namespace kavu {

inline constexpr int kGenKindCount = 9;
inline constexpr int kGenSlots = 3;
inline constexpr int kSi4463BandUnknown = -111;

struct GenKindInfo {
  const char* options_text;  // text of the options window
  const char* list_text;     // text of the generator list (nullptr: not listed)
  int spi_mode;              // SPI mode 0..3 the chip needs
};
// Kind 0..8; any other value gives kind 0's entry.
const GenKindInfo& GenKind(int kind);

struct GenDesk {
  int32_t m_GenRfmType = 0;          // kind 0..8
  int32_t m_GenPowerRfm22 = 0;       // 0..7
  int32_t m_GenPowerRfm69 = 0;       // 0..31
  int32_t m_dds_Forma = 0;           // AD9833 waveform 0..2
  int32_t m_ADF4351_Pow = 0;         // ADF4351 output power 0..3
  double m_ADF4351_BaseFM = 25e6;    // ADF4351 reference, Hz
  double ppm = 0.0;                  // "I.ppm": frequency error, parts per million
  double RfmFixFM = 0.0;             // fixed frequency, Hz; 0 = swept
  int32_t m_GenPowerSI4463 = 0;      // 0..127
  int32_t si4463_band = kSi4463BandUnknown;  // set by the Si4463 driver
  // The ADF4351 register record (MyADF4351) is kept by the slot's driver (adf4351_gen.h).

  // The stored keys with their defaults and ranges (a value outside gives the default, the two
  // powers are clamped).
  static std::span<const SettingBinding<GenDesk>> Bindings();
  // The load checks (idempotent).
  void Check();
  bool IsFixed() const { return RfmFixFM > 0.0; }
  // The frequency actually sent to the chip for a request of `hz`.
  double CorrectedHz(double hz) const { return hz * (1.0 + ppm * 1e-6); }

  static std::string Section(int slot);  // "CDlgOptions_RfmGen<slot>"
  static GenDesk Load(int slot);
  void Save(int slot) const;

  bool operator==(const GenDesk&) const = default;
};

using GenDesks = std::array<GenDesk, kGenSlots>;
GenDesks LoadGenDesks();

}  // namespace kavu

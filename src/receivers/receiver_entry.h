#pragma once
// One entry of the receiver list, its code and its key.
//
// ReceiverCode (stored with each entry; entries stay in discovery order):
//   0 … 63            SDRplay device, index into the SDRplay device array
//   1,000,000         an ExtIO plug-in file (the entry text is the file name)
//   2,000,000 + i     RTL-SDR device i
//   3,000,000 + i     HackRF device i
//   −1 … −4           placeholders: no SDRplay, no ExtIO plug-in, no RTL-SDR, no HackRF
// ReceiverKey identifies an entry across runs (the setting m_SelectSdrKey of "ODlgSpektr"):
//   code < 0 → "" (never matched); code ≥ 2,000,000 (RTL-SDR and HackRF alike) → "RtlSdr " +
//   text; 0 … 999,999 → "SdrPlay_<hardware version>_<serial>"; otherwise "ExtIO_plugin " + text.
#include <cstdint>
#include <string>

namespace kavu {

enum class ReceiverKind { kSdrPlay, kExtIO, kRtlSdr, kHackRf };

inline constexpr int32_t kCodeExtIO = 1'000'000;
inline constexpr int32_t kCodeRtlSdr = 2'000'000;
inline constexpr int32_t kCodeHackRf = 3'000'000;
inline constexpr int32_t kCodeNoSdrPlay = -1;
inline constexpr int32_t kCodeNoExtIO = -2;
inline constexpr int32_t kCodeNoRtlSdr = -3;
inline constexpr int32_t kCodeNoHackRf = -4;

struct ReceiverEntry {
  int32_t code = 0;
  std::string text;             // the list text
  int32_t sdrplay_hw_ver = 0;   // SDRplay entries only
  std::string sdrplay_serial;   // SDRplay entries only
};

// Kind by code, tested in this order: ≥ 3,000,000 HackRF; ≥ 2,000,000 RTL-SDR; 0 … 999,999
// SDRplay; anything else ExtIO (this includes the placeholders −1 … −4).
ReceiverKind KindOfCode(int32_t code);
// Which settings window an entry opens: −4 counts as HackRF and −3 as RTL-SDR; every other code
// below 1,000,000 (SDRplay devices, −1, −2) opens the SDRplay window.
ReceiverKind WindowKindOfCode(int32_t code);
std::string ReceiverKey(const ReceiverEntry& entry);
// Short kind names for listings: "SDRplay", "ExtIO", "RTL-SDR", "HackRF"; placeholders included.
const char* KindName(ReceiverKind kind);
// The kind a placeholder code stands for (−1 SDRplay, −2 ExtIO, −3 RTL-SDR, −4 HackRF), else by code.
ReceiverKind KindOfEntry(int32_t code);

}  // namespace kavu

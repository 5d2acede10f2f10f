#pragma once
// The main window's numbers and texts as pure functions, so they are tested without a window:
// manual tuning steps, the double-click frequency, the frequency edits' text, the result lines
// over the waterfall and the receive-status line.
#include <cstdint>
#include <string>
#include <vector>

#include "scan/measurement.h"
#include "scan/scan_plan.h"

namespace kavu {

// One spin step of a frequency edit: `hz` ± 0.1 MHz per step (`steps` may be negative), never
// below 2500 Hz. Hz.
double SpinStepFrequency(double hz, int steps);

// The generator frequency of a double click in the live picture at `fraction` of its width
// (0 left edge, 1 right edge): the receiver band of `rate_hz` around `receiver_hz`, rounded
// down to whole kilohertz. Hz; never negative.
double DoubleClickFrequency(double fraction, double rate_hz, double receiver_hz);

// A frequency edit's text: "%0.9f" MHz with trailing zeros removed, then " МГц".
std::string MhzEditText(double hz);

// The result lines: the last point (when its frequency is above 0) as
// "f=%0.3f, Z=(%0.3f, %0.3f), КСВ=%0.2f  ", then one summary per range followed by four blanks.
std::vector<std::string> ResultLines(const MeasuredPoint& last, const ScanRange* ranges, int count);

// What the receive-status line reports once a second while no scan runs.
struct ReceiveFigures {
  double rate_sps = 0;        // measured sample rate, samples per second
  uint32_t max_block = 0;     // largest block the receiver delivered since the last report
  float peak_a = 0, peak_b = 0;
  bool has_b = false;
  bool has_spectrum = false;  // a spectrum frame has been averaged
  double spectrum_min_db = 0, spectrum_max_db = 0;
  bool rtl = false;           // the active receiver is an RTL-SDR
  int direct_mode = 0;        // RTL-SDR direct sampling: 0 off, 1 input I, 2 input Q
  double gain_db = 0;         // RTL-SDR gain
  bool hackrf = false;        // the active receiver is a HackRF
  int lna = 0, vga = 0;       // HackRF gains, dB
  bool amp = false;           // HackRF amplifier on
  bool sdrplay = false;       // the active receiver is an SDRplay
  int grdb = 0, sdr_lna = 0;  // SDRplay gain reduction (dB) and LNA state
};
// "Поток %0.3f МВыб/с, блок %d (%0.1f мс); Пик %0.3f[/%0.3f][, спектр [%0.0f - %0.0f] дб]"
// and the RTL-SDR's ", G=%0.1f" (", InI" / ", InQ" in direct sampling) or the HackRF's
// ", lna=%d", "amp" with the amplifier on, " vga=%d", or the SDRplay's ", gRdB=%d, lna=%d".
std::string ReceiveStatusText(const ReceiveFigures& f);

}  // namespace kavu

#pragma once
// The virtual bench's settable imperfections, each with a realistic default, settable by name
// (the command line's --sim-set NAME=VALUE) and listed with its default and meaning.
//
// Levels: the reference tone (the bridge's reference node with the program's default resistors)
// reaches ref_lsb LSB of the 8-bit converter at 0 dB receiver gain; the noise is noise_db below
// that tone within a 20 kHz band. The bridge resistors default to the program's defaults and may
// be set off them (to test calibration).
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavu::sim {

struct BenchImpairments {
  double seed = 1;              // random seed: equal seeds give equal runs
  double ref_lsb = 60;          // reference tone amplitude at 0 dB gain, LSB
  double noise_db = -60;        // noise within 20 kHz relative to the reference tone, dB
  double dc_lsb = 1.5;          // DC spike (converter offset), LSB
  // Phase random walk of the tones, rad per √s at 100 MHz; it grows in proportion to the tone's
  // frequency (both crystals are multiplied up to it). The default is that of two typical crystal
  // oscillators, the board's and the receiver's, each −125 dBc/Hz at 100 Hz from 25 MHz in its
  // white-frequency-noise region: a walk of variance D·t has L(f) = D / (2π f)², so each gives
  // D = 10^−12.5 · (2π · 100)² · (100 / 25)² = 2.0e−6 rad²/s at 100 MHz, both together
  // √(4.0e−6) = 0.002 rad/√s (0.0029 at 145 MHz: 0.18 mrad over 4 ms).
  double phase_wander = 0.002;
  // Generator frequency error against the receiver's crystal, ppm. Two crystal oscillators never
  // agree exactly; after the user has set the generator's crystal a ppm or two remain. With 0
  // every tone would sit on the same simple fraction of the sample rate in every burst (offsets
  // in steps of 100 kHz at 1.2 MS/s), and the converter's rounding error would repeat with the
  // tone instead of averaging out.
  double gen_ppm = 1.5;
  double board_ppm = 0;         // control board clock error, ppm (its timer runs fast when > 0)
  double gain_step_db = 0.1;    // random receiver gain step at every retune (between groups), dB rms
  double latency_us = 500;      // from the run command's arrival to the start of its timeline, µs
  double harmonics = 1;         // 1: generator outputs carry their harmonics (Si5351: odd ones)
  double bridge_rt = 56;        // the bench's bridge: upper resistors, Ω
  double bridge_rb = 51;        // lower resistor of the reference arm, Ω
  double bridge_rd = 330;       // divider series resistor, Ω
  double bridge_rg = 24;        // divider shunt resistor, Ω
  double bridge_cs_pf = 0;      // separating capacitor, pF (0 = none)
  double rx_fault = 0;          // receiver fault: 0 none, 1 unplugged, 2 stalls, 3 open fails

  struct Item {
    const char* name;
    double BenchImpairments::*field;
    double min, max;
    const char* meaning;
  };
  static const std::vector<Item>& Items();

  // Sets NAME to VALUE; false with the reason in *error for an unknown name, an unparsable or
  // out-of-range value.
  bool Set(std::string_view name, std::string_view value, std::string* error);
  // "NAME=VALUE" form.
  bool SetAssignment(std::string_view assignment, std::string* error);
  std::optional<double> Get(std::string_view name) const;
  // One line per item: "name default meaning".
  static std::string ListText();
};

}  // namespace kavu::sim

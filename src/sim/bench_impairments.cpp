#include "sim/bench_impairments.h"

#include <cmath>
#include <cstdio>

#include "platform/number_text.h"

namespace kavu::sim {

const std::vector<BenchImpairments::Item>& BenchImpairments::Items() {
  using B = BenchImpairments;
  static const std::vector<Item> items = {
      {"seed", &B::seed, 0, 4294967295.0, "random seed (equal seeds give equal runs)"},
      {"ref_lsb", &B::ref_lsb, 0.01, 127, "reference tone at 0 dB gain, LSB of the 8-bit converter"},
      {"noise_db", &B::noise_db, -200, 40, "noise within 20 kHz relative to the reference tone, dB"},
      {"dc_lsb", &B::dc_lsb, 0, 127, "DC spike (converter offset), LSB"},
      {"phase_wander", &B::phase_wander, 0, 100, "tone phase random walk, rad per sqrt(s) at 100 MHz (scales with f)"},
      {"gen_ppm", &B::gen_ppm, -100000, 100000, "generator crystal against the receiver's, ppm"},
      {"board_ppm", &B::board_ppm, -100000, 100000, "control board clock error, ppm (> 0: fast)"},
      {"gain_step_db", &B::gain_step_db, 0, 20, "random receiver gain step at every retune, dB rms"},
      {"latency_us", &B::latency_us, 0, 1e6, "run command arrival to timeline start, us"},
      {"harmonics", &B::harmonics, 0, 1, "1: outputs carry harmonics at 1/h (Si5351: odd only)"},
      {"bridge_rt", &B::bridge_rt, 0.1, 1e6, "bridge upper resistors, Ohm"},
      {"bridge_rb", &B::bridge_rb, 0.1, 1e6, "bridge reference arm lower resistor, Ohm"},
      {"bridge_rd", &B::bridge_rd, 0.1, 1e6, "divider series resistor, Ohm"},
      {"bridge_rg", &B::bridge_rg, 0.1, 1e6, "divider shunt resistor, Ohm"},
      {"bridge_cs_pf", &B::bridge_cs_pf, 0, 1e9, "separating capacitor, pF (0 = none)"},
      {"rx_fault", &B::rx_fault, 0, 3, "receiver fault: 0 none, 1 unplugged, 2 stalls, 3 open fails"},
  };
  return items;
}

bool BenchImpairments::Set(std::string_view name, std::string_view value, std::string* error) {
  for (const Item& item : Items()) {
    if (name != item.name) continue;
    const auto v = ParseRealWhole(value);
    if (!v || *v < item.min || *v > item.max) {
      if (error) {
        *error = std::string(name) + ": '" + std::string(value) + "' не число от " +
                 FormatG(item.min, 9) + " до " + FormatG(item.max, 9);
      }
      return false;
    }
    this->*item.field = *v;
    return true;
  }
  if (error) *error = "неизвестный параметр стенда '" + std::string(name) + "' (список: --sim-set list)";
  return false;
}

bool BenchImpairments::SetAssignment(std::string_view assignment, std::string* error) {
  const size_t eq = assignment.find('=');
  if (eq == std::string_view::npos) {
    if (error) *error = "ожидалось ИМЯ=ЗНАЧЕНИЕ, а не '" + std::string(assignment) + "'";
    return false;
  }
  return Set(assignment.substr(0, eq), assignment.substr(eq + 1), error);
}

std::optional<double> BenchImpairments::Get(std::string_view name) const {
  for (const Item& item : Items()) {
    if (name == item.name) return this->*item.field;
  }
  return std::nullopt;
}

std::string BenchImpairments::ListText() {
  const BenchImpairments defaults;
  std::string out;
  for (const Item& item : Items()) {
    char line[256];
    std::snprintf(line, sizeof line, "%-14s %-10s %s\n", item.name,
                  FormatG(defaults.*item.field, 9).c_str(), item.meaning);
    out += line;
  }
  return out;
}

}  // namespace kavu::sim

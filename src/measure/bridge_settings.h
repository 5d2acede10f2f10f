#pragma once
// The measuring bridge, cable and second-channel choices that the impedance computation uses,
// kept by the graph-selection panel in settings section "CDlg_SelectGraph". Read once into this
// plain struct on the window thread and handed by value to whoever computes (the sample thread
// never reads the settings store).
#include <cstdint>
#include <span>

#include "shell/settings_fields.h"

namespace kavu {

struct BridgeSettings {
  double rt = 56;        // m_Most1 "Rверх": each upper resistor, generator to node A and node O, Ω
  double rb = 51;        // m_Most2 "Rниз": lower resistor of the reference (O) arm, Ω
  double rd = 330;       // m_Most3 "Rдел": series resistor of the divider feeding the receiver, Ω
  double rg = 24;        // m_Most4 "Rзем": shunt resistor of that divider, Ω
  double cs_pf = 0;      // m_Most5 "Сразд": separating capacitor in front of the receiver, pF (0 = none)
  double z0 = 50;        // m_RCable: reference impedance for Γ, SWR and the cable, Ω
  double cable_m = 0;    // m_LenCable: electrical length of the cable, m (0 = no transformation)
  int32_t trans_len = 0;     // m_IsTransLen: 0 off, 1 or 2 = transform scan points and displays
  int32_t use_duo_ampl = 0;  // m_UseDuoAmpl: non-zero = correct |A/O| by the second input's
  int32_t use_duo_faza = 0;  // m_UseDuoFaza: non-zero = use the phase measured with input B

  // The receiver input impedance the detector branch ends in, Ω.
  static constexpr double kReceiverOhm = 50.0;
  // The longest cable taken from the settings, m (either sign): beyond it the transformation
  // only yields overflow and NaN, never a measurement.
  static constexpr double kMaxCableM = 10'000.0;

  static constexpr const char* kSection = "CDlg_SelectGraph";

  // Every key with its default and range: a real outside its limits reads as its default (Rt, Rb
  // 5 … 6800; Rd 24 … 5100; Rg 1 … 10000; Cs 0 … 999999 pF; Z0 1 … 500); check boxes as stored
  // (default 0). The cable length has no range here: LoadBridgeSettings checks it and logs.
  static std::span<const SettingBinding<BridgeSettings>> Bindings();

  bool operator==(const BridgeSettings&) const = default;
};

// Reads section "CDlg_SelectGraph" through BridgeSettings::Bindings(), the way the panel loads
// it; the cable length must be finite and within ±10 km, else 0 with a log line naming the key.
BridgeSettings LoadBridgeSettings();

}  // namespace kavu

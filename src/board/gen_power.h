#pragma once
// The output power the options window shows for a slot's stored power setting, dBm.
#include <optional>
#include <string>

#include "board/gen_desk.h"

namespace kavu {

// Kinds 1, 2: Rfm22 power 0..7 (3p - 1, 3p - 8); kinds 3..5: Rfm69 power (p - 18, levels below
// 16 counting as 16 on kinds 4 and 5, whose kind 5 gives p - 14); kind 7: ADF4351 power 0..3
// (3p - 4); kind 8: Si4463 power (22.2 - 285 / (p + 5)). Nothing for kinds without a power
// setting (0, 6).
std::optional<double> GenPowerDbm(const GenDesk& desk);

// The generator's part of a saved scan's file name, for generator list data `gen_num` (0..2
// the Si5351 outputs, 100..102 the SPI slots of `desks`): " si5351", " si5351-<k>", " rfm22b",
// " rfm23b", " rfm69", " dds_ad9833", " ADF4351" (+ "+<power>дБм" when `with_power`),
// " si4463"; empty for anything else.
std::string GenFileNameText(int gen_num, const GenDesks& desks, bool with_power);

}  // namespace kavu

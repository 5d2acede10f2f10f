#include "board/gen_power.h"

#include <algorithm>

namespace kavu {

std::optional<double> GenPowerDbm(const GenDesk& d) {
  const int p69 = d.m_GenRfmType == 3 ? d.m_GenPowerRfm69 : std::max(d.m_GenPowerRfm69, 16);
  switch (d.m_GenRfmType) {
    case 1: return 3.0 * d.m_GenPowerRfm22 - 1.0;
    case 2: return 3.0 * d.m_GenPowerRfm22 - 8.0;
    case 3: case 4: return p69 - 18.0;
    case 5: return p69 - 14.0;
    case 7: return 3.0 * d.m_ADF4351_Pow - 4.0;
    case 8: return 22.2 - 285.0 / (d.m_GenPowerSI4463 + 5.0);
    default: return std::nullopt;
  }
}

std::string GenFileNameText(int g, const GenDesks& desks, bool with_power) {
  if (g == 0) return " si5351";
  if (g > 0 && g < 3) return " si5351-" + std::to_string(g);
  if (g < 100 || g >= 100 + kGenSlots) return "";
  const GenDesk& d = desks[static_cast<size_t>(g - 100)];
  switch (d.m_GenRfmType) {
    case 1: return " rfm22b";
    case 2: return " rfm23b";
    case 3: case 4: case 5: return " rfm69";
    case 6: return " dds_ad9833";
    case 7:
      return with_power ? " ADF4351+" + std::to_string(3 * d.m_ADF4351_Pow - 4) + "дБм" : " ADF4351";
    case 8: return " si4463";
    default: return "";
  }
}

}  // namespace kavu

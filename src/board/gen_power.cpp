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

}  // namespace kavu

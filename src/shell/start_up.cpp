#include "shell/start_up.h"

#include "shell/log_console.h"

namespace kavu {

void PrintBanner() {
  Log() << "[If you don't see Russian text -\n select True Type (TTF) font in console properties]\n";
  Log() << LogColour(kColourBanner) << " * Антенный анализатор на основе SDR-приёмника * \n"
        << " * " << kAppVersionText << " * \n" << LogColour(kColourNormal);
}

}  // namespace kavu

#include "board/gen_spi_unsupported.h"

#include "board/gen_desk.h"
#include "shell/log_console.h"

namespace kavu {

std::string GenSpiUnsupported::Text() const {
  return std::string("генератор ") + GenKind(kind_).options_text +
         " пока не поддерживается этой версией программы";
}

bool GenSpiUnsupported::Init() {
  Log() << LogColour(kColourError) << Text() << " \n" << LogColour(kColourNormal);
  return false;
}

bool GenSpiUnsupported::SetF(double) {
  gen_->error_text = Text();
  return false;
}

bool GenSpiUnsupported::On(bool) { return false; }

BatchStep GenSpiUnsupported::AppendFrequencyStep(double, std::vector<uint8_t>&,
                                                 std::string& reason) {
  reason = " " + Text() + "\n";
  return BatchStep::kFailed;
}

}  // namespace kavu

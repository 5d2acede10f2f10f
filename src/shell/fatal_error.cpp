#include "shell/fatal_error.h"

#include <cstdlib>
#include <string>

#include "shell/log_console.h"

namespace kavu {
namespace {
std::function<void(std::string_view)>& Hook() {
  static auto* hook = new std::function<void(std::string_view)>();
  return *hook;
}
}  // namespace

void SetFatalErrorHook(std::function<void(std::string_view)> hook) { Hook() = std::move(hook); }

void FatalError(std::string_view text) {
  Log() << LogColour(kColourError) << "HALTY " << text << "\n" << LogColour(kColourNormal);
  if (Hook()) Hook()(text);
  std::_Exit(3);
}

}  // namespace kavu

#pragma once
// The stop for broken internal invariants (a table overflow, a missing initialisation, a
// forbidden call order). Never for user input or device failures: those go through the error box.
#include <functional>
#include <string_view>

namespace kavu {

// Logs "HALTY " + text in red, shows the text through the hook the front end installed (a message
// box in the desktop program), and ends the process at once without clean-up (exit status 3).
[[noreturn]] void FatalError(std::string_view text);

// The front end's way of showing the text before the process ends. Called on the failing thread.
void SetFatalErrorHook(std::function<void(std::string_view)> hook);

}  // namespace kavu

#include "shell/command_line.h"

#include <atomic>

#include "shell/log_console.h"
#include "shell/settings_store.h"

namespace kavu {
namespace {
std::atomic<bool> g_avx_disabled{false};
}

bool AvxDisabledByCommandLine() { return g_avx_disabled.load(); }
void SetAvxDisabledByCommandLine(bool disabled) { g_avx_disabled.store(disabled); }

CommandLineOptions ParseCommandLine(const std::vector<std::string>& args) {
  CommandLineOptions opt;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.empty()) continue;
    Log() << "аргумент cmd i=" << static_cast<int>(i + 1) << " = " << a << "\n";
    if (a.find("AVX_Disable") != std::string::npos) {
      opt.avx_disable = true;
    } else if (a == "-n" || a == "/n") {
      Log() << "Указан ключ отключения автовыбора sdr-приёмника \n";
      Settings().WriteProfileString("ODlgSpektr", "m_SelectSdrKey", "");
      opt.clear_receiver_key = true;
    } else if (a == "--demo") {
      opt.demo = true;
    } else if (a == "--sim") {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        opt.error = "--sim needs the antenna as its value, for example --sim 50 or --sim series:R=50,L=100n,C=12.05p";
        Log() << LogColour(kColourError) << opt.error << "\n" << LogColour(kColourNormal);
        continue;
      }
      opt.sim_load = args[++i];
      Log() << "аргумент cmd i=" << static_cast<int>(i + 1) << " = " << opt.sim_load << "\n";
    } else if (a[0] == '-') {
      Log() << " видимо это неизвестный ключ, пока игнорирую";
    } else {
      opt.file_name = a;
    }
  }
  if (opt.avx_disable) SetAvxDisabledByCommandLine(true);
  return opt;
}

}  // namespace kavu

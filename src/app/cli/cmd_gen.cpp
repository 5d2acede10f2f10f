// kavusdraa-cli gen --port N --freq MHZ [--gen CODE] [--save]: initialise the generators on the
// board at port N and set the selected generator, as the main window does at start.
#include <cstdio>
#include <memory>
#include <optional>

#include "app/cli/cli_command.h"
#include "board/board_protocol.h"
#include "board/gen_setup.h"
#include "board/serial_port.h"
#include "platform/number_text.h"
#include "scan/fft_start_up.h"
#include "scan/rate_plan_keeper.h"
#include "shell/error_box.h"
#include "shell/settings_store.h"

namespace kavu::cli {
namespace {

constexpr const char* kName = "gen";

struct GenArgs {
  int port = 0;
  double mhz = 0.0;
  std::optional<int> gen;
  bool save = false;
  NoticeAnswer answer = NoticeAnswer::kCancel;  // --answer: to the drivers' questions
};

// Keeps the errors for the final message; a driver's question is shown on stderr and answered
// as --answer says.
class AnsweringNotice : public RecordingNotice {
 public:
  explicit AnsweringNotice(NoticeAnswer a) : answer_(a) {}
  NoticeAnswer AskYesNoCancel(const std::string& caption, const std::string& text) override {
    static const char* const kWords[] = {"yes", "no", "cancel"};
    std::fprintf(stderr, "%s: %s\n  -> %s (--answer)\n", caption.c_str(), text.c_str(),
                 kWords[static_cast<int>(answer_)]);
    return answer_;
  }

 private:
  NoticeAnswer answer_;
};

// Parses the arguments; prints the reason and returns false when they do not make sense.
bool Parse(const std::vector<std::string>& args, GenArgs& out) {
  bool have_port = false, have_freq = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool has_value = i + 1 < args.size();
    if (a == "--save") {
      out.save = true;
    } else if ((a == "--port" || a == "--freq" || a == "--gen" || a == "--answer") && !has_value) {
      Fail(kName, a + " needs a value");
      return false;
    } else if (a == "--answer") {
      const std::string v = args[++i];
      if (v != "yes" && v != "no" && v != "cancel") {
        Fail(kName, "--answer expects yes, no or cancel, not \"" + v + "\"");
        return false;
      }
      out.answer = v == "yes" ? NoticeAnswer::kYes : v == "no" ? NoticeAnswer::kNo : NoticeAnswer::kCancel;
    } else if (a == "--port") {
      const auto p = ParseInt(args[++i]);
      if (!p || *p == 0 || std::to_string(*p) != args[i]) {
        Fail(kName, "--port expects a port number (1 and up, or -33), not \"" + args[i] + "\"");
        return false;
      }
      out.port = *p;
      have_port = true;
    } else if (a == "--freq") {
      const auto f = ParseRealWhole(args[++i]);
      if (!f || *f <= 0.0 || *f > 100'000.0) {
        Fail(kName, "--freq expects a frequency in MHz above 0, not \"" + args[i] + "\"");
        return false;
      }
      out.mhz = *f;
      have_freq = true;
    } else if (a == "--gen") {
      const auto g = ParseInt(args[++i]);
      if (!g || std::to_string(*g) != args[i]) {
        Fail(kName, "--gen expects a generator code (0..2 Si5351 CLKn, 100..102 SPI slot)");
        return false;
      }
      out.gen = *g;
    } else {
      Fail(kName, "unknown argument \"" + a + "\" (see --help)");
      return false;
    }
  }
  if (!have_port || !have_freq) {
    Fail(kName, "needs --port N and --freq MHZ (see --help)");
    return false;
  }
  return true;
}

int RunGen(const std::vector<std::string>& args) {
  GenArgs a;
  if (!Parse(args, a)) return 2;

  OSerialPort port;
  if (!port.Open(a.port, OSerialPort::kBaud)) return Fail(kName, port.LastErrorText());
  if (a.save) Settings().WriteProfileInt("OSerialPortSelector", "m_PortSelect_0", a.port);

  OBoardProtocol board(port);
  AnsweringNotice notice(a.answer);
  ErrorBox box(notice);
  ORatePlanKeeper plan(StartFft(65536));  // the sample-rate plan designs its filter with the FFT
  const Si5351Config si = Si5351Config::Load();
  const GenDesks desks = LoadGenDesks();
  auto setup = std::make_unique<GenSetup>(board, box, plan, si, desks, GenSetupOptions::Load());
  setup->List().BuildFromSettings(si, desks);
  if (a.gen && !setup->List().SelectData(*a.gen)) {
    port.Close();
    return Fail(kName, "generator " + std::to_string(*a.gen) + " is not in the generator list");
  }
  const int s = setup->GetGenNum();
  const std::string name = setup->List().Items()[static_cast<size_t>(setup->List().Selected())].text;
  if (s < 0) {
    port.Close();
    return Fail(kName, "no generator configured (\"" + name + "\"): set one up in the options");
  }

  const bool ok = setup->InitAllGens(a.mhz * 1e6);
  const GenState& st = setup->State();
  port.Close();
  if (!ok) {
    // The error boxes say what failed (the generator error text included); without one the
    // generator error text alone.
    std::string text;
    for (const std::string& t : notice.Texts()) text += (text.empty() ? "" : "\n") + t;
    if (text.empty()) text = st.error_text;
    if (text.empty()) text = "InitAllGens() failed (see the log)";
    return Fail(kName, text);
  }
  std::printf("generator: %s\n", name.c_str());
  std::printf("requested: %s MHz\n", FormatTrimmed(a.mhz, 9).c_str());
  if (s >= 0 && s <= 2) {
    const Si5351Regs& r = setup->Si5351().last;
    std::printf("set: %s MHz (fundamental %s MHz, harmonic %d, mode %d)\n",
                FormatTrimmed(st.current_hz / 1e6, 9).c_str(),
                FormatTrimmed(r.actual / 1e6, 9).c_str(), r.harmonic, r.mode);
  } else {
    std::printf("set: %s MHz\n", FormatTrimmed(st.current_hz / 1e6, 9).c_str());
  }
  return 0;
}

const CliRegistrar gen_registrar(
    {kName, "initialise the generators on a board and set a frequency",
     "Usage: kavusdraa-cli gen --port N --freq MHZ [--gen CODE] [--answer yes|no|cancel] [--save]\n\n"
     "Opens serial port N (see `kavusdraa-cli ports`), initialises every generator as the\n"
     "program does at start (InitAllGens) and sets the selected generator to MHZ. Prints the\n"
     "generator and the frequency it really makes (for the Si5351: the fundamental and the odd\n"
     "harmonic used above the output's maximum), or the error text with exit status 1.\n\n"
     "  --gen CODE  use this entry of the generator list instead of the saved one:\n"
     "              0..2 Si5351 output CLK0..2, 100..102 SPI generator on CS0..2 (not saved)\n"
     "  --answer A  the answer to a generator's question during initialisation (an Rfm22 that\n"
     "              reports another device type: yes goes on and is not asked again); cancel\n"
     "              when not given\n"
     "  --save      remember N as the program's serial port (otherwise the saved port stays)\n\n"
     "The generators and the Si5351 are configured by the program's options (settings file).\n"
     "The log goes to stderr.\n",
     RunGen});

}  // namespace
}  // namespace kavu::cli

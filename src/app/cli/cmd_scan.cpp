// kavusdraa-cli scan: one scan on the analyzer of the settings, or on the virtual bench.
#include "app/cli/cli_command.h"
#include "app/cli/scan_run.h"
#include "scan/spektr_settings.h"

namespace kavu::cli {
namespace {

int RunScanCommand(const std::vector<std::string>& args) {
  ScanRunArgs a;
  a.range = SpektrSettings::Load().m_ScanDia;  // --range replaces it for this scan only
  bool list = false;
  if (!ParseScanArgs("scan", args, a, &list)) return 2;
  if (list) return CliRegistry::Find("sim-list")->run({});
  return RunScan("scan", a);
}

const CliRegistrar scan_registrar(
    {"scan", "scan frequency ranges and print R, X and SWR per point",
     "Usage: kavusdraa-cli scan [--range TEXT] [--rate HZ] [--sim LOAD] [--sim-set NAME=VALUE]... [-o FILE]\n\n"
     "Scans the ranges of TEXT (start-end step in MHz, ranges separated by ';'; default: the\n"
     "program's stored range text, ODlgSpektr/m_ScanDia, first \"140-150 0.5; 425-440 1\"; TEXT\n"
     "is not stored) as the program's \"Сканировать!\" does, prints one line per point (MHz, R, X, SWR in\n"
     "ohms), the range summaries, and saves the scan as the program does (the results folder of\n"
     "the settings), also to FILE when given. Exit status 1 with the error when the scan fails;\n"
     "the points measured until then are still printed and saved. A scan that ends before its\n"
     "first point saves nothing (earlier files stay). Ctrl-C, SIGTERM or SIGHUP end the scan the\n"
     "same way, with exit status 128 + the signal (130, 143, 129). Only the first 32 ranges are\n"
     "scanned; a plan of more than 65,536 points stops when the result set is full (both are\n"
     "said before the scan).\n\n"
     "  --rate HZ          set the receiver's sample rate first (RTL-SDR: 250000, 960000, 1028571,\n"
     "                     1200000, 1440000, 1800000, 2400000; HackRF: 2000000, 4000000, 8000000,\n"
     "                     10000000, 12500000, 16000000, 20000000)\n"
     "  --sim LOAD         scan on the virtual bench with LOAD on the antenna port: \"75\",\n"
     "                     \"25-30j\", \"series:R=10,L=1.2u,C=47p\", \"parallel:...\" or a .s1p file;\n"
     "                     the bench uses its own settings file\n"
     "  --sim-set N=V      change a bench impairment, choose the bench's receiver with rx=hackrf,\n"
     "                     or inject a board fault with board_fault=NAME[:COMMAND[:COUNT]];\n"
     "                     --sim-set list lists them\n\n"
     "Without --sim the port and receiver of the settings are used. The log goes to stderr; on a\n"
     "terminal one progress line (points measured of planned, elapsed and remaining time) stays\n"
     "below it. KAVU_BENCH_EVIDENCE=DIR: a --sim bench writes its board and receiver logs there.\n",
     RunScanCommand});

}  // namespace
}  // namespace kavu::cli

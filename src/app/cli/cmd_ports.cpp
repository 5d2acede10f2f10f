// kavusdraa-cli ports: the serial ports the program can use, with their numbers.
#include <cstdio>

#include "app/cli/cli_command.h"
#include "board/port_list.h"

namespace kavu::cli {
namespace {

int RunPorts(const std::vector<std::string>& args) {
  if (!args.empty()) return Fail("ports", "takes no arguments (see --help)");
  const PortList list = BuildPortList();
  for (const PortListEntry& e : list.entries) {
    std::printf("%d\t%s\t%s\n", e.number, e.path.empty() ? "-" : e.path.c_str(), e.text.c_str());
  }
  return 0;
}

const CliRegistrar ports_registrar(
    {"ports", "list the serial ports with their numbers",
     "Usage: kavusdraa-cli ports\n\n"
     "Prints one line per port the program offers: its number, the device path and the text\n"
     "shown in the port list, separated by tabs. Numbers are stable: ttyS n is 1+n, ttyUSB n is\n"
     "101+n, ttyACM n is 201+n, rfcomm n is 301+n, other serial devices 401 and up in name order.\n"
     "Extra device paths (a pseudo-terminal of `kavusdraa-cli sim-board`, for example) are\n"
     "listed from 901 whether or not they exist yet; name them, colon-separated, in the\n"
     "environment variable KAVU_EXTRA_PORTS or the setting m_ExtraPorts of section\n"
     "OSerialPortSelector. The network serial bridge is -33.\n\n"
     "Example: KAVU_EXTRA_PORTS=/tmp/kavu-board kavusdraa-cli ports\n",
     RunPorts});

}  // namespace
}  // namespace kavu::cli

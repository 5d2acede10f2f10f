// Feeds arbitrary text to the Intel HEX reader, as a damaged or hostile firmware file would. A
// refused file leaves the image erased; an accepted one counts no more program bytes than it
// set, and its program memory written out as HEX and read again comes back unchanged.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "updater/hex_file_reader.h"
#include "updater/hex_file_writer.h"

namespace {

using namespace kavu;

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const HexReadResult r = ReadHexText(text);
  Check(r.image.bytes.size() == kImageSize && r.image.defined.size() == kImageSize);
  if (!r.ok) {
    Check(!r.error.empty() && r.program_bytes == 0);
    Check(std::all_of(r.image.bytes.begin(), r.image.bytes.end(), [](uint8_t b) { return b == 0xFF; }));
    return 0;
  }
  const long set = std::count(r.image.defined.begin(), r.image.defined.begin() + kProgramSize, 1);
  Check(r.program_bytes >= 0 && set <= r.program_bytes + 8);  // the vector move sets up to 8 more
  const HexReadResult again = ReadHexText(WriteHexText(r.image));
  Check(again.ok && !again.box);
  Check(std::equal(r.image.bytes.begin() + kMonitorEnd, r.image.bytes.begin() + kProgramSize,
                   again.image.bytes.begin() + kMonitorEnd));
  return 0;
}

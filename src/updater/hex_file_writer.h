#pragma once
// Writes program memory as Intel HEX text (a backup of the chip before an update): data records
// of 16 bytes, lines that are all 0xFF (erased) left out, then the end record. Only memory from
// `from` up is written: a backup leaves out the boot loader's own area below 0x400, which the
// boot loader never lets anyone write, so that reading the backup again moves no vectors of its.
#include <cstdint>
#include <string>

#include "updater/firmware_image.h"

namespace kavu {

std::string WriteHexText(const FirmwareImage& image, uint32_t from = kMonitorEnd);

}  // namespace kavu

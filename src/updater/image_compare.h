#pragma once
// The compare of the file image against the image read from the chip, and what it tells the
// user. Program memory is compared byte by byte: a difference at 0x400 or above is a user
// error, below it a monitor error (the boot loader's own area, which it never lets anyone
// write). In the special areas only the bytes the file defines are compared: a compiler's file
// never holds the chip's factory identifiers, and an undefined byte is no error.
#include <vector>

#include "updater/firmware_image.h"
#include "updater/updater_report.h"

namespace kavu {

struct CompareResult {
  int user_errors = 0;
  int monitor_errors = 0;
  int config_errors = 0;
  std::vector<uint8_t> differs = std::vector<uint8_t>(kImageSize, 0);  // 1 per differing byte
  UpdaterLine summary;  // "ErrUserN = … ErrNMon=…"
  UpdaterBox box;       // the verification box

  // The chip holds what the file asks for (monitor differences do not count).
  bool Matches() const { return user_errors == 0 && config_errors == 0; }
};

CompareResult CompareImages(const FirmwareImage& file, const FirmwareImage& chip);

}  // namespace kavu

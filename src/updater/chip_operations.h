#pragma once
// The updater's operations on the chip through the boot loader: read the whole chip, write the
// program memory, start the application. They log the console lines as they go and return the
// box to show, if any; they never show anything themselves. Each stops at its first failure and
// leaves the image as far as it was filled; there are no retries.
#include <functional>
#include <optional>

#include "updater/boot_loader_client.h"
#include "updater/firmware_image.h"
#include "updater/updater_report.h"

namespace kavu {

// Called after each block with the blocks done and the total.
using BlockProgress = std::function<void(int done, int total)>;

struct ChipReadResult {
  bool ok = false;
  std::optional<UpdaterBox> box;
};

// Wake-up, the 2048 program blocks, then the six special areas (the 64-byte area in two
// reads). On success every byte of `read_image` is set from the chip.
ChipReadResult ReadChip(BootLoaderClient& client, FirmwareImage& read_image,
                        const BlockProgress& progress = {});

struct ChipWriteResult {
  bool ok = false;            // every block answered 0xAA or 0xEE
  int blocks_sent = 0;        // blocks answered (written or protected)
  int protected_blocks = 0;   // answered 0xEE
  int protected_user = 0;     // of those, at 0x400 or above
  std::optional<UpdaterBox> box;
};

// Writes the 2048 program blocks of `file` (erased ones too; the special areas never).
// `program_bytes` is what the file put into program memory: with none the write is refused
// before anything is sent, since it would erase the application. A write that stops says in
// its box at which block and that the application on the chip is incomplete.
ChipWriteResult WriteChip(BootLoaderClient& client, const FirmwareImage& file, int program_bytes,
                          const BlockProgress& progress = {});

// Wake-up, then the start command.
void StartFirmware(BootLoaderClient& client);

}  // namespace kavu

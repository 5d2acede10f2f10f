#pragma once
// Reads an Intel HEX file's text into a firmware image: a pure function, no file system and no
// console; the caller logs the lines and shows the box.
//
// Records: type 0 (data) and type 4 (extended linear address, two bytes, the base of later data
// records) are used; types 1, 3 and 5 are skipped (reading goes on after the end record, so a
// record behind it still counts). Lines that do not begin with ':' are ignored. Program memory
// bytes above 0xFFFF are dropped with a line each; data at 0x10000 and above goes into the
// special area that holds its address, or is dropped.
//
// A record with a character that is not hex, a count that does not match its length, a wrong
// checksum, a type-2 record (segment addressing, which would put its data elsewhere) or a
// type-4 record without exactly two bytes refuses the whole file: `ok` is false, `error` names
// the line, and the image is left empty, so nothing can be written from a damaged file.
//
// After reading, the interrupt vectors at 0x0008..0x000B and 0x0018..0x001B are copied to
// 0x0408.. and 0x0418.., where the boot loader jumps; a source that is all 0xFF (the file has no
// vectors there) leaves the destination as the file has it.
#include <string>
#include <string_view>
#include <vector>

#include "updater/firmware_image.h"
#include "updater/updater_report.h"

namespace kavu {

struct HexReadResult {
  bool ok = false;
  std::string error;        // with ok false: "строка N: ..." (1-based line number)
  FirmwareImage image;      // erased when !ok
  int program_bytes = 0;    // data bytes stored in program memory (the areas are not counted)
  std::vector<UpdaterLine> log;
  std::optional<UpdaterBox> box;  // the vector move overwrote data
};

HexReadResult ReadHexText(std::string_view text);

}  // namespace kavu

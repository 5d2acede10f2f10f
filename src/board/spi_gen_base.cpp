#include "board/spi_gen_base.h"

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "platform/number_text.h"
#include "shell/log_console.h"

namespace kavu {

void GenLogRed(const std::string& text) {
  Log() << LogColour(kColourError) << text << LogColour(kColourNormal);
}

void GenLogNotice(const std::string& text) {
  Log() << LogColour(kColourNotice) << text << LogColour(kColourNormal);
}

std::string GenHex(uint32_t v) {
  char b[16];
  std::snprintf(b, sizeof b, "%X", v);
  return b;
}

std::string GenMhz(double hz) { return FormatG(hz / 1e6, 9); }

std::string GenMhz12(double hz) { return FormatG(hz / 1e6, 12); }

void GenWaitMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool GenRunElements(OBoardProtocol& board, std::initializer_list<uint8_t> bytes) {
  std::vector<uint8_t> b(bytes);
  b.push_back(0xFF);
  return board.BigCmd2(b.data(), static_cast<int>(b.size()), true);
}

}  // namespace kavu

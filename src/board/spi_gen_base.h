#pragma once
// What every SPI generator driver (Rfm22/23, Rfm69, AD9833, ADF4351, Si4463) works with: the board
// protocol addressed at the slot's chip select, the slot's GenDesk, the generator state whose
// error text a driver fills, and the notice through which a driver may ask the user. Plus the
// small log helpers the drivers share.
#include <cstdint>
#include <string>

#include "board/board_protocol.h"
#include "board/gen_desk.h"
#include "board/gen_state.h"
#include "shell/error_box.h"

namespace kavu {

struct SpiGenContext {
  OBoardProtocol* board = nullptr;
  GenDesk* desk = nullptr;   // the slot's description (Si4463 band kept here)
  GenState* gen = nullptr;   // error text of the last "вне возможностей"
  INotice* notice = nullptr; // questions to the user (Rfm22 device type); nullptr answers Cancel
  int slot = 0;              // chip select 0..2

  // Points the board's SPI operations at this slot.
  OBoardProtocol& Board() const {
    board->m_Rfm_Gen = slot;
    return *board;
  }
  bool PortOpen() const { return board->Port().IsOpen(); }
};

// Red log line (the text carries its own line end).
void GenLogRed(const std::string& text);
// Log line in colour 14 (driver start-up headings).
void GenLogNotice(const std::string& text);
// "%X" of a byte or word.
std::string GenHex(uint32_t v);
// Hz as MHz the way the log prints doubles ("%.9g").
std::string GenMhz(double hz);
// "%0.12g" of Hz in MHz, for the generator error texts.
std::string GenMhz12(double hz);
// Waits `ms` milliseconds (start-up sequences of the chips).
void GenWaitMs(int ms);
// Runs a batch [bytes..., FF] at once on the board (one-element SPI writes).
bool GenRunElements(OBoardProtocol& board, std::initializer_list<uint8_t> bytes);

}  // namespace kavu

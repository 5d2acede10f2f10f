#pragma once
// The low-level tests of the control board that the main window's service menu ("Разное...")
// offers, and the hidden Si5351 register check ("calibr") and display test ("ИндТест"). Each
// writes its results to the log console; single failing commands write their own messages and
// the tests go on unless said otherwise. Window thread only, on an open port.
#include <cstdint>
#include <vector>

#include "board/board_protocol.h"
#include "shell/error_box.h"

namespace kavu {

class OServiceDiagnostics {
 public:
  OServiceDiagnostics(OBoardProtocol& board, ErrorBox& box) : board_(&board), box_(&box) {}

  // "Снять CS": every chip select high, then ten reads of the board's timer counter (stops at the
  // first failing read). Returns the counters read.
  std::vector<int> DeselectAndReadTimer();
  // "Выбор CS0".."Выбор CS2": chip select `cs` (0..2) low, the other two high.
  bool SelectCs(int cs);
  // "Выбор SPI Mode 0".."3": the program's SPI mode becomes unknown, then mode `mode` is set.
  bool SelectSpiMode(int mode);
  // "Послать байт по SPI": SpiOut(C1); the byte clocked in (negative without reply).
  int SendSpiByte();
  // "Перебор всех абонентов I2C": tries every write address 00, 02 .. FE; returns those that
  // acknowledged (empty when the scan broke off).
  std::vector<int> I2cScan();
  // "ШИМ вкл для ген. -5в" / "ШИМ выкл" with "m_MinusGenDivider" = divider (0..256). A failure
  // shows the error box.
  bool MinusGenPwm(bool on, int divider);
  // "calibr": reads Si5351 register 0 (logged "V0=..") and resets PLL A. Returns register 0 or
  // a negative value when the read failed.
  int Si5351Calibr();
  // "ИндТест": the ILI9488 display on CS0 (reset and data/command on the bridge lines): its
  // identification reads, a video memory read, the initialisation and a test pattern. Returns
  // the number of data bytes read back.
  int DisplayTest();

 private:
  void Command(uint8_t c);
  void Data(uint8_t d);
  int ReadData();
  void Window(int x1, int y1);
  void DisplayIdReads();
  void DisplayInit();

  OBoardProtocol* board_;
  ErrorBox* box_;
  int reads_ = 0;
};

}  // namespace kavu

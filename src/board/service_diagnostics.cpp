#include "board/service_diagnostics.h"

#include <cstdio>
#include <string>

#include "board/spi_gen_base.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

// "C" + data bytes of the display's initialisation, in order.
struct DisplayStep {
  uint8_t cmd;
  std::vector<uint8_t> data;
};
const std::vector<DisplayStep>& DisplayInitSteps() {
  static const std::vector<DisplayStep> steps = {
      {0xF7, {0xA9, 0x51, 0x2C, 0x82}}, {0xC0, {0x11, 0x09}}, {0xC1, {0x41}},
      {0xC5, {0x00, 0x0A, 0x80}},       {0xB1, {0xB0, 0x11}}, {0xB4, {0x02}},
      {0xB6, {0x02, 0x22}},             {0xB7, {0xC6}},       {0xBE, {0x00, 0x04}},
      {0xE9, {0x00}},                   {0x36, {0x08}},       {0x3A, {0x66}},
      {0xE0, {0x00, 0x07, 0x10, 0x09, 0x17, 0x0B, 0x41, 0x89, 0x4B, 0x0A, 0x0C, 0x0E, 0x18, 0x1B, 0x0F}},
      {0xE1, {0x00, 0x17, 0x1A, 0x04, 0x0E, 0x06, 0x2F, 0x45, 0x43, 0x02, 0x0A, 0x09, 0x32, 0x36, 0x0F}},
  };
  return steps;
}

}  // namespace

std::vector<int> OServiceDiagnostics::DeselectAndReadTimer() {
  Log() << "Отмена выбора SPI абонентов, CS0=CS1=CS2=1\n";
  board_->DeselectAll();
  std::vector<int> counters;
  for (int i = 0; i < 10; ++i) {
    int c = 0;
    if (!board_->Cmd_GetTIM4(&c)) break;
    Log() << "Tim4Cnt = " << GenHex(static_cast<uint32_t>(c)) << "\n";
    counters.push_back(c);
  }
  return counters;
}

bool OServiceDiagnostics::SelectCs(int cs) {
  if (cs < 0 || cs > 2) return false;
  Log() << "Выбор SPI абонента CS" << cs << "=0\n";
  const uint8_t bit = static_cast<uint8_t>(1u << cs);
  return board_->SetCS(static_cast<uint8_t>(7 - bit), static_cast<uint8_t>(0xFF - bit));
}

bool OServiceDiagnostics::SelectSpiMode(int mode) {
  if (mode < 0 || mode > 3) return false;
  Log() << "Выбор SPI mode " << mode << "\n";
  board_->ForgetSpiMode();
  return board_->SpiSetMode(static_cast<uint8_t>(mode));
}

int OServiceDiagnostics::SendSpiByte() {
  const int b = board_->SpiOut(0xC1);
  Log() << "Посыл по SPI байта C1, принят байт " << GenHex(static_cast<uint32_t>(b)) << "\n";
  return b;
}

std::vector<int> OServiceDiagnostics::I2cScan() {
  Log() << LogColour(kColourNotice) << "ПЕРЕБОР ВСЕХ АДРЕСОВ НА ШИНЕ I2C в надежде на ответ \n"
        << LogColour(kColourNormal);
  for (int i = 0; i < 32; ++i) board_->I2C_Cond(2);
  std::vector<int> found;
  const uint8_t empty = 0xFF;
  for (int a = 0; a <= 254; a += 2) {
    Log() << LogColour(kColourHeading) << " adr = " << GenHex(static_cast<uint32_t>(a)) << ": "
          << LogColour(kColourNormal);
    if (!board_->I2C_Cond(2) || !board_->BigCmd2(&empty, 1, true) || !board_->I2C_Cond(1)) {
      return {};
    }
    if (board_->I2C_Out(static_cast<uint8_t>(a))) {
      Log() << LogColour(kColourNotice) << "!!! Нашел, adr = " << GenHex(static_cast<uint32_t>(a))
            << "\n" << LogColour(kColourNormal);
      found.push_back(a);
    }
    board_->I2C_Cond(2);
  }
  Log() << "Конец перебора, если где-то не было ошибки I2C - там и абонент\n";
  return found;
}

bool OServiceDiagnostics::MinusGenPwm(bool on, int d) {
  const int period = d == 0 ? 40 : d - 1;
  const int duty = on ? (d == 0 ? 20 : d / 2) : 0;
  if (board_->SetMinusGenPeriod(static_cast<uint8_t>(period), static_cast<uint8_t>(duty))) return true;
  box_->Show("Не удалось задать режим ШИМ генератору -5в, вероятно устройство управления не "
             "работает или нет связи с ним");
  return false;
}

int OServiceDiagnostics::Si5351Calibr() {
  for (int i = 0; i < 32; ++i) board_->I2C_Cond(2);
  const int v0 = board_->I2cRegRead(0);
  Log() << "V0=" << GenHex(static_cast<uint32_t>(v0)) << "\n";
  board_->I2cRegWrite(177, 0x20);
  GenWaitMs(30);
  return v0;
}

void OServiceDiagnostics::Command(uint8_t c) {
  board_->SetCS(8, 0xE7);
  board_->SpiOut(c);
}

void OServiceDiagnostics::Data(uint8_t d) {
  board_->SetCS(24, 0xE7);
  board_->SpiOut(d);
}

int OServiceDiagnostics::ReadData() {
  board_->SetCS(24, 0xE7);
  const int v = board_->SpiOut(0x00);
  if (v >= 0) ++reads_;
  return v;
}

void OServiceDiagnostics::Window(int x1, int y1) {
  Command(0x2A);
  for (int v : {0, x1}) {
    Data(static_cast<uint8_t>(v >> 8));
    Data(static_cast<uint8_t>(v & 0xFF));
  }
  Command(0x2B);
  for (int v : {0, y1}) {
    Data(static_cast<uint8_t>(v >> 8));
    Data(static_cast<uint8_t>(v & 0xFF));
  }
  Command(0x2C);
}

void OServiceDiagnostics::DisplayIdReads() {
  Log() << "Чтение ID \n";
  for (uint8_t cmd : {0x04, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F}) {
    board_->SetCS(6, 0xFE);
    Command(0x00);
    Command(cmd);
    std::string line = "cmd=" + GenHex(cmd) + " Read = ";
    for (int i = 0; i < 6; ++i) {
      if (i > 0) line += i == 4 ? ",  " : ", ";
      line += GenHex(static_cast<uint32_t>(ReadData() & 0xFF));
    }
    board_->DeselectAll();
    Log() << line << "\n";
  }
  for (uint8_t cmd : {0xDA, 0xDB, 0xDC}) {
    board_->SetCS(6, 0xFE);
    Command(cmd);
    std::string line = "Read ID4= ";
    for (int i = 0; i < 6; ++i) line += GenHex(static_cast<uint32_t>(ReadData() & 0xFF)) + ", ";
    board_->DeselectAll();
    Log() << line << "\n";
  }
}

void OServiceDiagnostics::DisplayInit() {
  Log() << "Начинаю инициализацию ILI9488 \n";
  board_->SetCS(6, 0xFE);
  for (const DisplayStep& s : DisplayInitSteps()) {
    Command(s.cmd);
    for (uint8_t d : s.data) Data(d);
  }
  Command(0x11);
  GenWaitMs(220);
  Command(0x29);
  GenWaitMs(10);
  board_->DeselectAll();
  Log() << "Конец инициализации \n";
}

int OServiceDiagnostics::DisplayTest() {
  reads_ = 0;
  Log() << LogColour(kColourHeading) << "\n\nИниц. инд. с spi - интерфейсом \n"
        << LogColour(kColourNormal);
  Log() << "tft 3.95 ILI9488 \n";
  board_->SetCS(31, 0xFF);
  board_->SpiSetMode(3);
  board_->ForgetSpiMode();  // the generators' mode must be set again afterwards
  board_->DeselectAll();
  board_->SetCS(0, 0xE7);
  GenWaitMs(120);
  board_->SetCS(8, 0xE7);
  GenWaitMs(120);
  DisplayIdReads();
  Log() << "Чтение видеопамяти \n";
  board_->SetCS(6, 0xFE);
  Window(240, 320);
  Command(0x2E);
  ReadData();
  std::string mem;
  for (int i = 1; i <= 66; ++i) {
    mem += GenHex(static_cast<uint32_t>(ReadData() & 0xFF)) + ", ";
    if (i % 3 == 0) mem += " ";
    if (i % 18 == 0) mem += "\n";
  }
  Log() << mem << "\n";
  board_->DeselectAll();
  DisplayInit();
  board_->SetCS(6, 0xFE);
  Window(320, 480);
  Log() << "\ri=" << 0 << "\n";
  for (int i = 0; i < 2048; ++i) Data(static_cast<uint8_t>(i | 0xF0));
  board_->DeselectAll();
  return reads_;
}

}  // namespace kavu

#include "board/si4463_gen.h"

#include <chrono>
#include <cmath>
#include <cstdio>

#include "shell/log_console.h"

namespace kavu {
namespace {

struct BandRow {
  double below_hz;
  int outdiv;
  int band;
};
constexpr BandRow kBands[] = {{196e6, 24, 0x0D}, {277.5e6, 16, 0x0C}, {392.5e6, 12, 0x0B},
                              {555.5e6, 8, 0x0A},  {786e6, 6, 0x09},     {1e300, 4, 0x08}};

const char* PropertyName(uint8_t group, int prop) {
  static const char* const kGlobal[] = {"GLOBAL_XO_TUNE",  "GLOBAL_CLK_CFG", "GLOBAL_LOW_BATT_THRESH",
                                        "GLOBAL_CONFIG",   "GLOBAL_WUT_CONFIG", "GLOBAL_WUT_M",
                                        "GLOBAL_WUT_M+",   "GLOBAL_WUT_R",   "GLOBAL_WUT_LDC",
                                        "GLOBAL_WUT_CAL"};
  if (group == 0x00 && prop >= 0 && prop <= 9) return kGlobal[prop];
  if (group == 0x20 && prop == 0x00) return "MODEM_MOD_TYPE";
  if (group == 0x20 && prop == 0x51) return "MODEM_CLKGEN_BAND";
  if (group == 0x22 && prop == 0x00) return "PA_MODE";
  if (group == 0x22 && prop == 0x01) return "PA_PWR_LVL";
  return "";
}

std::string Printf(const char* fmt, int a, int b, int c, int d, int e, int f, int g, int h) {
  char buf[160];
  std::snprintf(buf, sizeof buf, fmt, a, b, c, d, e, f, g, h);
  return buf;
}

}  // namespace

bool SI4463_CalcSetF(double hz, Si4463Freq& out) {
  if (!(hz > 0.0 && hz < 1e12)) return false;
  out.harmonic = 1;
  if (hz > 1.136e9) {
    out.harmonic = static_cast<int>(std::ceil(hz * 8.80281690140845e-10));
    Log() << "Гармоника N=" << out.harmonic << "\n";
    hz /= out.harmonic;
  }
  const BandRow* row = kBands;
  while (hz >= row->below_hz) ++row;
  const double x = hz * row->outdiv / 60e6;
  const double fl = std::floor(x);
  if (!(fl >= 1.0 && fl <= 255.0)) return false;
  const uint32_t frac = static_cast<uint32_t>(std::trunc((x - fl) * 524288.0)) | 0x80000u;
  out.bytes = {static_cast<uint8_t>(fl - 1), static_cast<uint8_t>(frac >> 16),
               static_cast<uint8_t>(frac >> 8), static_cast<uint8_t>(frac)};
  out.band = row->band;
  out.fundamental_hz = hz;
  return true;
}

BatchStep Si4463BatchSteps::AppendFrequencyStep(double hz, std::vector<uint8_t>& out,
                                                std::string& reason) {
  const double fc = desk_->CorrectedHz(hz);
  Si4463Freq f;
  if (!SI4463_CalcSetF(fc, f)) {
    reason = " вызов SI4463_CalcSetF() вернул ошибку для F=" + GenMhz(fc) + " МГц \n";
    return BatchStep::kFailed;
  }
  if (f.band != desk_->si4463_band) {
    Log() << "Прервём группу ! \n";
    return BatchStep::kEndGroup;
  }
  out.insert(out.end(), {0x93, 0x34, 0x03, 0x00, 0xFE, 0x98, 0x11, 0x40, 0x04, 0x00, f.bytes[0],
                         f.bytes[1], f.bytes[2], f.bytes[3], 0xFE, 0x92, 0x31, 0x00, 0xFE});
  return BatchStep::kAppended;
}

bool Si4463Gen::SI4463_SendCmd(const std::vector<uint8_t>& cmd) {
  OBoardProtocol& b = ctx_.Board();
  const size_t n = cmd.size();
  if (n < 16) {
    std::vector<uint8_t> batch;
    batch.push_back(static_cast<uint8_t>(0x90 + n));
    batch.insert(batch.end(), cmd.begin(), cmd.end());
    batch.push_back(0xFF);
    return b.BigCmd2(batch.data(), static_cast<int>(batch.size()), true);
  }
  if (!b.SelectGen()) return false;
  for (uint8_t v : cmd) {
    if (b.SpiOut(v) < 0) return false;
  }
  const int cts = b.SpiOut(0);
  if (cts < 0) return false;
  if (cts != 0xFF) {
    Log() << "SI4463_SendCmd() для cmd=" << GenHex(cmd[0]) << ", N=" << static_cast<int>(n)
          << " вернула cts=" << GenHex(static_cast<uint32_t>(cts)) << "\n";
  }
  return b.DeselectAll();
}

bool Si4463Gen::SI4463_WaitRes(uint8_t* reply, int n) {
  OBoardProtocol& b = ctx_.Board();
  if (!b.SelectGen() || b.SpiOut(0x44) < 0) return false;
  const auto start = std::chrono::steady_clock::now();
  int c = 0;
  while (true) {
    c = b.SpiOut(0);
    if (c < 0) return false;
    if (c == 0xFF) {
      for (int i = 0; i < n; ++i) {
        const int v = b.SpiOut(0);
        if (v < 0) return false;
        if (reply) reply[i] = static_cast<uint8_t>(v);
      }
      return b.DeselectAll();
    }
    if (c != 0) break;
    if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(kCtsTimeoutMs)) break;
  }
  if (c != 0) {
    GenLogRed("ODlgSpektr::SI4463_WaitRes() - при ожидании ответа получен не допустимый байт = " +
              GenHex(static_cast<uint32_t>(c)) + "\n");
  } else {
    GenLogRed("ODlgSpektr::SI4463_WaitRes() - тайм-аут при ожидании ответа \n");
  }
  b.DeselectAll();
  return false;
}

bool Si4463Gen::Command(const std::vector<uint8_t>& cmd, uint8_t* reply, int n) {
  return SI4463_SendCmd(cmd) && SI4463_WaitRes(reply, n);
}

bool Si4463Gen::SI4463_ReadFast(std::array<uint8_t, 4>* out) {
  OBoardProtocol& b = ctx_.Board();
  std::array<uint8_t, 4> v{};
  bool ok = b.SelectGen() && b.SpiOut(0x50) >= 0;
  for (uint8_t& x : v) {
    const int r = ok ? b.SpiOut(0) : -1;
    ok = ok && r >= 0;
    x = static_cast<uint8_t>(r & 0xFF);
  }
  ok = b.DeselectAll() && ok;
  Log() << "SI4463_ReadFast " << GenHex(v[0]) << ", " << GenHex(v[1]) << ", " << GenHex(v[2])
        << ", " << GenHex(v[3]) << "\n";
  if (out) *out = v;
  return ok;
}

bool Si4463Gen::SI4463_SetProperty(uint8_t group, uint8_t first, const std::vector<uint8_t>& values) {
  std::vector<uint8_t> cmd = {0x11, group, static_cast<uint8_t>(values.size()), first};
  cmd.insert(cmd.end(), values.begin(), values.end());
  return Command(cmd);
}

bool Si4463Gen::SI4463_GetProperty(uint8_t group, uint8_t first, int count) {
  std::vector<uint8_t> v(static_cast<size_t>(count));
  if (!Command({0x12, group, static_cast<uint8_t>(count), first}, v.data(), count)) {
    GenLogRed("Не удалось прочесть набор свойств, Group=" + std::to_string(group) + " START_PROP=" +
              std::to_string(first) + " NUM_PROPS=" + std::to_string(count) + "\n");
    return false;
  }
  for (int i = 0; i < count; ++i) {
    const int prop = first + i;
    Log() << "Свойство group=" << static_cast<int>(group) << " i=" << prop << " = 0x"
          << GenHex(v[static_cast<size_t>(i)]) << " == " << static_cast<int>(v[static_cast<size_t>(i)])
          << " " << PropertyName(group, prop) << "\n";
  }
  return true;
}

bool Si4463Gen::StartTx() {
  Log() << "Включение передачи \n";
  return Command({0x31, 0x00, 0x00, 0x00, 0x00});
}

bool Si4463Gen::SI4463_SetF(double hz) {
  Si4463Freq f;
  if (!SI4463_CalcSetF(hz, f)) {
    GenLogRed("Частота F=" + GenMhz(hz) + " МГц не может быть выдана на si4463 \n");
    ctx_.gen->error_text = "частота " + GenMhz12(hz) + " МГц вне возможностей si4463";
    return false;
  }
  if (!SI4463_SetProperty(0x20, 0x51, {static_cast<uint8_t>(f.band)})) return false;
  ctx_.desk->si4463_band = f.band;
  return SI4463_SetProperty(0x40, 0x00, {f.bytes.begin(), f.bytes.end()}) &&
         SI4463_GetProperty(0x40, 0x00, 5) && Command({0x34, 0x03}) && StartTx();
}

bool Si4463Gen::On(bool on) {
  if (!Command({0x34, 0x03})) return false;
  return on ? StartTx() : true;
}

bool Si4463Gen::InitProperties() {
  const GenDesk& d = *ctx_.desk;
  if (!SI4463_SetProperty(0x00, 0x00, {0x40, 0x40}) || !SI4463_GetProperty(0x00, 0x00, 4)) return false;
  if (!SI4463_SetProperty(0x20, 0x00, {0x88}) || !SI4463_GetProperty(0x20, 0x00, 1)) return false;
  if (!SI4463_SetProperty(0x20, 0x51, {0x09}) || !SI4463_GetProperty(0x20, 0x51, 1)) return false;
  Log() << "GenDesk.m_GenPowerSI4463 = " << d.m_GenPowerSI4463 << "\n";
  if (!SI4463_SetProperty(0x22, 0x00, {0x04, static_cast<uint8_t>(d.m_GenPowerSI4463 & 0x7F)}) ||
      !SI4463_GetProperty(0x22, 0x00, 2)) {
    return false;
  }
  return SI4463_SetProperty(0x40, 0x00, {0x3C, 0x08, 0x00, 0x00}) && SI4463_GetProperty(0x40, 0x00, 5);
}

bool Si4463Gen::Init() {
  GenDesk& d = *ctx_.desk;
  GenLogNotice("CC_Rele_Dlg::SI4463_Init() call для m_Rfm_Gen=" + std::to_string(ctx_.slot) +
               " type=" + std::to_string(d.m_GenRfmType) + "\n");
  d.si4463_band = kSi4463BandUnknown;
  if (!ctx_.PortOpen()) return true;
  OBoardProtocol& b = ctx_.Board();
  if (!b.DeselectAll()) return false;
  GenWaitMs(12);
  for (int i = 0; i < 8; ++i) {
    if (b.SpiOut(0) < 0) return false;
  }
  SI4463_ReadFast();
  SI4463_ReadFast();
  Log() << "Ждем, когда CTS is high \n";
  if (!SI4463_WaitRes(nullptr, 0)) return false;
  Log() << "Посыл POWER_UP \n";
  if (!SI4463_SendCmd({0x02, 0x01, 0x00, 0x01, 0xC9, 0xC3, 0x80})) return false;
  GenWaitMs(50);
  Log() << "Ждем, когда CTS is high после POWER_UP \n";
  if (!SI4463_WaitRes(nullptr, 0)) return false;
  Log() << "Идентификация чипа \n";
  uint8_t p[8] = {};
  if (!Command({0x01}, p, 8)) return false;
  const bool part_ok = p[1] == 0x44 && (p[2] >> 4) == 6;
  const std::string line = Printf("ChipRev=%x, Part=%x%02x, PBuild=%x, ID=%x%02x, CUSTOMER=%x, ROMID=%x",
                                  p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7]) + "\n";
  if (!part_ok) {
    GenLogRed(line);
    GenLogRed("ЭТО НЕ si4463 !!!!!!!!!!!!! \n");
    return false;
  }
  Log() << line;
  uint8_t fi[8] = {};
  if (!Command({0x10}, fi, 6)) return false;
  Log() << Printf("RevExt=%x, RevBranch=%x, RevInt=%x, Path=%x%02x, Func=%x", fi[0], fi[1], fi[2],
                  fi[3], fi[4], fi[5], 0, 0) << "\n";
  uint8_t g[7] = {};
  if (!Command({0x13, 0x44, 0x07, 0x21, 0x20, 0x00, 0x00, 0x00}, g, 7)) return false;
  Log() << "Конфигурация выводов: \n";
  for (int k = 0; k < 7; ++k) {
    Log() << "i=" << k << " res=" << GenHex(g[k]) << " == " << static_cast<int>(g[k]) << "\n";
  }
  if (!InitProperties() || !Command({0x34, 0x03})) return false;
  if (!d.IsFixed()) return true;
  const double f = d.CorrectedHz(d.RfmFixFM);
  if (SI4463_SetF(f)) return true;
  GenLogRed("Не удалось включить для SI4463 фиксированную F = " + GenMhz(f) + " МГц \n");
  return false;
}

}  // namespace kavu

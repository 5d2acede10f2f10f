#include "scan/options_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "board/gen_power.h"
#include "platform/dyn_library.h"
#include "platform/num_convert.h"
#include "platform/number_text.h"
#include "receivers/o_hackrf_use.h"
#include "receivers/o_rtl_sdr.h"
#include "receivers/receiver_set.h"
#include "results/results_store.h"
#include "shell/log_console.h"
#include "shell/settings_store.h"

namespace kavu {
namespace {

constexpr const char* kSection = "CDlgOptions";

constexpr SettingBinding<OptionsWindowState> kStateFields[] = {
    Bind<&OptionsWindowState::m_GenRfmCS>("m_GenRfmCS", 0, DefaultOutside(0, kGenSlots - 1)),
};

// "%0.<decimals>f" without trailing zeros, "-0" shown as "0".
std::string Trimmed(double v, int decimals) {
  std::string s = FormatTrimmed(v, decimals);
  return s == "-0" ? "0" : s;
}

std::string IntText(int32_t v) { return std::to_string(v); }

// Reads a real into `value` when the text parses; `scale` turns the unit shown into the one kept.
void TakeReal(std::string_view text, double scale, double& value) {
  if (const auto v = ParseOptionReal(text)) value = *v * scale;
}
void TakeInt(std::string_view text, int32_t& value) {
  if (const auto v = ParseOptionInt(text)) value = *v;
}

}  // namespace

std::span<const SettingBinding<OptionsWindowState>> OptionsWindowState::Bindings() { return kStateFields; }

OptionsWindowState OptionsWindowState::Load() {
  OptionsWindowState s;
  LoadSettings(Settings(), kSection, Bindings(), s);
  return s;
}

bool OptionsWindowState::Save() const { return SaveSettings(Settings(), kSection, Bindings(), *this); }

std::optional<double> ParseOptionReal(std::string_view text) {
  std::string s(text);
  std::replace(s.begin(), s.end(), ',', '.');
  return ParseReal(s);
}

std::optional<int32_t> ParseOptionInt(std::string_view text) { return ParseInt(text); }

int32_t MinusGenDividerForKhz(double khz) {
  if (!std::isfinite(khz) || khz == 0.0) return 0;
  const double f = khz * 1000.0;
  int32_t best = 1;
  double best_error = std::fabs(f - 10'000'000.0);
  for (int32_t d = 2; d <= 256; ++d) {
    const double error = std::fabs(f - 10'000'000.0 / d);
    if (error < best_error) {  // strictly: the smallest divider wins a tie
      best = d;
      best_error = error;
    }
  }
  return best;
}

int32_t TZond10ForMs(double ms) {
  if (!std::isfinite(ms)) return 1;
  // Clamped before the conversion, so no entry reaches an integer conversion out of range.
  const double slots = std::clamp(std::trunc(ms * 10.0 + 0.5), 1.0, 630.0);
  return ToInt32Or(slots, 1);
}

double Adf4351ReferenceHz(double mhz) {
  const double hz = mhz * 1e6;
  return (std::isfinite(hz) && hz >= 10e6 && hz <= 250e6) ? hz : 25e6;
}

GroupTimeView GroupTime(const ScanOptions& o) {
  GroupTimeView v;
  const double q = std::floor(o.m_TZond10 * 1e-4 * 39'062.5 + 0.5) * 0.0256;
  v.t_ms = (2.0 * o.m_ZondN + 1.0) * q + 1.0;
  const double in_group = std::min(999.0, std::floor(o.m_MultyImpsTMax / v.t_ms));
  char text[160];
  std::snprintf(text, sizeof text, "(итого %0.1f мс на изм, до %0.1f изм/сек и %0.0f в группе)", v.t_ms,
                1000.0 / v.t_ms, in_group);
  v.text = text;
  if (v.t_ms > o.m_MultyImpsTMax) {
    v.colour.face = false;
    v.colour.g = std::max(0, 190 - ToInt32Or(v.t_ms * 19.0 / o.m_MultyImpsTMax, 190));
  }
  return v;
}

std::string FpsText(const ScanOptions& o) {
  char text[96];
  std::snprintf(text, sizeof text, "(%0.1f fps на график, %0.1f fps на водопад)", 1000.0 / o.m_UpTimeGraphik_ms,
                1000.0 / o.m_UpTimeVodopad_ms);
  return text;
}

const char* SlotShortName(int kind) {
  static const char* const kNames[kGenKindCount] = {
      "", "Rfm22b", "Rfm23b", "Rfm69CW", "Rfm69HC(W) pa1", "Rfm69HC(W) pa12", "DDS ad9833", "ADF4351", "si4463"};
  return (kind >= 0 && kind < kGenKindCount) ? kNames[kind] : "";
}

SlotView ShowSlot(const GenDesk& d) {
  SlotView v;
  const int kind = d.m_GenRfmType;
  v.slider_enabled = kind != 0;
  if (kind == 1 || kind == 2) {
    v.slider_max = 7, v.slider_value = d.m_GenPowerRfm22, v.reference = "30 МГц";
  } else if (kind >= 3 && kind <= 5) {
    v.slider_max = 31, v.slider_value = d.m_GenPowerRfm69, v.reference = "32 МГц";
  } else if (kind == 6) {
    v.slider_max = 2, v.slider_value = d.m_dds_Forma, v.reference = "25 МГц";
  } else if (kind == 8) {
    v.slider_max = 127, v.slider_value = d.m_GenPowerSI4463, v.reference = "30 МГц";
  } else if (kind == 7) {
    v.slider_max = 3, v.slider_value = d.m_ADF4351_Pow, v.reference_enabled = true;
    v.reference = Trimmed(d.m_ADF4351_BaseFM / 1e6, 6);
  }
  v.ppm = Trimmed(d.ppm, 6);
  v.fixed_mhz = Trimmed(d.RfmFixFM / 1e6, 9);
  if (v.fixed_mhz == "0" && d.RfmFixFM > 0) v.fixed_mhz = FormatG(d.RfmFixFM / 1e6, 15);
  if (kind == 0) {
    v.power = "Мощность";
  } else if (kind == 6) {
    static const char* const kForms[3] = {"Форма вых: синусоида", "Форма вых: треугольные", "Форма вых: меандр (MSB)"};
    v.power = kForms[std::clamp(d.m_dds_Forma, 0, 2)];
  }
  if (const auto dbm = GenPowerDbm(d)) {
    char text[96];
    std::snprintf(text, sizeof text, "Мощность %0.0f dbm (%0.2f мВт)", *dbm, std::pow(10.0, *dbm / 10.0));
    v.power = text;
    if (*dbm >= 8.0) {
      v.warning.face = false;
      v.warning.g = std::max(0, 190 - ToInt32Or(16.0 * (*dbm - 8.0), 190));
    }
  }
  return v;
}

std::string SpiSummary(const GenDesks& desks) {
  std::string list;
  int count = 0;
  for (int slot = 0; slot < kGenSlots; ++slot) {
    const GenDesk& d = desks[static_cast<size_t>(slot)];
    if (d.m_GenRfmType < 1 || d.m_GenRfmType >= kGenKindCount) continue;
    if (count++ > 0) list += ", ";
    list += "RB" + std::to_string(slot) + ": " + SlotShortName(d.m_GenRfmType) + (d.IsFixed() ? " (фикс)" : "");
  }
  if (count == 0) return "б) Генераторы на SPI: не настроены пока";
  return "б) Генераторы на SPI (" + std::to_string(count) + " шт): " + list;
}

std::string MinusGenText(int32_t divider) {
  if (divider <= 0) return "Выкл (-5в не генерировать)";
  return Trimmed(10'000.0 / divider, 3) + " КГц";
}

std::string CrystalText(double hz) {
  if (hz <= 0) return "не подключена";
  return Trimmed(hz / 1e6, 6) + " МГц";
}

std::string FixedOutputText(double hz) {
  std::string s = Trimmed(hz / 1e6, 6);
  return hz < 0 ? s + " (выкл)" : s;
}

OptionsModel::OptionsModel(IAnalyzerSession& session)
    : session_(session),
      scan_(ScanOptions::Load()),
      gen_(GenSetupOptions::Load()),
      si_(Si5351Config::Load()),
      desks_(LoadGenDesks()),
      rx_(ReceiverSettings::Load(Settings())),
      web_(session.WebOptions()),
      state_(OptionsWindowState::Load()),
      results_folder_(ResultsStore::ResultsFolder()) {}

OptionsTexts OptionsModel::Texts() const {
  OptionsTexts t;
  t.graph_ms = IntText(scan_.m_UpTimeGraphik_ms);
  t.waterfall_ms = IntText(scan_.m_UpTimeVodopad_ms);
  t.hysteresis_db = Trimmed(rx_.hysteresis_db, 6);
  t.convertor_mhz = Trimmed(rx_.convertor_shift / 1e6, 6);
  t.crystal = CrystalText(si_.FrefHz);
  t.si_ppm = Trimmed(si_.PPM, 6);
  for (size_t k = 0; k < 3; ++k) {
    t.out_mhz[k] = FixedOutputText(si_.OutHz[k]);
    t.max_mhz[k] = std::to_string(si_.MaxFOutsMHz[k]) + " МГц";
  }
  const SlotView slot = ShowSlot(SlotDesk());
  t.slot_reference = slot.reference;
  t.slot_ppm = slot.ppm;
  t.slot_fixed_mhz = slot.fixed_mhz;
  t.delay1_ms = IntText(scan_.m_Delay1_ms);
  t.delay1_cb = IntText(scan_.m_Delay1_CB);
  t.polosa_khz = Trimmed(scan_.m_PolosaFM / 1000.0, 6);
  t.tzond_ms = Trimmed(scan_.m_TZond10 / 10.0, 1);
  t.zond_n = IntText(scan_.m_ZondN);
  t.imps_tmax = IntText(scan_.m_MultyImpsTMax);
  t.polosa_used = IntText(scan_.m_MultyPolosaUsed);
  t.pps = IntText(scan_.m_MultyPPS);
  t.port = IntText(web_.port);
  t.address = web_.address;
  t.minus_khz = MinusGenText(gen_.m_MinusGenDivider);
  return t;
}

void OptionsModel::Apply(const OptionsTexts& t) {
  // 1. Si5351 and the general keys.
  const auto crystal = ParseOptionReal(t.crystal);
  si_.FrefHz = crystal ? *crystal * 1e6 : 0.0;
  si_.FrefHzRefused = 0.0;
  TakeReal(t.si_ppm, 1.0, si_.PPM);
  for (size_t k = 0; k < 3; ++k) {
    TakeReal(t.out_mhz[k], 1e6, si_.OutHz[k]);
    TakeInt(t.max_mhz[k], si_.MaxFOutsMHz[k]);
  }
  TakeReal(t.hysteresis_db, 1.0, rx_.hysteresis_db);
  TakeInt(t.port, web_.port);
  web_.address = t.address;
  // 2. The −5 V generator.
  const auto minus = ParseOptionReal(t.minus_khz);
  gen_.m_MinusGenDivider = MinusGenDividerForKhz(minus.value_or(0.0));
  // 3. Checked and stored.
  StoreGeneral();
  // 4. The slot being edited.
  GenDesk& d = desks_[static_cast<size_t>(state_.m_GenRfmCS)];
  TakeReal(t.slot_ppm, 1.0, d.ppm);
  TakeReal(t.slot_fixed_mhz, 1e6, d.RfmFixFM);
  if (d.m_GenRfmType == 7) {
    if (const auto mhz = ParseOptionReal(t.slot_reference)) d.m_ADF4351_BaseFM = Adf4351ReferenceHz(*mhz);
  }
  StoreSlot();
  // 5. The scan keys.
  TakeInt(t.delay1_ms, scan_.m_Delay1_ms);
  TakeInt(t.delay1_cb, scan_.m_Delay1_CB);
  TakeInt(t.imps_tmax, scan_.m_MultyImpsTMax);
  TakeInt(t.polosa_used, scan_.m_MultyPolosaUsed);
  TakeInt(t.pps, scan_.m_MultyPPS);
  TakeReal(t.polosa_khz, 1000.0, scan_.m_PolosaFM);
  TakeInt(t.graph_ms, scan_.m_UpTimeGraphik_ms);
  TakeInt(t.waterfall_ms, scan_.m_UpTimeVodopad_ms);
  if (const auto ms = ParseOptionReal(t.tzond_ms)) scan_.m_TZond10 = TZond10ForMs(*ms);
  TakeInt(t.zond_n, scan_.m_ZondN);
  TakeReal(t.convertor_mhz, 1e6, rx_.convertor_shift);
  StoreScan();
}

void OptionsModel::StoreGeneral() {
  si_.CheckAndDerive();
  if (si_.FrefHzRefused != 0.0) LogRed(si_.CrystalProblem() + "\n");
  si_.Save();
  gen_.Check();
  gen_.Save();
  web_ = session_.StoreWebOptions(web_);
  rx_.Check();
  rx_.Save(Settings());
}

void OptionsModel::StoreSlot() {
  GenDesk& d = desks_[static_cast<size_t>(state_.m_GenRfmCS)];
  d.Check();
  d.Save(state_.m_GenRfmCS);
}

void OptionsModel::StoreScan() {
  scan_.Check();
  scan_.Save();
  rx_.Check();
  rx_.Save(Settings());
}

void OptionsModel::SetSynType(int type) {
  gen_.m_SynType = type;
  gen_.Check();
  gen_.Save();
}

void OptionsModel::SetMinusGenItem(int item) {
  gen_.m_MinusGenDivider = item == 1 ? 40 : 0;
  gen_.Check();
  gen_.Save();
  Log() << "Уст m_MinusGenDivider = " << gen_.m_MinusGenDivider << "\n";
}

void OptionsModel::SetHttpServer(bool on) {
  web_.on = on;
  web_ = session_.StoreWebOptions(web_);
}

void OptionsModel::SetPolosaRsp(bool on) {
  scan_.m_MultyPolosaRsp = on ? 1 : 0;
  scan_.Save();
}

void OptionsModel::SetConvertor(bool on) {
  rx_.is_convertor = on;
  rx_.Save(Settings());
}

std::string OptionsModel::SetSlot(int slot) {
  state_.m_GenRfmCS = slot;
  CheckSettings(OptionsWindowState::Bindings(), state_);
  state_.Save();
  char text[96];
  std::snprintf(text, sizeof text, "Настройка генератора на SPI с CS на RС%d", state_.m_GenRfmCS);
  return text;
}

void OptionsModel::SetKind(int kind) {
  desks_[static_cast<size_t>(state_.m_GenRfmCS)].m_GenRfmType = kind;
  StoreSlot();
}

void OptionsModel::SetPower(int value) {
  GenDesk& d = desks_[static_cast<size_t>(state_.m_GenRfmCS)];
  switch (d.m_GenRfmType) {
    case 1:
    case 2:
      d.m_GenPowerRfm22 = value;
      break;
    case 3:
    case 4:
    case 5:
      d.m_GenPowerRfm69 = value;
      break;
    case 6:
      d.m_dds_Forma = value;
      break;
    case 7:
      d.m_ADF4351_Pow = value;
      break;
    case 8:
      d.m_GenPowerSI4463 = value;
      break;
    default:
      return;
  }
  StoreSlot();
}

std::array<bool, 5> OptionsModel::SaveFlags() const {
  return {scan_.m_SaveName_IsDate != 0, scan_.m_SaveName_IsKsvMin != 0, scan_.m_SaveName_IsKsvMinFM != 0,
          scan_.m_SaveName_IsSdrMode != 0, scan_.m_SaveName_IsGenMode != 0};
}

void OptionsModel::SetSaveFlag(int which, bool on) {
  int32_t* const flags[5] = {&scan_.m_SaveName_IsDate, &scan_.m_SaveName_IsKsvMin, &scan_.m_SaveName_IsKsvMinFM,
                             &scan_.m_SaveName_IsSdrMode, &scan_.m_SaveName_IsGenMode};
  if (which < 0 || which >= 5) return;
  *flags[which] = on ? 1 : 0;
  scan_.Save();
}

void OptionsModel::SetResultsFolder(const std::string& folder) {
  if (folder.empty()) return;
  ResultsStore::SetResultsFolder(folder);
  results_folder_ = ResultsStore::ResultsFolder();
}

void OptionsModel::SetLibrary(int which, const std::string& path) {
  if (path.empty()) return;
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash);
  switch (which) {
    case 0:
      rx_.sdrplay_folder = folder;
      break;
    case 1:
      rx_.rtl_folder = folder;
      break;
    case 2:
      rx_.hackrf_folder = folder;
      rx_.hackrf_name = slash == std::string::npos ? path : path.substr(slash + 1);
      break;
    case 3:
      rx_.extio_folder = path;  // a folder was chosen
      break;
    default:
      return;
  }
  rx_.Check();
  rx_.Save(Settings());
  Log() << "Настройка библиотеки приёмника: " << path << " (действует после перезапуска программы)\n";
}

std::string OptionsModel::LibraryText(int which) const {
  switch (which) {
    case 0:
      return rx_.sdrplay_folder.empty() ? std::string("рядом: ") + ReceiverSet::kSdrPlayName
                                        : rx_.sdrplay_folder + "/" + ReceiverSet::kSdrPlayName;
    case 1:
      return rx_.rtl_folder.empty() ? std::string("рядом: ") + ORtlSdr::kLibraryName
                                    : rx_.rtl_folder + "/" + ORtlSdr::kLibraryName;
    case 2:
      return rx_.hackrf_folder.empty() ? "рядом: " + rx_.hackrf_name : rx_.hackrf_folder + "/" + rx_.hackrf_name;
    case 3:
      return rx_.extio_folder.empty() ? std::string("рядом: ") + ReceiverSet::kExtIOPattern
                                      : rx_.extio_folder + "/" + ReceiverSet::kExtIOPattern;
    default:
      return "";
  }
}

}  // namespace kavu

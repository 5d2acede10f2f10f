#include "session/options_catalog.h"

#include <sys/stat.h>

#include <cmath>
#include <span>
#include <type_traits>
#include <variant>

#include "platform/number_text.h"
#include "receivers/o_hackrf_use.h"
#include "receivers/o_rtl_sdr.h"
#include "shell/settings_store.h"
#include "web/http_server_settings.h"

namespace kavu {
namespace {

constexpr const char* kSlotPrefix = "CDlgOptions_RfmGen";

// How a value is given: a text field typed (a real, an integer, any text), a list or check box
// chosen (an integer in lo…hi), or a file or folder chosen.
enum class Input { kReal, kInt, kText, kChoice, kFile, kFolder };

struct Row {
  const char* key;
  const char* section;  // "" CDlgOptions; kSlotPrefix: one row per slot; else the library's section
  Input input;
  const char* unit;
  double scale = 1;      // shown = stored × scale, for the default and the range
  const char* note = ""; // the range in words, where the binding has none (or not the window's)
  std::string& (*field)(OptionsTexts&) = nullptr;        // text fields
  int lo = 0, hi = 0;                                     // choices
  int (*get)(const OptionsModel&, int slot) = nullptr;    // choices
  void (*set)(OptionsModel&, int) = nullptr;              // choices
  unsigned kinds = 0;   // slot rows of some generator kinds only (bit k for kind k)
  int library = -1;     // file and folder rows: OptionsModel's library number; -1 the results folder
};

#define KAVU_FIELD(m) [](OptionsTexts& t) -> std::string& { return t.m; }
#define KAVU_FIELD_AT(m, i) [](OptionsTexts& t) -> std::string& { return t.m[i]; }

int PowerOf(const GenDesk& d, int kind_field) {
  const int fields[] = {d.m_GenPowerRfm22, d.m_GenPowerRfm69, d.m_dds_Forma, d.m_ADF4351_Pow, d.m_GenPowerSI4463};
  return fields[kind_field];
}

const std::vector<Row>& Rows() {
  using M = const OptionsModel&;
  static const std::vector<Row> rows = {
      // 1. Receivers and display.
      {"m_PathApiDll", "OSdrPlayUse", Input::kFile, "", 1, "the SDRplay library file; its folder is kept", {}, 0, 0, {}, {}, 0, 0},
      {"m_PathApiDllRtl", ORtlSdr::kSection, Input::kFile, "", 1, "the RTL-SDR library file; its folder is kept", {}, 0, 0, {}, {}, 0, 1},
      {"m_PathApiDll", OHackRfUse::kSection, Input::kFile, "", 1, "the HackRF library file; its folder and name are kept", {}, 0, 0, {}, {}, 0, 2},
      {"m_PathExtIO", "OExtIOUse", Input::kFolder, "", 1, "the folder of the ExtIO plug-ins", {}, 0, 0, {}, {}, 0, 3},
      {"m_UpTimeGraphik_ms", "", Input::kInt, "ms", 1, "", KAVU_FIELD(graph_ms)},
      {"m_UpTimeVodopad_ms", "", Input::kInt, "ms", 1, "", KAVU_FIELD(waterfall_ms)},
      {"m_GisterzisMyAru", "", Input::kReal, "dB", 1, "", KAVU_FIELD(hysteresis_db)},
      {"m_IsConvertor", "", Input::kChoice, "", 1, "", nullptr, 0, 1,
       [](M m, int) { return m.Receivers().is_convertor ? 1 : 0; }, [](OptionsModel& m, int v) { m.SetConvertor(v != 0); }},
      {"m_ConvertorFShift", "", Input::kReal, "MHz", 1e-6, "", KAVU_FIELD(convertor_mhz)},
      {"m_SaveResPath", "", Input::kFolder, "", 1, "a folder", {}, 0, 0, {}, {}, 0, -1},
      {"m_SaveName_IsDate", "", Input::kChoice, "", 1, "", nullptr, 0, 1,
       [](M m, int) { return m.SaveFlags()[0] ? 1 : 0; }, [](OptionsModel& m, int v) { m.SetSaveFlag(0, v != 0); }},
      {"m_SaveName_IsKsvMin", "", Input::kChoice, "", 1, "", nullptr, 0, 1,
       [](M m, int) { return m.SaveFlags()[1] ? 1 : 0; }, [](OptionsModel& m, int v) { m.SetSaveFlag(1, v != 0); }},
      {"m_SaveName_IsKsvMinFM", "", Input::kChoice, "", 1, "", nullptr, 0, 1,
       [](M m, int) { return m.SaveFlags()[2] ? 1 : 0; }, [](OptionsModel& m, int v) { m.SetSaveFlag(2, v != 0); }},
      {"m_SaveName_IsSdrMode", "", Input::kChoice, "", 1, "", nullptr, 0, 1,
       [](M m, int) { return m.SaveFlags()[3] ? 1 : 0; }, [](OptionsModel& m, int v) { m.SetSaveFlag(3, v != 0); }},
      {"m_SaveName_IsGenMode", "", Input::kChoice, "", 1, "", nullptr, 0, 1,
       [](M m, int) { return m.SaveFlags()[4] ? 1 : 0; }, [](OptionsModel& m, int v) { m.SetSaveFlag(4, v != 0); }},
      // 2. Generators: the Si5351, then the SPI slots.
      {"m_Si5351_FrefHz", "", Input::kReal, "", 1e-6, "0 (not fitted) or 21…70 MHz (outside: 0)", KAVU_FIELD(crystal)},
      {"m_Si5351_PPM", "", Input::kReal, "ppm", 1, "", KAVU_FIELD(si_ppm)},
      {"m_Si5351_MaxFOuts_0", "", Input::kInt, "", 1, "", KAVU_FIELD_AT(max_mhz, 0)},
      {"m_Si5351_MaxFOuts_1", "", Input::kInt, "", 1, "", KAVU_FIELD_AT(max_mhz, 1)},
      {"m_Si5351_MaxFOuts_2", "", Input::kInt, "", 1, "", KAVU_FIELD_AT(max_mhz, 2)},
      {"m_Si5351_Out1Hz", "", Input::kReal, "MHz", 1e-6, "0 set by the program, above 0 fixed, below 0 off", KAVU_FIELD_AT(out_mhz, 0)},
      {"m_Si5351_Out2Hz", "", Input::kReal, "MHz", 1e-6, "0 set by the program, above 0 fixed, below 0 off", KAVU_FIELD_AT(out_mhz, 1)},
      {"m_Si5351_Out3Hz", "", Input::kReal, "MHz", 1e-6, "0 set by the program, above 0 fixed, below 0 off", KAVU_FIELD_AT(out_mhz, 2)},
      {"m_GenRfmCS", "", Input::kChoice, "", 1, "", nullptr, 0, kGenSlots - 1,
       [](M m, int) { return m.Slot(); }, [](OptionsModel& m, int v) { m.SetSlot(v); }},
      {"m_GenRfmType", kSlotPrefix, Input::kChoice, "", 1, "", nullptr, 0, kGenKindCount - 1,
       [](M m, int s) { return m.Desks()[static_cast<size_t>(s)].m_GenRfmType; },
       [](OptionsModel& m, int v) { m.SetKind(v); }},
      {"m_GenPowerRfm22", kSlotPrefix, Input::kChoice, "", 1, "", nullptr, 0, 7,
       [](M m, int s) { return PowerOf(m.Desks()[static_cast<size_t>(s)], 0); },
       [](OptionsModel& m, int v) { m.SetPower(v); }, 0b110},
      {"m_GenPowerRfm69", kSlotPrefix, Input::kChoice, "", 1, "", nullptr, 0, 31,
       [](M m, int s) { return PowerOf(m.Desks()[static_cast<size_t>(s)], 1); },
       [](OptionsModel& m, int v) { m.SetPower(v); }, 0b111000},
      {"m_dds_Forma", kSlotPrefix, Input::kChoice, "", 1, "", nullptr, 0, 2,
       [](M m, int s) { return PowerOf(m.Desks()[static_cast<size_t>(s)], 2); },
       [](OptionsModel& m, int v) { m.SetPower(v); }, 1u << 6},
      {"m_ADF4351_Pow", kSlotPrefix, Input::kChoice, "", 1, "", nullptr, 0, 3,
       [](M m, int s) { return PowerOf(m.Desks()[static_cast<size_t>(s)], 3); },
       [](OptionsModel& m, int v) { m.SetPower(v); }, 1u << 7},
      {"m_GenPowerSI4463", kSlotPrefix, Input::kChoice, "", 1, "", nullptr, 0, 127,
       [](M m, int s) { return PowerOf(m.Desks()[static_cast<size_t>(s)], 4); },
       [](OptionsModel& m, int v) { m.SetPower(v); }, 1u << 8},
      {"m_ADF4351_BaseFM", kSlotPrefix, Input::kReal, "MHz", 1e-6, "", KAVU_FIELD(slot_reference), 0, 0, {}, {}, 1u << 7},
      {"I.ppm", kSlotPrefix, Input::kReal, "ppm", 1, "", KAVU_FIELD(slot_ppm)},
      {"RfmFixFM", kSlotPrefix, Input::kReal, "MHz", 1e-6, "0 (frequency set by the program) or above", KAVU_FIELD(slot_fixed_mhz)},
      // 3. Scan and web server.
      {"m_Delay1_ms", "", Input::kInt, "ms", 1, "", KAVU_FIELD(delay1_ms)},
      {"m_Delay1_CB", "", Input::kInt, "blocks", 1, "", KAVU_FIELD(delay1_cb)},
      {"m_PolosaFM", "", Input::kReal, "kHz", 1e-3, "", KAVU_FIELD(polosa_khz)},
      {"m_SynType", "", Input::kChoice, "", 1, "", nullptr, 0, 2,
       [](M m, int) { return m.Gen().m_SynType; }, [](OptionsModel& m, int v) { m.SetSynType(v); }},
      {"m_TZond10", "", Input::kReal, "ms", 0.1, "", KAVU_FIELD(tzond_ms)},
      {"m_ZondN", "", Input::kInt, "", 1, "", KAVU_FIELD(zond_n)},
      {"m_MultyImpsTMax", "", Input::kInt, "ms", 1, "", KAVU_FIELD(imps_tmax)},
      {"m_MultyPolosaUsed", "", Input::kInt, "%", 1, "", KAVU_FIELD(polosa_used)},
      {"m_MultyPolosaRsp", "", Input::kChoice, "", 1, "", nullptr, 0, 1,
       [](M m, int) { return m.Scan().m_MultyPolosaRsp != 0 ? 1 : 0; },
       [](OptionsModel& m, int v) { m.SetPolosaRsp(v != 0); }},
      {"m_MultyPPS", "", Input::kInt, "ppm", 1, "", KAVU_FIELD(pps)},
      {"m_IsHttpServer", "", Input::kChoice, "", 1, "", nullptr, 0, 1,
       [](M m, int) { return m.Web().on ? 1 : 0; }, [](OptionsModel& m, int v) { m.SetHttpServer(v != 0); }},
      {"m_HttpServerPort", "", Input::kInt, "", 1, "", KAVU_FIELD(port)},
      {"m_HttpServerAdr", "", Input::kText, "", 1, "up to 240 characters (longer: empty); trailing blanks cut",
       KAVU_FIELD(address)},
      {"m_MinusGenDivider", "", Input::kReal, "kHz", 0,
       "0 (off) or 39.0625…10000 kHz: the divider d in 1…256 whose 10 MHz ÷ d is nearest", KAVU_FIELD(minus_khz)},
  };
  return rows;
}

#undef KAVU_FIELD
#undef KAVU_FIELD_AT

bool IsSlotRow(const Row& row) { return std::string_view(row.section) == kSlotPrefix; }

// The default and range of a key as its owner binds it.
struct KeyFacts {
  bool found = false;
  double def = 0;
  std::string def_text;
  bool is_text = false;
  SettingRange range;
};

template <class S>
void Lookup(std::span<const SettingBinding<S>> fields, const std::string& key, KeyFacts& f) {
  for (const SettingBinding<S>& b : fields) {
    if (f.found || key != b.key) continue;
    f.found = true;
    std::visit(
        [&f](const auto& v) {
          using V = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<V, TextSetting<S>>) {
            f.is_text = true, f.def_text = v.def;
          } else if constexpr (std::is_same_v<V, BoolSetting<S>>) {
            f.def = v.def ? 1 : 0, f.range = NonZeroIsOne();
          } else {
            f.def = v.def, f.range = v.range;
          }
        },
        b.value);
  }
}

KeyFacts FactsOf(const Row& row) {
  KeyFacts f;
  const std::string key = row.key;
  if (IsSlotRow(row)) {
    Lookup(GenDesk::Bindings(), key, f);
    return f;
  }
  if (*row.section != '\0') {
    for (const ReceiverSettings::Section& s : ReceiverSettings::Sections()) {
      if (std::string(s.name) == row.section) Lookup(s.fields, key, f);
    }
    return f;
  }
  Lookup(OptionsWindowState::Bindings(), key, f);
  Lookup(ScanOptions::Bindings(), key, f);
  Lookup(GenSetupOptions::Bindings(), key, f);
  Lookup(Si5351Config::Bindings(), key, f);
  Lookup(HttpServerSettings::Bindings(), key, f);
  for (const ReceiverSettings::Section& s : ReceiverSettings::Sections()) {
    if (std::string(s.name) == "CDlgOptions") Lookup(s.fields, key, f);
  }
  return f;
}

std::string Number(double v) {
  std::string s = FormatTrimmed(v, 6);
  return s == "-0" ? "0" : s;
}

std::string RangeText(const Row& row, const KeyFacts& f) {
  if (*row.note) return row.note;
  if (IsSlotRow(row) && std::string_view(row.key) == "m_GenRfmType") {
    std::string kinds = "0 (none)";
    for (int k = 1; k < kGenKindCount; ++k) kinds += ", " + std::to_string(k) + " " + SlotShortName(k);
    return kinds;
  }
  if (row.input == Input::kChoice) {
    std::string r = std::to_string(row.lo) + "…" + std::to_string(row.hi);
    if (row.kinds != 0) r += ", for this slot's generator kind only";
    return r;
  }
  const SettingRange& r = f.range;
  const std::string lo = Number(r.lo * row.scale), hi = Number(r.hi * row.scale);
  const std::string span = std::isinf(r.hi) ? lo + " and above" : lo + "…" + hi;
  switch (r.rule) {
    case RangeRule::kClamp: return span + " (outside: the nearer end)";
    case RangeRule::kDefault: return span + " (outside: the default)";
    case RangeRule::kLow: return span + " (outside: " + lo + ")";
    case RangeRule::kOne: return "0 or 1";
    case RangeRule::kDefaultBelowClampAbove: return span + " (below: the default, above: " + hi + ")";
    case RangeRule::kKeep: break;
  }
  return "any number";
}

std::string DefaultText(const Row& row, const KeyFacts& f) {
  if (row.input == Input::kFile || row.input == Input::kFolder) {
    if (row.library < 0) return "~/AntIzmSdrData";
    return f.def_text.empty() ? "(beside the program)" : f.def_text;
  }
  if (std::string(row.key) == "m_MinusGenDivider") return MinusGenText(static_cast<int32_t>(f.def));
  if (std::string(row.key) == "m_Si5351_FrefHz") return CrystalText(f.def);
  if (f.is_text) return f.def_text;
  return Number(f.def * row.scale);
}

// A key named: its row and, for a slot row, the slot.
struct Named {
  const Row* row = nullptr;
  int slot = -1;
};

Named NameOf(const std::string& key) {
  Named n;
  const size_t slash = key.find('/');
  const std::string section = slash == std::string::npos ? "" : key.substr(0, slash);
  const std::string name = slash == std::string::npos ? key : key.substr(slash + 1);
  std::string_view slot_section = section;
  if (slot_section.size() == std::string_view(kSlotPrefix).size() + 1 && slot_section.starts_with(kSlotPrefix)) {
    const char digit = slot_section.back();
    if (digit < '0' || digit >= '0' + kGenSlots) return n;
    n.slot = digit - '0';
  }
  const std::string_view wanted_section = n.slot >= 0 ? std::string_view(kSlotPrefix) : std::string_view(section);
  const std::string_view alias = section == "CDlgOptions" ? "" : wanted_section;  // "CDlgOptions/m_ZondN" too
  for (const Row& row : Rows()) {
    if (name == row.key && alias == row.section) n.row = &row;
  }
  return n;
}

std::string KeyOf(const Row& row, int slot) {
  if (IsSlotRow(row)) return std::string(kSlotPrefix) + std::to_string(slot) + "/" + row.key;
  if (*row.section != '\0') return std::string(row.section) + "/" + row.key;
  return row.key;
}

OptionEntry EntryOf(const OptionsModel& model, const Row& row, int slot) {
  const KeyFacts facts = FactsOf(row);
  OptionEntry e{KeyOf(row, slot), "", row.unit, DefaultText(row, facts), RangeText(row, facts)};
  if (row.field) {
    OptionsTexts t = model.Texts();
    if (IsSlotRow(row)) {  // the slot's texts, without making it the slot being edited
      const SlotView v = ShowSlot(model.Desks()[static_cast<size_t>(slot)]);
      t.slot_reference = v.reference, t.slot_ppm = v.ppm, t.slot_fixed_mhz = v.fixed_mhz;
    }
    e.value = row.field(t);
  } else if (row.get) {
    e.value = std::to_string(row.get(model, slot));
  } else if (row.library >= 0) {
    e.value = model.LibraryText(row.library);
  } else {
    e.value = model.ResultsFolder();
  }
  return e;
}

bool IsFolder(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
bool IsFile(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Why `value` cannot be given to `row` of `slot` (as the window's control could not take it), or "".
std::string Refusal(const OptionsModel& model, const Row& row, int slot, const std::string& value) {
  const std::string quoted = "\"" + value + "\"";
  if (row.kinds != 0) {
    const int kind = model.Desks()[static_cast<size_t>(slot)].m_GenRfmType;
    if (!(row.kinds & (1u << kind))) {
      return std::string(row.key) + " does not apply to slot " + std::to_string(slot) + ", whose generator kind is " +
             std::to_string(kind) + " (set " + kSlotPrefix + std::to_string(slot) + "/m_GenRfmType first)";
    }
  }
  switch (row.input) {
    case Input::kReal:
      // The window's own text for "off" / "not fitted" is what it applies as 0.
      if (value == MinusGenText(0) || value == CrystalText(0)) return "";
      return ParseOptionReal(value) ? "" : quoted + " is not a number";
    case Input::kInt:
      return ParseOptionInt(value) ? "" : quoted + " is not a whole number that fits in 32 bits";
    case Input::kText:
      return "";
    case Input::kChoice: {
      const auto v = ParseInt(value);
      if (v && *v >= row.lo && *v <= row.hi && value.find_first_not_of("+-0123456789") == std::string::npos) return "";
      return quoted + " is not one of " + std::to_string(row.lo) + "…" + std::to_string(row.hi);
    }
    case Input::kFile:
      return IsFile(value) ? "" : quoted + " is not a file";
    case Input::kFolder:
      if (value.empty()) return "the folder is empty";
      return row.library < 0 || IsFolder(value) ? "" : quoted + " is not a folder";
  }
  return "";
}

}  // namespace

std::vector<OptionEntry> OptionsCatalog::List() const {
  std::vector<OptionEntry> entries;
  for (const Row& row : Rows()) {
    if (!IsSlotRow(row)) entries.push_back(EntryOf(model_, row, -1));
  }
  // The slots' keys after the general ones, slot by slot.
  for (int slot = 0; slot < kGenSlots; ++slot) {
    for (const Row& row : Rows()) {
      if (IsSlotRow(row)) entries.push_back(EntryOf(model_, row, slot));
    }
  }
  return entries;
}

std::optional<OptionEntry> OptionsCatalog::Find(const std::string& key) const {
  const Named n = NameOf(key);
  if (!n.row || (IsSlotRow(*n.row) && n.slot < 0)) return std::nullopt;
  return EntryOf(model_, *n.row, n.slot);
}

std::string OptionsCatalog::Set(const std::string& key, const std::string& value) {
  const Named n = NameOf(key);
  if (!n.row || (IsSlotRow(*n.row) && n.slot < 0)) return "no option \"" + key + "\"";
  const Row& row = *n.row;
  if (std::string why = Refusal(model_, row, n.slot, value); !why.empty()) return why;
  // A slot's key is set in that slot, as the window does after choosing it; the slot being
  // edited is chosen again afterwards.
  SettingsStore::WriteGroup one_write(Settings());  // every key it stores in one write of the file
  const int edited = model_.Slot();
  const bool other_slot = IsSlotRow(row) && n.slot != edited;
  if (other_slot) model_.SetSlot(n.slot);
  if (row.field) {
    OptionsTexts t = model_.Texts();
    row.field(t) = value;
    model_.Apply(t);  // Enter
  } else if (row.set) {
    row.set(model_, *ParseInt(value));
  } else if (row.library >= 0) {
    model_.SetLibrary(row.library, value);
  } else {
    model_.SetResultsFolder(value);
  }
  if (other_slot) model_.SetSlot(edited);
  return one_write.End() ? "" : kNotWritten;
}

}  // namespace kavu

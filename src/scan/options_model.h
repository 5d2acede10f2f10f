#pragma once
// OptionsModel: what the options window edits, without the window. It holds one reading of every
// option the window shows, each kept by its owner (ScanOptions, GenSetupOptions, Si5351Config,
// the slots' GenDesk, ReceiverSettings, the web server's options through the session, and
// OptionsWindowState for the slot being edited), turns the window's texts into values by the
// window's rules, checks every value with its owner's check before it is stored, and gives the
// texts the window shows back.
//
// Apply is what Enter does: the five steps (Si5351 and the general keys, the −5 V divider, the
// checks and stores, the slot being edited, the scan keys). The immediate setters store one key
// at once, as the window's lists, check boxes and slider do.
//
// Window thread only, like the settings store.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "board/gen_desk.h"
#include "board/gen_setup.h"
#include "board/si5351_config.h"
#include "receivers/receiver_settings.h"
#include "scan/analyzer_session_interface.h"
#include "scan/scan_options.h"
#include "shell/settings_fields.h"

namespace kavu {

// The options window's own key: the SPI slot being edited (0..2, outside → 0).
struct OptionsWindowState {
  int32_t m_GenRfmCS = 0;
  static std::span<const SettingBinding<OptionsWindowState>> Bindings();
  static OptionsWindowState Load();
  bool Save() const;
};

// Reading a window's text: ',' counts as the decimal point; leading blanks and a sign are
// allowed and trailing text (a unit) is ignored. Empty when it does not parse or is not finite.
std::optional<double> ParseOptionReal(std::string_view text);
// An integer field: like "%d" (the fraction and a unit are ignored); empty when it does not
// parse or does not fit in 32 bits, so a huge entry keeps the old value.
std::optional<int32_t> ParseOptionInt(std::string_view text);

// The −5 V generator's divider d in 1…256 whose 10,000,000 ÷ d Hz is nearest to `khz` kHz (the
// smallest d on a tie); 0 (generator off) for 0.
int32_t MinusGenDividerForKhz(double khz);
// The probing slot in 0.1 ms for a duration in ms: truncate(ms × 10 + 0.5), then 1…630.
int32_t TZond10ForMs(double ms);
// The ADF4351 reference in Hz for a typed value in MHz: 10…250 MHz, else 25 MHz.
double Adf4351ReferenceHz(double mhz);

// A colour the window paints a warning with: the button face, or RGB(255, g, g).
struct WarnColour {
  bool face = true;
  int g = 0;
  bool operator==(const WarnColour&) const = default;
};

// The group timing text 1237 ("(итого … мс на изм, до … изм/сек и … в группе)") and its colour.
struct GroupTimeView {
  double t_ms = 0;  // one measurement: (2 × m_ZondN + 1) probing slots on the board's timer + 1 ms
  std::string text;
  WarnColour colour;
};
GroupTimeView GroupTime(const ScanOptions& o);
// "(%0.1f fps на график, %0.1f fps на водопад)".
std::string FpsText(const ScanOptions& o);

// How a slot of a kind is shown: the power slider's range and value, the reference list 1022.
struct SlotView {
  int slider_max = 1;
  int slider_value = 0;
  bool slider_enabled = false;
  bool reference_enabled = false;
  std::string reference;  // text of 1022
  std::string ppm;        // 1223
  std::string fixed_mhz;  // 1239
  std::string power;      // label 1178
  WarnColour warning;     // colour of the rich text 1181
};
SlotView ShowSlot(const GenDesk& desk);
// Label 1227: "б) Генераторы на SPI (%d шт): RB0: Rfm22b, …" or "б) Генераторы на SPI: не настроены пока".
std::string SpiSummary(const GenDesks& desks);
// The short name of a kind in label 1227 ("" for kind 0).
const char* SlotShortName(int kind);
// The −5 V field's text for a divider: "Выкл (-5в не генерировать)" or "%s КГц".
std::string MinusGenText(int32_t divider);
// The crystal field's text: "не подключена" or "%s МГц".
std::string CrystalText(double hz);
// A fixed output's text in MHz; negative (off) followed by " (выкл)".
std::string FixedOutputText(double hz);

// Every text field of the window, as the user left them.
struct OptionsTexts {
  // group 1
  std::string graph_ms, waterfall_ms, hysteresis_db, convertor_mhz;
  // group 2
  std::string crystal, si_ppm;
  std::array<std::string, 3> out_mhz, max_mhz;
  std::string slot_reference, slot_ppm, slot_fixed_mhz;
  // group 3
  std::string delay1_ms, delay1_cb, polosa_khz, tzond_ms, zond_n, imps_tmax, polosa_used, pps;
  std::string port, address, minus_khz;
};

class OptionsModel {
 public:
  // Reads every option through its owner; the web server's options come from `session`, which
  // must outlive the model.
  explicit OptionsModel(IAnalyzerSession& session);

  // The texts the window shows for the values now held.
  OptionsTexts Texts() const;
  // Enter: the five steps; every key checked, then stored. The fields that did not parse keep
  // their values (the crystal becomes 0: not fitted).
  void Apply(const OptionsTexts& texts);

  // Immediate stores.
  void SetSynType(int type);                     // list 1011
  void SetMinusGenItem(int item);                // list 1236: 0 off, 1 250 kHz (divider 40); logs it
  void SetHttpServer(bool on);                   // 1043
  void SetPolosaRsp(bool on);                    // 1047
  void SetConvertor(bool on);                    // 1059
  std::string SetSlot(int slot);                 // 1015: "Настройка генератора на SPI с CS на RС%d"
  void SetKind(int kind);                        // 1000: the slot's kind
  void SetPower(int value);                      // the slider: the power field of the slot's kind
  void SetSaveFlag(int which, bool on);          // results menu toggles 0..4 (see SaveFlags)
  void SetResultsFolder(const std::string& folder);
  // Library choices: the folder of the chosen file (HackRF: the file's name too), or the
  // plug-in folder; stored with a log line.
  void SetLibrary(int which, const std::string& path);  // 0 SDRplay, 1 RTL-SDR, 2 HackRF, 3 ExtIO
  // The text of a library button: the stored path, or "рядом: " + where it is looked for.
  std::string LibraryText(int which) const;

  const ScanOptions& Scan() const { return scan_; }
  const GenSetupOptions& Gen() const { return gen_; }
  const Si5351Config& Si() const { return si_; }
  const GenDesks& Desks() const { return desks_; }
  const ReceiverSettings& Receivers() const { return rx_; }
  const WebServerKeys& Web() const { return web_; }
  // The running web server's status text; empty when none runs.
  std::optional<std::string> WebStatus() const { return session_.WebStatusText(); }
  int Slot() const { return state_.m_GenRfmCS; }
  const GenDesk& SlotDesk() const { return desks_[static_cast<size_t>(state_.m_GenRfmCS)]; }
  std::array<bool, 5> SaveFlags() const;  // date, SWR min, its frequency, receiver, generator
  std::string ResultsFolder() const { return results_folder_; }

 private:
  void StoreGeneral();  // the Si5351 keys, hysteresis, port, divider, address
  void StoreSlot();
  void StoreScan();

  IAnalyzerSession& session_;
  ScanOptions scan_;
  GenSetupOptions gen_;
  Si5351Config si_;
  GenDesks desks_;
  ReceiverSettings rx_;
  WebServerKeys web_;
  OptionsWindowState state_;
  std::string results_folder_;
};

}  // namespace kavu

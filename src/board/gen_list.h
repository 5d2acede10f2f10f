#pragma once
// The generator list of the main window ("Ген:"): from which source the user scans.
//
// Entries, in this order: the Si5351 outputs k whose role is swept (only when a crystal is set),
// "Si5351A, вых. CLK<k>" with data k; the SPI slots i with a kind and no fixed frequency, the
// kind's list text (+ " на RB0" for slot 0) with data 100 + i; when nothing qualifies the single
// entry "настройте сперва" with data -111 (choosing it opens the options window).
#include <string>
#include <vector>

#include "board/gen_desk.h"
#include "board/si5351_config.h"

namespace kavu {

inline constexpr int kGenNothingConfigured = -111;

struct GenListItem {
  std::string text;
  int data = kGenNothingConfigured;
};

class GenList {
 public:
  // Where the chosen entry is kept: the main window's settings, which bind the same key.
  static constexpr const char* kSection = "ODlgSpektr";
  static constexpr const char* kKey = "m_GenNum";

  // Builds the entries and selects the one at `saved_index` (m_GenNum; out of range -> 0).
  void Build(const Si5351Config& si, const GenDesks& desks, int saved_index);
  // Builds from the settings, selecting "m_GenNum" of section "ODlgSpektr".
  void BuildFromSettings(const Si5351Config& si, const GenDesks& desks);

  const std::vector<GenListItem>& Items() const { return items_; }
  int Selected() const { return selected_; }
  // Selects entry `index` and saves it as "m_GenNum"; false when out of range.
  bool Select(int index);
  // Selects the entry with `data`; false when there is none. Not saved.
  bool SelectData(int data);
  // GetGenNum: the selected entry's data, -1 when nothing is selected.
  int GetGenNum() const;

 private:
  std::vector<GenListItem> items_;
  int selected_ = -1;
};

}  // namespace kavu

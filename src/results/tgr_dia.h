#pragma once
// TGrDia: one axis of the graph machinery (a pane's value axis or a window's frequency axis).
// Keeps the full range of the data and the visible range, the display options, and chooses the
// grid ("Setka") for the visible range; formats grid labels in eight value formats; converts
// between the visible range and a scroll bar of range 0 … 1,000,000,000. Draws nothing.
//
// A range is valid when both ends lie strictly within ±1e100 and low ≤ high. The empty state
// (1e100, −1e100) is invalid: an axis without data has no grid (Setka_GetN() = 0) and a disabled
// scroll bar, never NaN in a pixel or a bar position.
#include <cstdint>
#include <string>

namespace kavu {

// A scroll bar as an axis sees it: range 0 … kScrollMax, the thumb's page and position.
struct AxisScrollBar {
  static constexpr int32_t kScrollMax = 1000000000;
  bool enabled = false;
  int32_t page = 0;
  int32_t pos = 0;
};

// Scroll commands (the values of the classic scroll bar notifications).
enum AxisScrollCommand : int {
  kScrollLineUp = 0, kScrollLineDown = 1, kScrollPageUp = 2, kScrollPageDown = 3,
  kScrollThumbPosition = 4, kScrollThumbTrack = 5, kScrollTop = 6, kScrollBottom = 7,
  kScrollCentre = 32555,
};

class TGrDia {
 public:
  static constexpr double kEmpty = 1e100;
  static constexpr int kFormats = 8;
  static constexpr double kRadToDeg = 57.29577951308232;
  static constexpr double kRadToArcSec = 206264.80624709636;

  TGrDia() { ResetForGraph(1); }
  virtual ~TGrDia() = default;

  static bool IsValidRange(double lo, double hi) {
    return lo > -kEmpty && lo < kEmpty && hi > -kEmpty && hi < kEmpty && lo <= hi;
  }

  // The starting state of a graph's axis; `type` (format) is kept as m_GraphType.
  void ResetForGraph(int32_t type);

  // Operations in the axis's slot order.
  virtual void Init();  // all formats enabled, m_Format = 1
  virtual int GetFormatCount() const { return kFormats; }
  // Writes the format's name ("не знаю, ошибка" outside 0–7); returns its enabled flag.
  virtual int GetFormatName(int number, std::string& text) const;
  virtual void EnableAllFormats();
  virtual void EnableFormat(int number, int flag);  // numbers 0–15
  virtual int GetFormat() const { return m_Format; }
  virtual void SetFormat(int number);  // outside 0–7 becomes 0
  // Chooses the grid for the visible range; `delta_min` is the smallest step in axis units.
  // An invalid range or step gives no lines.
  virtual void Setka_Create(double delta_min);
  virtual int32_t Setka_GetN() const { return m_Setka_N; }
  // The value of grid line i (axis units); returns its class: −1 auxiliary, 0 main, 1 higher.
  virtual int Setka_GetValue(int32_t i, double& value) const;
  // As Setka_GetValue, and the line's label in the current format.
  virtual int Setka_GetText(int32_t i, double& value, std::string& text) const;
  virtual int32_t Setka_BigN(int32_t exponent) const;

  // Label text of display value v (display units) at step exponent p, in format `format`.
  static std::string FormatLabel(int format, double v, int32_t p);

  // Ranges.
  void EmptyFull() { m_Full0 = kEmpty; m_Full1 = -kEmpty; }
  void ExtendFull(double a, double b);  // only a valid [a, b] extends
  bool FullValid() const { return IsValidRange(m_Full0, m_Full1); }
  bool ShowValid() const { return IsValidRange(m_Show0, m_Show1); }
  void Normalise(bool follow);
  // The logarithmic scale is used only when the flag is set and every range end is above 0;
  // a range touching or crossing 0 maps linearly.
  bool UsesLog() const;

  // Scroll bar mapping. `reversed`: a vertical bar whose top shows the upper end.
  AxisScrollBar BarFromRange(bool reversed) const;
  void RangeFromBar(int32_t pos, bool reversed);
  // Applies a scroll command (track_pos for the thumb commands) and returns the updated bar.
  AxisScrollBar Scroll(int command, int32_t track_pos, bool reversed);
  // Each end e becomes (e − centre)·1.1^exponent + centre (in logarithms on a log axis);
  // m_IsAuto off; Normalise(false). A positive exponent widens the range.
  void Zoom(double exponent, double centre);

  // Fields (the axis's published state).
  double m_Must0 = kEmpty, m_Must1 = -kEmpty;
  double m_MinSpan = -1e100;
  double m_Full0 = kEmpty, m_Full1 = -kEmpty;
  double m_Show0 = kEmpty, m_Show1 = -kEmpty;
  int32_t m_IsLog = 0;
  int32_t m_IsLogAllowed = 0;
  int32_t m_IsFull = 1;
  int32_t m_IsAuto = 0;
  int32_t m_IsIgnoreGlitches = 1;
  uint8_t m_FormatEnabled[16] = {};
  int32_t m_Format = 1;
  int32_t m_Setka_N = 0;
  int32_t m_Setka_DopN = 1;
  int32_t m_Setka_StepBase_I = 0;
  double m_Setka_LoBase = 0;
  double m_Setka_Step = 1;
  int64_t m_Setka_IBase = 0;  // 64-bit: first / step may be far beyond 32 bits
  int32_t m_Setka_BigN = 10;
  int32_t m_IsGrid = 1, m_IsValues = 1, m_IsLegend = 1, m_IsSpare = 1;
  int32_t m_GraphType = 1;

 private:
  // The factor that turns axis values into the grid's display units (formats 2 and 3).
  double DisplayFactor() const;
  // Ends in the scroll mapping's units (logarithms on a log axis).
  void MappedEnds(double& f0, double& f1, double& s0, double& s1) const;
  void SetShowFromMapped(double s0, double s1);
};

}  // namespace kavu

#pragma once
// The one-signal view's graph list: an amplitude pane and, with "Фазы", a phase pane (radians,
// shown in degrees) under it, both against time in ms (see OneSignalSnapshot). Which series are
// drawn follows the view's seven check boxes (OneSignalChoice).
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

#include "results/gr_list.h"
#include "scan/one_signal_snapshot.h"
#include "shell/settings_fields.h"

namespace kavu {

// The check boxes, kept in the settings section "CDlg_SelectGraph" under the member names.
struct OneSignalChoice {
  static constexpr const char* kSection = "CDlg_SelectGraph";
  int m_IsA = 1;           // "Сигнал A"
  int m_IsAFiltrAmpl = 1;  // "Фильтр ампл"
  int m_IsB = 1;           // "B (только Rsp2Duo)"
  int m_IsIn = 0;          // "Исх как есть"
  int m_IsPf = 1;          // "Фильтрованный"
  int m_IsIn2 = 0;         // "Исх с децимацией"
  int m_IsFaza = 1;        // "Фазы"

  // The seven keys with their defaults, in the order of the view's boxes.
  static std::span<const SettingBinding<OneSignalChoice>> Bindings();
  // The seven members with their keys, in the order of the view's boxes.
  std::array<std::pair<const char*, int*>, 7> Fields();
  void Load();  // values other than 0 and 1 fall back to the default
  void Save() const;

  bool operator==(const OneSignalChoice&) const = default;
};

// One series of a snapshot as a line: a complex series' amplitude or phase, or a real series.
class OneSignalLine : public OGrListItem {
 public:
  enum class Quantity { kAmplitude, kPhase, kReal };
  OneSignalLine() = default;
  OneSignalLine(const TimeSeries<std::complex<float>>& s, Quantity q, std::string name)
      : complex_(&s), quantity_(q), name_(std::move(name)) {}
  OneSignalLine(const TimeSeries<float>& s, std::string name)
      : real_(&s), quantity_(Quantity::kReal), name_(std::move(name)) {}

  int GetKind() const override { return 0; }
  int HasBand() const override { return 0; }
  int32_t GetCount() const override;
  // Only the samples inside [x_lo, x_hi] (one more either side), at most ~8 per pixel column.
  void GetIndexRange(double x_lo, double x_hi, int pixels, int32_t& first, int32_t& end,
                     int32_t& step) const override;
  // x in ms, y the amplitude, the phase in radians or the real value; no markers.
  int32_t GetPoint(int32_t i, double& x, double& y) const override;
  void GetName(std::string& text) const override { text = name_; }

 private:
  double T0() const { return complex_ ? complex_->t0 : real_->t0; }
  double Dt() const { return complex_ ? complex_->dt : real_->dt; }

  const TimeSeries<std::complex<float>>* complex_ = nullptr;
  const TimeSeries<float>* real_ = nullptr;
  Quantity quantity_ = Quantity::kReal;
  std::string name_;
};

class OneSignalGrList : public OGrList {
 public:
  static constexpr int kMaxLines = 8;

  // Rebuilds the lines from `snap` (which must outlive the list's use) by the check boxes.
  void Build(const OneSignalSnapshot& snap, const OneSignalChoice& choice);

  int32_t GetGraphCount() const override { return graphs_; }
  TGrDia& GetAxis(int32_t g) override { return axes_[Pane(g)]; }
  int32_t GetLineCount(int32_t g) const override { return counts_[Pane(g)]; }
  OGrListItem& GetLine(int32_t g, int32_t l) override;

 private:
  static size_t Pane(int32_t g) { return g == 1 ? 1 : 0; }
  void Add(int pane, const OneSignalLine& line);

  std::array<TGrDia, 2> axes_;
  std::array<std::array<OneSignalLine, kMaxLines>, 2> lines_;
  std::array<int32_t, 2> counts_{};
  int32_t graphs_ = 0;
};

}  // namespace kavu

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "results/gr_list_ekg.h"
#include "results/results_store.h"
#include "shell/settings_store.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

// Impedance taken straight from two fields of the point (R = a, X = o), so every test knows
// the exact R + jX behind a line.
class FieldSource : public IGraphPointSource {
 public:
  std::complex<double> Impedance(const AntIzms& set, int64_t i, bool cable) const override {
    const AntIzm& p = set.At(i);
    return {p.a + (cable ? 1000 : 0), p.o};
  }
  double RatioCorrectionDb(double) const override { return ratio; }
  double ratio = 0;
};

struct Fixture {
  std::unique_ptr<ResultsStore> store = std::make_unique<ResultsStore>(64);
  GraphPanelSettings panel;
  FieldSource source;
  OGrList_EKG list{*store, panel, source};

  void Add(AntIzms& set, double f, double r, double x, int overloads = 0) {
    AntIzm p = EmptyAntIzm();
    p.freqHz = f, p.a = r, p.o = x, p.overloads = overloads;
    set.Append(p);
  }
  void OnlyRX() {
    panel = GraphPanelSettings();
    panel.m_IsFAZA = panel.m_IsFAZA_Duo = panel.m_IsKSV = 0;
  }
  // Graphs as lists of "name" of each line.
  std::vector<std::vector<std::string>> Names() {
    std::vector<std::vector<std::string>> out;
    for (int g = 0; g < list.GetGraphCount(); ++g) {
      out.emplace_back();
      for (int l = 0; l < list.GetLineCount(g); ++l) {
        std::string n;
        list.GetLine(g, l).GetName(n);
        out.back().push_back(n);
      }
    }
    return out;
  }
  std::vector<std::vector<int>> Codes() {
    std::vector<std::vector<int>> out;
    for (int g = 0; g < list.GetGraphCount(); ++g) {
      out.emplace_back();
      for (int l = 0; l < list.GetLineCount(g); ++l) out.back().push_back(list.LineCode(g, l));
    }
    return out;
  }
};

using Graphs = std::vector<std::vector<std::string>>;
using CodeGraphs = std::vector<std::vector<int>>;

TEST(GraphListBuild, ImpedanceGroupsAndSeparation) {
  Fixture f;
  f.OnlyRX();
  BuildResultsGraphList(f.list, f.panel, *f.store);
  EXPECT_EQ(f.Names(), (Graphs{{"R", "X"}}));
  f.panel.m_IsRazdRX = 1;
  BuildResultsGraphList(f.list, f.panel, *f.store);
  EXPECT_EQ(f.Names(), (Graphs{{"R"}, {"X"}}));
  f.panel.m_IsRazdRX = 0;
  f.panel.m_IsPredScan = 1;
  f.panel.m_IsRazd = 1;
  f.panel.m_IsX = 0;
  BuildResultsGraphList(f.list, f.panel, *f.store);
  EXPECT_EQ(f.Names(), (Graphs{{"R"}, {"пред R"}}));
  f.panel.m_IsRazd = 0;
  f.panel.m_IsLCRPara = 1;
  BuildResultsGraphList(f.list, f.panel, *f.store);
  EXPECT_EQ(f.Names(), (Graphs{{"|| R", "пред || R"}}));
}

TEST(GraphListBuild, DefaultsPhaseTypeAndLoopOrder) {
  Fixture f;
  f.panel.m_IsFile[2] = 1;
  f.store->Slot(2).hasDuo = 1;
  f.panel.m_UseDuoFaza = 1;
  f.panel.m_IsTransLen = 1;
  const bool duo = BuildResultsGraphList(f.list, f.panel, *f.store);
  EXPECT_TRUE(duo);
  const int s5 = 5 << 16;
  EXPECT_EQ(f.Codes(), (CodeGraphs{{500, s5 | 500, s5 | 501},
                                    {600, 610, 601, 611, s5 | 600, s5 | 610, s5 | 620, s5 | 630,
                                     s5 | 601, s5 | 611, s5 | 621, s5 | 631},
                                    {603, s5 | 603, s5 | 623}}));
  EXPECT_EQ(f.list.GetAxis(0).m_GraphType, 3);
  EXPECT_EQ(f.list.GetAxis(1).m_GraphType, 1);
  std::string n;
  f.list.GetLine(1, 6).GetName(n);
  EXPECT_EQ(n, "файл2 duo R");
  f.list.GetLine(1, 1).GetName(n);
  EXPECT_EQ(n, "R каб");
}

TEST(GraphListBuild, LevelGroupsRespectDuoAndFilterStates) {
  Fixture f;
  f.OnlyRX();
  f.panel.m_IsR = f.panel.m_IsX = 0;
  f.panel.m_IsNS = f.panel.m_IsNS2 = 1;
  f.panel.m_IsFile[1] = 1;
  f.store->Set(0).hasDuo = 1;  // the comparison slot has no Duo data
  BuildResultsGraphList(f.list, f.panel, *f.store);
  EXPECT_EQ(f.Codes(), (CodeGraphs{{0, 1, 3, (4 << 16) | 1, (4 << 16) | 3}}));
  f.panel.m_IsUFilter = 2;
  f.panel.m_IsPause = 0;
  f.panel.m_IsFile[1] = 0;
  f.panel.m_IsDeltaB = 1;
  BuildResultsGraphList(f.list, f.panel, *f.store);
  EXPECT_EQ(f.Codes(), (CodeGraphs{{64, 65}, {166}}));
  f.panel.m_IsUFilter = 1;
  f.panel.m_IsUGen = 1;
  f.panel.m_IsNS = 0;
  BuildResultsGraphList(f.list, f.panel, *f.store);
  EXPECT_EQ(f.Codes(), (CodeGraphs{{41, 75}, {1, 65}, {104, 166}}));
}

TEST(GraphListBuild, CapsAt256LinesWithoutOverflow) {
  Fixture f;
  for (const auto& k : GraphPanelSettings::CheckKeys()) f.panel.*k.field = 1;
  f.panel.m_IsRazd = 1;
  for (int s = 1; s <= 6; ++s) f.panel.m_IsFile[static_cast<size_t>(s)] = 1, f.store->Slot(s).hasDuo = 1;
  f.store->Set(0).hasDuo = f.store->Set(1).hasDuo = 1;
  BuildResultsGraphList(f.list, f.panel, *f.store);
  EXPECT_EQ(f.list.TotalLines(), OGrList_EKG::kMaxLines);
  int sum = 0;
  for (int g = 0; g < f.list.GetGraphCount(); ++g) sum += f.list.GetLineCount(g);
  EXPECT_EQ(sum, OGrList_EKG::kMaxLines);
  EXPECT_LE(f.list.GetGraphCount(), OGrList_EKG::kMaxGraphs);
  // The same build twice gives the same list (no residue from the first).
  const auto first = f.Codes();
  BuildResultsGraphList(f.list, f.panel, *f.store);
  EXPECT_EQ(f.Codes(), first);
}

TEST(GraphListPoints, SwrGammaGlitchAndInvalid) {
  Fixture f;
  AntIzms& s0 = f.store->Set(0);
  f.Add(s0, 14e6, 50, 0);         // matched: SWR 1
  f.Add(s0, 15e6, 0, 1e6);        // |Γ| ≈ 1: SWR capped at the ceiling
  f.Add(s0, 16e6, 2000, 10);      // R beyond m_RMax: glitch
  f.Add(s0, 17e6, NAN, 0);        // not a number: invalid, never SWR 1
  f.Add(s0, 18e6, 100, 0);        // SWR 2
  f.Add(s0, 19e6, -30, 0);        // negative R: glitch, taken as 0 for SWR
  OGrListItem_EKG item(*f.store, f.panel, f.source);
  item.code = 603;
  double x, y;
  EXPECT_EQ(item.GetPoint(0, x, y), 0);
  EXPECT_DOUBLE_EQ(x, 14);
  EXPECT_DOUBLE_EQ(y, 1);
  item.GetPoint(1, x, y);
  EXPECT_DOUBLE_EQ(y, 40);
  EXPECT_EQ(item.GetPoint(2, x, y) & kGrGlitch, kGrGlitch);
  EXPECT_EQ(item.GetPoint(3, x, y), kGrInvalid);
  item.GetPoint(4, x, y);
  EXPECT_DOUBLE_EQ(y, 2);
  EXPECT_EQ(item.GetPoint(5, x, y), kGrGlitch);
  EXPECT_DOUBLE_EQ(y, 40);  // R = 0 against 50 Ω: |Γ| = 1
  item.code = 606;
  item.GetPoint(4, x, y);
  EXPECT_NEAR(y, 1.0 / 3, 1e-12);
  double x0, x1, y0, y1;
  item.code = 603;
  ASSERT_TRUE(item.GetFixedRange(x0, x1, y0, y1));
  EXPECT_EQ(x0, 14);
  EXPECT_EQ(x1, 19);
  EXPECT_EQ(y0, 1);
  EXPECT_EQ(y1, 40);
  item.code = 600;
  EXPECT_FALSE(item.GetFixedRange(x0, x1, y0, y1));
  EXPECT_EQ(item.GetPoint(3, x, y), kGrInvalid);
  item.GetPoint(1000, x, y);  // beyond the set: clamped, never refused
}

TEST(GraphListPoints, ReactanceParallelAndMarkers) {
  Fixture f;
  AntIzms& s0 = f.store->Set(0);
  f.Add(s0, 1e6, 30, -40, 0);
  f.Add(s0, 1e6, 30, 40, 0);
  f.Add(s0, 1e6, 30, 40, 5);
  OGrListItem_EKG item(*f.store, f.panel, f.source);
  double x, y;
  item.code = 604;  // C = −1/(2πfX)
  item.GetPoint(0, x, y);
  EXPECT_NEAR(y, 1e12 / (2 * M_PI * 1e6 * 40), 1e-6);
  item.code = 605;  // L = X/(2πf)
  item.GetPoint(1, x, y);
  EXPECT_NEAR(y, 40 / (2 * M_PI * 1e6) * 1e9, 1e-6);
  item.code = 602;
  item.GetPoint(1, x, y);
  EXPECT_DOUBLE_EQ(y, 50);
  item.parallel = 1;
  item.code = 600;
  item.GetPoint(1, x, y);
  EXPECT_NEAR(y, 2500.0 / 30, 1e-12);
  item.code = 601;
  item.GetPoint(1, x, y);
  EXPECT_NEAR(y, 2500.0 / 40, 1e-12);
  item.code = 612;  // through the cable, |Z| of the series values
  item.GetPoint(1, x, y);
  EXPECT_NEAR(y, std::hypot(1030, 40), 1e-9);
  item.parallel = 0;
  item.code = 1;
  f.panel.m_IsMarkers = 2;
  EXPECT_EQ(item.GetPoint(1, x, y), kGrNoMarker);
  EXPECT_EQ(item.GetPoint(2, x, y), 0);  // the overload count changed here
  f.panel.m_IsMarkers = 1;
  EXPECT_EQ(item.GetPoint(1, x, y), 0);
  f.panel.m_IsMarkers = 0;
  EXPECT_EQ(item.GetPoint(2, x, y), kGrNoMarker);
  item.code = 51;  // peak level: a marker where the overload count changed, whatever the box
  EXPECT_EQ(item.GetPoint(2, x, y), 0);
  EXPECT_EQ(item.GetPoint(1, x, y), kGrNoMarker);
  f.source.ratio = 1.5;
  item.code = 104;
  item.GetPoint(0, x, y);
  EXPECT_DOUBLE_EQ(y, 30 - (-40) - 1.5);
}

TEST(GraphPanelSettingsTest, RoundTripAndLimits) {
  test::TempDir dir;
  SettingsStore store(dir.Path() + "/s.ini");
  GraphPanelSettings p;
  p.m_IsMarkers = 2;
  p.m_IsX = 0;
  p.m_IsFile[4] = 1;
  p.m_Most1 = 68;
  p.m_LenCable = 1.25;
  p.Store(store);
  GraphPanelSettings q;
  q.Load(store);
  EXPECT_EQ(q.m_IsMarkers, 2);
  EXPECT_EQ(q.m_IsX, 0);
  EXPECT_EQ(q.m_IsFile[4], 1);
  EXPECT_EQ(q.m_Most1, 68);
  EXPECT_EQ(q.m_LenCable, 1.25);
  store.WriteProfileDouble(kPanelSection, "m_KsvMax", 0.5);  // outside: default on load
  store.WriteProfileInt(kPanelSection, "m_IsR", 7);
  q.Load(store);
  EXPECT_EQ(q.m_KsvMax, 40);
  EXPECT_EQ(q.m_IsR, 1);
  const auto* ksv = GraphPanelSettings::FindNumber("m_KsvMax");
  ASSERT_NE(ksv, nullptr);
  EXPECT_EQ(GraphPanelSettings::ParseTyped(*ksv, "0.5"), 1.02);  // typed: limited
  const auto* most1 = GraphPanelSettings::FindNumber("m_Most1");
  for (const char* bad : {"abc", "nan", "inf", "1e999", ""}) {
    EXPECT_EQ(GraphPanelSettings::ParseTyped(*most1, bad), 56) << bad;
  }
  EXPECT_EQ(GraphPanelSettings::ParseTyped(*most1, " 75 Ом"), 75);
}

}  // namespace
}  // namespace kavu

#include <filesystem>

#include "results/help_links.h"

namespace kavu {
namespace {

TEST(HelpLinksTest, AddressesAndSuffixes) {
  EXPECT_EQ(HelpAddress("https://h.example/", "CDlgRX", HelpButtonSuffix()),
            "https://h.example/KavuSdrAA/Prog1/Help/CDlgRX/B");
  EXPECT_EQ(HelpF1Suffix(1, 1124, 0, 35, 7), "HI&1,1124,0;35,7");
  // Without a base: the README as a local file, found from a build tree made directly in the
  // source folder (build/tests/results); from a tree further down (a cross build's) no address.
  const std::string local = HelpAddress("", "DlgSelectGraph", "B");
  const std::filesystem::path tree = std::filesystem::weakly_canonical(KAVU_BINARY_DIR);
  if (tree.parent_path() == std::filesystem::weakly_canonical(KAVU_SOURCE_DIR)) {
    EXPECT_EQ(local, "file://" + (tree.parent_path() / "README.md").string());
  } else {
    EXPECT_EQ(local, "");
  }
}

}  // namespace
}  // namespace kavu

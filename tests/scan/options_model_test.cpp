// The options window's rules without the window: the typed texts turned into values, the
// checks, what is stored where, and the texts shown.
#include "scan/options_model.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "shell/settings_store.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

// A session that only keeps the web server's keys, as given (their owner's check is the real
// session's, tested with the window on the bench).
class WebKeysOnly : public IAnalyzerSession {
 public:
  ScanStation& Station() override { std::abort(); }  // the model never asks for the station
  void SetListener(ISessionListener*) override {}
  SessionStart StartUp() override { return {}; }
  void Stop() override {}
  void NewRange(bool, const std::string&) override {}
  bool StartScan(bool) override { return false; }
  void PauseOrContinue() override {}
  void PageStartScan() override {}
  std::optional<ScanEndReport> StopAndSave(int) override { return std::nullopt; }
  int WebPort() const override { return 0; }
  WebServerKeys WebOptions() const override { return stored; }
  WebServerKeys StoreWebOptions(const WebServerKeys& o) override {
    ++stores;
    return stored = o;
  }
  std::optional<std::string> WebStatusText() const override { return std::nullopt; }

  WebServerKeys stored;
  int stores = 0;
};

TEST(OptionsRules, TheWindowsArithmeticGivesTheDocumentedValues) {
  // The −5 V divider: nearest 10 MHz ÷ d, the smallest d on a tie, 0 switches it off.
  EXPECT_EQ(MinusGenDividerForKhz(125), 80);
  EXPECT_EQ(MinusGenDividerForKhz(0.5), 256);
  EXPECT_EQ(MinusGenDividerForKhz(30000), 1);
  EXPECT_EQ(MinusGenDividerForKhz(250), 40);
  EXPECT_EQ(MinusGenDividerForKhz(0), 0);
  // 10 MHz ÷ 3 and ÷ 4 lie 833.3 kHz apart: the midpoint is a tie, the smaller divider wins.
  EXPECT_EQ(MinusGenDividerForKhz((10'000.0 / 3 + 10'000.0 / 4) / 2), 3);
  // The probing slot: 63.0 ms is the most, 0.04 ms becomes 0.1 ms, huge entries stay in range.
  EXPECT_EQ(TZond10ForMs(63.0), 630);
  EXPECT_EQ(TZond10ForMs(63.1), 630);
  EXPECT_EQ(TZond10ForMs(0.04), 1);
  EXPECT_EQ(TZond10ForMs(2.04), 20);
  EXPECT_EQ(TZond10ForMs(1e300), 630);
  EXPECT_EQ(TZond10ForMs(-1e300), 1);
  // The ADF4351 reference: 10 … 250 MHz, else 25 MHz.
  EXPECT_EQ(Adf4351ReferenceHz(5), 25e6);
  EXPECT_EQ(Adf4351ReferenceHz(10), 10e6);
  EXPECT_EQ(Adf4351ReferenceHz(250), 250e6);
  EXPECT_EQ(Adf4351ReferenceHz(250.5), 25e6);
  // Texts: a comma is a decimal point, a unit is ignored, a huge integer does not parse.
  EXPECT_EQ(ParseOptionReal("1,5"), 1.5);
  EXPECT_EQ(ParseOptionReal(" 27 МГц"), 27.0);
  EXPECT_FALSE(ParseOptionReal("нет"));
  EXPECT_FALSE(ParseOptionReal("1e999"));
  EXPECT_EQ(ParseOptionInt("300 МГц"), 300);
  EXPECT_FALSE(ParseOptionInt("99999999999"));
}

TEST(OptionsRules, ShownTextsAndColours) {
  const ScanOptions defaults;
  const GroupTimeView t = GroupTime(defaults);
  EXPECT_EQ(t.text, "(итого 7.0 мс на изм, до 143.1 изм/сек и 14 в группе)");
  EXPECT_TRUE(t.colour.face);
  EXPECT_EQ(FpsText(defaults), "(20.0 fps на график, 50.0 fps на водопад)");
  // A measurement longer than the longest group turns the text red-ish.
  ScanOptions slow;
  slow.m_TZond10 = 630, slow.m_ZondN = 255, slow.m_MultyImpsTMax = 7;
  const GroupTimeView s = GroupTime(slow);
  EXPECT_FALSE(s.colour.face);
  EXPECT_EQ(s.colour.g, 0);

  GenDesk rfm22;
  rfm22.m_GenRfmType = 1, rfm22.m_GenPowerRfm22 = 7;
  SlotView v = ShowSlot(rfm22);
  EXPECT_EQ(v.power, "Мощность 20 dbm (100.00 мВт)");
  EXPECT_EQ(v.warning, (WarnColour{false, 0}));
  EXPECT_EQ(v.slider_max, 7);
  EXPECT_EQ(v.reference, "30 МГц");
  EXPECT_FALSE(v.reference_enabled);
  rfm22.m_GenPowerRfm22 = 0;  // −1 dBm: the face colour
  EXPECT_TRUE(ShowSlot(rfm22).warning.face);

  GenDesk adf;
  adf.m_GenRfmType = 7, adf.m_ADF4351_BaseFM = 26e6, adf.RfmFixFM = 1;
  v = ShowSlot(adf);
  EXPECT_TRUE(v.reference_enabled);
  EXPECT_EQ(v.reference, "26");
  EXPECT_EQ(v.slider_max, 3);
  EXPECT_EQ(v.fixed_mhz, "0.000001");
  adf.RfmFixFM = 1e-4;  // too small for nine decimals: shown in full
  EXPECT_EQ(ShowSlot(adf).fixed_mhz, "1e-10");
  GenDesk dds;
  dds.m_GenRfmType = 6, dds.m_dds_Forma = 2;
  EXPECT_EQ(ShowSlot(dds).power, "Форма вых: меандр (MSB)");
  EXPECT_EQ(ShowSlot(GenDesk()).power, "Мощность");
  EXPECT_FALSE(ShowSlot(GenDesk()).slider_enabled);

  GenDesks desks;
  EXPECT_EQ(SpiSummary(desks), "б) Генераторы на SPI: не настроены пока");
  desks[0].m_GenRfmType = 1, desks[2].m_GenRfmType = 5, desks[2].RfmFixFM = 100e6;
  EXPECT_EQ(SpiSummary(desks), "б) Генераторы на SPI (2 шт): RB0: Rfm22b, RB2: Rfm69HC(W) pa12 (фикс)");
  EXPECT_EQ(MinusGenText(40), "250 КГц");
  EXPECT_EQ(MinusGenText(0), "Выкл (-5в не генерировать)");
  EXPECT_EQ(CrystalText(0), "не подключена");
  EXPECT_EQ(CrystalText(27e6), "27 МГц");
  EXPECT_EQ(FixedOutputText(-1e6), "-1 (выкл)");
}

TEST(OptionsModel, ApplyChecksEveryFieldStoresItWithItsOwnerAndKeepsWhatDoesNotParse) {
  test::ScopedSettings settings;
  WebKeysOnly session;
  OptionsModel m(session);
  OptionsTexts t = m.Texts();
  EXPECT_EQ(t.minus_khz, "250 КГц");
  EXPECT_EQ(t.tzond_ms, "2");
  t.minus_khz = "125";
  t.tzond_ms = "0,04";
  t.zond_n = "300";             // above the range: 255
  t.delay1_ms = "99999999999";  // does not fit: kept
  t.polosa_khz = "12,5";
  t.graph_ms = "abc";           // does not parse: kept
  t.crystal = "27 МГц";
  t.si_ppm = "1,25";
  t.out_mhz[1] = "-1";
  t.max_mhz[2] = "160 МГц";
  t.hysteresis_db = "9";        // above 6: 6
  t.convertor_mhz = "-100,5";
  t.port = "8080";
  t.address = "127.0.0.1  ";
  m.Apply(t);

  const ScanOptions scan = ScanOptions::Load();
  EXPECT_EQ(scan.m_TZond10, 1);
  EXPECT_EQ(scan.m_ZondN, 255);
  EXPECT_EQ(scan.m_Delay1_ms, 100);
  EXPECT_EQ(scan.m_PolosaFM, 12500);
  EXPECT_EQ(scan.m_UpTimeGraphik_ms, 50);
  const GenSetupOptions gen = GenSetupOptions::Load();
  EXPECT_EQ(gen.m_MinusGenDivider, 80);
  const Si5351Config si = Si5351Config::Load();
  EXPECT_EQ(si.FrefHz, 27e6);
  EXPECT_EQ(si.PPM, 1.25);
  EXPECT_EQ(si.OutHz[1], -1e6);
  EXPECT_EQ(si.MaxFOutsMHz[2], 160);
  const ReceiverSettings rx = ReceiverSettings::Load(Settings());
  EXPECT_EQ(rx.hysteresis_db, 6);
  EXPECT_EQ(rx.convertor_shift, -100.5e6);
  EXPECT_EQ(session.stored.port, 8080);
  EXPECT_EQ(session.stored.address, "127.0.0.1  ");  // the owner (the session) trims it
  // Shown back as stored.
  const OptionsTexts shown = m.Texts();
  EXPECT_EQ(shown.minus_khz, "125 КГц");
  EXPECT_EQ(shown.tzond_ms, "0.1");
  EXPECT_EQ(shown.out_mhz[1], "-1 (выкл)");
  EXPECT_EQ(shown.crystal, "27 МГц");

  // An unparsable crystal means "not fitted"; an unparsable −5 V field switches it off.
  t = m.Texts();
  t.crystal = "не подключена";
  t.minus_khz = "Выкл (-5в не генерировать)";
  m.Apply(t);
  EXPECT_EQ(Si5351Config::Load().FrefHz, 0.0);
  EXPECT_EQ(GenSetupOptions::Load().m_MinusGenDivider, 0);
}

TEST(OptionsModel, SlotAndImmediateStores) {
  test::ScopedSettings settings;
  WebKeysOnly session;
  OptionsModel m(session);
  EXPECT_EQ(m.SetSlot(2), "Настройка генератора на SPI с CS на RС2");
  EXPECT_EQ(OptionsWindowState::Load().m_GenRfmCS, 2);
  m.SetKind(7);
  m.SetPower(3);
  OptionsTexts t = m.Texts();
  t.slot_reference = "5";  // outside 10 … 250 MHz: 25 MHz
  t.slot_ppm = "-2,5";
  t.slot_fixed_mhz = "433,92";
  m.Apply(t);
  GenDesk d = GenDesk::Load(2);
  EXPECT_EQ(d.m_GenRfmType, 7);
  EXPECT_EQ(d.m_ADF4351_Pow, 3);
  EXPECT_EQ(d.m_ADF4351_BaseFM, 25e6);
  EXPECT_EQ(d.ppm, -2.5);
  EXPECT_DOUBLE_EQ(d.RfmFixFM, 433.92e6);
  EXPECT_EQ(GenDesk::Load(0), GenDesk());  // other slots untouched
  t = m.Texts();
  t.slot_reference = "100,5";
  m.Apply(t);
  EXPECT_EQ(GenDesk::Load(2).m_ADF4351_BaseFM, 100.5e6);

  // A slot number outside 0 … 2 is slot 0.
  EXPECT_EQ(m.SetSlot(5), "Настройка генератора на SPI с CS на RС0");
  m.SetKind(1);
  m.SetPower(7);
  EXPECT_EQ(GenDesk::Load(0).m_GenPowerRfm22, 7);

  m.SetSynType(2);
  EXPECT_EQ(GenSetupOptions::Load().m_SynType, 2);
  m.SetMinusGenItem(0);
  EXPECT_EQ(GenSetupOptions::Load().m_MinusGenDivider, 0);
  m.SetMinusGenItem(1);
  EXPECT_EQ(GenSetupOptions::Load().m_MinusGenDivider, 40);
  m.SetPolosaRsp(false);
  EXPECT_EQ(ScanOptions::Load().m_MultyPolosaRsp, 0);
  m.SetConvertor(true);
  EXPECT_TRUE(ReceiverSettings::Load(Settings()).is_convertor);
  m.SetHttpServer(true);
  EXPECT_TRUE(session.stored.on);
  m.SetSaveFlag(0, true);
  m.SetSaveFlag(4, false);
  EXPECT_EQ(ScanOptions::Load().m_SaveName_IsDate, 1);
  EXPECT_EQ(ScanOptions::Load().m_SaveName_IsGenMode, 0);
  m.SetLibrary(2, "/opt/hf/ExtIO_HackRF.so");
  const ReceiverSettings rx = ReceiverSettings::Load(Settings());
  EXPECT_EQ(rx.hackrf_folder, "/opt/hf");
  EXPECT_EQ(rx.hackrf_name, "ExtIO_HackRF.so");
  EXPECT_EQ(m.LibraryText(2), "/opt/hf/ExtIO_HackRF.so");
  EXPECT_EQ(m.LibraryText(1), "рядом: librtlsdr.so.0");
}

}  // namespace
}  // namespace kavu

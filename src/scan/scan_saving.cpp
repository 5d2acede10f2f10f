#include "scan/scan_saving.h"

#include <cmath>
#include <cstdio>

#include "platform/number_text.h"
#include "scan/scan_engine.h"

namespace kavu {
namespace {

template <class... A>
std::string Printf(const char* fmt, A... a) {
  char buf[512];
  std::snprintf(buf, sizeof buf, fmt, a...);
  return buf;
}

std::string Trim9(double v) { return FormatTrimmed(v, 9); }

}  // namespace

std::string SafeScanFileName(std::string_view name) {
  std::string s(name);
  for (char& c : s) {
    if (c == '/' || c == '\0') c = '_';
  }
  constexpr size_t kMax = 255 - 5;  // ".kant"
  if (s.size() > kMax) {
    size_t cut = kMax;
    // Step back over UTF-8 continuation bytes so no character is split.
    while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
    s.resize(cut);
  }
  if (s.empty() || s == "." || s == "..") s = "scan";
  return s;
}

std::string FilterDescription(const SampleRatePlan& plan) {
  const std::vector<double>& pw = plan.ResponsePower();
  auto db = [&](int k) {
    if (k < 0 || static_cast<size_t>(k) >= pw.size() || pw[static_cast<size_t>(k)] <= 0) return -300.0;
    return 10 * std::log10(pw[static_cast<size_t>(k)]);
  };
  int lobe = plan.FirstNullBin();
  for (int k = plan.FirstNullBin(); static_cast<size_t>(k) < pw.size(); ++k) {
    if (pw[static_cast<size_t>(k)] > pw[static_cast<size_t>(lobe)]) lobe = k;
  }
  const double binHz = plan.SampleRateUsed() / SampleRatePlan::kResponseBins;
  return Printf(
      "Ном. срез ФНЧ %0.2f КГц (там %0.1f дБ), реально %0.2f (по ур -3дБ), лепесток %0.2f КГц с %0.1f дБ, "
      "дискр %0.3f МГц, децим %d раз до %0.1f КГц",
      plan.CutOff() / 1e3, db(plan.CutOffBin()), plan.F3Hz() / 1e3, lobe * binHz / 1e3, db(lobe),
      plan.SampleRateUsed() / 1e6, plan.Decimation(), plan.DecimatedRate() / 1e3);
}

ScanSaveTexts ComposeScanSave(const ScanSaveInputs& in) {
  const ScanOptions opt = in.options ? *in.options : ScanOptions{};
  std::string name, receiver;
  if (opt.m_SaveName_IsDate) {
    name = receiver = Printf("%04d.%02d.%02d %02d-%02d-%02d ", in.local.tm_year + 1900, in.local.tm_mon + 1,
                             in.local.tm_mday, in.local.tm_hour, in.local.tm_min, in.local.tm_sec);
  }
  std::string rate, extra;
  if (in.description) {
    name += in.description->ReceiverText(false);
    receiver += in.description->ReceiverText(true);
    rate = in.description->RateText();
    extra = in.description->ExtraText();
  }
  if (opt.m_SaveName_IsSdrMode) name = receiver;
  if (in.description) {
    const std::string gen = in.description->GeneratorText(opt.m_SaveName_IsGenMode != 0);
    name += gen;
    receiver += gen;
  }
  std::string note = "\r\n\r\n";
  const double pps = in.seconds > 0 ? in.points / in.seconds : 0;
  note += Printf("Точек: %d за %0.1f сек, итого %0.1f изм/сек\r\n", in.points, in.seconds, pps);
  if (in.plan) {
    for (int i = 0; i < in.plan->count; ++i) note += RangeSummaryLine(in.plan->ranges[static_cast<size_t>(i)]) + "\r\n";
  }
  note += receiver;
  if (!rate.empty()) note += (receiver.empty() ? "" : ", ") + rate;
  note += "\r\n";
  if (in.ratePlan) note += FilterDescription(*in.ratePlan) + "\r\n";
  if (!extra.empty()) note += extra + "\r\n";
  const BridgeSettings bridge = in.bridge ? *in.bridge : BridgeSettings{};
  if (bridge.cable_m != 0) note += Printf("Поправка на кабель длиной %f м c Z=%f\r\n", bridge.cable_m, bridge.z0);
  if (in.ratePlan) {
    const double slotMs = in.ratePlan->Slot() * 1e3;
    const int n = in.ratePlan->ZondN();
    const double perF = (2 * n + 1) * slotMs + in.ratePlan->Pause() * 1e3;
    note += Printf("Накопление: %0.1f мс x %d раз, общее %0.1f, до %0.2f изм/сек\n", slotMs, n, perF,
                   perF > 0 ? 1000.0 / perF : 0.0);
  }
  note += "Мост: верх " + Trim9(bridge.rt) + ", низ " + Trim9(bridge.rb) + " Ом; делитель " + Trim9(bridge.rd) + ", " +
          Trim9(bridge.rg) + " Ом";
  if (bridge.cs_pf != 0) note += "; C=" + Trim9(bridge.cs_pf) + " пФ";
  note += "\r\n";
  if (in.plan && in.plan->count > 0) {
    const ScanRangeSummary& s = in.plan->ranges[0].summary;
    if (opt.m_SaveName_IsKsvMin) name += Printf(" ксв=%0.2f", s.minSwr);
    if (opt.m_SaveName_IsKsvMinFM) name += Printf(" f=%0.3f", s.fAtMin / 1e6);
  }
  return {SafeScanFileName(name), note};
}

}  // namespace kavu

#include "results/results_text_export.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/number_text.h"
#include "platform/text_cp1251.h"

namespace kavu {

std::string ResultsTextExportBytes(const AntIzms& set, const GraphPanelSettings& panel,
                                   const IGraphPointSource& source) {
  std::string out;
  const bool cable = panel.m_IsTransLen != 0;
  for (int32_t i = 0, n = set.Count(); i < n; ++i) {
    const AntIzm& p = set.At(i);
    const double f = p.freqHz;
    const std::complex<double> z = source.Impedance(set, i, cable);
    double phase = p.phase - source.PhaseCorrectionRad(f);
    if (phase > M_PI) phase -= 2 * M_PI;
    if (phase < -M_PI) phase += 2 * M_PI;
    out += FormatFixed(f * 1e-6, 6) + "\t" + FormatFixed(z.real(), 6) + "\t" + FormatFixed(z.imag(), 6) + "\t";
    out += FormatFixed(p.a - p.o - source.RatioCorrectionDb(f), 6) + "\t";
    out += FormatFixed(phase * 180 / M_PI, 6) + "\t";
    out += FormatFixed(p.o, 6) + "\t";
    out += FormatFixed(p.o - p.gain - source.LevelCorrectionDb(0, f), 6) + "\t";
    if (i == 0) {
      out += Utf8ToCp1251("\tВ каждой строке: частота (МГц); R,X (Ом); |A/O| (дБ); фаза A/O (град); |O|, |In_O| (дБ)\t");
    }
    if (i == 1 && panel.m_LenCable != 0) {
      out += Utf8ToCp1251("\tПоправка на кабель длинной " + FormatFixed(panel.m_LenCable, 3) + " м\t");
    }
    out += "\r\n";
  }
  return out;
}

TextExportResult WriteResultsTextExport(const std::string& path, const AntIzms& set,
                                        const GraphPanelSettings& panel, const IGraphPointSource& source) {
  TextExportResult r;
  r.path = path;
  const std::string bytes = ResultsTextExportBytes(set, panel, source);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    r.error = std::strerror(errno);
    return r;
  }
  const bool wrote = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const int werr = errno;
  const bool closed = std::fclose(f) == 0;
  r.ok = wrote && closed;
  if (!r.ok) r.error = std::strerror(wrote ? errno : werr);
  return r;
}

}  // namespace kavu

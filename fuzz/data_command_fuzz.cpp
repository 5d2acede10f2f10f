// libFuzzer: the web page's data commands with arbitrary bodies.
#include <cstddef>
#include <cstdint>
#include <string>

#include "shell/log_console.h"
#include "web/data_command.h"

namespace {

class Analyzer : public kavu::IWebAnalyzer {
 public:
  int32_t Generation(int set) const override { return set + 1; }
  int32_t Count(int set) const override { return set == 0 ? 40000 : 30000; }
  void Point(int, int32_t index, float* f, float* r, float* x) const override {
    if (index < 0 || index >= 40000) __builtin_trap();  // never asked beyond the set
    *f = static_cast<float>(index);
    *r = 1;
    *x = 2;
  }
  int32_t ErrorCount() const override { return 0; }
  bool Cyclic() const override { return cyclic; }
  std::string RangeText() const override { return range; }
  void PostStartScan() override {}
  void PostPauseOrContinue() override {}
  void PostRange(bool c, const std::string& t) override {
    cyclic = c;
    range = t;
  }
  bool cyclic = false;
  std::string range;
};

std::string Console() { return "c"; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (kavu::Log().SetSink(kavu::OLogConsole::Sink::None), true);
  (void)quiet;
  static Analyzer analyzer;
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  (void)kavu::ParseDataCommand(body);
  const std::string reply = kavu::DataCommandReply(body, analyzer, 393000, &Console);
  if (reply.size() > 393000) __builtin_trap();
  if (analyzer.range.size() > 8000 * 3) __builtin_trap();
  return 0;
}

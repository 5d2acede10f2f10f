// libFuzzer: the HTTP request parser with arbitrary bytes in arbitrary receive pieces, then the
// answer's output stages run to their end.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstring>

#include "shell/log_console.h"
#include "web/okavu_http_aasdr1.h"

namespace {

std::string NoConsole() { return "console"; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (kavu::Log().SetSink(kavu::OLogConsole::Sink::None), true);
  (void)quiet;
  static kavu::OKavuHttpAASdr1 handler(nullptr, nullptr, nullptr, &NoConsole);
  handler.SetWebFolder("/nonexistent-web-folder");
  handler.ResetRequest();
  // The first byte chooses the receive piece size.
  const size_t piece = size > 0 ? 1 + data[0] % 64 : 1;
  size_t at = size > 0 ? 1 : 0;
  while (at < size && (handler.Status() == kavu::OKavuHttp::kHead || handler.Status() == kavu::OKavuHttp::kBody ||
                       handler.Status() == kavu::OKavuHttp::kBigPost)) {
    int room = 0;
    char* target = handler.GetReciveBuf(&room);
    if (room <= 0) break;
    const size_t n = std::min({piece, size - at, static_cast<size_t>(room)});
    std::memcpy(target, data + at, n);
    handler.OnRecvData(static_cast<int>(n));
    at += n;
  }
  (void)handler.Header("Content-Length");
  (void)handler.Header("Cookie", 64);
  if (handler.Status() == kavu::OKavuHttp::kComplete) {
    for (int i = 0; i < 100; ++i) {
      const int kind = handler.OutGetType(0);
      if (kind != kavu::OKavuHttp::kSendMemory) break;
      int len = 0;
      handler.OutGetMemBuf(&len);
      if (handler.OutGetType(len) != kavu::OKavuHttp::kSendMemory) break;
    }
  }
  handler.ResetOutput();
  return 0;
}

#pragma once
// HttpServerSettings: the options-window keys that decide whether and where the desktop program
// runs its web server (section "CDlgOptions"). Read once at start: a change takes effect at the
// next start, as the options window says.
#include <cstdint>
#include <span>
#include <string>

#include "shell/settings_fields.h"

namespace kavu {

struct HttpServerSettings {
  static constexpr int32_t kDefaultPort = 8888;
  static constexpr size_t kMaxAddressChars = 240;

  bool m_IsHttpServer = false;       // start the web server at program start
  int32_t m_HttpServerPort = kDefaultPort;  // 1 … 65535, else the default
  std::string m_HttpServerAdr;       // local address to bind; empty: every address

  // Every key with its default and check: a port outside 1 … 65535 gives 8888; an address
  // longer than 240 characters gives "", trailing characters with codes ≤ 32 are removed.
  static std::span<const SettingBinding<HttpServerSettings>> Bindings();
  static HttpServerSettings Load();
  void Check();
  // Writes every key; false when a write failed.
  bool Save() const;

  bool operator==(const HttpServerSettings&) const = default;
};

}  // namespace kavu

#include "web/http_server_settings.h"

#include "shell/settings_store.h"

namespace kavu {
namespace {
constexpr const char* kSection = "CDlgOptions";
}  // namespace

void HttpServerSettings::Check() {
  if (m_HttpServerPort < 1 || m_HttpServerPort > 65535) m_HttpServerPort = kDefaultPort;
  if (m_HttpServerAdr.size() > kMaxAddressChars) m_HttpServerAdr.clear();
  while (!m_HttpServerAdr.empty() && static_cast<unsigned char>(m_HttpServerAdr.back()) <= 32) {
    m_HttpServerAdr.pop_back();
  }
}

HttpServerSettings HttpServerSettings::Load() {
  SettingsStore& s = Settings();
  HttpServerSettings h;
  h.m_IsHttpServer = s.GetProfileInt(kSection, "m_IsHttpServer", 0) != 0;
  h.m_HttpServerPort = s.GetProfileInt(kSection, "m_HttpServerPort", kDefaultPort);
  h.m_HttpServerAdr = s.GetProfileString(kSection, "m_HttpServerAdr", "");
  h.Check();
  return h;
}

}  // namespace kavu

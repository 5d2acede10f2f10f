#include "web/http_server_settings.h"

namespace kavu {
namespace {

constexpr const char* kSection = "CDlgOptions";
using H = HttpServerSettings;

// An address longer than 240 characters is dropped; trailing characters with codes ≤ 32 are cut.
void CheckAddress(std::string& a) {
  if (a.size() > H::kMaxAddressChars) a.clear();
  while (!a.empty() && static_cast<unsigned char>(a.back()) <= 32) a.pop_back();
}

constexpr SettingBinding<HttpServerSettings> kHttpFields[] = {
    Bind<&H::m_IsHttpServer>("m_IsHttpServer", false),
    Bind<&H::m_HttpServerPort>("m_HttpServerPort", H::kDefaultPort, DefaultOutside(1, 65535)),
    Bind<&H::m_HttpServerAdr>("m_HttpServerAdr", "", CheckAddress),
};

}  // namespace

std::span<const SettingBinding<HttpServerSettings>> HttpServerSettings::Bindings() { return kHttpFields; }

void HttpServerSettings::Check() { CheckSettings(Bindings(), *this); }

HttpServerSettings HttpServerSettings::Load() {
  HttpServerSettings h;
  LoadSettings(Settings(), kSection, Bindings(), h);
  return h;
}

bool HttpServerSettings::Save() const { return SaveSettings(Settings(), kSection, Bindings(), *this); }

}  // namespace kavu

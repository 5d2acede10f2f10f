// The web server's options as the desktop program reads them at start: defaults and checks.
#include "web/http_server_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/settings_store.h"
#include "support/settings_checks.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

constexpr const char* kS = "CDlgOptions";

TEST(HttpServerSettings, DefaultsAndTheChecksOfEveryKey) {
  test::ScopedSettings settings;
  HttpServerSettings h = HttpServerSettings::Load();
  EXPECT_FALSE(h.m_IsHttpServer);
  EXPECT_EQ(h.m_HttpServerPort, 8888);
  EXPECT_EQ(h.m_HttpServerAdr, "");

  Settings().WriteProfileInt(kS, "m_IsHttpServer", 1);
  Settings().WriteProfileInt(kS, "m_HttpServerPort", 8080);
  Settings().WriteProfileString(kS, "m_HttpServerAdr", "192.168.1.5");
  h = HttpServerSettings::Load();
  EXPECT_TRUE(h.m_IsHttpServer);
  EXPECT_EQ(h.m_HttpServerPort, 8080);
  EXPECT_EQ(h.m_HttpServerAdr, "192.168.1.5");

  for (const int bad : {0, -1, 65536, 1 << 30}) {
    Settings().WriteProfileInt(kS, "m_HttpServerPort", bad);
    EXPECT_EQ(HttpServerSettings::Load().m_HttpServerPort, 8888) << bad;
  }
  Settings().WriteProfileInt(kS, "m_HttpServerPort", 65535);
  EXPECT_EQ(HttpServerSettings::Load().m_HttpServerPort, 65535);

  // Trailing control characters and blanks go; an over-long address is dropped whole.
  HttpServerSettings t;
  t.m_HttpServerAdr = "10.0.0.1 \t\r";
  t.Check();
  EXPECT_EQ(t.m_HttpServerAdr, "10.0.0.1");
  t.m_HttpServerAdr = std::string(241, '1');
  t.Check();
  EXPECT_EQ(t.m_HttpServerAdr, "");
  t.m_HttpServerAdr = std::string(240, '1');
  t.Check();
  EXPECT_EQ(t.m_HttpServerAdr.size(), 240u);
}

TEST(HttpServerSettings, EveryKeyRoundTripsThroughTheFile) {
  {
    test::ScopedSettings settings;
    HttpServerSettings h;
    h.m_IsHttpServer = true, h.m_HttpServerPort = 1, h.m_HttpServerAdr = "::1";
    ASSERT_TRUE(h.Save());
    EXPECT_EQ(test::KeysOf(kS), (std::vector<std::string>{"m_IsHttpServer", "m_HttpServerPort", "m_HttpServerAdr"}));
    EXPECT_EQ(HttpServerSettings::Load(), h);
    Settings().WriteProfileString(kS, "m_HttpServerAdr", "10.1.1.1\t ");
    EXPECT_EQ(HttpServerSettings::Load().m_HttpServerAdr, "10.1.1.1");
  }
  test::ExpectBadValuesFallBack<HttpServerSettings>(HttpServerSettings::Bindings(), kS,
                                                    [](HttpServerSettings& h) { h = HttpServerSettings::Load(); });
}

}  // namespace
}  // namespace kavu

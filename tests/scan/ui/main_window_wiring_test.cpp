// What the main window opens and serves: the RTL-SDR and SDRplay settings windows behind
// "Настроить sdr...",
// and the web server, whose page's range, start and read-back act on the window as its own
// controls do; the server goes when the window closes.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/dyn_library.h"
#include "results/ui/cdlg_rx.h"
#include "results/ui/cshow_data_window.h"
#include "results/ui/help_key.h"
#include "scan/ui/cdlg_bpf_show.h"
#include "scan/ui/cdlg_calibrate.h"
#include "scan/ui/cdlg_one_signal.h"
#include "scan/ui/main_window_fixture.h"
#include "shell/settings_store.h"
#include "web/raw_client_fixture.h"

namespace kavu::test {
namespace {

constexpr const char* kData = "KavuAASdr/AntIzm.dat";

// A loopback port nobody listens on right now.
int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t n = sizeof a;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n) == 0) {
    port = ntohs(a.sin_port);
  }
  ::close(fd);
  return port;
}

TEST_F(MainWindowBench, WebPageActsOnTheWindowAsItsButtonsDo) {
  const int port = FreePort();
  ASSERT_GT(port, 0);
  std::string old_xdg = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
  ASSERT_TRUE(Start([&] {
    ::setenv("XDG_DATA_HOME", (Bench().Folder() + "/data").c_str(), 1);  // the page is written there
    Settings().WriteProfileInt("CDlgOptions", "m_IsHttpServer", 1);
    Settings().WriteProfileInt("CDlgOptions", "m_HttpServerPort", port);
    Settings().WriteProfileString("CDlgOptions", "m_HttpServerAdr", "127.0.0.1");
    Settings().WriteProfileString("ODlgSpektr", "m_ScanDia", "140-150 0.5");
  }));
  EXPECT_EQ(session_->WebPort(), port);
  auto command = [&](const std::string& body) { return ParseAnswer(Exchange(port, Post(kData, body))); };

  // A range from the page shows in the edit and the cyclic box and is stored as if typed.
  EXPECT_EQ(command("S 0144-145 0.5").statusLine, "HTTP/1.0 200 OK");
  auto* range = Find<QLineEdit>("range");
  EXPECT_TRUE(RunUntil([&] { return range->text() == "144-145 0.5"; }, std::chrono::seconds(5)));
  EXPECT_FALSE(Find<QCheckBox>("cyclic")->isChecked());
  EXPECT_EQ(Settings().GetProfileString("ODlgSpektr", "m_ScanDia", ""), "144-145 0.5");
  EXPECT_EQ(command("5").body, std::string("\0", 1) + "144-145 0.5");

  // "Старт" on the page scans the window's range and saves it, as "Сканировать!" does.
  EXPECT_EQ(command("2").statusLine, "HTTP/1.0 200 OK");
  EXPECT_TRUE(RunUntil([&] { return window_->Station().Engine().Busy(); }, std::chrono::seconds(5)));
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(window_->Station().Store().Set(0).Count(), 3);
  const std::vector<std::string> files = SavedFiles();
  EXPECT_EQ(std::count_if(files.begin(), files.end(),
                          [](const std::string& f) { return f.find("LastAntIzm_Old") == std::string::npos; }),
            1);

  // Closing the window stops the server before the station.
  window_->close();
  Spin(20);
  RawClient late(port);
  EXPECT_FALSE(late.Connected());
  if (old_xdg.empty()) {
    ::unsetenv("XDG_DATA_HOME");
  } else {
    ::setenv("XDG_DATA_HOME", old_xdg.c_str(), 1);
  }
}

TEST_F(MainWindowBench, ReceiverSettingsBoxShowsTheRtlSdrWindow) {
  ASSERT_TRUE(Start());
  auto* box = Find<QPushButton>("sdrSettings");
  Click(box);
  ODlgRtlSdr* rtl = window_->RtlSdrWindow();
  ASSERT_NE(rtl, nullptr);
  EXPECT_TRUE(rtl->isVisible());
  EXPECT_TRUE(box->isChecked());
  // A manual tuning is reported in the window.
  window_->SetF(145.5e6);
  auto texts = [&] {
    std::string all;
    for (const QTextEdit* e : rtl->findChildren<QTextEdit*>()) all += e->toPlainText().toStdString() + "\n";
    return all;
  };
  EXPECT_NE(texts().find("Настройка на 145.500 МГц"), std::string::npos) << texts();
  // Its close box hides it and unchecks the box; the box shows the same window again.
  rtl->close();
  EXPECT_FALSE(rtl->isVisible());
  EXPECT_FALSE(box->isChecked());
  Click(box);
  EXPECT_EQ(window_->RtlSdrWindow(), rtl);
  EXPECT_TRUE(rtl->isVisible());
  // Unchecking the box hides it too.
  Click(box);
  EXPECT_FALSE(box->isChecked());
  EXPECT_FALSE(rtl->isVisible());
}

TEST_F(MainWindowBench, ReceiverSettingsBoxShowsTheSdrPlayWindowWhichReopensTheDevice) {
  rx_ = "rspduo";
  ASSERT_TRUE(Start());
  ASSERT_TRUE(session_->Station().Receivers().IsActive(ReceiverKind::kSdrPlay)) << session_->Station().Receivers().Status().text;
  auto* box = Find<QPushButton>("sdrSettings");
  Click(box);
  CDlgSdrPlay* sdr = window_->SdrPlayWindow();
  ASSERT_NE(sdr, nullptr);
  EXPECT_TRUE(sdr->isVisible());
  EXPECT_TRUE(box->isChecked());
  const auto status = [&] { return sdr->findChild<QTextEdit*>("status")->toPlainText().toStdString(); };
  window_->SetF(145.5e6);
  EXPECT_EQ(status(), "Настройка на 145.500 МГц");
  // "оба_входа": the main window opens the device again on both tuners.
  auto* duo = sdr->findChild<QComboBox*>("duo");
  ASSERT_EQ(duo->count(), 2);
  duo->setCurrentIndex(1);
  emit duo->activated(1);
  EXPECT_TRUE(session_->Station().Receivers().SdrPlay().IsDual());
  EXPECT_NE(window_->windowTitle().toStdString().find(" dual"), std::string::npos)
      << window_->windowTitle().toStdString();
  EXPECT_EQ(duo->currentIndex(), 1);
  // A rate change: the title follows.
  auto* decim = sdr->findChild<QComboBox*>("decim");
  decim->setCurrentIndex(1);
  emit decim->activated(1);
  EXPECT_NE(window_->windowTitle().toStdString().find(" 1 МГц"), std::string::npos)
      << window_->windowTitle().toStdString();
  // Closing unchecks the box; unchecking the box hides the window.
  sdr->close();
  EXPECT_FALSE(box->isChecked());
  Click(box);
  EXPECT_EQ(window_->SdrPlayWindow(), sdr);
  EXPECT_TRUE(sdr->isVisible());
  Click(box);
  EXPECT_FALSE(sdr->isVisible());
}

TEST_F(MainWindowBench, ReceiverSettingsBoxShowsAndHidesThePluginsWindow) {
  rx_ = "extio-int16";
  ASSERT_TRUE(Start());
  DynLibrary plugin;
  ASSERT_EQ(plugin.Open(Bench().SimLibFolder() + "/ExtIO_KavuSim.so"), DynLibrary::Result::kLoaded);
  const auto calls_fn = reinterpret_cast<int (*)(char*, int)>(plugin.Symbol("kavu_simextio_calls"));
  ASSERT_TRUE(calls_fn);
  auto last_call = [&] {
    std::string text(static_cast<size_t>(calls_fn(nullptr, 0)) + 1, '\0');
    calls_fn(text.data(), static_cast<int>(text.size()));
    text.resize(text.find('\0'));
    if (!text.empty()) text.pop_back();  // the last line's newline
    return text.substr(text.rfind('\n') + 1);
  };
  auto* box = Find<QPushButton>("sdrSettings");
  Click(box);
  EXPECT_TRUE(box->isChecked());
  EXPECT_EQ(last_call(), "ShowGUI");
  EXPECT_EQ(window_->RtlSdrWindow(), nullptr) << "no window of the program's own";
  Click(box);
  EXPECT_FALSE(box->isChecked());
  EXPECT_EQ(last_call(), "HideGUI");
}

TEST_F(MainWindowBench, F1OpensTheWindowsHelpTopic) {
  ASSERT_TRUE(Start([] { Settings().WriteProfileString("Help", "m_HelpBase", "https://help.example/"); }));
  std::vector<std::string> opened;
  window_->open_link = [&](const QString& url) {
    opened.push_back(url.toStdString());
    return true;
  };
  PressKey(window_.get(), Qt::Key_F1);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].rfind("https://help.example/KavuSdrAA/Prog1/Help/ODlgSpektr/", 0), 0u) << opened[0];
  EXPECT_TRUE(window_->isVisible());
}

TEST_F(MainWindowBench, F1OpensTheHelpTopicOfEveryWindowWhereverTheFocusIs) {
  ASSERT_TRUE(Start([] { Settings().WriteProfileString("Help", "m_HelpBase", "https://help.example/"); }));
  std::vector<std::string> opened;
  window_->open_link = [&](const QString& url) {
    opened.push_back(url.toStdString());
    return true;
  };
  window_->Results().Command(3100);
  window_->OnShowSignal();
  ASSERT_TRUE(window_->Results().open_calibration);
  window_->Results().open_calibration();
  window_->ShowAbout();
  auto* filter = new CDlgBpfShow(window_->Station(), window_.get());  // modal in the program: made, not run
  const std::pair<QWidget*, std::string> windows[] = {
      {window_->Results().RxDiagram(), "CDlgRX"},
      {filter, "CDlgBpfShow"},
      {window_->findChild<CDlgOneSignal*>(), "CDlgOneSignal"},
      {window_->Results().findChild<CDlgCalibrate*>(), "CDlgCalibrate"},
      {window_->findChild<QWidget*>("about"), "DlgAbout"},
  };
  for (const auto& [w, topic] : windows) {
    SCOPED_TRACE(topic);
    ASSERT_NE(w, nullptr);
    HelpKey* key = HelpKey::Of(*w);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->Topic(), topic);
    // The About box follows the main window's opener; the others are given it here.
    if (topic != "DlgAbout") key->open_link = window_->open_link;
    const size_t before = opened.size();
    PressKey(w, Qt::Key_F1);
    // F1 on a control inside the window reaches the window's help as well.
    const QList<QAbstractButton*> buttons = w->findChildren<QAbstractButton*>();
    if (!buttons.empty()) PressKey(buttons.front(), Qt::Key_F1);
    ASSERT_EQ(opened.size(), before + (buttons.empty() ? 1 : 2));
    for (size_t i = before; i < opened.size(); ++i) {
      EXPECT_EQ(opened[i].rfind("https://help.example/KavuSdrAA/Prog1/Help/" + topic + "/HI&1,0,0;", 0), 0u)
          << opened[i];
    }
  }
  delete filter;
}

TEST_F(MainWindowBench, WebServerStaysOffUnlessTheOptionsSayOn) {
  ASSERT_TRUE(Start());
  EXPECT_EQ(session_->WebPort(), 0);
}

}  // namespace
}  // namespace kavu::test

#include "scan/ui/main_window_fixture.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <filesystem>

#include "shell/settings_store.h"
#include "shell/ui/qt_notice.h"
#include "shell/ui/qt_test_app.h"
#include "web/http_server_settings.h"

namespace kavu::test {

bool MainWindowBench::Start(const std::function<void()>& prepare) {
  QtTestApp();
  // As the program does right after making its application object: numbers with a point.
  RestoreCNumericLocale();
  SessionOptions o;
  o.bench.emplace();
  o.bench->rx = rx_;
  o.prepare = [&](SessionOptions& ready, sim::VirtualBench* bench) {
    bench_ = bench;
    results_ = bench->Folder() + "/results";
    Settings().WriteProfileString("CDlgOptions", "m_SaveResPath", results_);
    if (prepare) prepare();
    const HttpServerSettings h = HttpServerSettings::Load();
    ready.web = {h.m_IsHttpServer, false, h.m_HttpServerAdr, h.m_HttpServerPort, ""};
  };
  o.station.ring_capacity = 1 << 22;
  o.station.chain_capacity = 1 << 21;
  o.station.results_capacity = 4096;
  o.store_range = true;
  std::string error;
  session_ = AnalyzerSession::Create(thread_, notice_, o, &error);
  if (!session_) {
    ADD_FAILURE() << error;
    return false;
  }
  window_ = std::make_unique<ODlgSpektr>(*session_, thread_);
  window_->inform = [this](bool, const QString& caption, const QString& text) {
    informs_.push_back((caption + "\n" + text).toStdString());
  };
  window_->resize(1400, 640);
  window_->show();
  window_->StartUp();
  const StationView v = window_->Station().View();
  EXPECT_EQ(v.open_port, sim::VirtualBench::kBenchPort);
  EXPECT_TRUE(v.receiver_open);
  return v.open_port == sim::VirtualBench::kBenchPort && v.receiver_open;
}

void MainWindowBench::TearDown() {
  if (window_) window_->close();
  Spin(20);  // tasks the engine posted before it stopped
  window_.reset();
  session_.reset();
  bench_ = nullptr;
}

bool MainWindowBench::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return done();
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

void MainWindowBench::Spin(int ms) {
  RunUntil([] { return false; }, std::chrono::milliseconds(ms));
}

void MainWindowBench::Click(QWidget* w, Qt::KeyboardModifiers modifiers) {
  ASSERT_NE(w, nullptr);
  const QPointF at(w->width() / 2.0, w->height() / 2.0);
  const QPointF global = w->mapToGlobal(at);
  QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, modifiers);
  QApplication::sendEvent(w, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, modifiers);
  QApplication::sendEvent(w, &release);
}

void MainWindowBench::PressKey(QWidget* w, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(w, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
  QApplication::sendEvent(w, &release);
}

bool MainWindowBench::WaitIdle(std::chrono::milliseconds timeout) {
  return RunUntil([&] { return !window_->Station().Engine().Busy(); }, timeout);
}

std::vector<std::string> MainWindowBench::SavedFiles() const {
  std::vector<std::string> out;
  std::error_code ec;
  for (const auto& e : std::filesystem::recursive_directory_iterator(results_, ec)) {
    if (e.path().extension() == ".kant") out.push_back(e.path().string());
  }
  return out;
}

}  // namespace kavu::test

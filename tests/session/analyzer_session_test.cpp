// The analyzer session on the virtual bench, through the real serial, library-loading and socket
// paths: the order it starts and stops its parts in (a saved network port needs the web server's
// bridge before the port opens), what it does when the board, the receiver or the web server is
// missing, its shared range command, and a stop signal in the middle of a scan.
#include "session/analyzer_session.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "board/port_list.h"
#include "platform/event_loop.h"
#include "shell/log_console.h"
#include "shell/settings_store.h"
#include "support/temp_dir.h"
#include "web/web_server.h"

namespace kavu::test {
namespace {

using namespace std::chrono_literals;

// What the session passed on to its front end.
class Listener : public ISessionListener {
 public:
  void GroupEnded(int32_t points, int32_t) override { points_ = points; }
  void ScanEnded(const ScanEndReport& r) override { ends.push_back(r); }
  void RangeChanged(bool cyclic, const std::string& text) override { ranges.push_back({cyclic, text}); }
  int32_t points_ = 0;
  std::vector<ScanEndReport> ends;
  std::vector<std::pair<bool, std::string>> ranges;
};

// The positions of `lines` in `log`, in the order given; npos for a line not found.
std::vector<size_t> Positions(const std::string& log, const std::vector<std::string>& lines) {
  std::vector<size_t> at;
  for (const std::string& l : lines) at.push_back(log.find(l));
  return at;
}

void ExpectInOrder(const std::string& log, const std::vector<std::string>& lines) {
  const std::vector<size_t> at = Positions(log, lines);
  for (size_t i = 0; i < at.size(); ++i) {
    EXPECT_NE(at[i], std::string::npos) << lines[i] << "\n" << log;
    if (i > 0) {
      EXPECT_LT(at[i - 1], at[i]) << lines[i - 1] << " / " << lines[i] << "\n" << log;
    }
  }
}

class Session : public ::testing::Test {
 protected:
  void SetUp() override { Log().SetCapture(true); }
  void TearDown() override {
    session_.reset();
    Log().TakeCaptured();
    Log().SetCapture(false);
  }
  // A session on the bench with small stores; `settings` runs on the bench's settings file.
  AnalyzerSession& Make(const std::function<void()>& settings, SessionWebOptions web = {}, bool store_range = false) {
    SessionOptions o;
    o.bench.emplace();
    o.prepare = [&](SessionOptions&, sim::VirtualBench* bench) {
      results_ = bench->Folder() + "/results";
      Settings().WriteProfileString("CDlgOptions", "m_SaveResPath", results_);
      if (settings) settings();
    };
    o.station.ring_capacity = 1 << 22;
    o.station.chain_capacity = 1 << 21;
    o.station.results_capacity = 4096;
    o.web = std::move(web);
    o.store_range = store_range;
    if (o.web.enabled) o.web.folder = web_folder_.Path();
    std::string error;
    session_ = AnalyzerSession::Create(loop_, notice_, std::move(o), &error);
    EXPECT_NE(session_, nullptr) << error;
    if (session_) session_->SetListener(&listener_);
    return *session_;
  }
  static SessionWebOptions Web(bool required, int port = 0) { return {true, required, "127.0.0.1", port, ""}; }

  EventLoop loop_;
  RecordingNotice notice_;
  Listener listener_;
  TempDir web_folder_;
  std::string results_;
  std::unique_ptr<AnalyzerSession> session_;
};

TEST_F(Session, ASavedNetworkPortOpensOnTheBridgeHandedOverFirstAndStopRunsInReverse) {
  AnalyzerSession& s = Make([] { Settings().WriteProfileInt("OSerialPortSelector", "m_PortSelect_0", kNetworkPortNumber); },
                            Web(true));
  const SessionStart start = s.StartUp();
  ASSERT_TRUE(start.web_running) << start.web_error;
  ASSERT_TRUE(start.station_started);
  EXPECT_TRUE(start.station.port_open) << start.station.port_error;
  EXPECT_TRUE(start.station.receiver_open) << start.station.receiver_error;
  EXPECT_TRUE(s.Station().Port().IsNetwork());
  EXPECT_EQ(s.Station().View().open_port, kNetworkPortNumber);
  EXPECT_GT(s.WebPort(), 0);
  EXPECT_EQ(s.StartUp().station.port_open, true);  // once only: the first result again
  s.Stop();
  EXPECT_FALSE(s.Station().Port().IsOpen());
  EXPECT_EQ(s.Station().Port().NetworkBridge(), nullptr);  // let go before the server went
  EXPECT_EQ(s.WebPort(), 0);
  s.Stop();  // twice: nothing more
  session_.reset();
  ExpectInOrder(Log().TakeCaptured(),
                {"Сессия: запуск виртуального стенда", "Сессия: запуск http-сервера и сетевого com-порта",
                 "Сессия: запуск станции", "Открываю сетевой com-порт", "Сессия: остановка станции",
                 "Сессия: остановка http-сервера и сетевого com-порта", "Сессия: остановка виртуального стенда"});
}

TEST_F(Session, WithoutTheWebServerTheSavedNetworkPortDoesNotOpenAndTheRestRuns) {
  // The web server wanted but its port taken: not required, so the box says so and the station
  // starts; -33 then has no bridge. Required (`serve`), the start-up ends before the station.
  WebServer holder(nullptr);
  ASSERT_EQ(holder.Start({"127.0.0.1", 0, web_folder_.Path(), nullptr, {}}), 0);
  const int taken = holder.Socket().Port();

  AnalyzerSession& s = Make([] { Settings().WriteProfileInt("OSerialPortSelector", "m_PortSelect_0", kNetworkPortNumber); },
                            Web(false, taken));
  const SessionStart start = s.StartUp();
  EXPECT_FALSE(start.web_running);
  EXPECT_FALSE(start.web_error.empty());
  ASSERT_TRUE(start.station_started);
  EXPECT_FALSE(start.station.port_open);
  EXPECT_NE(start.station.port_error.find("Сетевой com-порт недоступен"), std::string::npos) << start.station.port_error;
  EXPECT_TRUE(start.station.receiver_open);
  ASSERT_FALSE(notice_.Texts().empty());
  EXPECT_EQ(notice_.Texts().front().rfind("Http сервер не запущен: ", 0), 0u) << notice_.Texts().front();
  session_.reset();

  AnalyzerSession& strict = Make({}, Web(true, taken));
  const SessionStart refused = strict.StartUp();
  EXPECT_FALSE(refused.web_running);
  EXPECT_FALSE(refused.station_started);
  EXPECT_FALSE(strict.Station().Port().IsOpen());
}

TEST_F(Session, AMissingBoardOrReceiverIsReportedAndTheOtherPartsRun) {
  // The saved port is not there (no board): the receiver still opens, the page still serves.
  AnalyzerSession& no_board = Make([] { Settings().WriteProfileInt("OSerialPortSelector", "m_PortSelect_0", 950); },
                                   Web(true));
  SessionStart start = no_board.StartUp();
  EXPECT_TRUE(start.web_running);
  EXPECT_FALSE(start.station.port_open);
  EXPECT_NE(start.station.port_error.find("COM950 нет в списке портов"), std::string::npos) << start.station.port_error;
  EXPECT_TRUE(start.station.receiver_open) << start.station.receiver_error;
  EXPECT_FALSE(no_board.StartScan(false));  // a scan needs the board: refused, the box says why
  EXPECT_FALSE(notice_.Texts().empty());
  no_board.Stop();
  session_.reset();

  // The remembered receiver is not there: the board's port still opens.
  AnalyzerSession& no_receiver =
      Make([] { Settings().WriteProfileString("ODlgSpektr", "m_SelectSdrKey", "RtlSdr no such device"); }, Web(true));
  start = no_receiver.StartUp();
  EXPECT_TRUE(start.web_running);
  EXPECT_TRUE(start.station.port_open) << start.station.port_error;
  EXPECT_FALSE(start.station.receiver_open);
  EXPECT_FALSE(start.station.receiver_error.empty());
  no_receiver.Stop();
  EXPECT_FALSE(no_receiver.Station().Port().IsOpen());
}

TEST_F(Session, ANewRangeReachesTheEngineAndTheFrontEndAndIsStoredOnlyWhenAsked) {
  AnalyzerSession& s = Make([] {
    Settings().WriteProfileString("ODlgSpektr", "m_ScanDia", "140-150 0.5");
    Settings().WriteProfileInt("ODlgSpektr", "m_IsScanCikl", 0);
  });
  s.StartUp();
  s.NewRange(true, "144-145 0.5");
  EXPECT_TRUE(s.Station().Engine().Cyclic());
  ASSERT_EQ(listener_.ranges.size(), 1u);
  EXPECT_EQ(listener_.ranges[0], std::make_pair(true, std::string("144-145 0.5")));
  // `serve` and `scan` keep the settings as they were.
  EXPECT_EQ(Settings().GetProfileString("ODlgSpektr", "m_ScanDia", ""), "140-150 0.5");
  EXPECT_EQ(Settings().GetProfileInt("ODlgSpektr", "m_IsScanCikl", -1), 0);
  ASSERT_TRUE(s.StartScan(false));
  EXPECT_EQ(s.Station().Engine().Plan().View().count, 1);
  EXPECT_DOUBLE_EQ(s.Station().Engine().Plan().View().ranges[0].start, 144e6);
  s.Stop();
  session_.reset();
  listener_.ranges.clear();

  // The desktop's session stores them as typed.
  Make({}, {}, true);
  ASSERT_NE(session_, nullptr);
  session_->NewRange(true, "150-151 0.25");
  EXPECT_EQ(Settings().GetProfileString("ODlgSpektr", "m_ScanDia", ""), "150-151 0.25");
  EXPECT_EQ(Settings().GetProfileInt("ODlgSpektr", "m_IsScanCikl", 0), 1);
  EXPECT_EQ(listener_.ranges.size(), 1u);
}

TEST_F(Session, AStopSignalMidScanSavesThePointsMeasuredOnce) {
  AnalyzerSession& s = Make({});
  const SessionStart start = s.StartUp();
  ASSERT_TRUE(start.station.port_open && start.station.receiver_open)
      << start.station.port_error << start.station.receiver_error;
  EXPECT_FALSE(s.StopAndSave(SIGTERM).has_value());  // nothing in progress: nothing to save
  s.NewRange(false, "140-200 0.01");
  ASSERT_TRUE(s.StartScan(false));
  ASSERT_TRUE(loop_.RunUntil([&] { return listener_.points_ > 0; }, 60s)) << "no group ended";
  const std::optional<ScanEndReport> r = s.StopAndSave(SIGTERM);
  ASSERT_TRUE(r.has_value());
  EXPECT_FALSE(r->ok);
  EXPECT_EQ(r->error, "scan stopped by SIGTERM");
  EXPECT_GE(r->points, listener_.points_);
  EXPECT_LT(r->points, 6001);
  ASSERT_TRUE(r->save.written) << r->save.error;
  EXPECT_TRUE(std::filesystem::exists(r->save.path)) << r->save.path;
  EXPECT_EQ(r->save.path.rfind(results_, 0), 0u) << r->save.path;
  EXPECT_FALSE(s.StopAndSave(SIGTERM).has_value());  // saved once
  EXPECT_EQ(s.Station().Engine().State(), ScanState::kIdle);
  s.Stop();
}

}  // namespace
}  // namespace kavu::test

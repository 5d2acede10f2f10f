// The network serial bridge through the server: every byte arrives once and in order, with the
// port reading slowly (upload) and the phone reading slowly (download).
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "board/network_serial_bridge.h"
#include "board/port_list.h"
#include "board/serial_port.h"
#include "shell/log_console.h"
#include "web/ovirt_net_com.h"
#include "web/raw_client_fixture.h"

namespace kavu::test {
namespace {

std::string Pattern(size_t n, int seed) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 13 + i / 256 + static_cast<size_t>(seed)) & 0xFF);
  return s;
}

const std::string kUploadHead = "POST /KavuSdrAA1_ComPort_send.dat HTTP/1.0\r\nHost: phone\r\n\r\n";
const std::string kDownload = "POST /kavusdraa1_comport_rcv.dat HTTP/1.0\r\nContent-Length: 0\r\n\r\n";

class Bridge : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(srv.started, 0); }
  int Connections() {
    srv.AdvanceAndTick(1000);  // statistics are refreshed on the ticks
    return srv.server.Socket().Statistics()[2];
  }
  // Reads `n` bytes from the network port (bounded in time).
  static std::string ReadPort(OSerialPort& port, size_t n) {
    std::string got(n, '\0');
    const int k = port.ReadAll(reinterpret_cast<uint8_t*>(got.data()), static_cast<int>(n), 10000);
    got.resize(static_cast<size_t>(std::max(k, 0)));
    return got;
  }
  TestServer srv;
};

TEST_F(Bridge, UploadUnderBackPressureLosesNothing) {
  OSerialPort port;
  port.SetNetworkBridge(&srv.server.Bridge());
  ASSERT_TRUE(port.Open(kNetworkPortNumber, OSerialPort::kBaud)) << port.LastErrorText();
  const std::string data = Pattern(300000, 1);
  RawClient phone(srv.Port());
  ASSERT_TRUE(phone.Send(kUploadHead + data.substr(0, 9000)));  // more than the ring holds, at once
  std::thread sender([&] { phone.Send(data.substr(9000)); });
  std::string got;
  uint8_t buf[700];
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (got.size() < data.size() && std::chrono::steady_clock::now() < end) {
    int n = 0;
    port.ReadSome(buf, sizeof buf, &n);  // a slow reader: the ring fills up again and again
    got.append(reinterpret_cast<char*>(buf), static_cast<size_t>(n));
    if (n == 0) std::this_thread::sleep_for(std::chrono::microseconds(300));
  }
  sender.join();
  ASSERT_EQ(got.size(), data.size());
  EXPECT_TRUE(got == data);
  EXPECT_EQ(srv.server.Bridge().LostBytes(), 0);
  port.Close();
}

TEST_F(Bridge, DownloadRingFullMakesWritesShortNotLost) {
  RawClient phone(srv.Port());
  ASSERT_TRUE(phone.Send(kDownload));
  const std::string head = phone.ReadUntil("\r\n\r\n");
  const Answer a = ParseAnswer(head);
  ASSERT_EQ(a.statusLine, "HTTP/1.0 200 OK");
  EXPECT_NE(a.HeaderValue("Set-Cookie"), "");  // the visitor id comes before Connection: close
  const std::string data = Pattern(200000, 2);
  std::thread writer([&] {
    size_t sent = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (sent < data.size() && std::chrono::steady_clock::now() < end) {
      const size_t n = srv.server.Bridge().Send(reinterpret_cast<const uint8_t*>(data.data()) + sent,
                                                std::min<size_t>(5000, data.size() - sent));
      EXPECT_LE(n, 4095u);
      sent += n;
      if (n == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  std::string got = a.body;
  while (got.size() < data.size()) {
    const std::string part = phone.ReadSome(3000, 5000);
    if (part.empty()) break;
    got += part;
  }
  writer.join();
  ASSERT_EQ(got.size(), data.size());
  EXPECT_TRUE(got == data);
}

TEST_F(Bridge, ANewDownloadSupersedesTheOldOne) {
  RawClient first(srv.Port());
  ASSERT_TRUE(first.Send(kDownload));
  ASSERT_FALSE(first.ReadUntil("\r\n\r\n").empty());
  EXPECT_TRUE(WaitFor([&] { return srv.server.Bridge().DownloadId() == 1; }));
  const uint8_t stale[] = {1, 2, 3};
  srv.server.Bridge().Send(stale, 3);
  std::string early = first.ReadSome(10, 2000);  // the first download carries these
  EXPECT_EQ(early, "\1\2\3");
  RawClient second(srv.Port());
  ASSERT_TRUE(second.Send(kDownload));
  EXPECT_TRUE(first.WaitClosed(3000));  // woken, found stale, closed
  const std::string head2 = second.ReadUntil("\r\n\r\n");
  const std::string fresh = "fresh";
  srv.server.Bridge().Send(reinterpret_cast<const uint8_t*>(fresh.data()), fresh.size());
  const std::string got = ParseAnswer(head2).body + second.ReadSome(100, 2000);
  EXPECT_EQ(got, "fresh");
}

TEST_F(Bridge, LiveBridgeConnectionsOutliveTheirDeadlines) {
  RawClient down(srv.Port());
  ASSERT_TRUE(down.Send(kDownload));
  ASSERT_FALSE(down.ReadUntil("\r\n\r\n").empty());
  srv.AdvanceAndTick(400000);
  srv.AdvanceAndTick(400000);
  EXPECT_FALSE(down.WaitClosed(200));
  EXPECT_EQ(srv.server.Socket().Statistics()[7], 1);
  const uint8_t b[] = {'k'};
  srv.server.Bridge().Send(b, 1);
  EXPECT_EQ(down.ReadSome(10, 2000), "k");
}

TEST_F(Bridge, UploadsWithoutAReaderAreReportedLostAndNewUploadsSupersede) {
  Log().SetCapture(true);
  RawClient first(srv.Port());
  ASSERT_TRUE(first.Send(kUploadHead + "12345"));
  EXPECT_TRUE(WaitFor([&] { return srv.server.Bridge().LostBytes() == 5; }));
  RawClient second(srv.Port());
  ASSERT_TRUE(second.Send(kUploadHead + "67"));
  EXPECT_TRUE(WaitFor([&] { return srv.server.Bridge().LostBytes() == 7; }));
  ASSERT_TRUE(first.Send("8"));  // the first upload's next block: refused, connection closed
  EXPECT_TRUE(first.WaitClosed(3000));
  const std::string log = Log().TakeCaptured();
  Log().SetCapture(false);
  EXPECT_NE(log.find("Сетевой com-порт не открыт: потеряно байт 5"), std::string::npos);
  EXPECT_NE(log.find("Прервано новым соед"), std::string::npos);
  EXPECT_EQ(ParseAnswer(Exchange(srv.Port(), "POST /other.dat HTTP/1.0\r\n\r\nxx")).statusLine, "");
}

TEST_F(Bridge, ASupersededUploadWaitingForRoomIsClosedAndTheNewOneGoesOn) {
  OSerialPort port;  // attached, but not reading yet: the ring fills up
  port.SetNetworkBridge(&srv.server.Bridge());
  ASSERT_TRUE(port.Open(kNetworkPortNumber, OSerialPort::kBaud)) << port.LastErrorText();
  const std::string data = Pattern(6000, 3);
  {
    RawClient first(srv.Port());
    ASSERT_TRUE(first.Send(kUploadHead + data));
    ASSERT_TRUE(WaitFor([&] { return srv.server.Bridge().UploadRoom() == 0; }));
    EXPECT_EQ(Connections(), 1);
  }  // the phone went away while its upload waited for room: the server does not see it yet
  EXPECT_EQ(Connections(), 1);
  RawClient second(srv.Port());
  ASSERT_TRUE(second.Send(kUploadHead + "new"));
  ASSERT_TRUE(WaitFor([&] { return srv.server.Bridge().UploadId() == OVirtNetCom::kFirstUploadId + 2; }));
  // The first upload is woken at once, finds itself stale and is closed: its slot and
  // descriptor do not wait for the reader, which may never come (the clock stands still, so
  // no deadline plays a part).
  EXPECT_TRUE(WaitFor([&] { return srv.server.Socket().ConnectionCount() == 1; }));
  // The reader takes what the first upload had delivered, then the second one's bytes.
  const std::string got = ReadPort(port, 4095 + 3);
  EXPECT_TRUE(got == data.substr(0, 4095) + "new") << got.size();
  EXPECT_FALSE(second.WaitClosed(100));
  port.Close();
}

TEST_F(Bridge, AStaleUploadNeverTakesTheCurrentOnesWaitForRoom) {
  OSerialPort port;
  port.SetNetworkBridge(&srv.server.Bridge());
  ASSERT_TRUE(port.Open(kNetworkPortNumber, OSerialPort::kBaud)) << port.LastErrorText();
  RawClient first(srv.Port());
  ASSERT_TRUE(first.Send(kUploadHead + "a"));
  ASSERT_TRUE(WaitFor([&] { return srv.server.Bridge().UploadRoom() == OVirtNetCom::kMaxBlock - 1; }));
  const std::string data = Pattern(5000, 4);
  RawClient second(srv.Port());
  ASSERT_TRUE(second.Send(kUploadHead + data));  // fills the ring and waits for room
  ASSERT_TRUE(WaitFor([&] { return srv.server.Bridge().UploadRoom() == 0; }));
  ASSERT_TRUE(first.Send("b"));  // the stale upload finds no room either
  EXPECT_TRUE(first.WaitClosed(3000));
  // Room freed by the reader wakes the current upload, which delivers the rest.
  const std::string got = ReadPort(port, 1 + data.size());
  EXPECT_TRUE(got == "a" + data) << got.size();
  port.Close();
}

TEST_F(Bridge, AWaitingDownloadIsClosedWhenItsClientLeaves) {
  {
    RawClient down(srv.Port());
    ASSERT_TRUE(down.Send(kDownload));
    ASSERT_FALSE(down.ReadUntil("\r\n\r\n").empty());
    EXPECT_TRUE(WaitFor([&] { return srv.server.Bridge().DownloadId() == 1; }));
    EXPECT_EQ(Connections(), 1);
  }  // closed politely: no reset, just the end of the client's stream
  EXPECT_TRUE(WaitFor([&] { return srv.server.Socket().ConnectionCount() == 0; }));
  EXPECT_EQ(Connections(), 0);
  EXPECT_EQ(srv.server.Socket().Statistics()[7], 0);
  // The next download is served as usual.
  RawClient next(srv.Port());
  ASSERT_TRUE(next.Send(kDownload));
  const std::string head = next.ReadUntil("\r\n\r\n");
  const uint8_t b[] = {'z'};
  srv.server.Bridge().Send(b, 1);
  EXPECT_EQ(ParseAnswer(head).body + next.ReadSome(10, 2000), "z");
}

TEST_F(Bridge, BytesLostWithoutAReaderAreLoggedOnceASecondWithTheirCount) {
  Log().SetCapture(true);
  RawClient phone(srv.Port());
  ASSERT_TRUE(phone.Send(kUploadHead + "12345"));
  ASSERT_TRUE(WaitFor([&] { return srv.server.Bridge().LostBytes() == 5; }));
  for (int i = 1; i <= 40; ++i) {  // 40 more blocks within the same second of the server's clock
    ASSERT_TRUE(phone.Send("xyz"));
    ASSERT_TRUE(WaitFor([&] { return srv.server.Bridge().LostBytes() == 5 + 3 * i; }));
  }
  const std::string within = Log().TakeCaptured();
  srv.AdvanceAndTick(1000);
  const std::string after = Log().TakeCaptured();
  Log().SetCapture(false);
  const auto count = [](const std::string& text) {
    size_t n = 0;
    for (size_t p = text.find("Сетевой com-порт не открыт"); p != std::string::npos;
         p = text.find("Сетевой com-порт не открыт", p + 1)) {
      ++n;
    }
    return n;
  };
  EXPECT_EQ(count(within), 1u) << within;
  EXPECT_NE(within.find("потеряно байт 5 (всего 5)"), std::string::npos);
  EXPECT_EQ(count(after), 1u) << after;
  EXPECT_NE(after.find("потеряно байт 120 (всего 125)"), std::string::npos) << after;
}

TEST(BridgeHandOver, TwoServersTwoPortsAndNoBridgeForAPortNotHandedOne) {
  TempDir dir;
  FakeClock clock;
  {
    // Nothing process-wide: each port uses the bridge it was handed, even with two servers up.
    WebServer web(nullptr), other(nullptr);
    ASSERT_EQ(web.Start({"127.0.0.1", 0, dir.Path(), &clock, {}}), 0);
    ASSERT_EQ(other.Start({"127.0.0.1", 0, dir.Path(), &clock, {}}), 0);
    OSerialPort mine, theirs;
    mine.SetNetworkBridge(&web.Bridge());
    theirs.SetNetworkBridge(&other.Bridge());
    ASSERT_TRUE(mine.Open(kNetworkPortNumber, OSerialPort::kBaud));
    ASSERT_TRUE(theirs.Open(kNetworkPortNumber, OSerialPort::kBaud));
    EXPECT_EQ(mine.NetworkBridge(), &web.Bridge());
    EXPECT_EQ(theirs.NetworkBridge(), &other.Bridge());
    mine.SetNetworkBridge(nullptr);
    theirs.SetNetworkBridge(nullptr);
  }
  OSerialPort port;
  EXPECT_FALSE(port.Open(kNetworkPortNumber, OSerialPort::kBaud));
  EXPECT_EQ(port.LastErrorText(),
            "Сетевой com-порт недоступен! Включите в настройках запуск Http сервера и перезапустите программу\n");
}

}  // namespace
}  // namespace kavu::test

namespace kavu::test {
namespace {

class RecordingSink : public IOutsideEventSink {
 public:
  void PostOutsideEvent(const OutsideEventTicket& t, int bytes) override { posted.push_back({t.slot, bytes}); }
  std::vector<std::pair<int, int>> posted;
};

TEST(OVirtNetComWaits, ACancelWakesOnlyItsOwnConnection) {
  OVirtNetCom bridge;
  RecordingSink sink;
  const OutsideEventTicket mine{&sink, 3, 11}, other{&sink, 4, 12}, stale_slot{&sink, 3, 10};
  const int id = bridge.NewDownload();
  bridge.InitMyIOEvent(id, mine);
  EXPECT_TRUE(sink.posted.empty());
  bridge.CancelMyIOEvent(other);       // another connection closing: not this wait
  bridge.CancelMyIOEvent(stale_slot);  // the same slot's earlier connection: not this wait
  EXPECT_TRUE(sink.posted.empty());
  bridge.CancelMyIOEvent(mine);
  EXPECT_EQ(sink.posted, (std::vector<std::pair<int, int>>{{3, 0}}));
  // A stale id is told to give up; bytes already waiting wake at once.
  bridge.InitMyIOEvent(id - 1, other);
  const uint8_t b[] = {9};
  EXPECT_EQ(bridge.Send(b, 1), 1u);
  bridge.InitMyIOEvent(id, mine);
  EXPECT_EQ(sink.posted, (std::vector<std::pair<int, int>>{{3, 0}, {4, -1}, {3, 0}}));
  uint8_t out[8];
  EXPECT_EQ(bridge.TakeDownload(id, out, 8), 1);
  EXPECT_EQ(bridge.TakeDownload(id - 1, out, 8), -1);
}

TEST(OVirtNetComWaits, ANewUploadWakesTheWaitingOneAndStaleOnesNeverWait) {
  OVirtNetCom bridge;
  RecordingSink sink;
  bridge.ReaderAttached(true);
  std::vector<uint8_t> data(5000, 1);
  const int first = bridge.NewUpload();
  EXPECT_EQ(bridge.Upload(data.data(), 5000), 4095);
  EXPECT_TRUE(bridge.WaitUploadRoom(first, {&sink, 1, 1}));
  const int second = bridge.NewUpload();
  EXPECT_EQ(sink.posted, (std::vector<std::pair<int, int>>{{1, 0}}));  // woken to find itself stale
  EXPECT_TRUE(bridge.WaitUploadRoom(second, {&sink, 2, 2}));
  EXPECT_FALSE(bridge.WaitUploadRoom(first, {&sink, 1, 1}));  // must not replace the current wait
  bridge.ReceiveRead(1);
  EXPECT_EQ(sink.posted, (std::vector<std::pair<int, int>>{{1, 0}, {2, 0}}));
}

TEST(OVirtNetComWaits, FullRingsPushBackInsteadOfOverwriting) {
  OVirtNetCom bridge;
  std::vector<uint8_t> data(5000, 7);
  EXPECT_EQ(bridge.Send(data.data(), data.size()), 4095u);  // one byte short of the ring
  EXPECT_EQ(bridge.Send(data.data(), 1), 0u);
  uint8_t out[5000];
  EXPECT_EQ(bridge.TakeDownload(bridge.DownloadId(), out, 100), 100);
  EXPECT_EQ(bridge.Send(data.data(), 500), 100u);

  bridge.ReaderAttached(true);
  EXPECT_EQ(bridge.UploadRoom(), 4095);
  EXPECT_EQ(bridge.Upload(data.data(), 5000), 4095);
  EXPECT_EQ(bridge.UploadRoom(), 0);
  RecordingSink sink;
  EXPECT_TRUE(bridge.WaitUploadRoom(bridge.UploadId(), {&sink, 1, 1}));
  bridge.ReceiveRead(10);  // the reader took 10 bytes
  EXPECT_EQ(sink.posted, (std::vector<std::pair<int, int>>{{1, 0}}));
  EXPECT_EQ(bridge.UploadRoom(), 10);
  EXPECT_FALSE(bridge.WaitUploadRoom(bridge.UploadId(), {&sink, 1, 1}));
  EXPECT_EQ(bridge.LostBytes(), 0);
}

}  // namespace
}  // namespace kavu::test

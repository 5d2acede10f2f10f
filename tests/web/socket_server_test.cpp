// The socket server's connection handling over raw loopback sockets, with the server's clock in
// the test's hand: slow, idle, half-closed, abrupt and resetting clients, a full pool, clients
// that try to hold slots (huge silent heads, trickled heads, answers never or slowly read),
// running out of descriptors.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>
#include <vector>

#include "web/okavu_socket.h"
#include "web/raw_client_fixture.h"

namespace kavu::test {
namespace {

class SocketServer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(srv.started, 0);
    WriteFile(srv.Folder() + "/a.txt", "abc");
  }
  int Connections() {
    srv.AdvanceAndTick(1000);  // statistics are refreshed on the ticks
    return srv.server.Socket().Statistics()[2];
  }
  TestServer srv;
};

TEST_F(SocketServer, SendTimeGivesOneSecondPer120BytesBeyondAMinute) {
  EXPECT_EQ(OKavuSocket::SendTime(0), 60000);
  EXPECT_EQ(OKavuSocket::SendTime(7200), 60000);
  EXPECT_EQ(OKavuSocket::SendTime(7320), 61000);
  EXPECT_EQ(OKavuSocket::SendTime(393216), 3276000);
  EXPECT_EQ(OKavuSocket::SendTime(int64_t{1} << 40), 100000000);
}

TEST_F(SocketServer, SlowAndHalfClosedClientsAreAnswered) {
  RawClient slow(srv.Port());
  for (char c : Get("a.txt")) {
    ASSERT_TRUE(slow.Send(std::string(1, c)));
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(ParseAnswer(slow.ReadAll()).body, "abc");

  RawClient half(srv.Port());
  ASSERT_TRUE(half.Send(Get("a.txt")));
  half.ShutdownWrite();
  EXPECT_EQ(ParseAnswer(half.ReadAll()).body, "abc");
  EXPECT_TRUE(WaitFor([&] { return Connections() == 0; }));
}

TEST_F(SocketServer, IdleClientIsClosedOnATickEvenWhileOthersKeepArriving) {
  RawClient idle(srv.Port());
  ASSERT_TRUE(idle.Connected());
  EXPECT_TRUE(WaitFor([&] { return Connections() == 1; }));
  // A request every 0.9 s of the server's clock, for 6.5 minutes: the sweep still runs.
  bool closed = false;
  for (int i = 0; i < 440 && !closed; ++i) {
    srv.Advance(900);
    if (i % 40 == 0) {
      EXPECT_EQ(ParseAnswer(Exchange(srv.Port(), Get("a.txt"))).body, "abc");
    }
    closed = idle.WaitClosed(0);
  }
  EXPECT_TRUE(closed || idle.WaitClosed(2000));
  EXPECT_GE(srv.clock.NowMs() - 1000000, 360000);  // 60 s deadline + 300 s grace
}

TEST_F(SocketServer, AFullPoolClosesExpiredSlotsForTheNextClient) {
  std::vector<std::unique_ptr<RawClient>> idle;
  for (int i = 0; i < OKavuSocket::kSlots; ++i) idle.push_back(std::make_unique<RawClient>(srv.Port()));
  EXPECT_TRUE(WaitFor([&] { return Connections() == OKavuSocket::kSlots; }));
  RawClient extra(srv.Port());  // the system queues it; no slot takes it yet
  ASSERT_TRUE(extra.Send(Get("a.txt")));
  EXPECT_EQ(extra.ReadSome(10, 300), "");
  EXPECT_EQ(srv.server.Socket().Statistics()[1], 0);  // nobody waits for a connection
  srv.AdvanceAndTick(61000);                          // every idle deadline has passed
  EXPECT_EQ(ParseAnswer(extra.ReadAll()).body, "abc");
  bool reset = false;
  EXPECT_TRUE(idle[0]->WaitClosed(2000, &reset));
  EXPECT_TRUE(reset);  // expired connections are reset, not closed politely
}

// A pool of few slots, so that filling it takes few sockets.
OKavuSocket::Limits SmallPool(int slot_count) {
  OKavuSocket::Limits l;
  l.slotCount = slot_count;
  return l;
}

// A request head of `size` bytes that never ends (no empty line).
std::string EndlessHead(size_t size) {
  std::string head = "GET /a.txt HTTP/1.0\r\nX-Pad: ";
  head.resize(size - 2, 'p');
  return head + "\r\n";
}

// A client whose receive buffer is small and fixed (no growth), so that what the server
// manages to send depends on what the client reads.
std::unique_ptr<RawClient> NarrowClient(int port) {
  auto c = std::make_unique<RawClient>(port, false);
  const int size = 32768;
  ::setsockopt(c->Fd(), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  c->Connect();
  return c;
}

// A sparse file of `size` bytes: large answers without writing them out.
void WriteSparse(const std::string& path, off_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, size), 0);
  ::close(fd);
}

TEST(SocketServerSlots, HugeSilentHeadsAreSweptLikeIdleClientsOnceThePoolIsFull) {
  constexpr int kAttackers = 20;
  constexpr size_t kHead = 390000;
  TestServer srv(nullptr, SmallPool(kAttackers));
  ASSERT_EQ(srv.started, 0);
  WriteFile(srv.Folder() + "/a.txt", "abc");
  const int64_t attack_start = srv.clock.NowMs();
  std::vector<std::unique_ptr<RawClient>> attackers;
  for (int i = 0; i < kAttackers; ++i) {
    attackers.push_back(std::make_unique<RawClient>(srv.Port()));
    ASSERT_TRUE(attackers.back()->Send(EndlessHead(kHead)));
  }
  // Every byte has reached the server: each head earned 3,250 s by the second per 120 bytes.
  ASSERT_TRUE(WaitFor([&] { return srv.server.Socket().BytesReceived() == kAttackers * int64_t{kHead}; }, 20000));
  srv.Settle();
  RawClient client(srv.Port());  // queued by the system: every slot is held
  ASSERT_TRUE(client.Send(Get("a.txt")));
  srv.AdvanceAndTick(61000);
  EXPECT_EQ(ParseAnswer(client.ReadAll()).body, "abc");
  EXPECT_LE(srv.clock.NowMs() - attack_start, 65000);
  for (auto& a : attackers) {
    bool reset = false;
    EXPECT_TRUE(a->WaitClosed(2000, &reset));
    EXPECT_TRUE(reset);
  }
}

TEST(SocketServerSlots, ATrickledHeadEarnsOnlyItsCappedExtension) {
  OKavuSocket::Limits limits = SmallPool(1);
  limits.maxRequestExtensionMs = 5000;
  TestServer srv(nullptr, limits);
  ASSERT_EQ(srv.started, 0);
  WriteFile(srv.Folder() + "/a.txt", "abc");
  const int64_t start = srv.clock.NowMs();
  RawClient trickle(srv.Port());
  ASSERT_TRUE(trickle.Send("GET /a.txt HTTP/1.0\r\n"));
  ASSERT_TRUE(WaitFor([&] { return srv.server.Socket().BytesReceived() > 0; }));
  srv.Settle();
  RawClient client(srv.Port());  // waits for the one slot
  ASSERT_TRUE(client.Send(Get("a.txt")));
  // 120 bytes of head every second of the server's clock: without a cap the deadline would
  // keep pace with the clock for as long as the head area lasts (almost an hour).
  const std::string line = "X-Slow: " + std::string(110, 's') + "\r\n";
  bool closed = false;
  for (int second = 0; second < 90 && !closed; ++second) {
    const int64_t before = srv.server.Socket().BytesReceived();
    if (trickle.Send(line)) {
      WaitFor([&] { return srv.server.Socket().BytesReceived() >= before + 120; });
      srv.Settle();
    }
    srv.AdvanceAndTick(1000);
    closed = trickle.PeerGone(20);
  }
  EXPECT_TRUE(closed || trickle.WaitClosed(2000));
  EXPECT_LE(srv.clock.NowMs() - start, 60000 + 5000 + 2000);  // first minute + cap + a tick
  EXPECT_EQ(ParseAnswer(client.ReadAll()).body, "abc");
}

TEST(SocketServerSlots, AnAnswerNeverReadIsSweptOnceItStalls) {
  TestServer srv(nullptr, SmallPool(1));
  ASSERT_EQ(srv.started, 0);
  WriteFile(srv.Folder() + "/a.txt", "abc");
  WriteSparse(srv.Folder() + "/big.bin", off_t{64} << 20);  // more than any socket buffers hold
  const int64_t start = srv.clock.NowMs();
  auto deaf_client = NarrowClient(srv.Port());
  RawClient& deaf = *deaf_client;
  ASSERT_TRUE(deaf.Send(Get("big.bin")));
  ASSERT_TRUE(WaitFor([&] { return srv.server.Socket().BytesSent() > 0; }));
  srv.Settle();
  RawClient client(srv.Port());
  ASSERT_TRUE(client.Send(Get("a.txt")));
  // A buffer of 393,216 bytes would be allowed 3,276 s; a peer that takes nothing for 60 s
  // expires. The server may still push bytes into growing socket buffers just after a step of
  // the clock, which starts the 60 s again: allow a few steps, far fewer than 3,276 s.
  std::string answer;
  int steps = 0;
  while (answer.empty() && steps < 6) {
    srv.AdvanceAndTick(61000);
    ++steps;
    answer = client.ReadSome(100, 500);
  }
  EXPECT_LE(steps, 4);
  EXPECT_LE(srv.clock.NowMs() - start, 4 * 61000);
  EXPECT_EQ(ParseAnswer(answer + client.ReadAll()).body, "abc");
  bool reset = false;
  EXPECT_TRUE(deaf.WaitClosed(2000, &reset));
  EXPECT_TRUE(reset);
}

TEST(SocketServerSlots, ASteadyButSlowReaderGetsOnlyTheCappedSendTime) {
  OKavuSocket::Limits limits = SmallPool(1);
  limits.maxSendMs = 6000;
  TestServer srv(nullptr, limits);
  ASSERT_EQ(srv.started, 0);
  WriteFile(srv.Folder() + "/a.txt", "abc");
  WriteSparse(srv.Folder() + "/big.bin", off_t{64} << 20);
  const int64_t start = srv.clock.NowMs();
  auto slow_client = NarrowClient(srv.Port());
  RawClient& slow = *slow_client;
  ASSERT_TRUE(slow.Send(Get("big.bin")));
  ASSERT_TRUE(WaitFor([&] { return srv.server.Socket().BytesSent() > 0; }));
  srv.Settle();
  RawClient client(srv.Port());
  ASSERT_TRUE(client.Send(Get("a.txt")));
  // Every two seconds the reader takes 64 KiB: never silent for a minute, but far too slow for
  // a buffer of 393,216 bytes (which SendTime would allow 3,276 s) to go within the cap; the
  // cap, not the minute of silence, ends the connection.
  bool closed = false;
  for (int step = 0; step < 40 && !closed; ++step) {
    slow.ReadSome(65536, 0);
    srv.AdvanceAndTick(2000);
    closed = slow.PeerGone(20);
  }
  EXPECT_TRUE(closed || slow.PeerGone(2000));
  // The buffer being sent when the sockets filled up may have ended within the first cap, and
  // the next one started then.
  EXPECT_LE(srv.clock.NowMs() - start, 2 * 6000 + 4000);
  EXPECT_EQ(ParseAnswer(client.ReadAll()).body, "abc");
}

TEST_F(SocketServer, AbruptAndResettingClientsDoNotHurtTheServer) {
  for (int i = 0; i < 20; ++i) {
    RawClient c(srv.Port());
    if (i % 2) c.Reset();
  }
  std::string big(2 * 1024 * 1024, 'z');
  WriteFile(srv.Folder() + "/big.bin", big);
  for (int i = 0; i < 5; ++i) {
    RawClient c(srv.Port());
    ASSERT_TRUE(c.Send(Get("big.bin")));
    EXPECT_FALSE(c.ReadSome(1000).empty());
    c.Reset();  // the server is in the middle of the answer
  }
  const Answer a = ParseAnswer(Exchange(srv.Port(), Get("big.bin"), 10000));
  EXPECT_EQ(a.body.size(), big.size());
  EXPECT_TRUE(WaitFor([&] { return Connections() == 0; }));
}

TEST_F(SocketServer, ASlowReaderGetsOneDeadlinePerBufferNotPerPartialSend) {
  WriteFile(srv.Folder() + "/big.bin", std::string(2 * 1024 * 1024, 'q'));
  RawClient c(srv.Port());
  ASSERT_TRUE(c.Send(Get("big.bin")));
  size_t got = c.ReadSome(1000).size();
  ASSERT_GT(got, 0u);
  // The first chunk may take SendTime(393216) + 300 s; reading a little now and then must not
  // extend that.
  for (int step = 0; step < 36; ++step) {
    srv.AdvanceAndTick(100000);
    got += c.ReadSome(100).size();
  }
  bool reset = false;
  EXPECT_TRUE(c.WaitClosed(3000, &reset));
  EXPECT_LT(got, 2u * 1024 * 1024);
  EXPECT_TRUE(WaitFor([&] { return Connections() == 0; }));
}

TEST_F(SocketServer, RunningOutOfDescriptorsPausesAcceptingWithoutSpinning) {
  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &old), 0);
  // The server's thread runs before the descriptors run out: its start needs none then (under
  // UndefinedBehaviorSanitizer, checking the thread object's type takes a pipe).
  srv.AdvanceAndTick(1);
  std::vector<std::unique_ptr<RawClient>> clients;
  std::vector<int> hogs;
  // Make the client sockets first, then use up every descriptor, then connect: the server
  // finds none left for accepting.
  for (int i = 0; i < 3; ++i) clients.push_back(std::make_unique<RawClient>(srv.Port(), false));
  rlimit low = old;
  low.rlim_cur = 256;
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
  for (;;) {
    const int fd = ::dup(0);
    if (fd < 0) break;
    hogs.push_back(fd);
  }
  for (auto& c : clients) {
    ASSERT_TRUE(c->Connect());
    ASSERT_TRUE(c->Send(Get("a.txt")));
  }
  const int64_t before = srv.server.Socket().Wakeups();
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  const int64_t spun = srv.server.Socket().Wakeups() - before;
  EXPECT_LT(spun, 20);  // waiting, not looping on a connection it cannot take
  EXPECT_EQ(clients[0]->ReadSome(10, 50), "");
  for (int fd : hogs) ::close(fd);
  ::setrlimit(RLIMIT_NOFILE, &old);
  for (int i = 0; i < 3; ++i) srv.AdvanceAndTick(1000);
  for (auto& c : clients) EXPECT_EQ(ParseAnswer(c->ReadAll()).body, "abc");
}

TEST_F(SocketServer, StatusTextCountsConnections) {
  RawClient a(srv.Port());
  RawClient b(srv.Port());
  EXPECT_TRUE(WaitFor([&] { return Connections() == 2; }));
  EXPECT_EQ(srv.server.Socket().StatusText(),
            "Сокетов: 2, ждут вх: 5, подкл: 2 (прием: 2, посыл: 0, закр: 0); net-com: приём 0, посыл 0");
  OKavuSocket off([] { return nullptr; });
  EXPECT_EQ(off.StatusText(), "Http-сервер выключен, для включения перезапустите программу");
  OKavuSocket busy([] { return nullptr; });
  EXPECT_EQ(busy.Listen("127.0.0.1", srv.Port()), 4);  // the port is taken
  EXPECT_EQ(busy.ErrorText().rfind("Ошибка bind, WSAErr=", 0), 0u);
  OKavuSocket nowhere([] { return nullptr; });
  EXPECT_EQ(nowhere.Listen("no.such.host.invalid", 0), 2);
}

}  // namespace
}  // namespace kavu::test

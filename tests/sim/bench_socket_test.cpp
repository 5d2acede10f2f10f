// The bench socket from both ends: the bench's server against raw clients (one program at a
// time, malformed input), and the simulated library, loaded as a program loads it, fed by a
// server in this process standing in for a bench in another one.
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <mutex>
#include <thread>

#include "platform/dyn_library.h"
#include "receivers/rtlsdr_api.h"
#include "sim/bench_socket_server.h"
#include "sim/bench_wire.h"
#include "sim/virtual_bench.h"
#include "support/temp_dir.h"

namespace kavu::sim {
namespace {

using Bytes = std::vector<uint8_t>;

// A feeder whose clock moves by 4096 samples at every look and whose byte k of sample s is
// (P s + k) & 0xFF for a format of P bytes a pair, so a gap or repeat in a stream shows.
struct FakeFeeder {
  std::mutex mutex;
  std::vector<std::array<int64_t, 4>> configs;
  std::vector<std::string> log;
  std::atomic<uint64_t> due{0};
  std::atomic<int32_t> fault{kKavuSimOk};

  KavuSimSource Source() {
    KavuSimSource s{};
    s.abi_version = kKavuSimAbiVersion;
    s.ctx = this;
    s.configure = [](void* c, uint32_t rate, uint64_t hz, int32_t gain, int32_t direct) {
      auto* f = static_cast<FakeFeeder*>(c);
      std::lock_guard lock(f->mutex);
      f->configs.push_back({rate, static_cast<int64_t>(hz), gain, direct});
    };
    s.due = [](void* c) { return static_cast<FakeFeeder*>(c)->due.fetch_add(4096) + 4096; };
    s.fill = [](void*, uint64_t first, int32_t format, void* buf, uint32_t samples) {
      const uint32_t pair = KavuSimPairBytes(format);
      auto* bytes = static_cast<unsigned char*>(buf);
      for (uint32_t k = 0; k < samples * pair; ++k) bytes[k] = static_cast<unsigned char>(pair * first + k);
    };
    s.fault = [](void* c) { return static_cast<FakeFeeder*>(c)->fault.load(); };
    s.log = [](void* c, const char* line) {
      auto* f = static_cast<FakeFeeder*>(c);
      std::lock_guard lock(f->mutex);
      f->log.emplace_back(line);
    };
    return s;
  }
  std::array<int64_t, 4> LastConfig() {
    std::lock_guard lock(mutex);
    return configs.empty() ? std::array<int64_t, 4>{} : configs.back();
  }
  std::vector<std::string> Log() {
    std::lock_guard lock(mutex);
    return log;
  }
};

class BenchSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("bench.sock");
    std::string error;
    ASSERT_TRUE(server_.Start(path_, feeder_.Source(), [this](const std::string& l) {
      std::lock_guard lock(log_mutex_);
      server_log_ += l + "\n";
    }, &error)) << error;
  }
  std::string ServerLog() {
    std::lock_guard lock(log_mutex_);
    return server_log_;
  }
  int Connect() const {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path_.c_str(), sizeof addr.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    return fd;
  }
  static void Send(int fd, const Bytes& b) {
    ASSERT_EQ(::send(fd, b.data(), b.size(), MSG_NOSIGNAL), static_cast<ssize_t>(b.size()));
  }
  // The next message, or false when the connection closed (or nothing came within 2 s).
  static bool Receive(int fd, wire::FrameReader& r, wire::Message* m) {
    std::string error;
    for (;;) {
      const auto st = r.Next(m, &error);
      if (st != wire::FrameReader::Status::kNeedMore) return st == wire::FrameReader::Status::kFrame;
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 2000) <= 0) return false;
      uint8_t buf[65536];
      const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
      if (n <= 0) return false;
      r.Append(buf, static_cast<size_t>(n));
    }
  }
  static wire::Message Ask(int fd, const Bytes& request) {
    Send(fd, request);
    wire::FrameReader r;
    wire::Message m;
    EXPECT_TRUE(Receive(fd, r, &m));
    return m;
  }
  static bool Closed(int fd) {
    wire::FrameReader r;
    wire::Message m;
    return !Receive(fd, r, &m);
  }

  test::TempDir dir_;
  std::string path_;
  FakeFeeder feeder_;
  std::mutex log_mutex_;
  std::string server_log_;
  BenchSocketServer server_;  // last: stopped before what its thread uses goes
};

TEST_F(BenchSocketTest, ServesEveryRequestAndOneProgramAtATime) {
  const int a = Connect();
  EXPECT_EQ(Ask(a, wire::EncodeHello()).status, wire::kHelloAccepted);
  Ask(a, wire::EncodeConfigure(20'000'000, 5'800'000'000ull, 280, 0));
  EXPECT_EQ(feeder_.LastConfig(), (std::array<int64_t, 4>{20'000'000, 5'800'000'000ll, 280, 0}));
  const uint64_t due = Ask(a, wire::EncodeDue()).sample;
  EXPECT_EQ(Ask(a, wire::EncodeDue()).sample, due + 4096);
  const wire::Message fill = Ask(a, wire::EncodeFill(5, kKavuSimU8, 3));
  EXPECT_EQ(fill.type, wire::MsgType::kFillReply);
  EXPECT_EQ(fill.sample, 5u);
  EXPECT_EQ(fill.data, (Bytes{10, 11, 12, 13, 14, 15}));
  // Every format reaches the feeder with its own pair size.
  EXPECT_EQ(Ask(a, wire::EncodeFill(5, kKavuSimS8, 1)).data, (Bytes{10, 11}));
  EXPECT_EQ(Ask(a, wire::EncodeFill(1, kKavuSimI16, 2)).data, (Bytes{4, 5, 6, 7, 8, 9, 10, 11}));
  const wire::Message wide = Ask(a, wire::EncodeFill(1, kKavuSimF32, 2));
  ASSERT_EQ(wide.data.size(), 16u);
  EXPECT_EQ(wide.data.front(), 8);
  EXPECT_EQ(wide.data.back(), 23);
  feeder_.fault = kKavuSimStall;
  EXPECT_EQ(Ask(a, wire::EncodeFault()).fault, kKavuSimStall);
  EXPECT_EQ(Ask(a, wire::EncodeLog("open")).type, wire::MsgType::kLogReply);
  EXPECT_EQ(feeder_.Log(), std::vector<std::string>{"open"});

  // A second program is told "busy" and let go; the first is still served.
  const int b = Connect();
  wire::FrameReader rb;
  wire::Message m;
  ASSERT_TRUE(Receive(b, rb, &m));
  EXPECT_EQ(m.type, wire::MsgType::kHelloReply);
  EXPECT_EQ(m.status, wire::kHelloBusy);
  EXPECT_TRUE(Closed(b));
  ::close(b);
  EXPECT_EQ(Ask(a, wire::EncodeFault()).type, wire::MsgType::kFaultReply);

  // Once the first has gone, the next is served.
  ::close(a);
  const int c = Connect();
  EXPECT_EQ(Ask(c, wire::EncodeHello()).status, wire::kHelloAccepted);
  ::close(c);
  EXPECT_EQ(server_.Connections(), 3);
}

TEST_F(BenchSocketTest, MalformedInputClosesTheConnectionWithALoggedReason) {
  const Bytes bad[] = {
      wire::EncodeDue(),                       // no hello first
      {0xFF, 0xFF, 0xFF, 0x7F, 0x01},          // a 2 GiB message
      {2, 0, 0, 0, 0x03, 0x00},                // due with a payload, after a hello
      wire::EncodeDueReply(1),                 // a reply sent as a request
      {7, 0, 0, 0, 0x01, 'X', 'V', 'S', 'B', 2, 0},  // hello with a wrong magic
      wire::EncodeFill(0, 7, 1),               // fill in an unknown format, after a hello
  };
  for (size_t k = 0; k < std::size(bad); ++k) {
    const int fd = Connect();
    if (k == 2 || k == 3 || k == 5) {
      EXPECT_EQ(Ask(fd, wire::EncodeHello()).status, wire::kHelloAccepted);
    }
    Send(fd, bad[k]);
    EXPECT_TRUE(Closed(fd)) << k;
    ::close(fd);
  }
  EXPECT_NE(ServerLog().find("malformed"), std::string::npos) << ServerLog();
  // Another protocol version is answered, then let go.
  const int v = Connect();
  const wire::Message m = Ask(v, wire::EncodeHello(1));
  EXPECT_EQ(m.status, wire::kHelloUnsupported);
  EXPECT_TRUE(Closed(v));
  ::close(v);
  // The bench still serves a well-behaved program.
  const int fd = Connect();
  EXPECT_EQ(Ask(fd, wire::EncodeHello()).status, wire::kHelloAccepted);
  EXPECT_EQ(Ask(fd, wire::EncodeFill(0, kKavuSimU8, 1)).data, (Bytes{0, 1}));
  ::close(fd);
}

// The simulated library as a program loads it, with KAVU_SIM_BENCH set for its loading.
class SimLib {
 public:
  explicit SimLib(const std::string& bench) {
    ::setenv("KAVU_SIM_BENCH", bench.c_str(), 1);
    EXPECT_EQ(lib_.Open(VirtualBench::DefaultSimLibFolder() + "/librtlsdr.so.0"), DynLibrary::Result::kLoaded)
        << lib_.Error();
  }
  ~SimLib() { ::unsetenv("KAVU_SIM_BENCH"); }
  template <class F>
  F Fn(const char* name) const {
    void* p = lib_.Symbol(name);
    EXPECT_NE(p, nullptr) << name;
    return reinterpret_cast<F>(p);
  }

 private:
  DynLibrary lib_;
};

struct Received {
  std::mutex mutex;
  Bytes bytes;
  size_t buffers = 0;
};

TEST_F(BenchSocketTest, LibraryStreamsFromTheBenchAndEndsLikeAnUnpluggedReceiverWhenItGoes) {
  SimLib lib(path_);
  const auto count = lib.Fn<rtlsdr_get_device_count_fn>("rtlsdr_get_device_count");
  const auto name = lib.Fn<rtlsdr_get_device_name_fn>("rtlsdr_get_device_name");
  const auto open = lib.Fn<rtlsdr_open_fn>("rtlsdr_open");
  const auto close = lib.Fn<rtlsdr_close_fn>("rtlsdr_close");
  const auto set_rate = lib.Fn<rtlsdr_set_sample_rate_fn>("rtlsdr_set_sample_rate");
  const auto set_freq = lib.Fn<rtlsdr_set_center_freq_fn>("rtlsdr_set_center_freq");
  const auto set_gain = lib.Fn<rtlsdr_set_tuner_gain_fn>("rtlsdr_set_tuner_gain");
  const auto set_direct = lib.Fn<rtlsdr_set_direct_sampling_fn>("rtlsdr_set_direct_sampling");
  const auto reset = lib.Fn<rtlsdr_reset_buffer_fn>("rtlsdr_reset_buffer");
  const auto read_async = lib.Fn<rtlsdr_read_async_fn>("rtlsdr_read_async");
  const auto cancel = lib.Fn<rtlsdr_cancel_async_fn>("rtlsdr_cancel_async");

  ASSERT_EQ(count(), 1u);
  EXPECT_STREQ(name(0), "Virtual bench");
  rtlsdr_dev_t* dev = nullptr;
  ASSERT_EQ(open(&dev, 0), 0);
  EXPECT_EQ(set_rate(dev, 2'400'000), 0);
  EXPECT_EQ(set_freq(dev, 145'000'000), 0);
  EXPECT_EQ(set_gain(dev, 280), 0);
  EXPECT_EQ(set_direct(dev, 2), 0);
  EXPECT_EQ(reset(dev), 0);
  EXPECT_EQ(feeder_.LastConfig(), (std::array<int64_t, 4>{2'400'000, 145'000'000, 280, 2}));

  Received got;
  auto reading = std::async(std::launch::async, [&] {
    return read_async(dev, [](unsigned char* buf, uint32_t len, void* ctx) {
      auto* g = static_cast<Received*>(ctx);
      std::lock_guard lock(g->mutex);
      g->bytes.insert(g->bytes.end(), buf, buf + len);
      ++g->buffers;
    }, &got, 0, 8192);
  });
  for (int k = 0; k < 1000; ++k) {  // up to 10 s: each buffer is a round trip to the bench
    {
      std::lock_guard lock(got.mutex);
      if (got.buffers >= 4) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  {
    std::lock_guard lock(got.mutex);
    ASSERT_GE(got.buffers, 4u);
    for (size_t k = 1; k < got.bytes.size(); ++k) {
      ASSERT_EQ(static_cast<uint8_t>(got.bytes[k] - got.bytes[k - 1]), 1) << "gap at byte " << k;
    }
  }
  // The bench goes away: the read ends by itself, as on a receiver pulled from its port.
  server_.Stop();
  if (reading.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    cancel(dev);
    FAIL() << "the read did not end when the bench went away";
  }
  EXPECT_LT(reading.get(), 0);
  EXPECT_EQ(set_freq(dev, 146'000'000), -1);
  EXPECT_EQ(close(dev), 0);
  EXPECT_EQ(count(), 0u);
  const std::vector<std::string> log = feeder_.Log();
  EXPECT_NE(std::find(log.begin(), log.end(), "open"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "start 8192"), log.end());
}

TEST_F(BenchSocketTest, LibraryDropsABenchThatAnswersWithGarbageAndListsNothingWithoutOne) {
  // A bench that greets properly, then answers the first request with a 4 GiB message.
  const std::string fake = dir_.File("fake.sock");
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, fake.c_str(), sizeof addr.sun_path - 1);
  const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(::listen(listener, 1), 0);
  std::thread bench([&] {
    const int fd = ::accept(listener, nullptr, nullptr);
    wire::FrameReader r;
    wire::Message m;
    if (Receive(fd, r, &m)) Send(fd, wire::EncodeHelloReply(wire::kHelloAccepted));
    if (Receive(fd, r, &m)) Send(fd, {0xFF, 0xFF, 0xFF, 0xFF, 0x83});
    Closed(fd);  // until the library lets go
    ::close(fd);
  });
  {
    SimLib lib(fake);
    const auto count = lib.Fn<rtlsdr_get_device_count_fn>("rtlsdr_get_device_count");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(count(), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  }
  bench.join();
  ::close(listener);
  SimLib nowhere(dir_.File("no-such.sock"));
  EXPECT_EQ(nowhere.Fn<rtlsdr_get_device_count_fn>("rtlsdr_get_device_count")(), 0u);
}

}  // namespace
}  // namespace kavu::sim

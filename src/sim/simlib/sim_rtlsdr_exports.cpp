// The exported C functions of the simulated RTL-SDR library: the same names and signatures as
// the real library (declared in receivers/rtlsdr_api.h), one device "Virtual bench". Every
// function catches everything: nothing is thrown across the C boundary.
//
// Feeders: a bench in this process attaches itself (kavu_simrtl_attach). Without one, and with
// $KAVU_SIM_BENCH naming a bench's socket, the device is fed by that bench over the socket
// (simlib/bench_client.h): listing and opening connect to it (again, after it was lost, while
// the device is closed); while it cannot be reached the device is not listed, and a setting
// changed on an open device whose bench is gone fails, as on a receiver pulled from its port.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <type_traits>

#include "sim/simlib/bench_client.h"
#include "sim/simlib/sim_rtlsdr_device.h"

using kavu::simrtl::Device;

// The handle given out by rtlsdr_open: its address is all that matters.
struct rtlsdr_dev {
  int unused;
};

namespace {

rtlsdr_dev g_handle{0};
constexpr int kGains[] = {0,   9,   14,  27,  37,  77,  87,  125, 144, 157,
                          166, 197, 207, 229, 254, 280, 297, 328, 338, 364,
                          372, 386, 402, 421, 434, 439, 445, 480, 496};
constexpr const char* kName = "Virtual bench";

bool Valid(rtlsdr_dev_t* dev) { return dev == &g_handle && Device::Instance().IsOpen(); }

// Which feeder the device has: guarded by g_feeder_mutex.
std::mutex g_feeder_mutex;
bool g_local_feeder = false;   // a bench of this process attached itself
bool g_remote_feeder = false;  // the bench client is attached

kavu::simrtl::BenchClient& Remote() {
  Device::Instance();  // constructed first, so destroyed after the client
  static kavu::simrtl::BenchClient client;
  return client;
}

// Attaches the bench of $KAVU_SIM_BENCH when no bench of this process feeds the device, and
// connects to it unless connected or the device is open (an open device stays with the bench
// that was there when it was opened).
void EnsureFeeder() {
  std::lock_guard lock(g_feeder_mutex);
  if (g_local_feeder) return;
  const char* path = std::getenv("KAVU_SIM_BENCH");
  if (!path || !*path) return;
  kavu::simrtl::BenchClient& client = Remote();
  bool fresh = false;
  if (!client.Connected() && !Device::Instance().IsOpen()) fresh = client.Connect(path);
  // Attached again after a new connection: the stream's clock starts over on the new bench.
  if (fresh || !g_remote_feeder) Device::Instance().Attach(&client.Source());
  g_remote_feeder = true;
}

// A call that changed a setting: fails when the remote bench went away meanwhile.
int Checked(int rc) {
  std::lock_guard lock(g_feeder_mutex);
  if (rc == 0 && g_remote_feeder && !Remote().Connected()) return -1;
  return rc;
}

void CopyString(char* dst, const char* src) {
  if (!dst) return;
  std::strncpy(dst, src, 255);
  dst[255] = 0;
}

template <class F>
auto Guard(int fail, F&& f) noexcept -> decltype(f()) {
  try {
    return f();
  } catch (...) {
    return static_cast<decltype(f())>(fail);
  }
}

}  // namespace

#define KAVU_EXPORT extern "C" __attribute__((visibility("default")))

KAVU_EXPORT int kavu_simrtl_attach(const KavuSimSource* source) {
  return Guard(-1, [&] {
    std::lock_guard lock(g_feeder_mutex);
    const int rc = Device::Instance().Attach(source);
    if (rc == 0) {
      g_local_feeder = source != nullptr;
      if (g_remote_feeder) Remote().Disconnect();
      g_remote_feeder = false;
    }
    return rc;
  });
}

KAVU_EXPORT uint32_t rtlsdr_get_device_count(void) {
  return Guard(0, [] {
    EnsureFeeder();
    return Device::Instance().Fault() == kKavuSimUnplugged ? 0u : 1u;
  });
}

KAVU_EXPORT const char* rtlsdr_get_device_name(uint32_t index) {
  try {
    EnsureFeeder();
    return index == 0 && Device::Instance().Fault() != kKavuSimUnplugged ? kName : "";
  } catch (...) {
    return "";
  }
}

KAVU_EXPORT int rtlsdr_get_device_usb_strings(uint32_t index, char* m, char* p, char* s) {
  if (index != 0) return -1;
  CopyString(m, "Kavu");
  CopyString(p, kName);
  CopyString(s, "00000001");
  return 0;
}

KAVU_EXPORT int rtlsdr_get_index_by_serial(const char* serial) {
  if (!serial) return -1;
  return std::strcmp(serial, "00000001") == 0 ? 0 : -3;
}

KAVU_EXPORT int rtlsdr_open(rtlsdr_dev_t** dev, uint32_t index) {
  return Guard(-1, [&] {
    if (!dev) return -1;
    *dev = nullptr;
    if (index != 0) return -1;
    EnsureFeeder();
    const int rc = Device::Instance().Open();
    if (rc == 0) *dev = &g_handle;
    return rc;
  });
}

KAVU_EXPORT int rtlsdr_close(rtlsdr_dev_t* dev) {
  return Guard(-1, [&] { return dev == &g_handle ? Device::Instance().Close() : -1; });
}

KAVU_EXPORT int rtlsdr_set_xtal_freq(rtlsdr_dev_t* dev, uint32_t, uint32_t) {
  return Valid(dev) ? 0 : -1;
}

KAVU_EXPORT int rtlsdr_get_xtal_freq(rtlsdr_dev_t* dev, uint32_t* rtl, uint32_t* tuner) {
  if (!Valid(dev)) return -1;
  if (rtl) *rtl = 28'800'000;
  if (tuner) *tuner = 28'800'000;
  return 0;
}

KAVU_EXPORT int rtlsdr_get_usb_strings(rtlsdr_dev_t* dev, char* m, char* p, char* s) {
  if (!Valid(dev)) return -1;
  return rtlsdr_get_device_usb_strings(0, m, p, s);
}

KAVU_EXPORT int rtlsdr_write_eeprom(rtlsdr_dev_t*, uint8_t*, uint8_t, uint16_t) { return -3; }
KAVU_EXPORT int rtlsdr_read_eeprom(rtlsdr_dev_t*, uint8_t*, uint8_t, uint16_t) { return -3; }

KAVU_EXPORT int rtlsdr_set_center_freq(rtlsdr_dev_t* dev, uint32_t freq) {
  return Guard(-1, [&] { return Valid(dev) ? Checked(Device::Instance().SetCenterFreq(freq)) : -1; });
}

KAVU_EXPORT uint32_t rtlsdr_get_center_freq(rtlsdr_dev_t* dev) {
  return Valid(dev) ? Device::Instance().CenterFreq() : 0;
}

KAVU_EXPORT int rtlsdr_set_freq_correction(rtlsdr_dev_t* dev, int) { return Valid(dev) ? 0 : -1; }
KAVU_EXPORT int rtlsdr_get_freq_correction(rtlsdr_dev_t* dev) { return Valid(dev) ? 0 : 0; }
// 5 = the R820T tuner.
KAVU_EXPORT int rtlsdr_get_tuner_type(rtlsdr_dev_t* dev) { return Valid(dev) ? 5 : 0; }

KAVU_EXPORT int rtlsdr_get_tuner_gains(rtlsdr_dev_t* dev, int* gains) {
  if (!Valid(dev)) return -1;
  constexpr int n = static_cast<int>(sizeof kGains / sizeof kGains[0]);
  if (gains) std::memcpy(gains, kGains, sizeof kGains);
  return n;
}

KAVU_EXPORT int rtlsdr_set_tuner_gain(rtlsdr_dev_t* dev, int gain) {
  return Guard(-1, [&] { return Valid(dev) ? Checked(Device::Instance().SetGain(gain)) : -1; });
}

KAVU_EXPORT int rtlsdr_get_tuner_gain(rtlsdr_dev_t* dev) {
  return Valid(dev) ? Device::Instance().Gain() : 0;
}

KAVU_EXPORT int rtlsdr_set_tuner_if_gain(rtlsdr_dev_t* dev, int, int) { return Valid(dev) ? 0 : -1; }
KAVU_EXPORT int rtlsdr_set_tuner_gain_mode(rtlsdr_dev_t* dev, int) { return Valid(dev) ? 0 : -1; }

KAVU_EXPORT int rtlsdr_set_sample_rate(rtlsdr_dev_t* dev, uint32_t rate) {
  return Guard(-1, [&] { return Valid(dev) ? Checked(Device::Instance().SetSampleRate(rate)) : -1; });
}

KAVU_EXPORT uint32_t rtlsdr_get_sample_rate(rtlsdr_dev_t* dev) {
  return Valid(dev) ? Device::Instance().SampleRate() : 0;
}

KAVU_EXPORT int rtlsdr_set_agc_mode(rtlsdr_dev_t* dev, int) { return Valid(dev) ? 0 : -1; }

KAVU_EXPORT int rtlsdr_set_direct_sampling(rtlsdr_dev_t* dev, int on) {
  return Guard(-1, [&] { return Valid(dev) ? Checked(Device::Instance().SetDirect(on)) : -1; });
}

KAVU_EXPORT int rtlsdr_get_direct_sampling(rtlsdr_dev_t* dev) {
  return Valid(dev) ? Device::Instance().Direct() : -1;
}

KAVU_EXPORT int rtlsdr_set_offset_tuning(rtlsdr_dev_t* dev, int) { return Valid(dev) ? 0 : -1; }
KAVU_EXPORT int rtlsdr_get_offset_tuning(rtlsdr_dev_t* dev) { return Valid(dev) ? 0 : -1; }
KAVU_EXPORT int rtlsdr_reset_buffer(rtlsdr_dev_t* dev) { return Valid(dev) ? 0 : -1; }

KAVU_EXPORT int rtlsdr_read_sync(rtlsdr_dev_t* dev, void* buf, int len, int* n_read) {
  return Guard(-1, [&] { return Valid(dev) ? Device::Instance().ReadSync(buf, len, n_read) : -1; });
}

KAVU_EXPORT int rtlsdr_read_async(rtlsdr_dev_t* dev, rtlsdr_read_async_cb_t cb, void* ctx,
                                  uint32_t buf_num, uint32_t buf_len) {
  (void)buf_num;
  return Guard(-1, [&] { return Valid(dev) ? Device::Instance().ReadAsync(cb, ctx, buf_len) : -1; });
}

KAVU_EXPORT int rtlsdr_wait_async(rtlsdr_dev_t* dev, rtlsdr_read_async_cb_t cb, void* ctx) {
  return rtlsdr_read_async(dev, cb, ctx, 0, 0);
}

KAVU_EXPORT int rtlsdr_cancel_async(rtlsdr_dev_t* dev) {
  return Guard(-1, [&] { return dev == &g_handle ? Device::Instance().CancelAsync() : -1; });
}

// Every export has exactly the signature the program looks up.
static_assert(std::is_same_v<decltype(&rtlsdr_open), rtlsdr_open_fn>);
static_assert(std::is_same_v<decltype(&rtlsdr_read_async), rtlsdr_read_async_fn>);
static_assert(std::is_same_v<decltype(&rtlsdr_get_tuner_gains), rtlsdr_get_tuner_gains_fn>);
static_assert(std::is_same_v<decltype(&rtlsdr_set_center_freq), rtlsdr_set_center_freq_fn>);
static_assert(std::is_same_v<decltype(&rtlsdr_get_usb_strings), rtlsdr_get_usb_strings_fn>);
static_assert(std::is_same_v<decltype(&rtlsdr_get_device_name), rtlsdr_get_device_name_fn>);
static_assert(std::is_same_v<decltype(&kavu_simrtl_attach), kavu_sim_attach_fn>);

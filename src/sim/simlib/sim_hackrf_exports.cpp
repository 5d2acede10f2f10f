// The exported C functions of the simulated HackRF library: the same names and signatures as
// the real library (declared in receivers/hackrf_api.h), two boards fed by the bench. Every
// function catches everything: nothing is thrown across the C boundary.
//
// Variants: built with KAVU_SIMHACKRF_WITHOUT_<NAME> the library lacks that export, so the
// program's handling of an older or broken library can be tried (the build puts each variant
// in its own folder beside the full library).
//
// Feeders: a bench in this process attaches itself (kavu_simhackrf_attach). Without one, and
// with $KAVU_SIM_BENCH naming a bench's socket, the boards are fed by that bench over the
// socket (simlib/bench_client.h), connected at listing and opening while no board is open.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <type_traits>

#include "sim/simlib/bench_client.h"
#include "sim/simlib/sim_hackrf_device.h"

using kavu::simhackrf::Boards;
using kavu::simhackrf::kBoards;

// The handles given out by the open functions: the board number is all they carry.
struct hackrf_device {
  int board;
};

namespace {

hackrf_device g_handles[kBoards] = {{0}, {1}};
std::mutex g_feeder_mutex;
bool g_local_feeder = false;
bool g_remote_feeder = false;
int g_inits = 0;  // hackrf_init calls not yet matched by a successful hackrf_exit

int BoardOf(hackrf_device* dev) {
  for (int b = 0; b < kBoards; ++b) {
    if (dev == &g_handles[b] && Boards::Instance().IsOpen(b)) return b;
  }
  return -1;
}

kavu::simrtl::BenchClient& Remote() {
  Boards::Instance();  // constructed first, so destroyed after the client
  static kavu::simrtl::BenchClient client;
  return client;
}

bool AnyOpen() {
  for (int b = 0; b < kBoards; ++b) {
    if (Boards::Instance().IsOpen(b)) return true;
  }
  return false;
}

void EnsureFeeder() {
  std::lock_guard lock(g_feeder_mutex);
  if (g_local_feeder) return;
  const char* path = std::getenv("KAVU_SIM_BENCH");
  if (!path || !*path) return;
  kavu::simrtl::BenchClient& client = Remote();
  bool fresh = false;
  if (!client.Connected() && !AnyOpen()) fresh = client.Connect(path);
  if (fresh || !g_remote_feeder) Boards::Instance().Attach(&client.Source());
  g_remote_feeder = true;
}

template <class F>
auto Guard(int fail, F&& f) noexcept -> decltype(f()) {
  try {
    return f();
  } catch (...) {
    return static_cast<decltype(f())>(fail);
  }
}

// A setting on an open board, logged by name when scripted to fail.
template <class F>
int OnBoard(hackrf_device* dev, F&& f) {
  return Guard(kHackRfErrorOther, [&] {
    const int b = BoardOf(dev);
    return b < 0 ? kHackRfErrorInvalidParam : f(b);
  });
}

[[maybe_unused]] int OpenBoard(int board, hackrf_device** device) {
  if (!device) return kHackRfErrorInvalidParam;
  *device = nullptr;
  if (g_inits <= 0) return kHackRfErrorLibusb;
  EnsureFeeder();
  const int rc = Boards::Instance().Open(board);
  if (rc == kHackRfSuccess) *device = &g_handles[board];
  return rc;
}

}  // namespace

#define KAVU_EXPORT extern "C" __attribute__((visibility("default")))

KAVU_EXPORT int kavu_simhackrf_attach(const KavuSimSource* source) {
  return Guard(-1, [&] {
    std::lock_guard lock(g_feeder_mutex);
    const int rc = Boards::Instance().Attach(source);
    if (rc == 0) {
      g_local_feeder = source != nullptr;
      if (g_remote_feeder) Remote().Disconnect();
      g_remote_feeder = false;
    }
    return rc;
  });
}

// Scripting for tests and the bench: "valid_length" (bytes of each transfer that hold new
// samples, 0 whole), "is_streaming" (0 truthful, 1 never, 2 + n false for n calls first),
// "fail:NAME" (the error code function hackrf_NAME returns; 0 clears), "reset". 0 or −1.
KAVU_EXPORT int kavu_simhackrf_script(const char* key, long long value) {
  return Guard(-1, [&] { return key && Boards::Instance().Script(key, value) ? 0 : -1; });
}

#ifndef KAVU_SIMHACKRF_WITHOUT_INIT
KAVU_EXPORT int hackrf_init(void) {
  return Guard(kHackRfErrorOther, [] {
    if (const int e = Boards::Instance().ScriptedError("init")) return e;
    ++g_inits;
    Boards::Instance().LogLine("init");
    return kHackRfSuccess;
  });
}
#endif

KAVU_EXPORT int hackrf_exit(void) {
  return Guard(kHackRfErrorOther, [] {
    // The real library refuses while a device is still open.
    if (AnyOpen()) {
      Boards::Instance().LogLine("exit refused: a board is open");
      return -2000;
    }
    if (g_inits > 0) --g_inits;
    Boards::Instance().LogLine("exit");
    return kHackRfSuccess;
  });
}

KAVU_EXPORT const char* hackrf_library_version(void) { return "kavu-sim"; }
KAVU_EXPORT const char* hackrf_library_release(void) { return "kavu-sim-1"; }

#ifndef KAVU_SIMHACKRF_WITHOUT_DEVICE_LIST
KAVU_EXPORT hackrf_device_list_t* hackrf_device_list(void) {
  try {
    if (g_inits <= 0) return nullptr;
    EnsureFeeder();
    auto* list = new hackrf_device_list_t{};
    const int n = Boards::Instance().Fault() == kKavuSimUnplugged ? 0 : kBoards;
    list->serial_numbers = new char*[kBoards]();
    list->usb_board_ids = new int[kBoards]();
    list->usb_device_index = new int[kBoards]();
    list->usb_devices = new void*[kBoards]();
    for (int b = 0; b < n; ++b) {
      // The second board's serial could not be read: the list holds a null there.
      list->serial_numbers[b] = b == 0 ? strdup(kavu::simhackrf::kSerial0) : nullptr;
      list->usb_board_ids[b] = 0x6089;  // the HackRF One's USB product id
      list->usb_device_index[b] = b;
    }
    list->devicecount = n;
    list->usb_devicecount = n;
    return list;
  } catch (...) {
    return nullptr;
  }
}
#endif

KAVU_EXPORT void hackrf_device_list_free(hackrf_device_list_t* list) {
  if (!list) return;
  for (int b = 0; b < kBoards; ++b) std::free(list->serial_numbers[b]);
  delete[] list->serial_numbers;
  delete[] list->usb_board_ids;
  delete[] list->usb_device_index;
  delete[] list->usb_devices;
  delete list;
}

#ifndef KAVU_SIMHACKRF_WITHOUT_OPEN
// The first board that is not open.
KAVU_EXPORT int hackrf_open(hackrf_device** device) {
  return Guard(kHackRfErrorOther, [&] {
    for (int b = 0; b < kBoards; ++b) {
      if (!Boards::Instance().IsOpen(b)) return OpenBoard(b, device);
    }
    if (device) *device = nullptr;
    return kHackRfErrorBusy;
  });
}
#endif

#ifndef KAVU_SIMHACKRF_WITHOUT_OPEN_BY_SERIAL
// A null or empty serial opens the first board, as the real library does; the second board
// has no serial to ask for, so its serial opens nothing.
KAVU_EXPORT int hackrf_open_by_serial(const char* serial, hackrf_device** device) {
  return Guard(kHackRfErrorOther, [&] {
    if (!serial || !*serial) return OpenBoard(0, device);
    if (std::strcmp(serial, kavu::simhackrf::kSerial0) == 0) return OpenBoard(0, device);
    if (device) *device = nullptr;
    return kHackRfErrorNotFound;
  });
}
#endif

KAVU_EXPORT int hackrf_close(hackrf_device* dev) {
  return Guard(kHackRfErrorOther, [&] {
    for (int b = 0; b < kBoards; ++b) {
      if (dev == &g_handles[b]) return Boards::Instance().Close(b);
    }
    Boards::Instance().LogLine("close of no board");
    return kHackRfErrorInvalidParam;
  });
}

#ifndef KAVU_SIMHACKRF_WITHOUT_START_RX
KAVU_EXPORT int hackrf_start_rx(hackrf_device* dev, hackrf_sample_block_cb_fn cb, void* ctx) {
  return OnBoard(dev, [&](int b) { return Boards::Instance().StartRx(b, dev, cb, ctx); });
}
#endif

KAVU_EXPORT int hackrf_stop_rx(hackrf_device* dev) {
  return OnBoard(dev, [&](int b) { return Boards::Instance().StopRx(b); });
}

KAVU_EXPORT int hackrf_is_streaming(hackrf_device* dev) {
  return OnBoard(dev, [&](int b) { return Boards::Instance().IsStreaming(b); });
}

KAVU_EXPORT int hackrf_board_id_read(hackrf_device* dev, uint8_t* value) {
  return OnBoard(dev, [&](int) {
    if (value) *value = 2;  // HackRF One
    return kHackRfSuccess;
  });
}

KAVU_EXPORT int hackrf_version_string_read(hackrf_device* dev, char* version, uint8_t length) {
  return OnBoard(dev, [&](int) {
    if (version && length > 0) {
      std::strncpy(version, "kavu-sim", length);
      version[length - 1] = 0;
    }
    return kHackRfSuccess;
  });
}

KAVU_EXPORT int hackrf_usb_api_version_read(hackrf_device* dev, uint16_t* version) {
  return OnBoard(dev, [&](int) {
    if (version) *version = 0x0107;
    return kHackRfSuccess;
  });
}

KAVU_EXPORT int hackrf_set_freq(hackrf_device* dev, uint64_t freq_hz) {
  return OnBoard(dev, [&](int b) { return Boards::Instance().SetFreq(b, freq_hz); });
}

#ifndef KAVU_SIMHACKRF_WITHOUT_SET_SAMPLE_RATE
KAVU_EXPORT int hackrf_set_sample_rate(hackrf_device* dev, double freq_hz) {
  return OnBoard(dev, [&](int b) { return Boards::Instance().SetSampleRate(b, freq_hz); });
}
#endif

KAVU_EXPORT int hackrf_set_amp_enable(hackrf_device* dev, uint8_t value) {
  return OnBoard(dev, [&](int b) { return Boards::Instance().SetGain(b, -1, -1, value); });
}

KAVU_EXPORT int hackrf_set_lna_gain(hackrf_device* dev, uint32_t value) {
  return OnBoard(dev, [&](int b) {
    return Boards::Instance().SetGain(b, static_cast<int>(std::min<uint32_t>(value, 1000)), -1, -1);
  });
}

KAVU_EXPORT int hackrf_set_vga_gain(hackrf_device* dev, uint32_t value) {
  return OnBoard(dev, [&](int b) {
    return Boards::Instance().SetGain(b, -1, static_cast<int>(std::min<uint32_t>(value, 1000)), -1);
  });
}

KAVU_EXPORT int hackrf_set_antenna_enable(hackrf_device* dev, uint8_t) {
  return OnBoard(dev, [](int) { return kHackRfSuccess; });
}

KAVU_EXPORT const char* hackrf_error_name(int errcode) {
  switch (errcode) {
    case kHackRfSuccess: return "success";
    case kHackRfTrue: return "true";
    case kHackRfErrorInvalidParam: return "invalid parameter(s)";
    case kHackRfErrorNotFound: return "HackRF not found";
    case kHackRfErrorBusy: return "HackRF busy";
    case kHackRfErrorLibusb: return "USB error";
    case kHackRfErrorStreamingStopped: return "streaming stopped";
    case -2000: return "one or more HackRFs still in use";
    default: return "unspecified error";
  }
}

KAVU_EXPORT const char* hackrf_board_id_name(int board_id) { return board_id == 2 ? "HackRF One" : "unknown"; }
KAVU_EXPORT const char* hackrf_usb_board_id_name(int id) { return id == 0x6089 ? "HackRF One" : "unknown"; }
KAVU_EXPORT const char* hackrf_filter_path_name(int path) {
  return path == 0 ? "mixer bypass" : path == 1 ? "low pass filter" : path == 2 ? "high pass filter" : "invalid";
}

KAVU_EXPORT int hackrf_set_clkout_enable(hackrf_device* dev, uint8_t value) {
  return OnBoard(dev, [&](int) {
    if (const int e = Boards::Instance().ScriptedError("set_clkout_enable")) return e;
    Boards::Instance().LogLine("clkout " + std::to_string(value ? 1 : 0));
    return kHackRfSuccess;
  });
}

KAVU_EXPORT int hackrf_get_clkin_status(hackrf_device* dev, uint8_t* status) {
  return OnBoard(dev, [&](int) {
    if (status) *status = 0;
    return kHackRfSuccess;
  });
}

KAVU_EXPORT size_t hackrf_get_transfer_buffer_size(hackrf_device*) { return kavu::simhackrf::kTransferBytes; }
KAVU_EXPORT uint32_t hackrf_get_transfer_queue_depth(hackrf_device*) { return kavu::simhackrf::kQueueDepth; }

KAVU_EXPORT int hackrf_board_rev_read(hackrf_device* dev, uint8_t* value) {
  return OnBoard(dev, [&](int) {
    if (value) *value = 0;
    return kHackRfSuccess;
  });
}

KAVU_EXPORT const char* hackrf_board_rev_name(int rev) { return rev == 0 ? "old" : "unknown"; }

namespace {
// The baseband filter's widths, Hz.
constexpr uint32_t kFilterWidths[] = {1'750'000,  2'500'000,  3'500'000,  5'000'000,  5'500'000,  6'000'000,
                                      7'000'000,  8'000'000,  9'000'000,  10'000'000, 12'000'000, 14'000'000,
                                      15'000'000, 20'000'000, 24'000'000, 28'000'000};
}  // namespace

// The largest width below `bw` (the smallest when none is).
KAVU_EXPORT uint32_t hackrf_compute_baseband_filter_bw_round_down_lt(uint32_t bw) {
  uint32_t best = kFilterWidths[0];
  for (uint32_t w : kFilterWidths) {
    if (w < bw) best = w;
  }
  return best;
}

// The largest width not above `bw` (the smallest when none is).
KAVU_EXPORT uint32_t hackrf_compute_baseband_filter_bw(uint32_t bw) {
  uint32_t best = kFilterWidths[0];
  for (uint32_t w : kFilterWidths) {
    if (w <= bw) best = w;
  }
  return best;
}

KAVU_EXPORT int hackrf_set_baseband_filter_bandwidth(hackrf_device* dev, uint32_t bw) {
  return OnBoard(dev, [&](int) {
    Boards::Instance().LogLine("filter " + std::to_string(bw));
    return kHackRfSuccess;
  });
}

// Every export has exactly the signature the program looks up.
static_assert(std::is_same_v<decltype(&hackrf_exit), hackrf_exit_fn>);
static_assert(std::is_same_v<decltype(&hackrf_close), hackrf_close_fn>);
static_assert(std::is_same_v<decltype(&hackrf_set_freq), hackrf_set_freq_fn>);
static_assert(std::is_same_v<decltype(&hackrf_get_transfer_buffer_size), hackrf_get_transfer_buffer_size_fn>);
static_assert(std::is_same_v<decltype(&hackrf_compute_baseband_filter_bw), hackrf_compute_baseband_filter_bw_fn>);
static_assert(std::is_same_v<decltype(&hackrf_error_name), hackrf_error_name_fn>);
static_assert(std::is_same_v<decltype(&hackrf_device_list_free), hackrf_device_list_free_fn>);
static_assert(std::is_same_v<decltype(&kavu_simhackrf_attach), kavu_sim_attach_fn>);

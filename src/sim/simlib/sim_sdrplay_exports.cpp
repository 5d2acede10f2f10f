// The exported C functions of the simulated SDRplay service library: the 17 names and the
// declarations of receivers/sdrplay_api.h, seven devices fed by the bench. Every function
// catches everything: nothing is thrown across the C boundary. Every function can be scripted
// to fail with a code (kavu_simsdrplay_script "fail:NAME", NAME without "sdrplay_api_"); the
// failure is then also what sdrplay_api_GetLastError describes.
//
// Variants: built with KAVU_SIMSDRPLAY_WITHOUT_HELPERS the library lacks GetErrorString and
// GetLastError, with KAVU_SIMSDRPLAY_WITHOUT_GETDEVICES it lacks GetDevices, with
// KAVU_SIMSDRPLAY_WITHOUT_UPDATE it lacks Update (each in a folder of its own).
//
// Feeders: a bench in this process attaches itself (kavu_simsdrplay_attach). Without one, and
// with $KAVU_SIM_BENCH naming a bench's socket, the devices are fed by that bench over the
// socket (simlib/bench_client.h), connected at listing while no device streams.
#include <cstdlib>
#include <mutex>
#include <string>

#include "sim/simlib/bench_client.h"
#include "sim/simlib/sim_sdrplay_device.h"

using kavu::simsdrplay::Service;

namespace {

std::mutex g_feeder_mutex;
bool g_local_feeder = false;
bool g_remote_feeder = false;

kavu::simrtl::BenchClient& Remote() {
  Service::Instance();  // constructed first, so destroyed after the client
  static kavu::simrtl::BenchClient client;
  return client;
}

void EnsureFeeder() {
  std::lock_guard lock(g_feeder_mutex);
  if (g_local_feeder) return;
  const char* path = std::getenv("KAVU_SIM_BENCH");
  if (!path || !*path) return;
  kavu::simrtl::BenchClient& client = Remote();
  bool fresh = false;
  if (!client.Connected() && Service::Instance().Query("streaming") == 0) fresh = client.Connect(path);
  if (fresh || !g_remote_feeder) Service::Instance().Attach(&client.Source());
  g_remote_feeder = true;
}

// Runs f unless `name` is scripted to fail; never lets an exception out.
template <class F>
int Call(const char* name, F&& f) noexcept {
  try {
    if (const int e = Service::Instance().ScriptedError(name)) {
      Service::Instance().SetLastError(name, e);
      Service::Instance().LogLine(std::string("fail ") + name + " " + std::to_string(e));
      return e;
    }
    const int rc = f();
    if (rc != kSdrPlaySuccess) Service::Instance().SetLastError(name, rc);
    return rc;
  } catch (...) {
    return kSdrPlayFail;
  }
}

}  // namespace

#define KAVU_EXPORT extern "C" __attribute__((visibility("default")))

KAVU_EXPORT int kavu_simsdrplay_attach(const KavuSimSource* source) {
  try {
    std::lock_guard lock(g_feeder_mutex);
    const int rc = Service::Instance().Attach(source);
    if (rc == 0) {
      g_local_feeder = source != nullptr;
      if (g_remote_feeder) Remote().Disconnect();
      g_remote_feeder = false;
    }
    return rc;
  } catch (...) {
    return -1;
  }
}

// Scripting and queries for tests and the bench (sim_sdrplay_device.h): 0 or −1.
KAVU_EXPORT int kavu_simsdrplay_script(const char* key, long long value) {
  try {
    return key && Service::Instance().Script(key, value) ? 0 : -1;
  } catch (...) {
    return -1;
  }
}

KAVU_EXPORT long long kavu_simsdrplay_query(const char* key) {
  try {
    return key ? Service::Instance().Query(key) : -1;
  } catch (...) {
    return -1;
  }
}

KAVU_EXPORT int sdrplay_api_Open(void) {
  return Call("Open", [] {
    EnsureFeeder();
    return Service::Instance().Open();
  });
}

KAVU_EXPORT int sdrplay_api_Close(void) { return Call("Close", [] { return kSdrPlaySuccess; }); }

KAVU_EXPORT int sdrplay_api_ApiVersion(float* version) {
  return Call("ApiVersion", [&] {
    if (!version) return kSdrPlayInvalidParam;
    *version = kavu::simsdrplay::kApiVersion;
    return kSdrPlaySuccess;
  });
}

KAVU_EXPORT int sdrplay_api_LockDeviceApi(void) {
  return Call("LockDeviceApi", [] { return Service::Instance().Lock(); });
}

KAVU_EXPORT int sdrplay_api_UnlockDeviceApi(void) {
  return Call("UnlockDeviceApi", [] { return Service::Instance().Unlock(); });
}

#ifndef KAVU_SIMSDRPLAY_WITHOUT_GETDEVICES
KAVU_EXPORT int sdrplay_api_GetDevices(sdrplay_api_DeviceT* devices, unsigned int* count, unsigned int max) {
  return Call("GetDevices", [&] {
    if (count) *count = 0;
    return Service::Instance().GetDevices(devices, count, max);
  });
}
#endif

KAVU_EXPORT int sdrplay_api_SelectDevice(sdrplay_api_DeviceT* device) {
  return Call("SelectDevice", [&] { return Service::Instance().Select(device); });
}

KAVU_EXPORT int sdrplay_api_ReleaseDevice(sdrplay_api_DeviceT* device) {
  return Call("ReleaseDevice", [&] { return Service::Instance().Release(device); });
}

#ifndef KAVU_SIMSDRPLAY_WITHOUT_HELPERS
KAVU_EXPORT const char* sdrplay_api_GetErrorString(int err) {
  switch (err) {
    case kSdrPlaySuccess: return "sdrplay_api_Success";
    case kSdrPlayFail: return "sdrplay_api_Fail";
    case kSdrPlayInvalidParam: return "sdrplay_api_InvalidParam";
    case kSdrPlayOutOfRange: return "sdrplay_api_OutOfRange";
    case kSdrPlayNotInitialised: return "sdrplay_api_NotInitialised";
    case kSdrPlayNotEnabled: return "sdrplay_api_NotEnabled";
    case kSdrPlayServiceNotResponding: return "sdrplay_api_ServiceNotResponding";
    case kSdrPlayStopPending: return "sdrplay_api_StopPending";
    case kSdrPlayAlreadyInitialised: return "sdrplay_api_AlreadyInitialised";
    case kSdrPlayDeviceRemovedError: return "sdrplay_api_DeviceRemoved";
    default: return nullptr;
  }
}

KAVU_EXPORT sdrplay_api_ErrorInfoT* sdrplay_api_GetLastError(sdrplay_api_DeviceT* /*device*/) {
  try {
    return Service::Instance().LastError();
  } catch (...) {
    return nullptr;
  }
}
#endif

KAVU_EXPORT int sdrplay_api_DebugEnable(void* /*dev*/, int /*enable*/) {
  return Call("DebugEnable", [] { return kSdrPlaySuccess; });
}

KAVU_EXPORT int sdrplay_api_GetDeviceParams(void* dev, sdrplay_api_DeviceParamsT** params) {
  return Call("GetDeviceParams", [&] { return Service::Instance().GetParams(dev, params); });
}

KAVU_EXPORT int sdrplay_api_Init(void* dev, sdrplay_api_CallbackFnsT* callbacks, void* context) {
  return Call("Init", [&] { return Service::Instance().Init(dev, callbacks, context); });
}

KAVU_EXPORT int sdrplay_api_Uninit(void* dev) {
  return Call("Uninit", [&] { return Service::Instance().Uninit(dev); });
}

#ifndef KAVU_SIMSDRPLAY_WITHOUT_UPDATE
KAVU_EXPORT int sdrplay_api_Update(void* dev, int32_t tuner, uint32_t reason, uint32_t ext) {
  return Call("Update", [&] { return Service::Instance().Update(dev, tuner, reason, ext); });
}
#endif

KAVU_EXPORT int sdrplay_api_SwapRspDuoActiveTuner(void* dev, int32_t* tuner, int32_t am_port) {
  return Call("SwapRspDuoActiveTuner", [&] { return Service::Instance().Swap(dev, tuner, am_port); });
}

KAVU_EXPORT int sdrplay_api_SwapRspDuoDualTunerModeSampleRate(void) {
  return Call("SwapRspDuoDualTunerModeSampleRate", [] { return kSdrPlayNotEnabled; });
}

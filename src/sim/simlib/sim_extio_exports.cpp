// The exported C functions of the simulated ExtIO plug-in: the entry points of
// receivers/extio_plugin_api.h plus the feeder's attach function and the script functions
// (kavu_simextio_*) tests and the bench use. Every function catches everything: nothing is thrown across the C boundary.
//
// KAVU_SIMEXTIO_OMIT (a bit mask, 0 for the full plug-in) leaves entry points out, so that
// variants without them can be built from this file:
//   1 SetCallback, 2 SetHWLO_dbl, 4 SetHWLO64, 8 SetHWLO, 16 GetHWSR, 32 ShowGUI / HideGUI /
//   SwitchGUI, 64 GetAttenuators / GetActualAttIdx / SetAttenuator, 128 GetMode / ModeChanged,
//   256 GetStatus / GetHWLO / RawDataReady, 512 StopHW.
#include <cstdio>
#include <cstring>
#include <string>

#include "sim/simlib/sim_extio_plugin.h"

#ifndef KAVU_SIMEXTIO_OMIT
#define KAVU_SIMEXTIO_OMIT 0
#endif

using kavu::simextio::Plugin;

namespace {

template <class R, class F>
R Guard(R fail, F&& f) noexcept {
  try {
    return f();
  } catch (...) {
    return fail;
  }
}

template <class F>
void GuardVoid(F&& f) noexcept {
  try {
    f();
  } catch (...) {
  }
}

}  // namespace

#define KAVU_EXPORT extern "C" __attribute__((visibility("default")))

// The feeder (sim/sim_feeder_abi.h): a bench in this process attaches itself; null detaches.
KAVU_EXPORT int kavu_simextio_attach(const KavuSimSource* source) {
  return Guard(-1, [&] { return Plugin::Instance().Attach(source); });
}

// Script functions.

// Sets a script value by name (sim_extio_plugin.h); 0, or −1 for an unknown name.
KAVU_EXPORT int kavu_simextio_set(const char* name, double value) {
  return Guard(-1, [&] { return name && Plugin::Instance().Set(name, value) ? 0 : -1; });
}

// Back to the defaults, with the call record emptied.
KAVU_EXPORT void kavu_simextio_reset(void) {
  GuardVoid([] { Plugin::Instance().Reset(); });
}

// One test-pattern block of `pairs` through the callback now; its result, −1 without a callback.
KAVU_EXPORT int kavu_simextio_block(uint32_t pairs) {
  return Guard(-1, [&] { return Plugin::Instance().PushPatternBlock(pairs); });
}

// A status notice through the callback now; its result, −1 without a callback.
KAVU_EXPORT int kavu_simextio_notice(int status) {
  return Guard(-1, [&] { return Plugin::Instance().Notice(status); });
}

// The entry points called so far, one per line ("StartHW 2500"); copies at most size − 1 bytes
// and a zero into buf, returns the full length.
KAVU_EXPORT int kavu_simextio_calls(char* buf, int size) {
  return Guard(-1, [&] {
    const std::string calls = Plugin::Instance().Calls();
    if (buf && size > 0) std::snprintf(buf, static_cast<size_t>(size), "%s", calls.c_str());
    return static_cast<int>(calls.size());
  });
}

// Entry points.

KAVU_EXPORT bool InitHW(char* name, char* model, int* type) {
  return Guard(false, [&] { return Plugin::Instance().InitHW(name, model, type); });
}

KAVU_EXPORT bool OpenHW(void) {
  return Guard(false, [] { return Plugin::Instance().OpenHW(); });
}

KAVU_EXPORT void CloseHW(void) {
  GuardVoid([] { Plugin::Instance().CloseHW(); });
}

KAVU_EXPORT int StartHW(int32_t freq) {
  return Guard(-1, [&] { return Plugin::Instance().StartHW(freq); });
}

#if !(KAVU_SIMEXTIO_OMIT & 512)
KAVU_EXPORT void StopHW(void) {
  GuardVoid([] { Plugin::Instance().StopHW(); });
}
#endif

#if !(KAVU_SIMEXTIO_OMIT & 1)
KAVU_EXPORT void SetCallback(KavuExtIOCallback callback) {
  GuardVoid([&] { Plugin::Instance().SetCallback(callback); });
}
#endif

#if !(KAVU_SIMEXTIO_OMIT & 2)
KAVU_EXPORT int SetHWLO_dbl(double freq) {
  return Guard(-1, [&] { return Plugin::Instance().SetLo("SetHWLO_dbl", freq); });
}
#endif

#if !(KAVU_SIMEXTIO_OMIT & 4)
KAVU_EXPORT int64_t SetHWLO64(int64_t freq) {
  return Guard<int64_t>(-1, [&] {
    return static_cast<int64_t>(Plugin::Instance().SetLo("SetHWLO64", static_cast<double>(freq)));
  });
}
#endif

#if !(KAVU_SIMEXTIO_OMIT & 8)
KAVU_EXPORT int SetHWLO(int32_t freq) {
  return Guard(-1, [&] { return Plugin::Instance().SetLo("SetHWLO", freq); });
}
#endif

#if !(KAVU_SIMEXTIO_OMIT & 16)
KAVU_EXPORT int32_t GetHWSR(void) {
  return Guard(0, [] { return Plugin::Instance().GetHWSR(); });
}
#endif

#if !(KAVU_SIMEXTIO_OMIT & 32)
KAVU_EXPORT void ShowGUI(void) {
  GuardVoid([] { Plugin::Instance().Record("ShowGUI"); });
}
KAVU_EXPORT void HideGUI(void) {
  GuardVoid([] { Plugin::Instance().Record("HideGUI"); });
}
KAVU_EXPORT void SwitchGUI(void) {
  GuardVoid([] { Plugin::Instance().Record("SwitchGUI"); });
}
#endif

#if !(KAVU_SIMEXTIO_OMIT & 64)
// Two attenuator steps, 0 and −10 dB, the first in use.
KAVU_EXPORT int GetAttenuators(int idx, float* attenuation) {
  if (idx < 0 || idx > 1 || !attenuation) return 1;
  *attenuation = idx == 0 ? 0.0f : -10.0f;
  return 0;
}
KAVU_EXPORT int GetActualAttIdx(void) { return 0; }
KAVU_EXPORT int SetAttenuator(int idx) { return idx == 0 || idx == 1 ? 0 : 1; }
#endif

#if !(KAVU_SIMEXTIO_OMIT & 128)
KAVU_EXPORT char GetMode(void) { return 'I'; }
KAVU_EXPORT void ModeChanged(char /*mode*/) {}
#endif

#if !(KAVU_SIMEXTIO_OMIT & 256)
KAVU_EXPORT int GetStatus(void) { return 0; }
KAVU_EXPORT int32_t GetHWLO(void) { return 0; }
KAVU_EXPORT void RawDataReady(int32_t /*samprate*/, void* /*l*/, void* /*r*/, int /*n*/) {}
#endif

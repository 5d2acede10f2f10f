#pragma once
// The receiver plug-in interface ("ExtIO" plug-ins) as this program loads it on Linux: a shared
// object named ExtIO*.so (any case) in the plug-in folder ([OExtIOUse] m_PathExtIO, empty = the
// program's folder) exporting these C functions. OExtIOUse resolves all 21 by name; a missing
// one is logged and treated as "not offered".
//
// Writing a plug-in: include this header, define the functions with these exact signatures
// (they are declared extern "C" below, so the definitions get C names), build a shared object
// and put it in the plug-in folder. Required: InitHW, OpenHW, StartHW, StopHW, CloseHW and
// SetCallback; everything else is optional.
//
// Call order used by the program (window thread):
//   InitHW → GetMode → SetCallback → [sample type check] → OpenHW → GetHWSR → GetAttenuators
//   (indexes 0, 1, … until non-zero) → GetActualAttIdx → StartHW(LO) → SetHWLO_dbl /
//   SetHWLO64 / SetHWLO (the first exported, for every retune) → … → StopHW → CloseHW.
// ShowGUI / HideGUI come from the main window's "Настроить sdr..." button.
//
// The callback (KavuExtIOCallback) may be called from any thread of the plug-in, from the end of
// SetCallback until StopHW returns; after StopHW returned the plug-in must not call it again
// (the program unloads the plug-in right after CloseHW). It returns 0.
//   cnt ≥ 0: a block of `cnt` I/Q PAIRS at IQdata, for every sample type (a 16-bit block of
//            cnt 1001 holds 1001 I values and 1001 Q values, interleaved I, Q, I, Q …).
//            `IQoffs` is subtracted from every int16 and float value (the plug-in's DC offset);
//            unsigned bytes are centred by subtracting 128 and IQoffs is not applied to them.
//   cnt < 0: a status notice `status` (IQdata is not read). 100: the plug-in's sample rate
//            changed; the program reads GetHWSR again and re-plans.
//
// Sample types (InitHW's `type`): accepted 3 (int16), 7 (float32, on the int16 scale: full scale
// ±32767), 9 (unsigned 8-bit); refused at open: 4 (sound card), 5 (int24), 6 (int32),
// 10 (signed 8-bit), 11 (int32 with a header), anything else.
//
// Widths are fixed so a plug-in builds the same on every Linux target: frequencies passed to
// StartHW / SetHWLO and sample rates are 32-bit signed integers in Hz (the program never passes
// less than 2500 Hz nor more than 2,147,483,647 Hz to them), SetHWLO64 takes a 64-bit integer
// and SetHWLO_dbl a double, both in Hz. Booleans are C++ `bool` (C `_Bool`).
#include <cstdint>

extern "C" {

// Sample types a plug-in may report through InitHW.
enum KavuExtIOSampleType : int {
  kExtIOTypeInt16 = 3,
  kExtIOTypeSoundCard = 4,
  kExtIOTypeInt24 = 5,
  kExtIOTypeInt32 = 6,
  kExtIOTypeFloat32 = 7,
  kExtIOTypeUChar = 9,
  kExtIOTypeSChar = 10,
  kExtIOTypeInt32Plus = 11,
};

// The status notice a plug-in sends after its sample rate changed.
inline constexpr int kExtIOStatusRateChanged = 100;
// Size of the name and model buffers given to InitHW, bytes (terminating zero included).
inline constexpr int kExtIONameSize = 65536;

typedef int (*KavuExtIOCallback)(int cnt, int status, float IQoffs, void* IQdata);

// Fills name and model (zero-terminated, at most kExtIONameSize bytes each) and the sample type;
// true when the hardware is there.
bool InitHW(char* name, char* model, int* type);
bool OpenHW(void);
void CloseHW(void);
// Starts streaming at LO `freq` Hz; returns the block length in pairs, below 0 on failure.
int StartHW(int32_t freq);
// Stops streaming; no callback runs after it returned.
void StopHW(void);
void SetCallback(KavuExtIOCallback callback);
// Retune to `freq` Hz; 0 = done, anything else = refused.
int SetHWLO(int32_t freq);
int64_t SetHWLO64(int64_t freq);
// Retune to `freq` Hz; the result is not relied on.
int SetHWLO_dbl(double freq);
int GetStatus(void);
int32_t GetHWLO(void);
// The sample rate in Hz, ≤ 0 when unknown.
int32_t GetHWSR(void);
void RawDataReady(int32_t samprate, void* Ldata, void* Rdata, int numsamples);
void ShowGUI(void);
void HideGUI(void);
void SwitchGUI(void);
void ModeChanged(char mode);
char GetMode(void);
// Attenuator `idx` in dB; 0 while the index exists.
int GetAttenuators(int idx, float* attenuation);
int GetActualAttIdx(void);
int SetAttenuator(int idx);

}  // extern "C"

namespace kavu {

// Pointers to the 21 entry points, null where the plug-in does not export one.
struct ExtIOApi {
  decltype(&InitHW) init_hw = nullptr;
  decltype(&OpenHW) open_hw = nullptr;
  decltype(&CloseHW) close_hw = nullptr;
  decltype(&StartHW) start_hw = nullptr;
  decltype(&StopHW) stop_hw = nullptr;
  decltype(&SetCallback) set_callback = nullptr;
  decltype(&SetHWLO) set_hwlo = nullptr;
  decltype(&SetHWLO64) set_hwlo64 = nullptr;
  decltype(&SetHWLO_dbl) set_hwlo_dbl = nullptr;
  decltype(&GetStatus) get_status = nullptr;
  decltype(&GetHWLO) get_hwlo = nullptr;
  decltype(&GetHWSR) get_hwsr = nullptr;
  decltype(&RawDataReady) raw_data_ready = nullptr;
  decltype(&ShowGUI) show_gui = nullptr;
  decltype(&HideGUI) hide_gui = nullptr;
  decltype(&SwitchGUI) switch_gui = nullptr;
  decltype(&ModeChanged) mode_changed = nullptr;
  decltype(&GetMode) get_mode = nullptr;
  decltype(&GetAttenuators) get_attenuators = nullptr;
  decltype(&GetActualAttIdx) get_actual_att_idx = nullptr;
  decltype(&SetAttenuator) set_attenuator = nullptr;
};

}  // namespace kavu

#pragma once
// OExtIOUse: the receiver plug-in back end. Loads one plug-in (ExtIO*.so, the interface of
// receivers/extio_plugin_api.h) at run time, initialises and opens its hardware, registers the
// callback that feeds the SampleRings, starts streaming at the receiver frequency, retunes it and
// unloads it. It has no settings window of its own: ShowGui() shows the plug-in's.
//
// States (State()): 0 nothing → LoadApi (module loaded, still 0) → InitOpen: 1 InitHW done → 2
// OpenHW done → StartHw: 3 streaming. Unload steps back through StopHW (3 → 2) and CloseHW
// (2 → 1), detaches the callback, frees the module and ends at 0.
//
// The callback: plug-ins call one C function with no context, so the blocks and notices of the
// plug-in that InitOpen registered go to that OExtIOUse (one at a time per process). Data blocks
// are converted on the plug-in's thread into the rings given to Attach(); a status notice is
// handed to Attach()'s `notice` function on that thread (which only posts it to the window
// thread, where OnStatusNotice() handles it). A callback that arrives after Unload detached it
// touches nothing; the module is freed only after StopHW returned and no callback is running.
//
// Units: frequencies in Hz, sample rates in samples per second, block lengths in I/Q pairs.
// Everything except the callback runs on the window thread. Failures return false with the
// reason logged (in red) and kept in ErrorText().
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/dyn_library.h"
#include "receivers/extio_plugin_api.h"

namespace kavu {

class SampleRings;

class OExtIOUse {
 public:
  static constexpr const char* kSection = "OExtIOUse";
  static constexpr int32_t kMinLo = 2500;  // the least LO StartHW and SetHWLO are given, Hz

  OExtIOUse();
  ~OExtIOUse();
  OExtIOUse(const OExtIOUse&) = delete;
  OExtIOUse& operator=(const OExtIOUse&) = delete;

  // Where the plug-in's blocks go (`rings`, may be null: blocks are dropped) and what is done
  // with a status notice (`notice(status)`, called on the plug-in's thread; may be empty). Set
  // while no plug-in is open.
  void Attach(SampleRings* rings, std::function<void(int)> notice);

  // Frees a loaded plug-in, clears the object, logs "*** Гружу <path> *** " and loads `path`;
  // each of the 21 entry points it lacks is logged "Не найдена <name>". False (error text
  // "Не удалось загрузить '<path>', Err=<code>, <reason>") when it cannot be loaded.
  bool LoadApi(const std::string& path);
  // InitHW, GetMode, SetCallback, the type check, OpenHW, GetHWSR and the attenuator listing,
  // in this order. False at the first failure (the state tells how far it came).
  bool InitOpen();
  // StartHW at the stored LO frequency as a whole number of Hz, 2500 … 2,147,483,647; then, when
  // the stored frequency differs from it, SetLo(stored). False when StartHW reports below 0.
  bool StartHw();
  // Tunes through SetHWLO_dbl, SetHWLO64 or SetHWLO (the first exported): false for a
  // non-finite frequency or when SetHWLO64 / SetHWLO answer non-zero. SetHWLO gets at least
  // 2500 Hz and at most 2,147,483,647 Hz. A plug-in with none of the three: true, nothing done.
  bool SetLo(double frequency_hz);
  // StopHW (state 3), CloseHW (state 2), detach, free. Safe when nothing is loaded.
  void Unload();

  // A status notice on the window thread: logged; 100 reads GetHWSR again (0 without it) and,
  // when the rate differs from the stored one, stores it and answers true (re-plan then).
  bool OnStatusNotice(int status);
  // "Настроить sdr...": ShowGUI (show) or HideGUI (hide) when exported; false when not.
  bool ShowGui(bool show);

  // The receiver frequency to start at, Hz (given before InitOpen / StartHw).
  void SetLoFrequency(double hz) { lo_frequency_ = hz; }
  double LoFrequency() const { return lo_frequency_; }

  bool IsLoaded() const { return lib_.IsOpen(); }
  int32_t State() const { return state_; }
  const std::string& Path() const { return path_; }
  const std::string& ErrorText() const { return error_; }
  const std::string& Name() const { return name_; }
  const std::string& Model() const { return model_; }
  int32_t SampleType() const { return type_.load(std::memory_order_relaxed); }
  int32_t BlockLength() const { return block_length_; }
  int32_t SamplingF() const { return sampling_f_; }
  const ExtIOApi& Api() const { return api_; }

  // The word a sample type shows in the status text: "int16", "int24", "int32", "float",
  // "uchar", "schar", "int32+" (types 3, 5, 6, 7, 9, 10, 11), else "Type=<n>".
  static std::string TypeWord(int type);
  // Types whose blocks the rings take: 3, 7, 9.
  static bool TypeAccepted(int type);

  // The function registered with SetCallback (the interface's callback).
  static int Callback(int cnt, int status, float iq_offset, void* iq_data);

 private:
  void Clear();
  bool Fail(const std::string& text);
  bool CheckType();
  void ListAttenuators();
  // Converts one data block into the rings (plug-in's thread).
  void Deliver(int cnt, float iq_offset, const void* iq_data);

  DynLibrary lib_;
  ExtIOApi api_;
  std::string path_;
  std::string error_;
  double lo_frequency_ = 0;
  int32_t state_ = 0;
  std::string name_, model_;
  std::atomic<int32_t> type_{0};
  int32_t block_length_ = 0;
  int32_t sampling_f_ = 0;
  SampleRings* rings_ = nullptr;
  std::function<void(int)> notice_;
};

}  // namespace kavu

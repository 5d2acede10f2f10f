#pragma once
// ReceiverSet: the receivers as the main window owns them, without any window. It discovers the
// receivers once, keeps the receiver list, chooses the remembered receiver at start, opens the
// one the user picks (closing every other first), tunes the active one, composes the status
// texts and reports the active receiver's gain and overloads to the measurement.
//
// Only one receiver is active at a time; every back end delivers into the one SampleRings.
// Everything here runs on the window thread except Levels(), which is safe from any thread.
//
// Wiring: the front end implements IReceiverSetHost. SampleRateChanged() is called after a
// receiver was opened and after its rate was set (the settings window's rate list, the command
// line's --rate): the host re-plans the signal chain for that rate there (the rate plan's
// RecomputePlan). ShowSettingsWindow() and ShowInfo() are the places where the desktop program
// opens its windows; the command line ignores them.
//
// Adding a receiver kind: give it a back end with load / list / open / start / tune / stop and
// a status text, add its discovery step in Discover() in the list order, its close in
// CloseAll() and its branch in SelectReceiver() and Tune().
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/dyn_library.h"
#include "receivers/o_extio_use.h"
#include "receivers/o_hackrf_use.h"
#include "receivers/o_rtl_sdr.h"
#include "receivers/o_sdrplay_use.h"
#include "receivers/receiver_entry.h"
#include "receivers/receiver_levels.h"
#include "receivers/sample_rings.h"
#include "shell/liveness.h"

namespace kavu {

enum class StatusColour { kNormal, kError, kNotice };

struct ReceiverStatus {
  std::string caption;  // the main window's title
  std::string text;     // the status line
  StatusColour colour = StatusColour::kNormal;
};

class IReceiverSetHost {
 public:
  virtual ~IReceiverSetHost() = default;
  // The active receiver's sample rate is now `rate_hz` samples per second: re-plan.
  virtual void SampleRateChanged(double /*rate_hz*/) {}
  // Show (creating on first use) and refresh the settings window of a kind.
  virtual void ShowSettingsWindow(ReceiverKind /*kind*/) {}
  virtual void HideSdrPlayWindow() {}
  // The information box captioned "ИНФО".
  virtual void ShowInfo(const std::string& /*text*/) {}
  // The main window's receiver frequency in Hz, and its "failed" mark.
  virtual double ReceiverFrequency() { return 0.0; }
  virtual void ClearFrequencyFailedMark() {}
  // Caption, status line or colour changed (a shown settings window refreshes with it).
  virtual void StatusChanged(const ReceiverStatus& /*status*/) {}
  // Runs `task` on the window thread later; safe from any thread (a plug-in's status notice
  // arrives on the plug-in's thread). A host without a window thread drops it.
  virtual void PostToWindowThread(std::function<void()> /*task*/) {}
  // The receiver now delivers a second input (an SDRplay RSPduo running both tuners) or no
  // longer does: the sample loop reads ring B and scans record it while it is on.
  virtual void SecondInputChanged(bool /*on*/) {}
  // A message box (an SDRplay device that refuses to close).
  virtual void ShowMessage(const std::string& text) { ShowInfo(text); }
};

// What the SDRplay sinks get as their context: the rings and the back end (for the overload
// acknowledgement, sent from the API's thread).
struct SdrPlaySinkContext {
  SampleRings* rings = nullptr;
  OSdrPlayUse* use = nullptr;
};

// The SDRplay sinks (the API's callback signatures), on the API's threads; context is a
// SdrPlaySinkContext. Single tuner: one block into ring A. Dual tuner: tuner A's block is
// staged, tuner B's then writes both rings. Events: overload counts per tuner and the
// acknowledgement on the event's tuner; device removal and mode changes logged in yellow.
extern "C" void StreamACbFnSingle(short* xi, short* xq, sdrplay_api_StreamCbParamsT* params, unsigned int numSamples,
                                  unsigned int reset, void* cbContext);
extern "C" void StreamACbFn(short* xi, short* xq, sdrplay_api_StreamCbParamsT* params, unsigned int numSamples,
                            unsigned int reset, void* cbContext);
extern "C" void StreamBCbFn(short* xi, short* xq, sdrplay_api_StreamCbParamsT* params, unsigned int numSamples,
                            unsigned int reset, void* cbContext);
extern "C" void EventCbFn(int32_t eventId, int32_t tuner, sdrplay_api_EventParamsT* params, void* cbContext);

class ReceiverSet : public IReceiverLevels {
 public:
  static constexpr const char* kSection = "ODlgSpektr";
  static constexpr const char* kSdrPlayName = "libsdrplay_api.so.3";
  static constexpr const char* kExtIOPattern = "ExtIO*.so";
  // Why scans are refused while an ExtIO plug-in reports no sample rate.
  static constexpr const char* kExtIONoRateText =
      "плагин ExtIO не сообщает частоту дискретизации (GetHWSR), сканирование невозможно";
  static constexpr const char* kNoSelectionText =
      "Выбирете Sdr-приёмник для работы или настройте параметры поиска подключенных к компу "
      "sdr-приёмников";

  ReceiverSet(SampleRings& rings, IReceiverSetHost& host);
  ~ReceiverSet() override;
  ReceiverSet(const ReceiverSet&) = delete;
  ReceiverSet& operator=(const ReceiverSet&) = delete;

  // Reads the library folders, the back ends' settings and the converter option.
  void LoadSettings();
  // Reads the converter option and the gain-control hysteresis again (after the options window):
  // the next tuning uses them. The library folders take effect at the next start.
  void ReloadTuningSettings();
  // Builds the list (emptied first): SDRplay, RTL-SDR, HackRF, ExtIO, in this order. One kind's
  // failure gives its placeholder and never stops the others.
  void Discover();
  const std::vector<ReceiverEntry>& Entries() const { return entries_; }

  // The start-up choice: the first entry whose key equals the stored m_SelectSdrKey is opened,
  // with the key emptied on disk while it opens and written back afterwards. Returns its index,
  // or −1 (the status line then shows kNoSelectionText).
  int AutoSelect();
  // The user picked entry `index`: store its key, then SelectReceiver.
  void UserSelect(int index);
  // The index of the first entry whose ReceiverKey is `key`, or −1 (an empty key matches none).
  int FindKey(const std::string& key) const;
  // Closes every receiver, then opens entry `index`. False when nothing usable was opened.
  bool SelectReceiver(int index);
  int Selected() const { return selected_; }
  const ReceiverStatus& Status() const { return status_; }

  std::string StatusTextRtl() const;
  std::string StatusTextHackRf() const;
  std::string StatusTextSdrPlay() const;
  std::string StatusTextExtIO() const;

  // Tunes the active receiver to `f_hz` plus the converter shift when the converter option is
  // on (never below 0), with the next frequencies of the batch for automatic gain. Tries HackRF,
  // RTL-SDR, ExtIO, SDRplay in this order; false when none is active or tuning failed.
  // TuneReport() then holds the settings window's line ("Настройка на %0.3f МГц"...).
  bool Tune(double f_hz, const double* batch, int n);
  const std::string& TuneReport() const { return tune_report_; }
  // The frequency the active receiver was last tuned to through Tune(), before the converter
  // shift (the main window's receiver frequency), Hz. A receiver not yet tuned through Tune():
  // its own frequency less the converter shift. NaN when no receiver is active.
  double TunedFrequency() const;

  // Sample rate of the active receiver, samples per second (0 when none is open).
  double ActiveSampleRate() const;
  // The RTL-SDR rate choice shared by the settings window and the command line: sets `rate`,
  // tells the host to re-plan and returns the status text for the window (second: error colour).
  std::pair<bool, std::string> ChangeRtlSampleRate(int32_t rate);

  // Closes ExtIO, SDRplay, RTL-SDR, HackRF in this order (the program's shutdown).
  void Shutdown();

  // A status notice of the open ExtIO plug-in, on the window thread (posted by its callback):
  // logged; a changed sample rate (notice 100) refreshes the caption and re-plans.
  void OnExtIOStatus(int status);
  // "Настроить sdr..." with an ExtIO entry selected: the plug-in's ShowGUI (checked) or HideGUI
  // (unchecked); false when the plug-in is not loaded or does not export it.
  bool ShowExtIOGui(bool show);
  // Why a scan cannot run on the active receiver ("" when it can): an ExtIO plug-in that
  // reports no sample rate gives kExtIONoRateText.
  std::string ScanRefusal() const;

  // The external converter option: the receiver is tuned m_ConvertorFShift away.
  bool IsConvertor() const { return is_convertor_; }
  ORtlSdr& Rtl() { return rtl_; }
  const ORtlSdr& Rtl() const { return rtl_; }
  OHackRfUse& HackRf() { return hackrf_; }
  const OHackRfUse& HackRf() const { return hackrf_; }
  // The HackRF rate choice shared by the settings window and the command line: sets rate table
  // entry `var`, stores it, tells the host to re-plan; the window's status text (second: error).
  std::pair<bool, std::string> ChangeHackRfSampleRate(int var);
  OSdrPlayUse& SdrPlay() { return sdrplay_; }
  const OSdrPlayUse& SdrPlay() const { return sdrplay_; }
  // The SDRplay rate and decimation choices shared by the settings window and the command line:
  // applied, the host re-plans only when the API took them; the status text (second: error).
  std::pair<bool, std::string> ChangeSdrPlaySampleRate(double fs_hz);
  std::pair<bool, std::string> ChangeSdrPlayDecimation(int factor, bool wide_band);
  OExtIOUse& ExtIO() { return extio_; }
  const OExtIOUse& ExtIO() const { return extio_; }
  SampleRings& Rings() { return rings_; }

  ReceiverLevels Levels() const override;
  // True while a receiver of `kind` is the open one.
  bool IsActive(ReceiverKind kind) const { return active_.load() == static_cast<int>(kind); }

 private:
  void DiscoverSdrPlay();
  void DiscoverRtlSdr();
  void DiscoverHackRf();
  void DiscoverExtIO();
  void Add(int32_t code, std::string text);
  // Step 2 of SelectReceiver; false when an SDRplay device refuses to close.
  bool CloseAll();
  bool SelectRtlSdr(const ReceiverEntry& e);
  bool SelectHackRf(const ReceiverEntry& e);
  bool SelectExtIO(const ReceiverEntry& e);
  bool SelectSdrPlay(const ReceiverEntry& e);
  void SetStatus(std::string caption, std::string text, StatusColour colour);
  void SetStatus(std::string text, StatusColour colour) { SetStatus(text, text, colour); }
  void SetSecondInput(bool on);
  // The SDRplay device the status names: the opened one, else the selected entry's.
  const sdrplay_api_DeviceT* SdrPlayShown() const;

  SampleRings& rings_;
  IReceiverSetHost& host_;
  ORtlSdr rtl_;
  OHackRfUse hackrf_;
  OExtIOUse extio_;
  OSdrPlayUse sdrplay_;
  SdrPlaySinkContext sdrplay_sink_;
  bool second_input_ = false;
  std::string rtl_folder_, hackrf_folder_, hackrf_name_, sdrplay_folder_, extio_folder_;
  std::string extio_path_;
  bool is_convertor_ = false;
  double convertor_shift_ = 0.0;
  std::vector<ReceiverEntry> entries_;
  int selected_ = -1;
  ReceiverStatus status_;
  std::string tune_report_;
  double tuned_hz_ = -1;  // the last successful Tune()'s f_hz; −1 none since the receiver opened
  std::atomic<int> active_{-1};  // ReceiverKind of the open receiver, −1 none
  Liveness alive_;  // for the plug-in's notices posted to the window thread
};

}  // namespace kavu

// OSdrPlayUse: the model switches and inputs the settings window changes (notch filters, bias-T,
// reference output, AM port, HDR, antennas), each written into the parameter records and then
// announced to the API with the update reasons of its model.
#include "receivers/o_sdrplay_use.h"

#include <algorithm>

namespace kavu {
namespace {

constexpr const char* kSwitchesNoDevice = "OSdrPlayUse: не выбрано устройство SdrPlay, менять нечего";

unsigned char Flag(bool b) { return b ? 1 : 0; }

}  // namespace

int OSdrPlayUse::ShownChannel(int input_entry) {
  const SdrPlayParams p = Params();
  const int wanted = input_entry != 0 ? 1 : 0;
  if (p.Channel(wanted)) return wanted;
  if (p.Channel(1 - wanted)) return 1 - wanted;
  return -1;
}

SdrPlaySwitches OSdrPlayUse::Switches(int shown, SdrPlaySwitches* usable) {
  const SdrPlayParams p = Params();
  const sdrplay_api_DevParamsT* dev = p.Dev();
  const sdrplay_api_RxChannelParamsT* c = shown >= 0 ? p.Channel(shown) : nullptr;
  const sdrplay_api_RxChannelParamsT* a = p.Channel(0);
  const sdrplay_api_RxChannelParamsT* b = p.Channel(1);
  SdrPlaySwitches s, u;
  switch (selected_.hwVer) {
    case kSdrPlayRsp1A:
      if (dev) {
        s.notch = dev->rsp1aParams.rfNotchEnable != 0;
        s.dab_notch = dev->rsp1aParams.rfDabNotchEnable != 0;
        u.notch = u.dab_notch = true;
      }
      if (c) s.bias_t = c->rsp1aTunerParams.biasTEnable != 0;
      u.bias_t = c != nullptr;
      break;
    case kSdrPlayRsp2:
      if (dev) s.ext_ref = dev->rsp2Params.extRefOutputEn != 0;
      u.ext_ref = dev != nullptr;
      if (c) {
        s.notch = c->rsp2TunerParams.rfNotchEnable != 0;
        s.bias_t = c->rsp2TunerParams.biasTEnable != 0;
        s.am_port = c->rsp2TunerParams.amPortSel != 0;
        u.notch = u.bias_t = u.am_port = true;
      }
      break;
    case kSdrPlayRspDuo:
      if (dev) s.ext_ref = dev->rspDuoParams.extRefOutputEn != 0;
      u.ext_ref = dev != nullptr;
      if (c) {
        s.notch = c->rspDuoTunerParams.rfNotchEnable != 0;
        s.dab_notch = c->rspDuoTunerParams.rfDabNotchEnable != 0;
        u.notch = u.dab_notch = true;
      }
      if (const sdrplay_api_RxChannelParamsT* bias = b ? b : c) {
        s.bias_t = bias->rspDuoTunerParams.biasTEnable != 0;
        u.bias_t = true;
      }
      if (a) {
        s.hdr = a->rspDuoTunerParams.tuner1AmNotchEnable != 0;  // shown, never enabled
        s.am_port = a->rspDuoTunerParams.tuner1AmPortSel != 0;
        u.am_port = true;
      }
      break;
    case kSdrPlayRspDx:
      if (dev) {
        s.bias_t = dev->rspDxParams.biasTEnable != 0;
        s.notch = dev->rspDxParams.rfNotchEnable != 0;
        s.dab_notch = dev->rspDxParams.rfDabNotchEnable != 0;
        s.hdr = dev->rspDxParams.hdrEnable != 0;
        u.bias_t = u.notch = u.dab_notch = u.hdr = true;
      }
      break;
    default:
      break;
  }
  if (usable) *usable = u;
  return s;
}

int OSdrPlayUse::ApplySwitches(const SdrPlaySwitches& s, std::string* failed_step) {
  if (failed_step) failed_step->clear();
  if (!params_) {
    error_ = kSwitchesNoDevice;
    return kNoDevice;
  }
  const SdrPlayParams p(params_);
  sdrplay_api_DevParamsT* dev = p.Dev();
  sdrplay_api_RxChannelParamsT* a = p.Channel(0);
  sdrplay_api_RxChannelParamsT* b = p.Channel(1);
  sdrplay_api_RxChannelParamsT* main = a ? a : b;
  int rc = 0;
  const auto step = [&](const char* name, int32_t tuner, uint32_t reason, uint32_t ext) {
    rc = Update(tuner, reason, ext, "sdrplay_api_Update");
    if (rc != 0 && failed_step) *failed_step = name;
    return rc == 0;
  };
  switch (selected_.hwVer) {
    case kSdrPlayRsp1A:
      if (dev) {
        dev->rsp1aParams.rfNotchEnable = Flag(s.notch);
        dev->rsp1aParams.rfDabNotchEnable = Flag(s.dab_notch);
      }
      if (main) main->rsp1aTunerParams.biasTEnable = Flag(s.bias_t);
      step("", kSdrPlayTunerA,
           kSdrPlayRsp1aBiasTControl | kSdrPlayRsp1aRfNotchControl | kSdrPlayRsp1aRfDabNotchControl, kSdrPlayExtNone);
      break;
    case kSdrPlayRsp2: {
      uint32_t reason = kSdrPlayRsp2BiasTControl | kSdrPlayRsp2AmPortSelect | kSdrPlayRsp2RfNotchControl;
      if (dev) {
        // The reference output is announced too: written alone it would never reach the device.
        dev->rsp2Params.extRefOutputEn = Flag(s.ext_ref);
        reason |= kSdrPlayRsp2ExtRefControl;
      }
      if (main) {
        main->rsp2TunerParams.rfNotchEnable = Flag(s.notch);
        main->rsp2TunerParams.biasTEnable = Flag(s.bias_t);
        main->rsp2TunerParams.amPortSel = s.am_port ? 1 : 0;
      }
      step("", kSdrPlayTunerA, reason, kSdrPlayExtNone);
      break;
    }
    case kSdrPlayRspDuo:
      if (dev) {
        dev->rspDuoParams.extRefOutputEn = s.ext_ref ? 1 : 0;
        if (!step("RspDuo_ExtRefControl", kSdrPlayTunerNeither, kSdrPlayRspDuoExtRefControl, kSdrPlayExtNone)) break;
      }
      if (a) {
        a->rspDuoTunerParams.tuner1AmPortSel = s.am_port ? 1 : 0;
        if (!step("Update_RspDuo_AmPortSelect", kSdrPlayTunerA, kSdrPlayRspDuoAmPortSelect, kSdrPlayExtNone)) break;
      }
      for (int i = 0; i < 2; ++i) {
        sdrplay_api_RxChannelParamsT* c = p.Channel(i);
        if (!c) continue;  // a missing channel is never touched
        c->rspDuoTunerParams.rfNotchEnable = Flag(s.notch);
        c->rspDuoTunerParams.rfDabNotchEnable = Flag(s.dab_notch);
        c->rspDuoTunerParams.biasTEnable = Flag(s.bias_t);
        c->rspDuoTunerParams.tuner1AmNotchEnable = Flag(s.notch);
        const bool ok = i == 0 ? step("", kSdrPlayTunerA,
                                      kSdrPlayRspDuoTuner1AmNotchControl | kSdrPlayRspDuoRfNotchControl |
                                          kSdrPlayRspDuoRfDabNotchControl,
                                      kSdrPlayExtNone)
                               : step("", kSdrPlayTunerB,
                                      kSdrPlayRspDuoBiasTControl | kSdrPlayRspDuoRfNotchControl |
                                          kSdrPlayRspDuoRfDabNotchControl,
                                      kSdrPlayExtNone);
        if (!ok) break;
      }
      break;
    case kSdrPlayRspDx:
      if (dev) {
        dev->rspDxParams.biasTEnable = Flag(s.bias_t);
        dev->rspDxParams.rfNotchEnable = Flag(s.notch);
        dev->rspDxParams.rfDabNotchEnable = Flag(s.dab_notch);
        dev->rspDxParams.hdrEnable = Flag(s.hdr);
        step("", kSdrPlayTunerA, kSdrPlayUpdateNone,
             kSdrPlayRspDxHdrEnable | kSdrPlayRspDxBiasTControl | kSdrPlayRspDxRfNotchControl |
                 kSdrPlayRspDxRfDabNotchControl);
      }
      break;
    default:
      break;  // RSP1: no switches
  }
  return rc;
}

int OSdrPlayUse::SetAntenna(int entry) {
  if (!params_) {
    error_ = kSwitchesNoDevice;
    return kNoDevice;
  }
  const SdrPlayParams p(params_);
  if (selected_.hwVer == kSdrPlayRsp2) {
    sdrplay_api_RxChannelParamsT* a = p.Channel(0);
    if (!a) return kNoDevice;
    a->rsp2TunerParams.antennaSel = entry == 0 ? 5 : 6;
    return Update(kSdrPlayTunerA, kSdrPlayRsp2AntennaControl, kSdrPlayExtNone, "sdrplay_api_Update_Rsp2_AntennaControl");
  }
  if (selected_.hwVer == kSdrPlayRspDx && p.Dev()) {
    p.Dev()->rspDxParams.antennaSel = std::clamp(entry, 0, 2);
    return Update(kSdrPlayTunerA, kSdrPlayUpdateNone, kSdrPlayRspDxAntennaControl,
                  "sdrplay_api_Update_RspDx_AntennaControl");
  }
  error_ = "Вроде переключение антенн тут не поддерживается";
  return kNoFunction;
}

}  // namespace kavu

#pragma once
// SdrPlayParams: the one place where the back end and its window reach into the SDRplay API's
// parameter records. Those layouts are ours (receivers/sdrplay_api.h says why); when they are
// corrected against the real library, only the header and this adapter change.
//
// Channel(0) is channel A, Channel(1) channel B; either may be absent (null): the API provides
// channel B only for an RSPduo running on tuner B or on both tuners.
#include "receivers/sdrplay_api.h"

namespace kavu {

class SdrPlayParams {
 public:
  explicit SdrPlayParams(sdrplay_api_DeviceParamsT* p) : p_(p) {}

  sdrplay_api_RxChannelParamsT* Channel(int i) const {
    if (!p_) return nullptr;
    return i == 0 ? p_->rxChannelA : i == 1 ? p_->rxChannelB : nullptr;
  }
  sdrplay_api_DevParamsT* Dev() const { return p_ ? p_->devParams : nullptr; }

  // Tuner fields of a channel.
  static int32_t& BwType(sdrplay_api_RxChannelParamsT& c) { return c.tunerParams.bwType; }
  static int32_t& IfType(sdrplay_api_RxChannelParamsT& c) { return c.tunerParams.ifType; }
  static int32_t& LoMode(sdrplay_api_RxChannelParamsT& c) { return c.tunerParams.loMode; }
  static int32_t& GrDb(sdrplay_api_RxChannelParamsT& c) { return c.tunerParams.gain.gRdB; }
  static unsigned char& Lna(sdrplay_api_RxChannelParamsT& c) { return c.tunerParams.gain.LNAstate; }
  static float CurrentGain(const sdrplay_api_RxChannelParamsT& c) { return c.tunerParams.gain.gainVals.curr; }
  static double& RfHz(sdrplay_api_RxChannelParamsT& c) { return c.tunerParams.rfFreq.rfHz; }
  static unsigned char& DecimEnable(sdrplay_api_RxChannelParamsT& c) { return c.ctrlParams.decimation.enable; }
  static unsigned char& DecimFactor(sdrplay_api_RxChannelParamsT& c) {
    return c.ctrlParams.decimation.decimationFactor;
  }
  static unsigned char& WideBand(sdrplay_api_RxChannelParamsT& c) { return c.ctrlParams.decimation.wideBandSignal; }
  static int32_t& AgcEnable(sdrplay_api_RxChannelParamsT& c) { return c.ctrlParams.agc.enable; }

 private:
  sdrplay_api_DeviceParamsT* p_;
};

}  // namespace kavu

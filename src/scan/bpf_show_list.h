#pragma once
// What the filter view shows of a sample-rate plan: the description line and the synthesized
// low-pass filter's response as a graph list (one pane, one function curve).
//
// The curve is the 65536-bin response of the plan in dB of power relative to bin 0, against
// frequency in kHz, mirrored to negative frequencies (the filter is real and symmetric, so its
// response is even), interpolated linearly in dB between bins. A bin of zero power is drawn at
// kFloorDb.
#include <memory>
#include <string>

#include "dsp/sample_rate_plan.h"
#include "results/gr_list.h"

namespace kavu {

// "Ном. срез ФНЧ ... КГц" with the nominal cut-off m_PolosaFM / 2, the level at the nominal
// cut-off bin, the −3 dB frequency, the first null and its level, the sample rate, the decimation
// and the decimated rate.
std::string BpfShowText(const SampleRatePlan& plan);

// The response's level at bin k (0 … 65535) relative to bin 0, dB of power (0 for zero power, as
// every level in the program); bins above 32768 mirror those below.
double BpfBinDb(const SampleRatePlan& plan, int k);

class BpfResponseLine : public OGrListItem {
 public:
  static constexpr double kFloorDb = -200;

  explicit BpfResponseLine(std::shared_ptr<const SampleRatePlan> plan);

  int GetKind() const override { return 1; }
  int HasBand() const override { return 0; }
  int32_t GetCount() const override { return 0; }
  int32_t GetPoint(int32_t, double&, double&) const override { return kGrInvalid; }
  // ±min(r/2, max(rD, 4 × first null)) kHz: the main lobe, the first side lobes and all that
  // aliases into the decimated band.
  void GetFunctionXRange(double& x0, double& x1) const override;
  // The level at x kHz, dB; kFloorDb where the response is 0.
  double GetFunctionValue(double x) const override;
  void GetName(std::string& text) const override { text = "ФНЧ, дБ"; }

 private:
  double Level(int k) const;
  std::shared_ptr<const SampleRatePlan> plan_;
};

class BpfShowList : public OGrList {
 public:
  explicit BpfShowList(std::shared_ptr<const SampleRatePlan> plan);
  // The band the view marks: ±m_PolosaFM / 2, kHz.
  double BandHalfKhz() const { return half_khz_; }

  int32_t GetGraphCount() const override { return 1; }
  TGrDia& GetAxis(int32_t) override { return axis_; }
  int32_t GetLineCount(int32_t) const override { return 1; }
  OGrListItem& GetLine(int32_t, int32_t) override { return line_; }

 private:
  TGrDia axis_;
  BpfResponseLine line_;
  double half_khz_;
};

}  // namespace kavu

#include "dsp/fft_plan.h"

namespace kavu {

void PackAvxTwiddles(FftPlan& plan) {
  plan.avx_fwd.assign(reinterpret_cast<const double*>(plan.fwd.data()),
                      reinterpret_cast<const double*>(plan.fwd.data() + plan.n));
  plan.avx_inv.assign(reinterpret_cast<const double*>(plan.inv.data()),
                      reinterpret_cast<const double*>(plan.inv.data() + plan.n));
}

}  // namespace kavu

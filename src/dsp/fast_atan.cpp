#include "dsp/fast_atan.h"

namespace kavu {
namespace detail {
namespace {
std::array<double, 514> MakeTable() {
  std::array<double, 514> t{};
  for (int i = 0; i < 514; ++i) t[static_cast<size_t>(i)] = std::atan(i / 512.0);
  return t;
}
}  // namespace

const std::array<double, 514> kAtanTable = MakeTable();
}  // namespace detail

}  // namespace kavu

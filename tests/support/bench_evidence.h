#pragma once
// The board's command log and the receiver log of a bench run in another process
// (`kavusdraa-cli scan --sim`, `kavusdraa-cli sim-bench`), kept when the test fails.
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace kavu::test {

class BenchEvidence {
 public:
  // On a failed test, copies what the bench wrote into <build>/e2e-evidence/<suite.test>.
  ~BenchEvidence();
  // The environment entry that makes the bench write its logs here at its end.
  std::string Env() const { return "KAVU_BENCH_EVIDENCE=" + dir_.Path(); }
  // Env() added to `env`.
  std::vector<std::string> With(std::vector<std::string> env) const;

 private:
  TempDir dir_;
};

}  // namespace kavu::test

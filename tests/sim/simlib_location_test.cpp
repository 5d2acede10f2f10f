// Where the bench looks for the simulated receiver library: $KAVU_SIMLIB_DIR first, then the
// installation's private folder found from the program's own folder, then the build tree's folder.
#include "sim/simlib_location.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>

#include "sim/virtual_bench.h"
#include "support/temp_dir.h"

namespace kavu::sim {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for one test and puts the old value back afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(SimLibLocation, EnvironmentThenInstalledTreeThenBuildTree) {
  const test::TempDir prefix;
  const std::string bin = prefix.File("bin");
  const std::string simlib = prefix.File("lib/kavusdraa/simlib");
  fs::create_directories(bin);
  fs::create_directories(simlib);
  // Nothing installed beside the program: the build tree's folder, which holds the library.
  EXPECT_EQ(SimLibFolderFor("", bin), BuildTreeSimLibFolder());
  EXPECT_TRUE(fs::is_regular_file(BuildTreeSimLibFolder() + "/" + kSimLibFileName));
  // A folder of the library's name is not the library.
  fs::create_directories(simlib + "/" + kSimLibFileName);
  EXPECT_EQ(SimLibFolderFor("", bin), BuildTreeSimLibFolder());
  fs::remove(simlib + "/" + kSimLibFileName);

  test::WriteFile(simlib + "/" + kSimLibFileName, "\x7f" "ELF");
  EXPECT_EQ(SimLibFolderFor("", bin), simlib);  // "bin/../lib/..." normalised
  EXPECT_EQ(SimLibFolderFor("", bin + "/"), simlib);
  // A program in another folder of the tree does not find it.
  EXPECT_EQ(SimLibFolderFor("", prefix.File("bin/tools")), BuildTreeSimLibFolder());
  // The environment wins over an installed tree and is taken as given.
  EXPECT_EQ(SimLibFolderFor("/elsewhere/simlib", bin), "/elsewhere/simlib");
  // A moved tree is found at its new place.
  const test::TempDir other;
  fs::rename(prefix.File("lib"), other.File("lib"));
  fs::create_directories(other.File("bin"));
  EXPECT_EQ(SimLibFolderFor("", bin), BuildTreeSimLibFolder());
  EXPECT_EQ(SimLibFolderFor("", other.File("bin")), other.File("lib/kavusdraa/simlib"));
}

TEST(SimLibLocation, ThisProcessReadsTheEnvironmentAndItsOwnFolder) {
  {
    const ScopedEnv env("KAVU_SIMLIB_DIR", "/elsewhere/simlib");
    EXPECT_EQ(SimLibFolder(), "/elsewhere/simlib");
    EXPECT_EQ(VirtualBench::DefaultSimLibFolder(), "/elsewhere/simlib");
  }
  {
    // Empty counts as unset; the test program lives in the build tree, beside no installation.
    const ScopedEnv env("KAVU_SIMLIB_DIR", "");
    EXPECT_EQ(SimLibFolder(), BuildTreeSimLibFolder());
  }
  const ScopedEnv env("KAVU_SIMLIB_DIR", nullptr);
  EXPECT_EQ(VirtualBench::DefaultSimLibFolder(), BuildTreeSimLibFolder());
}

}  // namespace
}  // namespace kavu::sim

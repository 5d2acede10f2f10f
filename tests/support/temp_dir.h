#pragma once
// A fresh temporary folder for one test, removed with everything in it afterwards.
#include <string>

namespace kavu::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Points the process-wide settings store at a fresh file in its own temporary folder for the
// lifetime of the object, and back afterwards.
class ScopedSettings {
 public:
  ScopedSettings();
  ~ScopedSettings();
  std::string Path() const { return dir_.File("settings.ini"); }

 private:
  TempDir dir_;
  std::string previous_;
};

// Reads a whole file into a string (empty when missing).
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

}  // namespace kavu::test

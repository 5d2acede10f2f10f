#pragma once
// Whole-file replacement that survives a crash at any instant: the new content is written to a
// temporary file beside the target, flushed to the disk, and renamed over the target. Readers
// see the old file or the new one, never a mixture.
#include <string>
#include <string_view>

namespace kavu {

// Replaces `path` with `content`. On failure returns false, leaves the old file untouched,
// removes the temporary file and describes the failure in *error (when given).
bool WriteFileAtomically(const std::string& path, std::string_view content,
                         std::string* error = nullptr);

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& content);

// An exclusive advisory lock on a lock file, held for the object's lifetime. Serialises the
// read-modify-write cycles of several processes sharing one file.
class FileLock {
 public:
  explicit FileLock(const std::string& lock_path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool Locked() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace kavu

#pragma once
// Whole-file replacement that survives a crash at any instant: the new content is written to a
// temporary file beside the target, flushed to the disk, and renamed over the target. Readers
// see the old file or the new one, never a mixture.
#include <string>
#include <string_view>

namespace kavu {

// Replaces `path` with `content`. On failure returns false, leaves the old file untouched,
// removes the temporary file and describes the failure in *error (when given).
// Only a regular file is ever replaced: a symbolic link is followed and its target replaced
// (the link stays), and a path naming a folder, device, FIFO or socket is refused untouched.
bool WriteFileAtomically(const std::string& path, std::string_view content,
                         std::string* error = nullptr);

// The path a write to `path` lands on: `path` itself, or the final target of the symbolic
// links it names (relative targets taken from the link's folder; at most 40 links).
std::string ResolveWriteTarget(const std::string& path);

// Empty when `path` may be replaced by a regular file (it is one, a link to one, or nothing
// yet); otherwise why not ("is a folder", "is a FIFO", ...), as a sentence about "path".
std::string OutputPathProblem(const std::string& path);

// True when both paths name the same existing file (same device and inode, links followed).
bool SameFile(const std::string& a, const std::string& b);

// Opens `path` read-only, refusing at once (without blocking) anything but a regular file or a
// link to one. The descriptor (close-on-exec, blocking), or -1 with *error set.
int OpenRegularFile(const std::string& path, std::string* error = nullptr);

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

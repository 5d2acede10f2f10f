#pragma once
// The per-user settings store: integer, text and real values by section (the owning class's
// name, for example "ODlgSpektr") and key (the member name with its m_ prefix, "m_ScanDia").
//
// Kept in one INI-style file, by default
//   $XDG_CONFIG_HOME/KavuPublicSoft/KavuAntIzmSdr/AntIzmSdr_2021.ini
// A UTF-8 byte-order mark at its start is skipped; a section named twice reads as one (later
// values win) and is written back once; a symbolic link to the file is written through.
// Values stand verbatim after the first '=' (';' and '#' inside a value are data); backslashes,
// line breaks, tabs and leading or trailing blanks are escaped. Reals are written with 17
// significant digits and read back bit for bit. Texts are kept up to 8,192 characters.
//
// Every write reaches the disk at once and atomically, under a file lock that also serialises
// other processes: the file is always the old or the new one, and two processes writing
// different keys keep both. A missing, unreadable or unparsable value reads as the caller's
// default (non-finite reals count as unparsable; an integer must be the whole value, "8080x" is
// not 8080); a damaged value is logged once, naming its key. A failed write returns false and
// loses only that setting. A settings path that names a folder or a FIFO is never opened: the
// store reads as empty, logs why and ReadProblem() says so. Reading is linear in the file's size.
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace kavu {

class SettingsStore {
 public:
  static constexpr size_t kMaxTextChars = 8192;

  explicit SettingsStore(std::string path);
  std::string Path();
  // Points the store at another file (its cache is dropped).
  void Repoint(std::string path);

  // Writes made while a WriteGroup lives are kept in memory and written to the file together,
  // once, when the outermost group ends: a window that stores some sixty keys on Enter writes
  // the file once instead of sixty times. Reading a key (GetProfile…, GetRaw) sees the pending
  // value; Sections and Keys show the file. Each write inside a group returns true unless its
  // names cannot be stored; whether the file was written is Ok() of the outermost group (a
  // failed end loses the group's writes, as a failed write loses its one setting). Groups nest;
  // they belong to the thread that writes the settings (the window thread).
  class WriteGroup {
   public:
    explicit WriteGroup(SettingsStore& store);
    ~WriteGroup();
    WriteGroup(const WriteGroup&) = delete;
    WriteGroup& operator=(const WriteGroup&) = delete;
    // Writes the pending values now (outermost group only; inner ones wait for it). True when
    // written, or nothing was pending.
    bool End();
    bool Ok() const { return ok_; }

   private:
    SettingsStore& store_;
    bool ended_ = false, ok_ = true;
  };

  int32_t GetProfileInt(std::string_view section, std::string_view key, int32_t def);
  bool WriteProfileInt(std::string_view section, std::string_view key, int32_t value);
  std::string GetProfileString(std::string_view section, std::string_view key,
                               std::string_view def);
  bool WriteProfileString(std::string_view section, std::string_view key, std::string_view text);
  double GetProfileDouble(std::string_view section, std::string_view key, double def);
  bool WriteProfileDouble(std::string_view section, std::string_view key, double value);

  // The stored text of a key, whatever its kind; empty when absent.
  std::optional<std::string> GetRaw(std::string_view section, std::string_view key);
  // Why the settings file could not be read ("\"PATH\" is a FIFO, not a regular file", ...);
  // empty when it was read or does not exist yet.
  std::string ReadProblem();
  std::vector<std::string> Sections();
  std::vector<std::pair<std::string, std::string>> Keys(std::string_view section);

  // Text of the whole file as it would be written (for tests and the config command).
  struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> values;
  };
  static std::vector<Section> Parse(std::string_view file_text);
  static std::string Serialise(const std::vector<Section>& sections);
  static std::string EscapeValue(std::string_view value);
  static std::string UnescapeValue(std::string_view value);
  // Why `section` and `key` cannot be stored (a write of them returns false), empty when they
  // can: empty names, '=' or line breaks in a key, '[' ']' or line breaks in a section, blanks at
  // either end, and a key starting with ';', '#' or '[' (read back as a comment or a section).
  static std::string NameProblem(std::string_view section, std::string_view key);

 private:
  bool Write(std::string_view section, std::string_view key, std::string value);
  // Writes `changes` into the file under its lock, over a fresh read. Call with mutex_ held.
  bool WriteFile(const std::vector<std::pair<std::string, std::pair<std::string, std::string>>>& changes);
  // Re-reads the file when it changed on disk since the last look. Call with mutex_ held.
  void Refresh();
  // Rebuilds index_ from cache_. Call with mutex_ held after every change of cache_.
  void RebuildIndex();
  // The cached value of a key, or nullptr. Call with mutex_ held.
  const std::string* Find(std::string_view section, std::string_view key) const;
  // Logs a value that does not parse as `kind`, once per key until the file changes.
  void ReportDamaged(std::string_view section, std::string_view key, const std::string& raw,
                     const char* kind, const std::string& def);

  std::string path_;
  std::mutex mutex_;
  std::vector<Section> cache_;
  // "section\nkey" -> (index in cache_, index in its values).
  std::unordered_map<std::string, std::pair<size_t, size_t>> index_;
  std::unordered_set<std::string> damaged_reported_;
  std::string read_problem_;
  int group_depth_ = 0;
  // The writes of the open groups, in order: (section, (key, value)).
  std::vector<std::pair<std::string, std::pair<std::string, std::string>>> pending_;
  struct Stamp {
    int64_t mtime_ns = -1, size = -1, inode = -1;
    bool operator==(const Stamp&) const = default;
  } stamp_;
};

// The settings file of this user: see the header comment.
std::string DefaultSettingsPath();

// The process-wide store (the default path unless UseSettingsFile was called first).
SettingsStore& Settings();
// Points the process-wide store at another file: a bench run's private settings, a test's.
void UseSettingsFile(const std::string& path);

}  // namespace kavu

#include "shell/settings_store.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "platform/atomic_file.h"
#include "platform/number_text.h"
#include "platform/text_cp1251.h"
#include "platform/user_paths.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

std::string TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return std::string(s);
}

std::string CutToChars(std::string_view text, size_t max_chars) {
  size_t pos = 0, chars = 0;
  while (pos < text.size() && chars < max_chars) {
    DecodeUtf8(text, pos);
    ++chars;
  }
  return std::string(text.substr(0, pos));
}

std::string ParentDir(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

// The whole text (blanks around it aside) as one signed 32-bit integer: "8080" and " -90 ", not
// "8080x", "1e3", "1.0" or "".
std::optional<int32_t> ParseIntWhole(std::string_view text) {
  const std::string t = TrimBlanks(text);
  std::string_view digits = t;
  if (!digits.empty() && digits.front() == '+') {
    digits.remove_prefix(1);
    if (!digits.empty() && digits.front() == '-') return std::nullopt;  // "+-5"
  }
  int32_t v = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
  if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return v;
}

std::string IndexKey(std::string_view section, std::string_view key) {
  std::string k;
  k.reserve(section.size() + key.size() + 1);
  k.append(section).append(1, '\n').append(key);  // a line break is in neither name
  return k;
}

std::mutex g_global_mutex;
std::unique_ptr<SettingsStore> g_store;

}  // namespace

SettingsStore::SettingsStore(std::string path) : path_(std::move(path)) {}

std::string SettingsStore::Path() {
  std::lock_guard<std::mutex> lock(mutex_);
  return path_;
}

void SettingsStore::Repoint(std::string path) {
  std::lock_guard<std::mutex> lock(mutex_);
  path_ = std::move(path);
  cache_.clear();
  index_.clear();
  stamp_ = Stamp{};
  read_problem_.clear();
}

std::string SettingsStore::EscapeValue(std::string_view v) {
  std::string out;
  for (size_t i = 0; i < v.size(); ++i) {
    const char c = v[i];
    const bool edge = i == 0 || i + 1 == v.size();
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\0': out += "\\0"; break;
      case ' ': out += edge ? "\\s" : " "; break;
      default: out += c;
    }
  }
  return out;
}

std::string SettingsStore::UnescapeValue(std::string_view v) {
  std::string out;
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] != '\\' || i + 1 == v.size()) {
      out += v[i];
      continue;
    }
    switch (v[++i]) {
      case '\\': out += '\\'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case '0': out += '\0'; break;
      case 's': out += ' '; break;
      default: out += '\\'; out += v[i];  // not ours: kept as it stands
    }
  }
  return out;
}

std::vector<SettingsStore::Section> SettingsStore::Parse(std::string_view text) {
  // Linear in the file's size: sections and keys already seen are found by hash, so a file of
  // a million keys is read in about a second, not in minutes.
  std::vector<Section> sections;
  std::unordered_map<std::string, size_t> section_at;
  std::vector<std::unordered_map<std::string, size_t>> key_at;
  Section* current = nullptr;
  std::unordered_map<std::string, size_t>* current_keys = nullptr;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a UTF-8 byte-order mark
  while (!text.empty()) {
    const size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::string trimmed = TrimBlanks(line);
    if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '#') continue;
    if (trimmed.front() == '[' && trimmed.back() == ']') {
      // A section named twice is one section: its keys are read and written in one place.
      std::string name = trimmed.substr(1, trimmed.size() - 2);
      const auto [at, added] = section_at.try_emplace(std::move(name), sections.size());
      if (added) {
        sections.push_back(Section{at->first, {}});
        key_at.emplace_back();
      }
      current = &sections[at->second];
      current_keys = &key_at[at->second];
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos || !current) continue;  // damaged line: skipped
    std::string key = TrimBlanks(line.substr(0, eq));
    if (key.empty()) continue;
    auto& values = current->values;
    std::string value = UnescapeValue(line.substr(eq + 1));
    const auto [at, added] = current_keys->try_emplace(key, values.size());
    if (added) {
      values.emplace_back(std::move(key), std::move(value));
    } else {
      values[at->second].second = std::move(value);
    }
  }
  return sections;
}

std::string SettingsStore::Serialise(const std::vector<Section>& sections) {
  std::string out;
  for (const auto& s : sections) {
    out += '[' + s.name + "]\n";
    for (const auto& [k, v] : s.values) out += k + '=' + EscapeValue(v) + '\n';
    out += '\n';
  }
  return out;
}

void SettingsStore::RebuildIndex() {
  index_.clear();
  size_t n = 0;
  for (const auto& s : cache_) n += s.values.size();
  index_.reserve(n);
  for (size_t i = 0; i < cache_.size(); ++i) {
    for (size_t j = 0; j < cache_[i].values.size(); ++j) index_[IndexKey(cache_[i].name, cache_[i].values[j].first)] = {i, j};
  }
}

void SettingsStore::Refresh() {
  struct stat st {};
  Stamp now;
  const bool exists = stat(path_.c_str(), &st) == 0;
  if (exists) {
    now = Stamp{static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                static_cast<int64_t>(st.st_size), static_cast<int64_t>(st.st_ino)};
  }
  if (now == stamp_) return;
  std::string text, problem;
  if (exists && !S_ISREG(st.st_mode)) {
    // A FIFO would block a reader until some writer came; a folder cannot be read. Neither is
    // opened: the store reads as empty and says why.
    problem = OutputPathProblem(path_);
  } else if (exists && !ReadWholeFile(path_, text)) {
    problem = "cannot read \"" + path_ + "\": " + std::strerror(errno);
    text.clear();
  }
  cache_ = problem.empty() ? Parse(text) : std::vector<Section>{};
  RebuildIndex();
  stamp_ = now;
  damaged_reported_.clear();
  if (!problem.empty() && problem != read_problem_) {
    Log() << LogColour(kColourError) << "settings file: " << problem << "; defaults are used\n"
          << LogColour(kColourNormal);
  }
  read_problem_ = std::move(problem);
}

std::string SettingsStore::ReadProblem() {
  std::lock_guard<std::mutex> lock(mutex_);
  Refresh();
  return read_problem_;
}

const std::string* SettingsStore::Find(std::string_view section, std::string_view key) const {
  const auto it = index_.find(IndexKey(section, key));
  return it == index_.end() ? nullptr : &cache_[it->second.first].values[it->second.second].second;
}

std::optional<std::string> SettingsStore::GetRaw(std::string_view section, std::string_view key) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = pending_.rbegin(); it != pending_.rend(); ++it) {  // the newest pending write wins
    if (it->first == section && it->second.first == key) return it->second.second;
  }
  Refresh();
  if (const std::string* v = Find(section, key)) return *v;
  return {};
}

void SettingsStore::ReportDamaged(std::string_view section, std::string_view key, const std::string& raw,
                                  const char* kind, const std::string& def) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!damaged_reported_.insert(IndexKey(section, key)).second) return;  // once per key and file version
  }
  Log() << LogColour(kColourError) << "settings: [" << section << "] " << key << "=\"" << raw << "\" is not "
        << kind << "; the default " << def << " is used\n"
        << LogColour(kColourNormal);
}

std::vector<std::string> SettingsStore::Sections() {
  std::lock_guard<std::mutex> lock(mutex_);
  Refresh();
  std::vector<std::string> names;
  for (const auto& s : cache_) names.push_back(s.name);
  return names;
}

std::vector<std::pair<std::string, std::string>> SettingsStore::Keys(std::string_view section) {
  std::lock_guard<std::mutex> lock(mutex_);
  Refresh();
  for (const auto& s : cache_) {
    if (s.name == section) return s.values;
  }
  return {};
}

std::string SettingsStore::NameProblem(std::string_view section, std::string_view key) {
  auto blank_edge = [](std::string_view s) {
    return s.front() == ' ' || s.front() == '\t' || s.back() == ' ' || s.back() == '\t';
  };
  if (section.empty()) return "an empty section name cannot be stored";
  if (section.find_first_of("[]\r\n") != std::string_view::npos || blank_edge(section)) {
    return "section \"" + std::string(section) + "\" cannot be stored: no [, ], line breaks or blanks at its ends";
  }
  if (key.empty()) return "an empty key cannot be stored";
  if (key.find_first_of("=\r\n") != std::string_view::npos || blank_edge(key)) {
    return "key \"" + std::string(key) + "\" cannot be stored: no =, line breaks or blanks at its ends";
  }
  if (key.front() == ';' || key.front() == '#' || key.front() == '[') {
    return "key \"" + std::string(key) + "\" cannot be stored: a line starting with " + key.front() +
           " is not read back as a key";
  }
  return "";
}

bool SettingsStore::Write(std::string_view section, std::string_view key, std::string value) {
  if (!NameProblem(section, key).empty()) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  if (group_depth_ > 0) {
    pending_.push_back({std::string(section), {std::string(key), std::move(value)}});
    return true;
  }
  return WriteFile({{std::string(section), {std::string(key), std::move(value)}}});
}

bool SettingsStore::WriteFile(const std::vector<std::pair<std::string, std::pair<std::string, std::string>>>& changes) {
  // A link to the settings file is written through: the file it names is replaced, the link stays.
  const std::string file = ResolveWriteTarget(path_);
  if (!MakeDirs(ParentDir(file))) return false;
  FileLock file_lock(file + ".lock");
  if (!file_lock.Locked()) return false;
  // Another process may have written since our last look: start from the file on disk.
  stamp_ = Stamp{};
  Refresh();
  for (const auto& [section, kv] : changes) {
    Section* target = nullptr;
    for (auto& s : cache_) {
      if (s.name == section) target = &s;
    }
    if (!target) {
      cache_.push_back(Section{section, {}});
      target = &cache_.back();
    }
    bool replaced = false;
    for (auto& old : target->values) {
      if (old.first == kv.first) old.second = kv.second, replaced = true;
    }
    if (!replaced) target->values.push_back(kv);
  }
  const bool ok = WriteFileAtomically(file, Serialise(cache_));
  stamp_ = Stamp{};  // re-read next time: the cache holds the change even if it was not kept
  if (!ok) cache_.clear();
  RebuildIndex();
  return ok;
}

SettingsStore::WriteGroup::WriteGroup(SettingsStore& store) : store_(store) {
  std::lock_guard<std::mutex> lock(store_.mutex_);
  ++store_.group_depth_;
}

SettingsStore::WriteGroup::~WriteGroup() { End(); }

bool SettingsStore::WriteGroup::End() {
  if (ended_) return ok_;
  ended_ = true;
  std::lock_guard<std::mutex> lock(store_.mutex_);
  if (--store_.group_depth_ > 0 || store_.pending_.empty()) return ok_;
  const auto changes = std::move(store_.pending_);
  store_.pending_.clear();
  ok_ = store_.WriteFile(changes);
  return ok_;
}

int32_t SettingsStore::GetProfileInt(std::string_view section, std::string_view key, int32_t def) {
  const auto raw = GetRaw(section, key);
  if (!raw) return def;
  // The whole value must be one integer: "1e3" is not port 1, "8080x" not port 8080.
  if (const auto v = ParseIntWhole(*raw)) return *v;
  ReportDamaged(section, key, *raw, "one integer", std::to_string(def));
  return def;
}

bool SettingsStore::WriteProfileInt(std::string_view section, std::string_view key, int32_t v) {
  return Write(section, key, std::to_string(v));
}

std::string SettingsStore::GetProfileString(std::string_view section, std::string_view key,
                                            std::string_view def) {
  auto raw = GetRaw(section, key);
  return raw ? std::move(*raw) : std::string(def);
}

bool SettingsStore::WriteProfileString(std::string_view section, std::string_view key,
                                       std::string_view text) {
  return Write(section, key, CutToChars(text, kMaxTextChars));
}

double SettingsStore::GetProfileDouble(std::string_view section, std::string_view key, double def) {
  const auto raw = GetRaw(section, key);
  if (!raw) return def;
  // The whole value must be one number: a damaged value is not half-read.
  if (const auto v = ParseRealWhole(TrimBlanks(*raw))) return *v;
  ReportDamaged(section, key, *raw, "one finite number", FormatG(def, 17));
  return def;
}

bool SettingsStore::WriteProfileDouble(std::string_view section, std::string_view key, double v) {
  return Write(section, key, FormatG(v, 17));
}

std::string DefaultSettingsPath() {
  return ConfigDir() + "/KavuPublicSoft/KavuAntIzmSdr/AntIzmSdr_2021.ini";
}

SettingsStore& Settings() {
  std::lock_guard<std::mutex> lock(g_global_mutex);
  if (!g_store) g_store = std::make_unique<SettingsStore>(DefaultSettingsPath());
  return *g_store;
}

void UseSettingsFile(const std::string& path) {
  Settings().Repoint(path);
}

}  // namespace kavu

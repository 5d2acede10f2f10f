#include "platform/desktop_file_type.h"


#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>

#include "platform/atomic_file.h"
#include "platform/tool_process.h"
#include "platform/user_paths.h"

namespace kavu {
namespace {

bool SameGlob(const std::string& a, const std::string& b, bool case_sensitive) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
    if (case_sensitive ? ca != cb : std::tolower(ca) != std::tolower(cb)) return false;
  }
  return true;
}

// The type of the heaviest "weight:type:pattern[:flags]" line of a globs2 file with `glob`.
std::string TypeInGlobs2(const std::string& file, const std::string& glob) {
  std::string text;
  if (!ReadWholeFile(file, text)) return "";
  std::istringstream in(text);
  std::string line, best;
  long best_weight = -1;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> parts;
    std::istringstream fields(line);
    for (std::string f; std::getline(fields, f, ':');) parts.push_back(f);
    if (parts.size() < 3) continue;
    const bool cs = parts.size() > 3 && parts[3].find("cs") != std::string::npos;
    if (!SameGlob(parts[2], glob, cs)) continue;
    const long weight = std::strtol(parts[0].c_str(), nullptr, 10);
    if (weight > best_weight) best_weight = weight, best = parts[1];
  }
  return best;
}

std::vector<std::string> SystemDataDirs(const std::vector<std::string>& env) {
  std::string dirs = EnvValue(env, "XDG_DATA_DIRS");
  if (dirs.empty()) dirs = "/usr/local/share:/usr/share";
  std::vector<std::string> out;
  std::istringstream in(dirs);
  for (std::string d; std::getline(in, d, ':');) {
    if (!d.empty() && d[0] == '/') out.push_back(d);
  }
  return out;
}

std::string Trim(std::string s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.pop_back();
  size_t start = 0;
  while (start < s.size() && std::isspace(static_cast<unsigned char>(s[start]))) ++start;
  return s.substr(start);
}

std::string DesktopEntry(const DesktopFileType& t, const std::string& mime_type, const std::string& exec) {
  std::string e = "[Desktop Entry]\nType=Application\nName=" + t.name + "\n";
  if (!t.comment.empty()) e += "Comment=" + t.comment + "\n";
  e += "Exec=" + exec + "\n";
  if (!t.icon.empty()) e += "Icon=" + t.icon + "\n";
  // A file handler only: the program's own menu entry is the installed one.
  e += "Terminal=false\nNoDisplay=true\nMimeType=" + mime_type + ";\n";
  return e;
}

// Step 3's tools in order; false with the failure in `r`.
bool RunDesktopTools(const std::string& data, const std::string& desktop_id, const std::vector<std::string>& env,
                     int timeout_ms, FileTypeRegistration& r) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> steps = {
      {"update-mime-database", {data + "/mime"}},
      {"update-desktop-database", {data + "/applications"}},
      {"xdg-mime", {"default", desktop_id, r.mime_type}},
  };
  for (const auto& [tool, args] : steps) {
    const ToolRun run = RunTool(tool, args, env, timeout_ms);
    if (!run.Ok()) {
      r.failed = tool;
      r.error = run.error;
      return false;
    }
  }
  const ToolRun query = RunTool("xdg-mime", {"query", "default", r.mime_type}, env, timeout_ms);
  if (!query.Ok()) {
    r.failed = "xdg-mime";
    r.error = query.error;
    return false;
  }
  const std::string answer = Trim(query.output);
  if (answer != desktop_id) {
    r.failed = "xdg-mime";
    r.error = "xdg-mime query default " + r.mime_type + " ответила \"" + answer + "\" вместо \"" + desktop_id + "\"";
    return false;
  }
  return true;
}

}  // namespace

std::string DataHome(const std::vector<std::string>& env) {
  const std::string xdg = EnvValue(env, "XDG_DATA_HOME");
  if (!xdg.empty() && xdg[0] == '/') return xdg;
  std::string home = EnvValue(env, "HOME");
  if (home.empty()) home = HomeDir();
  return home + "/.local/share";
}

std::string ExistingTypeOfGlob(const std::string& glob, const std::vector<std::string>& env) {
  std::vector<std::string> dirs{DataHome(env)};
  for (const std::string& d : SystemDataDirs(env)) dirs.push_back(d);
  for (const std::string& d : dirs) {
    if (std::string type = TypeInGlobs2(d + "/mime/globs2", glob); !type.empty()) return type;
  }
  return "";
}

std::string DesktopExec(const std::string& program) {
  std::string quoted = "\"";
  for (const char c : program) {
    if (static_cast<unsigned char>(c) < 32 || c == 127) return "";
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c == '%' ? std::string("%%") : std::string(1, c);
  }
  quoted += "\" %f";
  // The entry's string escape comes on top of the quoting: every backslash is written twice.
  std::string out;
  for (const char c : quoted) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return out;
}

FileTypeRegistration RegisterDesktopFileType(const DesktopFileType& t, const std::vector<std::string>& env,
                                             int tool_timeout_ms) {
  FileTypeRegistration r;
  const std::string data = DataHome(env);
  const std::string exec = DesktopExec(t.program);
  if (exec.empty()) {
    r.failed = t.program;
    r.error = "путь к программе содержит управляющие символы: " + t.program;
    return r;
  }
  for (const std::string& dir : {data + "/mime/packages", data + "/applications"}) {
    if (!MakeDirs(dir)) {
      r.failed = dir;
      r.error = "Не удалось создать папку " + dir;
      return r;
    }
  }
  r.mime_type = ExistingTypeOfGlob(t.glob, env);
  r.type_existed = !r.mime_type.empty();
  std::string problem;
  if (!r.type_existed) {
    r.mime_type = t.mime_type;
    const std::string package = data + "/mime/packages/" + t.mime_package;
    if (!WriteFileAtomically(package, t.mime_xml, &problem)) {
      r.failed = package;
      r.error = "Не удалось записать файл " + package + ": " + problem;
      return r;
    }
  }
  r.desktop_file = data + "/applications/" + t.desktop_id;
  if (!WriteFileAtomically(r.desktop_file, DesktopEntry(t, r.mime_type, exec), &problem)) {
    r.failed = r.desktop_file;
    r.error = "Не удалось записать файл " + r.desktop_file + ": " + problem;
    return r;
  }
  r.ok = RunDesktopTools(data, t.desktop_id, env, tool_timeout_ms, r);
  return r;
}

}  // namespace kavu

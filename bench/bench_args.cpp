#include "bench_args.h"

#include <algorithm>

namespace kavu::bench {
namespace {

// The benchmarks `word` names: itself when it is a name, else every name starting with it.
std::vector<std::string> Matches(const std::string& word, const std::vector<std::string>& known) {
  if (std::find(known.begin(), known.end(), word) != known.end()) return {word};
  std::vector<std::string> found;
  for (const std::string& name : known) {
    if (name.starts_with(word)) found.push_back(name);
  }
  return found;
}

BenchArgs Error(std::string text) {
  BenchArgs a;
  a.action = BenchArgs::kError;
  a.error = std::move(text);
  return a;
}

}  // namespace

BenchArgs ParseBenchArgs(const std::vector<std::string>& args, const std::vector<std::string>& known) {
  BenchArgs out;
  // Help wins over anything else on the line, even what would be an error.
  if (std::find_if(args.begin(), args.end(), [](const std::string& a) { return a == "--help" || a == "-h"; }) !=
      args.end()) {
    out.action = BenchArgs::kHelp;
    return out;
  }
  bool list = false, here = false;
  std::vector<std::string> words;
  for (const std::string& a : args) {
    if (a == "--list") {
      list = true;
    } else if (a == "--here") {
      here = true;
    } else if (a.starts_with("-")) {
      return Error("unknown option \"" + a + "\" (--help lists the options)");
    } else {
      words.push_back(a);
    }
  }
  if (list) {
    if (here || !words.empty()) return Error("--list takes no benchmark names");
    out.action = BenchArgs::kList;
    return out;
  }
  for (const std::string& w : words) {
    const std::vector<std::string> found = Matches(w, known);
    if (found.empty()) return Error("no benchmark is named \"" + w + "\"; " + BenchNamesLine(known));
    for (const std::string& name : found) {
      if (std::find(out.selected.begin(), out.selected.end(), name) == out.selected.end()) {
        out.selected.push_back(name);
      }
    }
  }
  if (words.empty()) out.selected = known;
  if (here) {
    if (words.empty() || out.selected.size() != 1) {
      return Error("--here runs exactly one benchmark; " + BenchNamesLine(known));
    }
    out.action = BenchArgs::kRunHere;
  }
  return out;
}

std::string BenchNamesLine(const std::vector<std::string>& known) {
  std::string line = "benchmarks:";
  for (size_t i = 0; i < known.size(); ++i) line += (i == 0 ? " " : ", ") + known[i];
  return line;
}

std::string BenchHelpText(const std::vector<std::string>& known) {
  std::string text =
      "Usage: kavusdraa-bench [NAME...]\n"
      "       kavusdraa-bench --list | --help\n"
      "       kavusdraa-bench --here NAME\n"
      "\n"
      "Runs benchmarks and prints one `name: value` line per figure, the anchor measured in the\n"
      "same run. Without a NAME every benchmark runs; with one or several only those, in the order\n"
      "given (a NAME that is no benchmark's name selects those whose names start with it, e.g.\n"
      "`kavusdraa-bench scan fft`). Each benchmark runs in a process of its own, so a memory\n"
      "figure never includes what an earlier one used; the exit status is 1 when one failed.\n"
      "\n"
      "  --list       the benchmarks' names, one a line\n"
      "  --here NAME  run that one benchmark in this process (for a debugger or a profiler)\n"
      "  --help, -h   this text\n"
      "\n"
      "Benchmarks:\n";
  for (const std::string& name : known) text += "  " + name + "\n";
  return text;
}

}  // namespace kavu::bench

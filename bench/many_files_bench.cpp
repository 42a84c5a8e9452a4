// SPDX-License-Identifier: GPL-3.0-or-later
// Many small files in one folder: 1,000, 10,000 and 50,000 files of 4 KB,
// each batch command run once through voltare-cli as a user would (one
// password from a file, --yes, Blowfish, Normal Wipe of 1 pass), in the order
// a user's day would take them: bundle, encrypt, save and open a list, wipe
// the sources, decrypt the files and the archive, verify and list the
// archive. For each: milliseconds per file and the command's peak memory.
// Beside it, at the smallest count, a shell loop of gzip and openssl doing the
// same per-file work. The cost per file should not grow with the count: at the
// largest count at most 1.25 times that at the smallest.
//
// VOLTARE_BENCH_MANY=1000,10000 picks other counts (for a quick try). The
// files lie under TMPDIR: on a disk each output's flush to it weighs in, on a
// tmpfs (TMPDIR=/dev/shm) only the program's own work does.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_support.h"
#include "compare.h"

namespace {

namespace fs = std::filesystem;
using voltare::bench::Quoted;
using voltare::bench::ScopedVariable;
using voltare::bench::Workspace;

constexpr std::size_t kFileSize = 4096;
constexpr char kPassword[] = "many-files-bench-password";  // no character the shell would split or expand
constexpr char kCountsVariable[] = "VOLTARE_BENCH_MANY";
constexpr double kTargetRatio = 1.25;

// One command of the table: its row name and its arguments after
// "voltare-cli --password-file .. --yes", run in the folder of the files.
struct Step {
  const char* row;
  const char* arguments;
};

const Step kSteps[] = {
    {"encrypt --bundle", "encrypt --algorithm blowfish --bundle ../set.plx f*.txt"},
    {"encrypt", "encrypt --algorithm blowfish f*.txt"},
    {"list-save", "list-save ../set.vls f*.txt"},
    {"list-open", "list-open ../set.vls"},
    {"wipe (Normal, 1 pass)", "wipe --method normal --passes 1 f*.txt"},
    {"decrypt files", "decrypt f*.vlt"},
    {"decrypt archive", "decrypt --output-dir ../out ../set.plx"},
    {"verify archive", "verify ../set.plx"},
    {"archive-list", "archive-list ../set.plx"},
};
constexpr char kToolsRow[] = "gzip -9c | openssl enc loop";

struct Figure {
  double msPerFile = 0;     // wall clock
  double cpuMsPerFile = 0;  // user and system time: what other work on the machine changes least
  double peakMiB = 0;
};

// row -> file count -> figure
std::map<std::string, std::map<std::size_t, Figure>>& Figures() {
  static std::map<std::string, std::map<std::size_t, Figure>> figures;
  return figures;
}

// Where the files lay: TMPDIR as the run found it.
std::string& WorkRoot() {
  static std::string root;
  return root;
}

std::vector<std::size_t> FileCounts() {
  const char* chosen = std::getenv(kCountsVariable);
  std::vector<std::size_t> counts;
  std::stringstream list(chosen != nullptr && *chosen != '\0' ? chosen : "1000,10000,50000");
  for (std::string item; std::getline(list, item, ',');) {
    if (!item.empty()) counts.push_back(std::stoul(item));
  }
  if (counts.empty()) throw std::runtime_error(std::string(kCountsVariable) + " names no file count");
  return counts;
}

// Text-like bytes, different in each file.
std::string ContentOf(std::size_t index) {
  std::string text;
  std::uint64_t state = 0x9E3779B97F4A7C15ull ^ index;
  while (text.size() < kFileSize) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    text += "word" + std::to_string(state % 97) + (state % 11 == 0 ? '\n' : ' ');
  }
  text.resize(kFileSize);
  return text;
}

std::string FileName(std::size_t index) {
  char name[32];
  std::snprintf(name, sizeof name, "f%06zu.txt", index);
  return name;
}

void WriteFiles(const fs::path& folder, std::size_t count) {
  fs::create_directories(folder);
  for (std::size_t i = 0; i < count; ++i) {
    std::ofstream out(folder / FileName(i), std::ios::binary);
    out << ContentOf(i);
    if (!out.flush()) throw std::runtime_error("cannot write the inputs in " + folder.string());
  }
}

// Runs `command` with the shell and waits for it; its wall time, processor
// time and peak memory (the largest of the processes it waited for). What the
// command said on standard error ends up in `log`, and in the error when it
// fails.
Figure RunTimed(const std::string& command, std::size_t files, const fs::path& log) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child < 0) throw std::runtime_error("cannot start a shell");
  if (child == 0) {
    const std::string logged = command + " 2>" + Quoted(log);
    ::execl("/bin/sh", "sh", "-c", logged.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::ifstream said(log);
    throw std::runtime_error("failed: " + command + "\n" +
                             std::string((std::istreambuf_iterator<char>(said)), std::istreambuf_iterator<char>()));
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1000.0 + t.tv_usec / 1000.0; };
  const double perFile = 1.0 / static_cast<double>(files);
  return {seconds * 1000.0 * perFile, (ms(usage.ru_utime) + ms(usage.ru_stime)) * perFile,
          static_cast<double>(usage.ru_maxrss) / 1024.0};
}

// The decrypted files must be the inputs again: a fast wrong answer is no answer.
void CheckSample(const fs::path& folder, std::size_t count) {
  for (const std::size_t i : {std::size_t{0}, count / 2, count - 1}) {
    std::ifstream in(folder / FileName(i), std::ios::binary);
    const std::string read((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (read != ContentOf(i)) throw std::runtime_error("not restored: " + (folder / FileName(i)).string());
  }
}

void RunCount(const Workspace& space, std::size_t count) {
  const fs::path root = space.dir() / std::to_string(count);
  const fs::path folder = root / "files";
  WriteFiles(folder, count);
  fs::create_directories(root / "out");
  const std::string cli = Quoted(VOLTARE_CLI_PATH) + " --password-file " + Quoted(space.dir() / "pw.txt") + " --yes ";
  for (const Step& step : kSteps) {
    Figures()[step.row][count] =
        RunTimed("cd " + Quoted(folder) + " && " + cli + step.arguments + " >/dev/null", count, root / "said.txt");
  }
  CheckSample(folder, count);
  CheckSample(root / "out", count);
  fs::remove_all(root);
}

// The same per-file work by the common tools, at the smallest count.
void RunTools(const Workspace& space, std::size_t count) {
  const fs::path folder = space.dir() / "tools";
  WriteFiles(folder, count);
  // Blowfish is in OpenSSL 3's legacy provider.
  const std::string loop = std::string(
                               "for f; do gzip -9c \"$f\" | openssl enc -bf-cbc -pbkdf2 -provider legacy "
                               "-provider default -pass pass:") +
                           kPassword + " > \"$f.enc\"; done";
  Figures()[kToolsRow][count] =
      RunTimed("cd " + Quoted(folder) + " && bash -c '" + loop + "' _ f*.txt", count, space.dir() / "said.txt");
  fs::remove_all(folder);
}

void ManyFilesBenchmark(benchmark::State& state) {
  try {
    const Workspace space("voltare-many-bench");
    WorkRoot() = space.dir().parent_path().string();
    // The tool reads the settings of this run's own store, never the user's,
    // and keeps its temporary files apart from whatever else runs here.
    const ScopedVariable config("VOLTARE_CONFIG_DIR", (space.dir() / "config").string());
    const ScopedVariable temporary("TMPDIR", space.dir().string());
    std::ofstream(space.dir() / "pw.txt") << kPassword << "\n";
    const std::vector<std::size_t> counts = FileCounts();
    for (auto _ : state) {
      for (const std::size_t count : counts) RunCount(space, count);
      RunTools(space, counts.front());
    }
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
  }
}

std::string Cell(const std::map<std::size_t, Figure>& row, std::size_t count) {
  const auto found = row.find(count);
  if (found == row.end()) return "";
  char text[64];
  std::snprintf(text, sizeof text, "%7.3f (%6.3f) ms %6.1f MiB", found->second.msPerFile, found->second.cpuMsPerFile,
                found->second.peakMiB);
  return text;
}

void PrintTable(std::ostream& out) {
  if (Figures().empty()) return;
  std::vector<std::size_t> counts;
  for (const auto& [count, figure] : Figures().at(kSteps[0].row)) counts.push_back(count);
  out << "\nMany files of 4 KB in one folder under " << WorkRoot()
      << ", through voltare-cli: ms per file (processor ms per file) and peak memory\n";
  char line[256];
  std::snprintf(line, sizeof line, "  %-28s", "command");
  out << line;
  for (const std::size_t count : counts) {
    std::snprintf(line, sizeof line, " %29zu", count);
    out << line;
  }
  out << "   largest/smallest per file, wall (processor); target <= " << kTargetRatio << "\n";
  std::vector<std::string> rows;
  for (const Step& step : kSteps) rows.emplace_back(step.row);
  rows.emplace_back(kToolsRow);
  for (const std::string& row : rows) {
    if (!Figures().contains(row)) continue;
    const std::map<std::size_t, Figure>& figures = Figures().at(row);
    std::snprintf(line, sizeof line, "  %-28s", row.c_str());
    out << line;
    for (const std::size_t count : counts) {
      std::snprintf(line, sizeof line, " %29s", Cell(figures, count).c_str());
      out << line;
    }
    if (figures.size() == counts.size() && counts.size() > 1) {
      const Figure& largest = figures.at(counts.back());
      const Figure& smallest = figures.at(counts.front());
      const double ratio = largest.msPerFile / smallest.msPerFile;
      std::snprintf(line, sizeof line, "   %.2f (%.2f) %s", ratio, largest.cpuMsPerFile / smallest.cpuMsPerFile,
                    ratio <= kTargetRatio ? "met" : "MISSED");
      out << line;
    }
    out << '\n';
  }
}

const bool registered = [] {
  benchmark::RegisterBenchmark("many files of 4 KB through voltare-cli", ManyFilesBenchmark)
      ->Iterations(1)
      ->Unit(benchmark::kSecond)
      ->UseRealTime();
  voltare::bench::AddClosingTable(PrintTable);
  return true;
}();

}  // namespace

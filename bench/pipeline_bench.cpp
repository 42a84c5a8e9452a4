// The whole single-file pipeline against the common tools doing the same work:
// compress at level 9 and encrypt into a ".vlt" (ours) versus `gzip -9` and
// then `openssl enc` (theirs), and back, on 64 MiB of text-like and of random
// bytes, for each algorithm. Each side runs once per operation; the "ours" line
// carries both sides' wall-clock and processor seconds and their ratios
// (ours / theirs, lower is better).
//
// Then the peak resident memory of the pipeline, measured in a fresh process
// (this program started again in a child mode) on 64 MiB and on 1 GiB: it
// must not grow with the size of the file.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "bench_support.h"
#include "compare.h"
#include "platform/progress.h"
#include "transforms/blowfish_file.h"
#include "transforms/cast5_file.h"
#include "transforms/compress.h"
#include "transforms/des_file.h"
#include "transforms/key_material.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using voltare::bench::NoProgress;
using voltare::bench::Quoted;
using voltare::bench::RecordThroughput;
using voltare::bench::Require;
using voltare::bench::Shell;
using voltare::bench::Workspace;
using voltare::bench::Side;
using voltare::platform::ResultCode;

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr std::uint64_t kInputSize = 64 * kMiB;
constexpr std::uint64_t kLargeInputSize = 1024 * kMiB;
constexpr char kChildVariable[] = "VOLTARE_BENCH_PIPELINE_CHILD";
constexpr char kPassword[] = "correct horse battery";

// ---------------------------------------------------------------------------
// Algorithms, ours and the tools' spelling of the same cipher.

struct Algorithm {
  const char* name;
  const char* tool_cipher;  // openssl enc's name
  const char* tool_key;     // hex
  const char* tool_iv;      // hex, or nullptr for ECB
};

const Algorithm kAlgorithms[] = {
    {"Blowfish", "bf-cbc", "00112233445566778899aabbccddeeff", "0102030405060708"},
    {"CAST-128", "cast5-cbc", "00112233445566778899aabbccddeeff", "0102030405060708"},
    {"DES", "des-ecb", "0011223344556677", nullptr},
};

ResultCode EncryptFile(const Algorithm& algorithm, const fs::path& from, const fs::path& to,
                       voltare::platform::Progress* progress) {
  const std::string name = algorithm.name;
  if (name == "Blowfish") return voltare::transforms::BlowfishEncryptFile(from, to, kPassword, progress, false);
  if (name == "CAST-128") return voltare::transforms::Cast5EncryptFile(from, to, kPassword, progress);
  const std::uint64_t key = voltare::transforms::DesKeyFromPassword(kPassword);
  return voltare::transforms::DesEncryptFile(from, to, static_cast<std::uint32_t>(key),
                                             static_cast<std::uint32_t>(key >> 32), progress);
}

ResultCode DecryptFile(const Algorithm& algorithm, const fs::path& from, const fs::path& to,
                       voltare::platform::Progress* progress) {
  const std::string name = algorithm.name;
  if (name == "Blowfish") return voltare::transforms::BlowfishDecryptFile(from, to, kPassword, progress, false);
  if (name == "CAST-128") return voltare::transforms::Cast5DecryptFile(from, to, kPassword, progress);
  const std::uint64_t key = voltare::transforms::DesKeyFromPassword(kPassword);
  return voltare::transforms::DesDecryptFile(from, to, static_cast<std::uint32_t>(key),
                                             static_cast<std::uint32_t>(key >> 32), progress);
}

// What the program does per file: compress into a temporary file, encrypt
// that into the ".vlt", delete the temporary file; and the reverse.
void OursEncrypt(const Algorithm& algorithm, const fs::path& input, const fs::path& vlt) {
  NoProgress progress;
  const fs::path packed = vlt.parent_path() / "ours-packed.tmp";
  Require(voltare::transforms::CompressFile(input, packed, &progress), "CompressFile");
  Require(EncryptFile(algorithm, packed, vlt, &progress), "encryption");
  fs::remove(packed);
}

void OursDecrypt(const Algorithm& algorithm, const fs::path& vlt, const fs::path& output) {
  NoProgress progress;
  const fs::path packed = vlt.parent_path() / "ours-unpacked.tmp";
  Require(DecryptFile(algorithm, vlt, packed, &progress), "decryption");
  Require(voltare::transforms::DecompressFile(packed, output, &progress), "DecompressFile");
  fs::remove(packed);
}

// ---------------------------------------------------------------------------
// The tools, one after the other, as a shell would run them.

std::string ToolCipher(const Algorithm& algorithm) {
  std::string args = std::string("openssl enc -") + algorithm.tool_cipher +
                     " -provider legacy -provider default -K " + algorithm.tool_key;
  if (algorithm.tool_iv != nullptr) args += std::string(" -iv ") + algorithm.tool_iv;
  return args;
}

void TheirsEncrypt(const Algorithm& algorithm, const fs::path& input, const fs::path& output) {
  const fs::path packed = output.parent_path() / "theirs-packed.gz";
  Shell("gzip -9 -c " + Quoted(input) + " > " + Quoted(packed));
  Shell(ToolCipher(algorithm) + " -in " + Quoted(packed) + " -out " + Quoted(output));
  fs::remove(packed);
}

void TheirsDecrypt(const Algorithm& algorithm, const fs::path& encrypted, const fs::path& output) {
  const fs::path packed = encrypted.parent_path() / "theirs-unpacked.gz";
  Shell(ToolCipher(algorithm) + " -d -in " + Quoted(encrypted) + " -out " + Quoted(packed));
  Shell("gzip -d -c " + Quoted(packed) + " > " + Quoted(output));
  fs::remove(packed);
}

// ---------------------------------------------------------------------------
// Inputs, generated once per run into a private working directory.

Workspace& Work() {
  static Workspace workspace("voltare-pipeline-bench");
  return workspace;
}

enum class InputKind { kText, kRandom };

const char* KindName(InputKind kind) { return kind == InputKind::kText ? "text" : "random"; }

// Words of a skewed vocabulary in lines of about 70 characters: compresses
// roughly like prose (about 3 : 1 at level 9).
void WriteText(std::ofstream& out, std::uint64_t size) {
  std::mt19937 generator(3);
  std::vector<std::string> vocabulary(2000);
  const std::string letters = "etaoinshrdlucmfwypvbgkjqxz";
  for (auto& word : vocabulary) {
    const std::size_t alphabet = 8 + generator() % 19;
    const std::size_t length = 2 + generator() % 9;
    for (std::size_t i = 0; i < length; ++i) word += letters[generator() % alphabet];
  }
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  std::string buffer;
  std::uint64_t written = 0;
  std::size_t line = 0;
  while (written < size) {
    const double u = uniform(generator);
    const auto& word = vocabulary[static_cast<std::size_t>(vocabulary.size() * u * u * u)];
    buffer += word;
    line += word.size() + 1;
    buffer += line >= 70 ? '\n' : ' ';
    if (line >= 70) line = 0;
    if (buffer.size() >= kMiB || written + buffer.size() >= size) {
      const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size - written));
      out.write(buffer.data(), static_cast<std::streamsize>(take));
      written += take;
      buffer.clear();
    }
  }
}

void WriteRandom(std::ofstream& out, std::uint64_t size) {
  std::mt19937_64 generator(5);
  std::vector<std::uint64_t> block(kMiB / 8);
  for (std::uint64_t written = 0; written < size; written += kMiB) {
    for (auto& word : block) word = generator();
    out.write(reinterpret_cast<const char*>(block.data()),
              static_cast<std::streamsize>(std::min<std::uint64_t>(kMiB, size - written)));
  }
}

fs::path Input(InputKind kind, std::uint64_t size) {
  const fs::path path = Work().dir() / (std::string(KindName(kind)) + "-" + std::to_string(size / kMiB) + "MiB");
  if (!fs::exists(path)) {
    std::ofstream out(path, std::ios::binary);
    kind == InputKind::kText ? WriteText(out, size) : WriteRandom(out, size);
    if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
  }
  return path;
}

bool SameContents(const fs::path& a, const fs::path& b) {
  return std::system(("cmp -s " + Quoted(a) + " " + Quoted(b)).c_str()) == 0;
}

// Wall-clock seconds, and the processor seconds of whoever did the work: this
// process for ours, the child processes for the tools. The processor time
// stays comparable when the machine is busy with other work.
struct Timing {
  double wall = 0;
  double cpu = 0;
};

double CpuSeconds(int who) {
  struct rusage usage {};
  ::getrusage(who, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

Timing Measure(Side side, const std::function<void()>& work) {
  const int who = side == Side::kOurs ? RUSAGE_SELF : RUSAGE_CHILDREN;
  const double cpu_before = CpuSeconds(who);
  const auto start = std::chrono::steady_clock::now();
  work();
  Timing timing;
  timing.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  timing.cpu = CpuSeconds(who) - cpu_before;
  return timing;
}

// ---------------------------------------------------------------------------
// The comparison benchmarks: theirs runs first, so the "ours" line can show both.

std::map<std::string, Timing>& TheirTimes() {
  static std::map<std::string, Timing> times;
  return times;
}

void Report(benchmark::State& state, const std::string& operation, Side side, const Timing& timing) {
  state.SetBytesProcessed(static_cast<std::int64_t>(kInputSize));
  RecordThroughput(operation, side, static_cast<double>(kInputSize) / 1e6 / timing.wall);
  if (side == Side::kReference) {
    TheirTimes()[operation] = timing;
    return;
  }
  state.counters["ours_s"] = timing.wall;
  state.counters["ours_cpu_s"] = timing.cpu;
  const auto theirs = TheirTimes().find(operation);
  if (theirs != TheirTimes().end()) {
    state.counters["theirs_s"] = theirs->second.wall;
    state.counters["theirs_cpu_s"] = theirs->second.cpu;
    state.counters["time_ratio"] = timing.wall / theirs->second.wall;
    state.counters["cpu_ratio"] = timing.cpu / theirs->second.cpu;
  }
}

using Step = std::function<void(const Algorithm&, const fs::path&, const fs::path&)>;

struct Contender {
  Side side;
  const char* label;
  Step encrypt;
  Step decrypt;
  const char* extension;
};

void RegisterEncrypt(const std::string& operation, const Contender& s, const Algorithm& algorithm, InputKind kind) {
  benchmark::RegisterBenchmark((operation + "/" + s.label).c_str(),
                               [=](benchmark::State& state) {
                                 const fs::path input = Input(kind, kInputSize);
                                 const fs::path output = Work().dir() / (std::string(KindName(kind)) + "-" +
                                                                         algorithm.name + s.extension);
                                 Timing timing;
                                 try {
                                   for (auto _ : state) {
                                     timing = Measure(s.side, [&] { s.encrypt(algorithm, input, output); });
                                   }
                                 } catch (const std::exception& e) {
                                   state.SkipWithError(e.what());
                                   return;
                                 }
                                 Report(state, operation, s.side, timing);
                               })
      ->Iterations(1)
      ->Unit(benchmark::kSecond)
      ->UseRealTime();
}

void RegisterDecrypt(const std::string& operation, const Contender& s, const Algorithm& algorithm, InputKind kind) {
  benchmark::RegisterBenchmark(
      (operation + "/" + s.label).c_str(),
      [=](benchmark::State& state) {
        const fs::path input = Input(kind, kInputSize);
        const fs::path encrypted = Work().dir() / (std::string(KindName(kind)) + "-" + algorithm.name + s.extension);
        const fs::path output = Work().dir() / "restored";
        Timing timing;
        try {
          if (!fs::exists(encrypted)) s.encrypt(algorithm, input, encrypted);
          for (auto _ : state) {
            timing = Measure(s.side, [&] { s.decrypt(algorithm, encrypted, output); });
          }
          if (!SameContents(input, output)) throw std::runtime_error("the round trip changed the data");
          fs::remove(output);
          fs::remove(encrypted);
        } catch (const std::exception& e) {
          state.SkipWithError(e.what());
          return;
        }
        Report(state, operation, s.side, timing);
      })
      ->Iterations(1)
      ->Unit(benchmark::kSecond)
      ->UseRealTime();
}

// ---------------------------------------------------------------------------
// Peak memory, in a fresh process of this program.

// The child: encrypts and decrypts one input with Blowfish, the way the
// program does, and ends. Runs before main when the variable is set.
[[noreturn]] void RunChild(const char* job) {
  const std::string text = job;
  const auto bar = text.find('|');
  const fs::path input = text.substr(0, bar);
  const fs::path dir = text.substr(bar + 1);
  int status = 0;
  try {
    OursEncrypt(kAlgorithms[0], input, dir / "memory.vlt");
    OursDecrypt(kAlgorithms[0], dir / "memory.vlt", dir / "memory.out");
    status = fs::file_size(dir / "memory.out") == fs::file_size(input) ? 0 : 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    status = 1;
  }
  std::error_code ignored;
  fs::remove(dir / "memory.vlt", ignored);
  fs::remove(dir / "memory.out", ignored);
  std::_Exit(status);
}

const bool child_mode_checked = [] {
  if (const char* job = std::getenv(kChildVariable)) RunChild(job);
  return true;
}();

// Peak resident set of a child run over `input`, in MiB.
double ChildPeakMiB(const fs::path& input) {
  const std::string variable = std::string(kChildVariable) + "=" + input.string() + "|" + Work().dir().string();
  std::vector<char*> environment;
  for (char** e = environ; *e != nullptr; ++e) environment.push_back(*e);
  environment.push_back(const_cast<char*>(variable.c_str()));
  environment.push_back(nullptr);
  char name[] = "voltare-bench";
  char* arguments[] = {name, nullptr};

  const pid_t pid = ::fork();
  if (pid < 0) throw std::system_error(errno, std::generic_category(), "fork");
  if (pid == 0) {
    ::execve("/proc/self/exe", arguments, environment.data());
    std::_Exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (::wait4(pid, &status, 0, &usage) != pid) throw std::system_error(errno, std::generic_category(), "wait4");
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("the pipeline child failed");
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
}

void MemoryBenchmark(benchmark::State& state) {
  try {
    const fs::path small = Input(InputKind::kRandom, kInputSize);
    const fs::path large = Input(InputKind::kRandom, kLargeInputSize);
    double small_peak = 0;
    double large_peak = 0;
    for (auto _ : state) {
      small_peak = ChildPeakMiB(small);
      large_peak = ChildPeakMiB(large);
    }
    fs::remove(large);
    state.counters["peak_MiB_64MiB"] = small_peak;
    state.counters["peak_MiB_1GiB"] = large_peak;
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
  }
}

const bool registered = [] {
  const Contender theirs{Side::kReference, "gzip+openssl", TheirsEncrypt, TheirsDecrypt, ".gz.enc"};
  const Contender ours{Side::kOurs, "ours", OursEncrypt, OursDecrypt, ".vlt"};
  for (const InputKind kind : {InputKind::kText, InputKind::kRandom}) {
    for (const Algorithm& algorithm : kAlgorithms) {
      const std::string prefix = std::string("pipeline ") + KindName(kind) + " 64MiB " + algorithm.name;
      for (const Contender* s : {&theirs, &ours}) RegisterEncrypt(prefix + " compress+encrypt", *s, algorithm, kind);
      for (const Contender* s : {&theirs, &ours}) RegisterDecrypt(prefix + " decrypt+decompress", *s, algorithm, kind);
    }
  }
  benchmark::RegisterBenchmark("pipeline Blowfish peak memory (random input)", MemoryBenchmark)
      ->Iterations(1)
      ->Unit(benchmark::kSecond)
      ->UseRealTime();
  return true;
}();

}  // namespace

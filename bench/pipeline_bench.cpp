// SPDX-License-Identifier: GPL-3.0-or-later
// The whole single-file pipeline against the common tools doing the same work,
// on 64 MiB of text-like and of random bytes, for each algorithm: compress at
// level 9 and encrypt into a ".vlt", and back. The contenders, each run once
// as a process of its own so that its processor time and peak memory are its
// alone:
//
//   ours at 1 worker (the single-stream path) and at all workers (this
//   program started again in a child mode, VOLTARE_THREADS set for it);
//   decrypting, ours on 1 thread (the two steps one after the other) and on
//   2 (one thread decrypts ahead while the other expands);
//   `gzip -9 | openssl enc` and `pigz -9 | openssl enc`, a real pipe, one
//   process per stage (decrypting: `openssl enc -d | gzip -d`, `| pigz -d`).
//
// Each is timed as the fastest of three runs, the least disturbed by
// whatever else the machine runs.
//
// Sealed files (XChaCha20-Poly1305) have no such tool; their compress-and-
// encrypt runs beside Blowfish's, and one key derivation at the defaults is
// timed apart, with how far it raises the peak memory.
//
// After the run it prints them side by side: MB/s of input, processor
// seconds, output size and ratio, peak memory (for the tools the sum of both
// stages' peaks). Then how our compress-and-encrypt speed scales from 1 to N
// workers, how the decryption divides between its two steps, ours on 1 and 2
// threads against the tools' pipe, the sealed files beside Blowfish, and our
// peak memory on 1 GiB at 1, 2 and 8 workers: it must not grow with the size
// of the file.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "bench_support.h"
#include "compare.h"
#include "platform/file.h"
#include "platform/progress.h"
#include "transforms/blowfish_file.h"
#include "transforms/cast5_file.h"
#include "transforms/compress.h"
#include "transforms/decrypt_expand.h"
#include "transforms/des_file.h"
#include "transforms/key_material.h"
#include "transforms/parallel_deflate.h"
#include "transforms/sealed_key.h"
#include "transforms/xchacha_file.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using voltare::bench::NoProgress;
using voltare::bench::Quoted;
using voltare::bench::Require;
using voltare::bench::Workspace;
using voltare::platform::ResultCode;

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr std::uint64_t kInputSize = 64 * kMiB;
constexpr std::uint64_t kLargeInputSize = 1024 * kMiB;
constexpr char kChildVariable[] = "VOLTARE_BENCH_PIPELINE_CHILD";
constexpr char kThreadsVariable[] = "VOLTARE_THREADS";
constexpr char kPassword[] = "correct horse battery";
// Sealed files' key derivation: the child that seals a file derives at the
// lowest limits, since the derivation is timed apart, at the defaults.
constexpr char kArgon2Variable[] = "VOLTARE_ARGON2_LIMITS";
constexpr char kLowestArgon2[] = "1,8192";

// ---------------------------------------------------------------------------
// Algorithms, ours and the tools' spelling of the same cipher.

struct Algorithm {
  const char* name;
  int code;                 // the ".vlt" algorithm code
  const char* tool_cipher;  // openssl enc's name; nullptr when the tools have no such file
  const char* tool_key;     // hex
  const char* tool_iv;      // hex, or nullptr for ECB
};

const Algorithm kAlgorithms[] = {
    {"Blowfish", 0, "bf-cbc", "00112233445566778899aabbccddeeff", "0102030405060708"},
    {"CAST-128", 1, "cast5-cbc", "00112233445566778899aabbccddeeff", "0102030405060708"},
    {"DES", 2, "des-ecb", "0011223344556677", nullptr},
    {"XChaCha20-Poly1305", 3, nullptr, nullptr, nullptr},
};
constexpr std::size_t kXChaCha = 3;

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

// The batch's key derived once (at the limits the child was given: the
// derivation is timed apart), then the file compressed with zstd and sealed
// in one pass, as the program does it at any size.
void OursSeal(const fs::path& input, const fs::path& vlt) {
  NoProgress progress;
  voltare::transforms::SealedKeyRing ring;
  const voltare::transforms::SealedKey& key = ring.ForEncryption(kPassword);
  Require(voltare::transforms::XChaChaCompressEncryptFile(input, vlt, key, &progress, {}), "compression and sealing");
}

// What the program does per file: a file large enough for the workers, under
// a CBC algorithm, is compressed and encrypted in one pass; any other is
// compressed into a temporary file, which is encrypted into the ".vlt" and
// deleted. And the reverse.
void OursEncrypt(const Algorithm& algorithm, const fs::path& input, const fs::path& vlt) {
  NoProgress progress;
  const std::string name = algorithm.name;
  if (algorithm.code == voltare::transforms::kAlgorithmXChaCha20) {
    OursSeal(input, vlt);
    return;
  }
  if (name != "DES" && voltare::transforms::DeflatesInParallel(fs::file_size(input))) {
    const auto onePass = name == "Blowfish" ? &voltare::transforms::BlowfishCompressEncryptFile
                                            : &voltare::transforms::Cast5CompressEncryptFile;
    Require(onePass(input, vlt, kPassword, &progress, {}), "compression and encryption");
    return;
  }
  const fs::path packed = vlt.string() + ".packed.tmp";
  Require(voltare::transforms::CompressFile(input, packed, &progress), "CompressFile");
  Require(EncryptFile(algorithm, packed, vlt, &progress), "encryption");
  fs::remove(packed);
}

// The two steps of decryption timed apart: into a temporary file, then
// expanded from it, as the program decrypts on one thread.
struct DecryptSteps {
  double decrypt = 0;
  double decompress = 0;
};

DecryptSteps OursDecryptInSteps(const Algorithm& algorithm, const fs::path& vlt, const fs::path& output) {
  NoProgress progress;
  const fs::path packed = output.string() + ".unpacked.tmp";
  const auto start = std::chrono::steady_clock::now();
  Require(DecryptFile(algorithm, vlt, packed, &progress), "decryption");
  const auto decrypted = std::chrono::steady_clock::now();
  Require(voltare::transforms::DecompressFile(packed, output, &progress), "DecompressFile");
  const auto end = std::chrono::steady_clock::now();
  fs::remove(packed);
  return {std::chrono::duration<double>(decrypted - start).count(),
          std::chrono::duration<double>(end - decrypted).count()};
}

// What the program does per file: a large Blowfish or CAST-128 file, with
// more than one worker, is decrypted on one thread while this one expands it;
// any other in the two steps above.
void OursDecrypt(const Algorithm& algorithm, const fs::path& vlt, const fs::path& output) {
  if (!voltare::transforms::DecryptsOnTwoThreads(algorithm.code, fs::file_size(vlt))) {
    OursDecryptInSteps(algorithm, vlt, output);
    return;
  }
  NoProgress progress;
  voltare::platform::File out;
  const auto create = [&]() -> voltare::platform::File& {
    out = voltare::platform::File(output, voltare::platform::File::Mode::CreateTruncate);
    return out;
  };
  Require(voltare::transforms::DecryptExpandFile(algorithm.code, vlt, kPassword, &progress, create),
          "two-thread decryption");
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

// ---------------------------------------------------------------------------
// Each contender runs as a process of its own: its wall-clock time, its
// processor time (with every process it waited for) and its peak memory.

struct Run {
  double wall = 0;
  double cpu = 0;
  double peak_mib = 0;
};

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

bool StartsWith(const char* text, const std::string& prefix) {
  return std::strncmp(text, prefix.c_str(), prefix.size()) == 0;
}

// Runs `program` with this program's environment, less the variables the
// contenders set, plus `extra`.
Run RunProcess(const char* program, std::vector<std::string> arguments, const std::vector<std::string>& extra) {
  std::vector<std::string> settings;
  for (char** e = environ; *e != nullptr; ++e) {
    if (StartsWith(*e, std::string(kThreadsVariable) + "=") || StartsWith(*e, std::string(kChildVariable) + "=") ||
        StartsWith(*e, std::string(kArgon2Variable) + "=")) {
      continue;
    }
    settings.emplace_back(*e);
  }
  settings.insert(settings.end(), extra.begin(), extra.end());
  std::vector<char*> environment;
  for (auto& setting : settings) environment.push_back(setting.data());
  environment.push_back(nullptr);
  std::vector<char*> argv;
  for (auto& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid < 0) throw std::system_error(errno, std::generic_category(), "fork");
  if (pid == 0) {
    ::execve(program, argv.data(), environment.data());
    std::_Exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (::wait4(pid, &status, 0, &usage) != pid) throw std::system_error(errno, std::generic_category(), "wait4");
  Run run;
  run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error(arguments.back() + " failed");
  run.cpu = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  run.peak_mib = static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
  return run;
}

// Ours: this program again, in the child mode below, on `workers` workers.
enum class Direction { kEncrypt, kDecrypt };

Run RunOurs(Direction direction, std::size_t algorithm, const fs::path& from, const fs::path& to, unsigned workers) {
  const std::string job = std::string(direction == Direction::kEncrypt ? "encrypt" : "decrypt") + "|" +
                          std::to_string(algorithm) + "|" + from.string() + "|" + to.string();
  return RunProcess(
      "/proc/self/exe", {"voltare-bench", job},
      {std::string(kChildVariable) + "=" + job, std::string(kThreadsVariable) + "=" + std::to_string(workers),
       std::string(kArgon2Variable) + "=" + kLowestArgon2});
}

// One derivation at the defaults new files get, in a fresh process: its time
// and how far it raised the process's peak resident memory, into `result`.
void MeasureDerivation(const fs::path& result) {
  const auto peakKiB = [] {
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss);
  };
  const voltare::transforms::Argon2Limits limits = voltare::transforms::DefaultArgon2Limits();
  const voltare::transforms::SealedSalt salt{};
  const double before = peakKiB();
  const auto start = std::chrono::steady_clock::now();
  const voltare::transforms::SealedKey key = voltare::transforms::DeriveSealedKey(kPassword, salt, limits);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::ofstream out(result);
  out << seconds << ' ' << (peakKiB() - before) / 1024.0 << ' ' << limits.passes << ' ' << limits.memoryKiB << '\n';
  if (!out.flush()) throw std::runtime_error("cannot write " + result.string());
}

// The child: one step the way the program does it, then ends. Runs before
// main when the variable is set.
[[noreturn]] void RunChild(const std::string& job) {
  std::vector<std::string> fields;
  for (std::size_t at = 0;;) {
    const auto bar = job.find('|', at);
    fields.push_back(job.substr(at, bar - at));
    if (bar == std::string::npos) break;
    at = bar + 1;
  }
  try {
    if (fields.size() == 2 && fields[0] == "derive") {
      MeasureDerivation(fields[1]);
      std::_Exit(0);
    }
    if (fields.size() != 4) throw std::runtime_error("bad child job " + job);
    const Algorithm& algorithm = kAlgorithms[std::stoul(fields[1])];
    if (fields[0] == "encrypt") {
      OursEncrypt(algorithm, fields[2], fields[3]);
    } else {
      OursDecrypt(algorithm, fields[2], fields[3]);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    std::_Exit(1);
  }
  std::_Exit(0);
}

const bool child_mode_checked = [] {
  if (const char* job = std::getenv(kChildVariable)) RunChild(job);
  return true;
}();

// Theirs: a real pipe, each stage under /usr/bin/time for its peak memory.
std::string ToolCipher(const Algorithm& algorithm) {
  std::string args = std::string("openssl enc -") + algorithm.tool_cipher + " -provider legacy -provider default -K " +
                     algorithm.tool_key;
  if (algorithm.tool_iv != nullptr) args += std::string(" -iv ") + algorithm.tool_iv;
  return args;
}

fs::path PeakFile(int stage) { return Work().dir() / ("peak-" + std::to_string(stage)); }

std::string Timed(const std::string& command, int stage) {
  return "/usr/bin/time -f %M -o " + Quoted(PeakFile(stage)) + " " + command;
}

double ReadPeakMiB(int stage) {
  std::ifstream in(PeakFile(stage));
  double kib = 0;
  if (!(in >> kib)) throw std::runtime_error("no peak memory from /usr/bin/time");
  return kib / 1024.0;
}

Run RunTool(const std::string& compressor, const Algorithm& algorithm, Direction direction, const fs::path& from,
            const fs::path& to) {
  const std::string pipe = direction == Direction::kEncrypt
                               ? Timed(compressor + " -9 -c " + Quoted(from), 1) + " | " +
                                     Timed(ToolCipher(algorithm) + " -out " + Quoted(to), 2)
                               : Timed(ToolCipher(algorithm) + " -d -in " + Quoted(from), 1) + " | " +
                                     Timed(compressor + " -d -c", 2) + " > " + Quoted(to);
  Run run = RunProcess("/bin/bash", {"bash", "-o", "pipefail", "-c", pipe}, {});
  run.peak_mib = ReadPeakMiB(1) + ReadPeakMiB(2);  // the stages run side by side
  return run;
}

// ---------------------------------------------------------------------------
// The contenders and what they measured.

struct Contender {
  std::string tag;         // the benchmark name's last part
  std::string label;       // in the closing table
  unsigned workers = 0;    // ours: how many; 0 for a tool
  std::string compressor;  // a tool: gzip or pigz
};

Contender Ours(unsigned workers) {
  return {"ours-" + std::to_string(workers) + "w",
          "ours, " + std::to_string(workers) + (workers == 1 ? " worker" : " workers"), workers, ""};
}

std::vector<Contender> Contenders() {
  std::vector<Contender> contenders{Ours(1)};
  if (const unsigned all = voltare::transforms::DeflateWorkerCount(); all > 1) contenders.push_back(Ours(all));
  contenders.push_back({"gzip+openssl", "gzip -9 | openssl enc", 0, "gzip"});
  contenders.push_back({"pigz+openssl", "pigz -9 | openssl enc", 0, "pigz"});
  return contenders;
}

// Decrypting, ours runs the two steps on one thread, or on two threads
// whatever the worker count.
Contender OursThreads(unsigned threads) {
  return {"ours-" + std::to_string(threads) + "t",
          "ours, " + std::to_string(threads) + (threads == 1 ? " thread" : " threads"), threads, ""};
}

std::vector<Contender> DecryptContenders() {
  std::vector<Contender> contenders = Contenders();
  contenders.erase(std::remove_if(contenders.begin(), contenders.end(), [](auto& c) { return c.workers > 0; }),
                   contenders.end());
  contenders.insert(contenders.begin(), {OursThreads(1), OursThreads(2)});
  return contenders;
}

Run RunContender(const Contender& contender, std::size_t algorithm, Direction direction, const fs::path& from,
                 const fs::path& to) {
  if (contender.workers > 0) return RunOurs(direction, algorithm, from, to, contender.workers);
  return RunTool(contender.compressor, kAlgorithms[algorithm], direction, from, to);
}

struct Figures {
  const Contender* contender;
  double mb_per_s;
  double cpu;
  std::uint64_t output_bytes;  // 0 when not a compressed output
  double peak_mib;
};

struct Operation {
  std::string name;
  std::vector<Figures> figures;
};

std::vector<Operation>& Operations() {
  static std::vector<Operation> operations;
  return operations;
}

void Record(benchmark::State& state, const std::string& operation, const Contender& contender, const Run& run,
            std::uint64_t output_bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(kInputSize));
  state.counters["cpu_s"] = run.cpu;
  state.counters["peak_MiB"] = run.peak_mib;
  if (output_bytes > 0) state.counters["ratio"] = static_cast<double>(output_bytes) / static_cast<double>(kInputSize);
  auto& operations = Operations();
  auto it = std::find_if(operations.begin(), operations.end(), [&](const Operation& o) { return o.name == operation; });
  if (it == operations.end()) it = operations.insert(operations.end(), Operation{operation, {}});
  it->figures.push_back(
      {&contender, static_cast<double>(kInputSize) / 1e6 / run.wall, run.cpu, output_bytes, run.peak_mib});
}

// The fastest of three runs: the least disturbed on a shared machine.
Run Fastest(const Contender& contender, std::size_t algorithm, Direction direction, const fs::path& from,
            const fs::path& to) {
  Run fastest{1e9, 0, 0};
  for (int repetition = 0; repetition < 3; ++repetition) {
    const Run once = RunContender(contender, algorithm, direction, from, to);
    if (once.wall < fastest.wall) fastest = once;
  }
  return fastest;
}

fs::path EncryptedPath(InputKind kind, const Algorithm& algorithm, const Contender& contender) {
  return Work().dir() / (std::string(KindName(kind)) + "-" + algorithm.name + "-" + contender.tag + ".enc");
}

void RegisterEncrypt(const std::string& operation, const Contender& contender, std::size_t algorithm, InputKind kind) {
  benchmark::RegisterBenchmark(("pipeline " + operation + "/" + contender.tag).c_str(),
                               [=, &contender](benchmark::State& state) {
                                 try {
                                   const fs::path input = Input(kind, kInputSize);
                                   const fs::path output = EncryptedPath(kind, kAlgorithms[algorithm], contender);
                                   Run run;
                                   for (auto _ : state) {
                                     run = Fastest(contender, algorithm, Direction::kEncrypt, input, output);
                                   }
                                   Record(state, operation, contender, run, fs::file_size(output));
                                 } catch (const std::exception& e) {
                                   state.SkipWithError(e.what());
                                 }
                               })
      ->Iterations(1)
      ->Unit(benchmark::kSecond)
      ->UseRealTime();
}

void RegisterDecrypt(const std::string& operation, const Contender& contender, std::size_t algorithm, InputKind kind) {
  benchmark::RegisterBenchmark(("pipeline " + operation + "/" + contender.tag).c_str(),
                               [=, &contender](benchmark::State& state) {
                                 try {
                                   const fs::path input = Input(kind, kInputSize);
                                   const fs::path encrypted = EncryptedPath(kind, kAlgorithms[algorithm], contender);
                                   const fs::path output = Work().dir() / "restored";
                                   if (!fs::exists(encrypted))
                                     RunContender(contender, algorithm, Direction::kEncrypt, input, encrypted);
                                   Run run;
                                   for (auto _ : state) {
                                     run = Fastest(contender, algorithm, Direction::kDecrypt, encrypted, output);
                                   }
                                   if (!SameContents(input, output))
                                     throw std::runtime_error("the round trip changed the data");
                                   fs::remove(output);
                                   fs::remove(encrypted);
                                   Record(state, operation, contender, run, 0);
                                 } catch (const std::exception& e) {
                                   state.SkipWithError(e.what());
                                 }
                               })
      ->Iterations(1)
      ->Unit(benchmark::kSecond)
      ->UseRealTime();
}

// ---------------------------------------------------------------------------
// The two steps of decryption, in this process: what running them on two
// threads could gain at best is the shorter step.

struct StepFigures {
  std::string input;
  DecryptSteps steps;
};

std::vector<StepFigures>& StepResults() {
  static std::vector<StepFigures> results;
  return results;
}

void DecryptStepsBenchmark(benchmark::State& state, InputKind kind) {
  try {
    const fs::path input = Input(kind, kInputSize);
    const fs::path vlt = Work().dir() / "steps.vlt";
    const fs::path output = Work().dir() / "steps.out";
    OursEncrypt(kAlgorithms[0], input, vlt);
    DecryptSteps best{1e9, 1e9};
    for (auto _ : state) {
      for (int repetition = 0; repetition < 3; ++repetition) {  // the fastest of three: the least disturbed
        const DecryptSteps steps = OursDecryptInSteps(kAlgorithms[0], vlt, output);
        best.decrypt = std::min(best.decrypt, steps.decrypt);
        best.decompress = std::min(best.decompress, steps.decompress);
        fs::remove(output);
      }
    }
    fs::remove(vlt);
    state.counters["decrypt_s"] = best.decrypt;
    state.counters["decompress_s"] = best.decompress;
    StepResults().push_back({KindName(kind), best});
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
  }
}

// ---------------------------------------------------------------------------
// Peak memory on 1 GiB: encrypting and decrypting, each in a fresh process.

constexpr unsigned kMemoryWorkerCounts[] = {1, 2, voltare::transforms::kMaxDeflateWorkers};

std::map<unsigned, double>& LargePeaks() {
  static std::map<unsigned, double> peaks;
  return peaks;
}

void MemoryBenchmark(benchmark::State& state) {
  try {
    const fs::path large = Input(InputKind::kRandom, kLargeInputSize);
    const fs::path vlt = Work().dir() / "memory.vlt";
    const fs::path output = Work().dir() / "memory.out";
    for (auto _ : state) {
      for (const unsigned workers : kMemoryWorkerCounts) {
        const Run encrypt = RunOurs(Direction::kEncrypt, 0, large, vlt, workers);
        const Run decrypt = RunOurs(Direction::kDecrypt, 0, vlt, output, workers);
        if (fs::file_size(output) != kLargeInputSize) throw std::runtime_error("the round trip lost data");
        fs::remove(vlt);
        fs::remove(output);
        LargePeaks()[workers] = std::max(encrypt.peak_mib, decrypt.peak_mib);
        state.counters["peak_MiB_" + std::to_string(workers) + "w"] = LargePeaks()[workers];
      }
    }
    fs::remove(large);
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
  }
}

// ---------------------------------------------------------------------------
// The closing tables.

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof(text), format, value);
  return text;
}

const Figures* FiguresOf(const Operation& operation, const std::string& compressor, unsigned workers) {
  for (const Figures& f : operation.figures) {
    if (f.contender->compressor == compressor && f.contender->workers == workers) return &f;
  }
  return nullptr;
}

void PrintSideBySide(std::ostream& out) {
  if (Operations().empty()) return;
  char line[256];
  out << "\nPipeline, 64 MiB, fastest of three: MB/s of input; cpu s: processor seconds of every process; output: "
         "bytes and\n"
         "share of the input; peak: resident MiB (the tools: both stages added up); vs: MB/s ratio\n";
  std::snprintf(line, sizeof(line), "%-34s %7s %7s %11s %7s %8s %8s %8s %10s\n", "operation / contender", "MB/s",
                "cpu s", "output", "ratio", "peak MiB", "vs gzip", "vs pigz", "size vs 1w");
  out << line << std::string(118, '-') << '\n';
  for (const Operation& operation : Operations()) {
    out << operation.name << '\n';
    const Figures* gzip = FiguresOf(operation, "gzip", 0);
    const Figures* pigz = FiguresOf(operation, "pigz", 0);
    const Figures* single = FiguresOf(operation, "", 1);
    for (const Figures& f : operation.figures) {
      const auto versus = [&](const Figures* other) {
        return other != nullptr ? Format("%.2fx", f.mb_per_s / other->mb_per_s) : std::string("-");
      };
      const bool ours = f.contender->workers > 0;
      std::string size_change = "-";
      if (ours && single != nullptr && single->output_bytes > 0 && f.output_bytes > 0) {
        size_change =
            Format("%+.3f %%",
                   100.0 * (static_cast<double>(f.output_bytes) / static_cast<double>(single->output_bytes) - 1.0));
      }
      std::snprintf(line, sizeof(line), "  %-32s %7.1f %7.2f %11s %7s %8.1f %8s %8s %10s\n", f.contender->label.c_str(),
                    f.mb_per_s, f.cpu, f.output_bytes > 0 ? std::to_string(f.output_bytes).c_str() : "-",
                    f.output_bytes > 0 ? Format("%.4f", static_cast<double>(f.output_bytes) / kInputSize).c_str() : "-",
                    f.peak_mib, versus(gzip).c_str(), versus(pigz).c_str(), size_change.c_str());
      out << line;
    }
  }
}

void PrintScaling(std::ostream& out) {
  const auto& operations = Operations();
  const auto it = std::find_if(operations.begin(), operations.end(),
                               [](const Operation& o) { return o.name == "text 64MiB Blowfish compress+encrypt"; });
  if (it == operations.end()) return;
  std::vector<const Figures*> ours;
  for (const Figures& f : it->figures) {
    if (f.contender->workers > 0) ours.push_back(&f);
  }
  if (ours.empty()) return;
  std::sort(ours.begin(), ours.end(), [](auto* a, auto* b) { return a->contender->workers < b->contender->workers; });
  out << "\nScaling: our compress+encrypt, text 64 MiB, Blowfish\n";
  char line[128];
  std::snprintf(line, sizeof(line), "%8s %8s %9s %8s\n", "workers", "MB/s", "speed-up", "cpu s");
  out << line << std::string(36, '-') << '\n';
  for (const Figures* f : ours) {
    std::snprintf(line, sizeof(line), "%8u %8.1f %8.2fx %8.2f\n", f->contender->workers, f->mb_per_s,
                  f->mb_per_s / ours.front()->mb_per_s, f->cpu);
    out << line;
  }
}

void PrintDecryptSteps(std::ostream& out) {
  if (StepResults().empty()) return;
  out << "\nDecryption in two steps, Blowfish 64 MiB (fastest of three): the shorter step is all that\n"
         "running them side by side on two threads could save, were nothing else moved off the expanding one\n";
  char line[160];
  std::snprintf(line, sizeof(line), "%-8s %10s %13s %12s %14s %10s\n", "input", "decrypt s", "decompress s",
                "one after s", "side by side s", "at best");
  out << line << std::string(72, '-') << '\n';
  for (const StepFigures& r : StepResults()) {
    const double sequential = r.steps.decrypt + r.steps.decompress;
    const double overlapped = std::max(r.steps.decrypt, r.steps.decompress);
    std::snprintf(line, sizeof(line), "%-8s %10.3f %13.3f %12.3f %14.3f %9.2fx\n", r.input.c_str(), r.steps.decrypt,
                  r.steps.decompress, sequential, overlapped, sequential / overlapped);
    out << line;
  }
}

void PrintLargePeaks(std::ostream& out) {
  if (LargePeaks().empty()) return;
  out << "\nPeak memory, 1 GiB of random input, Blowfish, encrypt and decrypt each in a fresh process:";
  for (const auto& [workers, peak] : LargePeaks()) {
    out << ' ' << workers << (workers == 1 ? " worker " : " workers ") << Format("%.1f", peak) << " MiB;";
  }
  out << '\n';
}

// ---------------------------------------------------------------------------
// One key derivation of a sealed file at the defaults, in a fresh process.

struct Derivation {
  double seconds = 0;
  double peak_growth_mib = 0;
  unsigned passes = 0;
  unsigned memory_kib = 0;
};

std::optional<Derivation>& DerivationResult() {
  static std::optional<Derivation> result;
  return result;
}

void DerivationBenchmark(benchmark::State& state) {
  try {
    const fs::path result = Work().dir() / "derivation";
    const std::string job = "derive|" + result.string();
    for (auto _ : state)
      RunProcess("/proc/self/exe", {"voltare-bench", job}, {std::string(kChildVariable) + "=" + job});
    std::ifstream in(result);
    Derivation d;
    if (!(in >> d.seconds >> d.peak_growth_mib >> d.passes >> d.memory_kib)) {
      throw std::runtime_error("no figures from the derivation");
    }
    state.counters["derive_s"] = d.seconds;
    state.counters["peak_growth_MiB"] = d.peak_growth_mib;
    DerivationResult() = d;
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
  }
}

const Operation* OperationNamed(const std::string& name) {
  const auto& operations = Operations();
  const auto it =
      std::find_if(operations.begin(), operations.end(), [&](const Operation& o) { return o.name == name; });
  return it == operations.end() ? nullptr : &*it;
}

// Ours on one thread and on two beside the tools' pipe, decrypting.
void PrintTwoThreadDecryption(std::ostream& out) {
  out << "\nDecrypt+decompress, 64 MiB: ours on 1 and 2 threads beside `openssl enc -d | pigz -dc` (the file\n"
         "is compressed, then encrypted); target: 2 threads >= 1.30x pigz on text. DES files decrypt on one\n"
         "thread either way: their two columns show how much the figures vary from run to run\n";
  char line[160];
  std::snprintf(line, sizeof(line), "%-28s %9s %9s %9s %11s %9s\n", "input / algorithm", "1 thread", "2 threads",
                "2 vs 1", "pigz pipe", "2 vs pigz");
  out << line << std::string(81, '-') << '\n';
  for (const InputKind kind : {InputKind::kText, InputKind::kRandom}) {
    for (const Algorithm& algorithm : kAlgorithms) {
      const std::string name = std::string(KindName(kind)) + " 64MiB " + algorithm.name;
      const Operation* operation = OperationNamed(name + " decrypt+decompress");
      if (operation == nullptr) continue;
      const Figures* one = FiguresOf(*operation, "", 1);
      const Figures* two = FiguresOf(*operation, "", 2);
      const Figures* pigz = FiguresOf(*operation, "pigz", 0);
      if (one == nullptr || two == nullptr || pigz == nullptr) continue;
      std::snprintf(line, sizeof(line), "%-28s %9.1f %9.1f %8.2fx %11.1f %8.2fx\n", name.c_str(), one->mb_per_s,
                    two->mb_per_s, two->mb_per_s / one->mb_per_s, pigz->mb_per_s, two->mb_per_s / pigz->mb_per_s);
      out << line;
    }
  }
}

// Sealed files' compress+encrypt beside Blowfish's, same run, and what one
// derivation adds per batch.
void PrintSealedBesideBlowfish(std::ostream& out) {
  out << "\nCompress+encrypt, 64 MiB: XChaCha20-Poly1305 beside Blowfish (the sealed file's key derived\n"
         "beforehand, once per batch, at the lowest limits; one derivation at the defaults is timed below)\n";
  char line[160];
  std::snprintf(line, sizeof(line), "%-8s %-10s %10s %12s %8s\n", "input", "workers", "Blowfish", "XChaCha20", "ratio");
  out << line << std::string(52, '-') << '\n';
  for (const InputKind kind : {InputKind::kText, InputKind::kRandom}) {
    const std::string prefix = std::string(KindName(kind)) + " 64MiB ";
    const Operation* blowfish = OperationNamed(prefix + "Blowfish compress+encrypt");
    const Operation* sealed = OperationNamed(prefix + "XChaCha20-Poly1305 compress+encrypt");
    if (blowfish == nullptr || sealed == nullptr) continue;
    for (const Figures& f : sealed->figures) {
      const Figures* b = FiguresOf(*blowfish, "", f.contender->workers);
      if (b == nullptr) continue;
      std::snprintf(line, sizeof(line), "%-8s %-10u %10.1f %12.1f %7.2fx\n", KindName(kind), f.contender->workers,
                    b->mb_per_s, f.mb_per_s, f.mb_per_s / b->mb_per_s);
      out << line;
    }
  }
  if (const auto& d = DerivationResult()) {
    out << "One key derivation, Argon2id, " << d->passes << " passes over " << d->memory_kib / 1024
        << " MiB: " << Format("%.3f", d->seconds) << " s, peak resident memory +" << Format("%.1f", d->peak_growth_mib)
        << " MiB\n";
  }
}

const bool registered = [] {
  static const std::vector<Contender> contenders = Contenders();
  static const std::vector<Contender> decrypting = DecryptContenders();
  for (const InputKind kind : {InputKind::kText, InputKind::kRandom}) {
    for (std::size_t algorithm = 0; algorithm < std::size(kAlgorithms); ++algorithm) {
      const std::string prefix = std::string(KindName(kind)) + " 64MiB " + kAlgorithms[algorithm].name;
      const bool tools = kAlgorithms[algorithm].tool_cipher != nullptr;
      for (const Contender& c : contenders) {
        if (tools || c.workers > 0) RegisterEncrypt(prefix + " compress+encrypt", c, algorithm, kind);
      }
      if (!tools) continue;  // sealed files: their encryption beside Blowfish's is what is asked
      for (const Contender& c : decrypting) RegisterDecrypt(prefix + " decrypt+decompress", c, algorithm, kind);
    }
  }
  benchmark::RegisterBenchmark("pipeline key derivation, Argon2id at the defaults", DerivationBenchmark)
      ->Iterations(1)
      ->Unit(benchmark::kSecond)
      ->UseRealTime();
  // The worker counts between 1 and all, for the scaling table.
  static std::vector<Contender> between;
  const unsigned all = voltare::transforms::DeflateWorkerCount();
  for (unsigned workers = 2; workers < all; ++workers) between.push_back(Ours(workers));
  for (const Contender& c : between) RegisterEncrypt("text 64MiB Blowfish compress+encrypt", c, 0, InputKind::kText);

  for (const InputKind kind : {InputKind::kText, InputKind::kRandom}) {
    benchmark::RegisterBenchmark((std::string("pipeline decrypt steps ") + KindName(kind) + " 64MiB Blowfish").c_str(),
                                 [kind](benchmark::State& state) { DecryptStepsBenchmark(state, kind); })
        ->Iterations(1)
        ->Unit(benchmark::kSecond)
        ->UseRealTime();
  }
  benchmark::RegisterBenchmark("pipeline Blowfish peak memory 1GiB (random input)", MemoryBenchmark)
      ->Iterations(1)
      ->Unit(benchmark::kSecond)
      ->UseRealTime();
  voltare::bench::AddClosingTable([](std::ostream& out) {
    PrintSideBySide(out);
    PrintScaling(out);
    PrintDecryptSteps(out);
    PrintTwoThreadDecryption(out);
    PrintSealedBesideBlowfish(out);
    PrintLargePeaks(out);
  });
  return true;
}();

}  // namespace

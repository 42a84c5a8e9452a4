// SPDX-License-Identifier: GPL-3.0-or-later
// The batch layer's cost: encrypting and then decrypting three files of
// 32 MiB through voltare-cli (one password from a file, --yes, Blowfish)
// against the bare pipeline doing the same per-file work through the
// transforms (compress into a temporary file, encrypt; decrypt into a
// temporary file, expand). Each side runs several times on fresh copies of
// the same inputs; the fastest run of each counts, so other work on the
// machine distorts the figures as little as possible. The batch layer should
// cost at most 5 % more.
//
// A batch that wipes its sources first reads every encrypted file back
// against its source; that read-back is timed on the bare side, next to the
// encryption it follows.
//
// When voltare-cli has no decrypt command yet, only encryption is compared.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_support.h"
#include "platform/progress.h"
#include "platform/temp_files.h"
#include "transforms/blowfish_file.h"
#include "transforms/compress.h"
#include "transforms/key_material.h"
#include "transforms/verify.h"

namespace {

namespace fs = std::filesystem;
using voltare::bench::NoProgress;
using voltare::bench::Quoted;
using voltare::bench::Require;
using voltare::bench::ScopedVariable;
using voltare::bench::Shell;
using voltare::bench::Workspace;

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr std::uint64_t kFileSize = 32 * kMiB;
constexpr int kFileCount = 3;
constexpr int kRepetitions = 5;
constexpr char kPassword[] = "batch bench password";

// ---------------------------------------------------------------------------
// Inputs

// Lines of words from a skewed vocabulary: compresses roughly like prose.
void WriteTextFile(const fs::path& path, std::uint32_t seed) {
  std::uint64_t state = 0x9E3779B97F4A7C15ull ^ seed;
  const auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  };
  std::vector<std::string> vocabulary(2000);
  const std::string letters = "etaoinshrdlucmfwypvbgkjqxz";
  for (auto& word : vocabulary) {
    const std::size_t alphabet = 8 + next() % 19;
    const std::size_t length = 2 + next() % 9;
    for (std::size_t i = 0; i < length; ++i) word += letters[next() % alphabet];
  }
  std::ofstream out(path, std::ios::binary);
  std::string buffer;
  std::uint64_t written = 0;
  std::size_t line = 0;
  while (written < kFileSize) {
    const double u = static_cast<double>(next() % 1000000) / 1e6;
    const std::string& word = vocabulary[static_cast<std::size_t>(vocabulary.size() * u * u * u)];
    buffer += word;
    line += word.size() + 1;
    buffer += line >= 70 ? '\n' : ' ';
    if (line >= 70) line = 0;
    if (buffer.size() >= kMiB || written + buffer.size() >= kFileSize) {
      const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), kFileSize - written));
      out.write(buffer.data(), static_cast<std::streamsize>(take));
      written += take;
      buffer.clear();
    }
  }
  if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

// ---------------------------------------------------------------------------
// The two sides

struct Timing {
  double wall = std::numeric_limits<double>::infinity();
  double cpu = std::numeric_limits<double>::infinity();
};

double CpuSeconds(int who) {
  struct rusage usage {};
  ::getrusage(who, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Times `work`; the processor time is this process's for the bare pipeline
// and the child processes' for voltare-cli.
Timing Measure(bool inChild, const std::function<void()>& work) {
  const int who = inChild ? RUSAGE_CHILDREN : RUSAGE_SELF;
  const double cpuBefore = CpuSeconds(who);
  const auto start = std::chrono::steady_clock::now();
  work();
  return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), CpuSeconds(who) - cpuBefore};
}

void KeepFaster(Timing& best, const Timing& run) {
  if (std::getenv("VOLTARE_BENCH_EACH_RUN") != nullptr)
    std::printf("    run: %.3f s (cpu %.3f s)\n", run.wall, run.cpu);
  best.wall = std::min(best.wall, run.wall);
  best.cpu = std::min(best.cpu, run.cpu);
}

// What the batch commands do per file, without the batch around it.
void BareEncrypt(const std::vector<fs::path>& files) {
  NoProgress progress;
  for (const fs::path& file : files) {
    const auto packed = voltare::platform::MakeTempFileName();
    if (!packed) throw std::runtime_error("no temporary file");
    Require(voltare::transforms::CompressFile(file, *packed, &progress), "CompressFile");
    Require(voltare::transforms::BlowfishEncryptFile(*packed, file.string() + ".vlt", kPassword, &progress, false),
            "BlowfishEncryptFile");
    fs::remove(*packed);
  }
}

// The read-back a batch does before it wipes the sources.
void BareVerify(const std::vector<fs::path>& files) {
  NoProgress progress;
  const voltare::transforms::KeyMaterial key(kPassword);
  for (const fs::path& file : files) {
    Require(voltare::transforms::VerifyEncryptedFile(file.string() + ".vlt", file, key, &progress),
            "VerifyEncryptedFile");
  }
}

void BareDecrypt(const std::vector<fs::path>& files) {
  NoProgress progress;
  for (const fs::path& file : files) {
    const auto packed = voltare::platform::MakeTempFileName();
    if (!packed) throw std::runtime_error("no temporary file");
    Require(voltare::transforms::BlowfishDecryptFile(file.string() + ".vlt", *packed, kPassword, &progress, false),
            "BlowfishDecryptFile");
    Require(voltare::transforms::DecompressFile(*packed, file, &progress), "DecompressFile");
    fs::remove(*packed);
  }
}

std::string CliCommand(const fs::path& work, const std::string& arguments) {
  return "cd " + Quoted(work) + " && " + Quoted(VOLTARE_CLI_PATH) + " --password-file " +
         Quoted(work.parent_path() / "pw.txt") + " --yes " + arguments + " >/dev/null";
}

std::string FileArguments(const std::vector<fs::path>& files, const std::string& suffix) {
  std::string arguments;
  for (const fs::path& file : files) arguments += " " + Quoted(file.filename().string() + suffix);
  return arguments;
}

bool CliCanDecrypt() {
  return std::system((Quoted(VOLTARE_CLI_PATH) + " decrypt --help >/dev/null 2>&1").c_str()) == 0;
}

struct Figures {
  Timing cliEncrypt, bareEncrypt, cliDecrypt, bareDecrypt, bareVerify;
};

// Fresh copies of the inputs in `work`, named as the originals. The copies
// are on the disk before the clock starts, so that their write-back does not
// fall into the next measurement.
std::vector<fs::path> CopyInputs(const std::vector<fs::path>& inputs, const fs::path& work) {
  fs::remove_all(work);
  fs::create_directories(work);
  std::vector<fs::path> files;
  for (const fs::path& input : inputs) {
    files.push_back(work / input.filename());
    fs::copy_file(input, files.back());
  }
  ::sync();
  return files;
}

void CheckRestored(const std::vector<fs::path>& inputs, const std::vector<fs::path>& files) {
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    Shell("cmp -s " + Quoted(inputs[i]) + " " + Quoted(files[i]));
  }
}

void RemovePlainFiles(const std::vector<fs::path>& files) {
  for (const fs::path& file : files) fs::remove(file);
  ::sync();
}

Figures RunBoth(const Workspace& space, bool withDecrypt) {
  std::vector<fs::path> inputs;
  fs::create_directories(space.dir() / "inputs");
  for (int i = 0; i < kFileCount; ++i) {
    inputs.push_back(space.dir() / "inputs" / ("part" + std::to_string(i + 1) + ".txt"));
    WriteTextFile(inputs.back(), static_cast<std::uint32_t>(i + 1));
  }
  std::ofstream(space.dir() / "pw.txt") << kPassword << "\n";

  Figures figures;
  const fs::path work = space.dir() / "work";
  const auto runCli = [&] {
    const std::vector<fs::path> files = CopyInputs(inputs, work);
    KeepFaster(figures.cliEncrypt, Measure(true, [&] {
                 Shell(CliCommand(work, "encrypt --algorithm blowfish" + FileArguments(files, "")));
               }));
    if (!withDecrypt) return;
    RemovePlainFiles(files);
    KeepFaster(figures.cliDecrypt,
               Measure(true, [&] { Shell(CliCommand(work, "decrypt" + FileArguments(files, ".vlt"))); }));
    CheckRestored(inputs, files);
  };
  const auto runBare = [&] {
    const std::vector<fs::path> files = CopyInputs(inputs, work);
    KeepFaster(figures.bareEncrypt, Measure(false, [&] { BareEncrypt(files); }));
    KeepFaster(figures.bareVerify, Measure(false, [&] { BareVerify(files); }));
    if (!withDecrypt) return;
    RemovePlainFiles(files);
    KeepFaster(figures.bareDecrypt, Measure(false, [&] { BareDecrypt(files); }));
    CheckRestored(inputs, files);
  };
  // Taking turns at going first, so neither side always inherits the other's
  // leftovers (a warm or a busy disk cache).
  for (int repetition = 0; repetition < kRepetitions; ++repetition) {
    if (repetition % 2 == 0) {
      runCli();
      runBare();
    } else {
      runBare();
      runCli();
    }
  }
  fs::remove_all(work);
  return figures;
}

double OverheadPercent(double batch, double bare) { return (batch / bare - 1.0) * 100.0; }

void PrintLine(const char* what, const Timing& cli, const Timing& bare) {
  std::printf(
      "  %-22s voltare-cli %7.3f s (cpu %7.3f s)   bare %7.3f s (cpu %7.3f s)   overhead %+6.2f %% (cpu %+6.2f %%)\n",
      what, cli.wall, cli.cpu, bare.wall, bare.cpu, OverheadPercent(cli.wall, bare.wall),
      OverheadPercent(cli.cpu, bare.cpu));
}

void BatchBenchmark(benchmark::State& state) {
  try {
    const Workspace space("voltare-batch-bench");
    // The tool reads the settings of this run's own store, never the user's.
    const ScopedVariable config("VOLTARE_CONFIG_DIR", (space.dir() / "config").string());
    // And temporary files of its own, apart from whatever else runs here.
    const ScopedVariable temporary("TMPDIR", space.dir().string());
    const bool withDecrypt = CliCanDecrypt();
    Figures figures;
    for (auto _ : state) figures = RunBoth(space, withDecrypt);

    Timing cli = figures.cliEncrypt, bare = figures.bareEncrypt;
    if (withDecrypt) {
      cli.wall += figures.cliDecrypt.wall;
      cli.cpu += figures.cliDecrypt.cpu;
      bare.wall += figures.bareDecrypt.wall;
      bare.cpu += figures.bareDecrypt.cpu;
    }
    std::printf("\nBatch of %d files of %llu MiB, Blowfish, fastest of %d runs%s:\n", kFileCount,
                static_cast<unsigned long long>(kFileSize / kMiB), kRepetitions,
                withDecrypt ? "" : " (voltare-cli has no decrypt command yet: encryption only)");
    PrintLine("encrypt", figures.cliEncrypt, figures.bareEncrypt);
    if (withDecrypt) {
      PrintLine("decrypt", figures.cliDecrypt, figures.bareDecrypt);
      PrintLine("encrypt + decrypt", cli, bare);
    }
    std::printf("  %-22s bare %7.3f s (cpu %7.3f s) = %5.1f %% of the bare encryption (cpu %5.1f %%)\n",
                "verify before wipe", figures.bareVerify.wall, figures.bareVerify.cpu,
                figures.bareVerify.wall / figures.bareEncrypt.wall * 100.0,
                figures.bareVerify.cpu / figures.bareEncrypt.cpu * 100.0);
    std::printf("  target: overhead at most 5 %%\n\n");
    std::fflush(stdout);

    state.counters["cli_s"] = cli.wall;
    state.counters["bare_s"] = bare.wall;
    state.counters["overhead_pct"] = OverheadPercent(cli.wall, bare.wall);
    state.counters["cpu_overhead_pct"] = OverheadPercent(cli.cpu, bare.cpu);
    state.counters["verify_pct_of_encrypt"] = figures.bareVerify.wall / figures.bareEncrypt.wall * 100.0;
    state.SetBytesProcessed(static_cast<std::int64_t>(kFileCount * kFileSize * (withDecrypt ? 2 : 1)));
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
  }
}

const bool registered = [] {
  benchmark::RegisterBenchmark("batch 3x32MiB Blowfish voltare-cli vs bare pipeline", BatchBenchmark)
      ->Iterations(1)
      ->Unit(benchmark::kSecond)
      ->UseRealTime();
  return true;
}();

}  // namespace

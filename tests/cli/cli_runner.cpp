#include "cli_runner.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "support/test_env.h"

namespace voltare::cli::testing {

namespace fs = std::filesystem;
using voltare::testing::ReadFileBytes;
using voltare::testing::TestDir;

namespace {

CliRun RunWithInputFrom(const std::vector<std::string>& arguments, const fs::path& directory,
                        const std::string& inputRedirect, const std::string& prefix = {}) {
  fs::create_directories(directory);
  std::string command = "cd " + Quoted(directory.string()) + " && " + prefix + Quoted(VOLTARE_CLI_PATH);
  for (const std::string& argument : arguments) command += " " + Quoted(argument);
  const fs::path out = TestDir() / "stdout.txt", err = TestDir() / "stderr.txt";
  command += " <" + inputRedirect + " >" + Quoted(out.string()) + " 2>" + Quoted(err.string());
  const int raw = std::system(command.c_str());
  CliRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = ReadText(out);
  run.err = ReadText(err);
  return run;
}

}  // namespace

std::string Quoted(const std::string& argument) {
  std::string quoted = "'";
  for (char c : argument) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string ReadText(const fs::path& path) {
  const auto bytes = ReadFileBytes(path);
  return {bytes.begin(), bytes.end()};
}

fs::path Work() { return TestDir() / "work"; }

CliRun RunCli(const std::vector<std::string>& arguments, const fs::path& directory) {
  return RunWithInputFrom(arguments, directory, "/dev/null");
}

CliRun RunCliAsUser(const std::vector<std::string>& arguments, const fs::path& directory) {
  const std::string prefix =
      ::geteuid() == 0 ? "setpriv --bounding-set=-dac_override,-dac_read_search " : "";
  return RunWithInputFrom(arguments, directory, "/dev/null", prefix);
}

CliRun RunCliWithInput(const std::vector<std::string>& arguments, const std::string& input) {
  const fs::path in = TestDir() / "stdin.txt";
  voltare::testing::WriteFileText(in, input);
  return RunWithInputFrom(arguments, Work(), Quoted(in.string()));
}

}  // namespace voltare::cli::testing

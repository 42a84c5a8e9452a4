// voltare-cli encrypt [--algorithm blowfish|cast5|des] [--bundle ARCHIVE] [--wipe] FILE...

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/command.h"

namespace voltare::cli {

namespace {

struct EncryptOptions {
  std::vector<std::string> files;
  std::string algorithm;  // empty: the stored setting
  std::optional<std::string> bundle;
  bool wipe = false;
};

// The names the option takes and the "Algorithm" values they stand for.
constexpr std::array<std::pair<std::string_view, std::string_view>, 3> kAlgorithmNames{{
    {"blowfish", "0"},
    {"cast5", "1"},
    {"des", "2"},
}};

std::string AlgorithmSetting(const std::string& name) {
  for (const auto& [option, setting] : kAlgorithmNames) {
    if (option == name) return std::string(setting);
  }
  throw UsageError("--algorithm is blowfish, cast5 or des");
}

int EncryptFiles(Session& session, const EncryptOptions& options) {
  app::TMainForm& form = session.app.MainForm;
  const std::vector<std::string> paths = ExistingPaths(form, options.files);
  // The files go into the list (a directory brings its files, less those
  // already encrypted) and are all selected.
  form.AddFilesToEncrypt(paths);
  form.ListView.SetAllSelected(true);
  form.ListViewSelectItem();

  // For this run only; the store keeps its values.
  if (!options.algorithm.empty()) session.app.Overrides.settings["Algorithm"] = AlgorithmSetting(options.algorithm);
  session.app.Overrides.settings["Wipe"] = options.wipe ? "1" : "0";
  session.app.PasswordBox.PLX.checked = options.bundle.has_value();
  if (options.bundle) session.ui.AnswerSaveDialog(form.FromStartDirectory(*options.bundle));

  return form.EncryptSelectedFiles() ? kExitSuccess : kExitFailure;
}

}  // namespace

void AddEncryptCommand(CLI::App& parent, CommandAction& chosen) {
  CLI::App* command = parent.add_subcommand("encrypt", "Encrypt files into FILE.vlt, optionally bundled and wiped");
  command->footer(
      "\nEach FILE is compressed and encrypted into the same path with .vlt\n"
      "appended. A directory brings every file below it, hidden ones included,\n"
      "except files already encrypted (.vlt or .plx that begin as one): those\n"
      "are left as they are, counted in one note, and never wiped. A FIFO or a\n"
      "/proc file is read to its end; a device or socket is refused. A file\n"
      "below a directory that cannot be reached is named, and the run then ends\n"
      "without its success message (exit status 1). An existing .vlt is\n"
      "replaced, unless it is itself one of the FILEs: then the file is skipped\n"
      "with an error. One password prompt is asked first; with several files the\n"
      "program asks whether the same password is used for all (--yes accepts).\n"
      "--bundle packs the .vlt files into one archive (extension .plx, never one\n"
      "of the FILEs) and removes them; --wipe securely deletes the encrypted\n"
      "sources afterwards, with the wipe method of the settings, after the\n"
      "program's question (--yes accepts), each only once its encrypted file\n"
      "has been read back and found to decrypt to it.\n"
      "Without --wipe the sources are kept, whatever the Wipe setting says.\n"
      "--algorithm and --wipe apply to this run only; the settings stay as they are.\n"
      "\nExample: voltare-cli --password-file pw.txt --yes encrypt --bundle letters.plx --wipe letters/");
  auto options = std::make_shared<EncryptOptions>();
  command->add_option("--algorithm", options->algorithm, "Cipher for this run (default: the Algorithm setting)")
      ->check(CLI::IsMember({"blowfish", "cast5", "des"}));
  command->add_option("--bundle", options->bundle, "Pack the encrypted files into this archive")
      ->type_name("ARCHIVE");
  command->add_flag("--wipe", options->wipe, "Securely delete the source files after encryption");
  command->add_option("FILE", options->files, "Files and directories to encrypt")->required();
  command->callback([&chosen, options] {
    chosen = [options = *options](Session& session) { return EncryptFiles(session, options); };
  });
}

}  // namespace voltare::cli

// SPDX-License-Identifier: GPL-3.0-or-later
// voltare-cli encrypt [--algorithm blowfish|cast5|des|xchacha20] [--bundle ARCHIVE] [--wipe] FILE...

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window/algorithm_table.h"
#include "app/main_window/batch_messages.h"
#include "archive/messages.h"
#include "archive/plx_reader.h"
#include "cli/command.h"
#include "cli/stop_signal.h"
#include "common/translate.h"

namespace voltare::cli {

namespace {

namespace fs = std::filesystem;

struct EncryptOptions {
  std::vector<std::string> files;
  std::string algorithm;  // empty: the stored setting
  std::optional<std::string> bundle;
  bool wipe = false;
};

std::string AlgorithmSetting(const std::string& name) {
  if (const app::AlgorithmEntry* entry = app::FindAlgorithmByName(name)) return std::string(entry->setting);
  throw UsageError(tr_("--algorithm is blowfish, cast5, des or xchacha20"));
}

// What lies at `path` now: its inode, or nothing. Every file the run writes
// is renamed into place over what was there, so a new inode tells it apart.
std::optional<ino_t> InodeAt(const fs::path& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return std::nullopt;
  return status.st_ino;
}

// The files a run may write, as they were before it: each source's ".vlt"
// and the archive.
struct Outputs {
  std::vector<std::optional<ino_t>> encrypted;
  std::optional<ino_t> archive;
};

Outputs OutputsNow(const std::vector<std::string>& sources, const std::optional<fs::path>& archive) {
  Outputs now;
  for (const std::string& source : sources) now.encrypted.push_back(InodeAt(source + ".vlt"));
  if (archive) now.archive = InodeAt(*archive);
  return now;
}

// How many sources the run encrypted: the members of a new archive and the
// new ".vlt" files beside them.
std::size_t EncryptedCount(const std::vector<std::string>& sources, const std::optional<fs::path>& archive,
                           const Outputs& before) {
  const Outputs after = OutputsNow(sources, archive);
  std::size_t count = 0;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    if (after.encrypted[i] && after.encrypted[i] != before.encrypted[i]) ++count;
  }
  std::vector<archive::ArchiveMember> members;
  if (archive && after.archive && after.archive != before.archive &&
      archive::ListArchiveMembers(*archive, members) == platform::Success) {
    count += members.size();
  }
  return std::min(count, sources.size());
}

std::size_t GoneCount(const std::vector<std::string>& sources) {
  return static_cast<std::size_t>(std::ranges::count_if(sources, [](const std::string& source) {
    std::error_code error;
    return !fs::exists(fs::symlink_status(source, error));
  }));
}

// What a stop left: the file it interrupted was not encrypted (its step
// removes what it wrote), those before it keep their .vlt unless a bundle
// was to take them; a stop while the archive is packed writes no archive and
// leaves the .vlt files; one in the read-back wipes nothing from that file on.
std::string EncryptStopNote(const Session& session, const std::vector<std::string>& sources, bool bundle) {
  const std::optional<InterruptedStep> step = StepStopped(session.ui);
  if (!step || step->position == 0 || step->position > sources.size()) return tr_("nothing was wiped");
  const std::string atWork = session.ui.Shown(session.app.MainForm.FileAtWork);
  if (step->Is(archive::messages::kBundlingStatus)) {
    // TRANSLATORS: after "stopped; "; %s is the file being packed into the archive.
    return common::Filled(tr_("no archive was written (stopped while packing %s) and nothing was wiped"), {atWork});
  }
  if (step->Is(app::messages::kVerifyingStatus)) {
    // TRANSLATORS: after "stopped; "; both %s are the file whose encrypted copy was being read back.
    return common::Filled(bundle ? tr_("the read-back of %s was stopped; the archive was kept, %s and the files "
                                       "after it were not wiped")
                                 : tr_("the read-back of %s was stopped; the encrypted files were kept, %s and the "
                                       "files after it were not wiped"),
                          {atWork, atWork});
  }
  if (!step->Is(app::messages::kCompressingStatus) && !step->Is(app::messages::kEncryptingStatus)) {
    return bundle ? tr_("the archive was kept; nothing was wiped")
                  : tr_("the encrypted files were kept; nothing was wiped");
  }
  const std::size_t before = step->position - 1;
  if (bundle) {
    // TRANSLATORS: after "stopped; "; %s is the file being encrypted.
    return common::Filled(
        tr_("%s was not encrypted, nothing of it was written; no archive was written and nothing was wiped"), {atWork});
  }
  // TRANSLATORS: after "stopped; "; %s is the file being encrypted.
  if (before == 0) return common::Filled(tr_("%s was not encrypted, nothing of it was written"), {atWork});
  // TRANSLATORS: after "stopped; "; the first %s is the file being encrypted,
  // the second the number of files encrypted before it.
  return common::Filled(
      trn_("%s was not encrypted, nothing of it was written; %s file before it was encrypted and kept",
           "%s was not encrypted, nothing of it was written; %s files before it were encrypted and "
           "kept",
           before),
      {atWork, std::to_string(before)});
}

// The files left out are counted over all the paths, for the success
// message that must not follow. How many paths brought a file.
std::size_t AddEach(Session& session, const std::vector<std::string>& paths, const std::vector<std::string>& typed) {
  app::TMainForm& form = session.app.MainForm;
  std::size_t leftOut = 0;
  const std::size_t brought = AddPaths(session, paths, typed, [&form, &leftOut](std::span<const std::string> run) {
    form.AddFilesToEncrypt(run);
    leftOut += form.SourcesLeftOut;
    return form.SourcesLeftOut > 0;  // the program said why
  });
  form.SourcesLeftOut = leftOut;
  return brought;
}

int EncryptFiles(Session& session, const EncryptOptions& options) {
  app::TMainForm& form = session.app.MainForm;
  const std::vector<std::string> paths = ExistingPaths(form, options.files);
  // The files go into the list (a directory brings its files, less those
  // already encrypted) and are all selected.
  if (AddEach(session, paths, options.files) == 0) return kExitFailure;
  form.ListView.SetAllSelected(true);
  form.ListViewSelectItem();
  const std::vector<std::string> sources = form.ListView.SelectedFileNames();

  // For this run only; the store keeps its values.
  if (!options.algorithm.empty()) session.app.Overrides.settings["Algorithm"] = AlgorithmSetting(options.algorithm);
  session.app.Overrides.settings["Wipe"] = options.wipe ? "1" : "0";
  session.app.PasswordBox.PLX.checked = options.bundle.has_value();
  std::optional<fs::path> archive;
  if (options.bundle) {
    session.ui.AnswerSaveDialog(form.FromStartDirectory(*options.bundle));
    archive = form.FromStartDirectory(*options.bundle).replace_extension(".plx");
  }

  // Asked after the command returned: it keeps its own copy of the sources.
  session.stopNote = [&session, sources, bundle = archive.has_value()] {
    return EncryptStopNote(session, sources, bundle);
  };
  const Outputs before = OutputsNow(sources, archive);
  session.ui.HoldMessages({app::messages::kEncrypted, app::messages::kWiped});
  form.EncryptSelectedFiles();
  if (StopSignal() != 0) return kExitFailure;
  const std::size_t encrypted = EncryptedCount(sources, archive, before);
  const std::size_t wiped = options.wipe ? GoneCount(sources) : encrypted;
  return EndBatch(session, {{encrypted, sources.size(), kNotEncrypted}, {wiped, encrypted, kNotWiped}});
}

}  // namespace

void AddEncryptCommand(CLI::App& parent, CommandAction& chosen) {
  CLI::App* command =
      parent.add_subcommand("encrypt", tr_("Encrypt files into FILE.vlt, optionally bundled and wiped"));
  command->footer(
      tr_("\nEach FILE is compressed and encrypted into the same path with .vlt\n"
          "appended. A directory brings every file below it, hidden ones included,\n"
          "except files already encrypted (.vlt or .plx that begin as one): those\n"
          "are left as they are, counted in one note, and never wiped. A FIFO or a\n"
          "/proc file is read to its end; a device or socket is refused. A file\n"
          "below a directory that cannot be reached is named, and the run then ends\n"
          "without its success message (exit status 1). An existing .vlt is\n"
          "replaced only after the program's question (--yes replaces, --no keeps it\n"
          "and skips the file), and never when it is itself one of the FILEs: then\n"
          "the file is skipped with an error. One password prompt is asked first; with several files the\n"
          "program asks whether the same password is used for all (--yes accepts).\n"
          "--bundle packs the .vlt files into one archive (extension .plx, never one\n"
          "of the FILEs) and removes them; each keeps its path below the folder\n"
          "given (2024/IMG_0001.jpg.vlt), files given by themselves their names, and\n"
          "files of the same name from different folders are named below the folder\n"
          "holding them all. --wipe securely deletes the encrypted\n"
          "sources afterwards, with the wipe method of the settings, after the\n"
          "program's question (--yes accepts), each only once its encrypted file\n"
          "has been read back and found to decrypt to it.\n"
          "Without --wipe the sources are kept, whatever the Wipe setting says.\n"
          "--algorithm and --wipe apply to this run only; the settings stay as they are.\n"
          "xchacha20 (XChaCha20-Poly1305 under an Argon2id key) resists password\n"
          "guessing and shows any change to the file; its files need KOVA Voltare for\n"
          "Linux 2.50 or later. The other three keep the format every version reads.\n"
          "\nExample: voltare-cli --password-file pw.txt --yes encrypt --bundle letters.plx --wipe letters/"));
  auto options = std::make_shared<EncryptOptions>();
  command->add_option("--algorithm", options->algorithm, tr_("Cipher for this run (default: the Algorithm setting)"))
      ->check(CLI::IsMember({"blowfish", "cast5", "des", "xchacha20"}));
  command->add_option("--bundle", options->bundle, tr_("Pack the encrypted files into this archive"))
      ->type_name("ARCHIVE");
  command->add_flag("--wipe", options->wipe, tr_("Securely delete the source files after encryption"));
  command->add_option("FILE", options->files, tr_("Files and directories to encrypt"))->required();
  command->callback([&chosen, options] {
    chosen = [options = *options](Session& session) { return EncryptFiles(session, options); };
  });
}

}  // namespace voltare::cli

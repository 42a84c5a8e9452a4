// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a batch that packs its encrypted files into a PLX archive must settle
// around the encryption itself: that every member will fit the format, asked
// before the first file is encrypted, and that a bundle that fails leaves no
// member behind.

#include <sys/types.h>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/shared/interaction.h"

namespace voltare::app {

// True when the encrypted file of every source is sure to fit an archive
// member; otherwise the first source that may not is named with the limit.
// A pipe's size is not known before it is read: the bundler checks it then.
bool MembersFitArchive(Interaction& ui, const std::vector<std::string>& sources);

// The name each source's encrypted file takes in the archive: its path below
// the folder given that brought it (`roots`, empty for a file given by
// itself), or, where two would meet, below the folder that holds all of
// them (archive::TreeNames). Nothing, with the sources named, when a name is
// too long for the format or two would still decrypt to the same place.
std::optional<std::vector<std::string>> ArchiveMemberNames(Interaction& ui, const std::vector<std::string>& sources,
                                                           const std::vector<std::string>& roots);

// The ".vlt" files a bundling batch made beside its sources. The bundler
// removes them once they are packed; whatever is still there when the batch
// ends (it failed or was stopped) is removed here: only the very file made,
// never one that has since taken its name.
class BundleMembers {
 public:
  BundleMembers() = default;
  ~BundleMembers();
  BundleMembers(const BundleMembers&) = delete;
  BundleMembers& operator=(const BundleMembers&) = delete;

  void Add(const std::string& encryptedPath);

 private:
  struct Made {
    std::string path;
    dev_t device;
    ino_t inode;
  };
  std::vector<Made> made_;
};

}  // namespace voltare::app

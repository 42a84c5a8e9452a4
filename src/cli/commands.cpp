#include <array>

#include "cli/command.h"

namespace voltare::cli {

std::span<const CommandAdder> AllCommands() {
  static constexpr std::array kAdders = {
      &AddConfigCommand,
      &AddListSaveCommand,
      &AddListOpenCommand,
      &AddEncryptCommand,
      &AddWipeCommand,
      &AddEncryptTextCommand,
      &AddDecryptTextCommand,
      &AddAboutCommand,
      &AddEmailConfigCommand,
      &AddMailCommand,
      &AddCheckUpdateCommand,
      &AddDecryptCommand,
      &AddArchiveListCommand,
      &AddOpenPathCommand,
  };
  return kAdders;
}

}  // namespace voltare::cli

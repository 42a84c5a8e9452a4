#include <array>

#include "cli/command.h"

namespace voltare::cli {

std::span<const CommandAdder> AllCommands() {
  static constexpr std::array kAdders = {
      &AddConfigCommand,
      &AddListSaveCommand,
      &AddListOpenCommand,
  };
  return kAdders;
}

}  // namespace voltare::cli

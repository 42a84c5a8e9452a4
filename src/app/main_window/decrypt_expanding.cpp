// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window/decrypt_expanding.h"

#include <optional>

#include "app/main_window/replaced_output.h"
#include "platform/staged_file.h"
#include "transforms/decrypt_expand.h"

namespace voltare::app {

[[nodiscard]] platform::ResultCode DecryptExpandInto(Interaction& ui, int algorithmId, const std::string& path,
                                                     std::string_view password, const std::string& decompressingStatus,
                                                     const std::filesystem::path& target) {
  // Made only once the password is accepted, as the second step makes it.
  std::optional<platform::StagedFile> output;
  const platform::ResultCode result =
      transforms::DecryptExpandFile(algorithmId, path, password, &ui.ProgressBar(), [&]() -> platform::File& {
        ui.SetStatusText(decompressingStatus);
        return output.emplace(target).file();
      });
  if (result != platform::Success) return result;
  KeepReplacedMode(target, output->file().fd());
  output->Commit();
  return platform::Success;
}

}  // namespace voltare::app

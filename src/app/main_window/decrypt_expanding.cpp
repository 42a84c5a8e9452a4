// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window/decrypt_expanding.h"

#include <optional>

#include "app/main_window/replaced_output.h"
#include "platform/staged_file.h"
#include "transforms/decrypt_expand.h"
#include "transforms/sealed_expand.h"
#include "transforms/vlt_format.h"

namespace voltare::app {

[[nodiscard]] platform::ResultCode DecryptExpandInto(Interaction& ui, int algorithmId, const std::string& path,
                                                     const transforms::KeyMaterial& key,
                                                     const std::string& decompressingStatus,
                                                     const std::filesystem::path& target) {
  // Made only once the password is accepted, as the second step makes it.
  std::optional<platform::StagedFile> output;
  const auto open = [&]() -> platform::File& {
    ui.SetStatusText(decompressingStatus);
    return output.emplace(target).file();
  };
  const platform::ResultCode result =
      algorithmId == transforms::kAlgorithmXChaCha20
          ? transforms::SealedDecryptExpandFile(path, *key.sealedKeys, key.password, &ui.ProgressBar(), open)
          : transforms::DecryptExpandFile(algorithmId, path, key.password, &ui.ProgressBar(), open);
  if (result != platform::Success) return result;
  KeepReplacedMode(target, output->file().fd());
  output->Commit();
  return platform::Success;
}

}  // namespace voltare::app

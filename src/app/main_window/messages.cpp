// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window/messages.h"

#include "app/main_window/batch_messages.h"
#include "platform/settings_store.h"

namespace voltare::app::messages {

std::string WithSettingsPath(std::string_view format) {
  return FormatName(format, platform::SettingsFilePath().string());
}

}  // namespace voltare::app::messages

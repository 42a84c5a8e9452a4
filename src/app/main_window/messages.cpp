// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window/messages.h"

#include <exception>

#include "app/main_window/batch_messages.h"
#include "platform/os_error.h"
#include "platform/result_codes.h"
#include "platform/settings_store.h"

namespace voltare::app::messages {

std::string WithSettingsPath(std::string_view format) {
  return FormatName(format, platform::SettingsFilePath().string());
}

std::string SettingsFailureText() {
  try {
    throw;
  } catch (const platform::SettingsFileDamaged& damaged) {
    return platform::ErrorFormat(platform::ErrBadFile, damaged.what());
  } catch (const platform::SettingsError&) {
    return WithSettingsPath(kSettingsFileError);
  } catch (const std::exception& failure) {
    return platform::ErrorFormat(platform::CurrentExceptionCode(), failure.what());
  }
}

}  // namespace voltare::app::messages

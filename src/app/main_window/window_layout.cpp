// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window/window_layout.h"

#include <exception>
#include <string>
#include <utility>

#include "app/main_window/file_list.h"
#include "platform/settings_store.h"

namespace voltare::app {

namespace {

// Larger than any screen: a value past it was not written by this program.
constexpr std::uint32_t kMaxExtent = 32767;

std::optional<int> Extent(const platform::SettingsKey& key, std::string_view name) {
  const std::optional<platform::SettingValue> value = key.Find(name);
  if (!value || value->type != platform::ValueType::Dword || value->number == 0 || value->number > kMaxExtent) {
    return std::nullopt;
  }
  return static_cast<int>(value->number);
}

std::string JoinWidths(const std::vector<int>& widths) {
  std::string text;
  for (const int width : widths) text += (text.empty() ? "" : ",") + std::to_string(width);
  return text;
}

// "110,115,..." with one width per column; empty for anything else.
std::vector<int> SplitWidths(std::string_view text) {
  std::vector<int> widths;
  while (!text.empty() && widths.size() < kListColumns.size()) {
    const std::size_t comma = text.find(',');
    std::int32_t width = -1;
    try {
      width = platform::ParseInteger(text.substr(0, comma));
    } catch (const platform::SettingsError&) {
      return {};
    }
    if (width < 0 || static_cast<std::uint32_t>(width) > kMaxExtent) return {};
    widths.push_back(width);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
  }
  if (!text.empty() || widths.size() != kListColumns.size()) return {};
  return widths;
}

}  // namespace

std::optional<WindowLayout> LoadWindowLayout() {
  try {
    const std::optional<platform::SettingsKey> key = platform::SettingsKey::OpenReadOnly(kWindowSettingsKey);
    if (!key) return std::nullopt;
    const std::optional<int> width = Extent(*key, "Width");
    const std::optional<int> height = Extent(*key, "Height");
    if (!width || !height) return std::nullopt;
    WindowLayout layout{*width, *height, {}};
    const std::optional<platform::SettingValue> columns = key->Find("ColumnWidths");
    if (columns && columns->type == platform::ValueType::String) layout.columnWidths = SplitWidths(columns->text);
    return layout;
  } catch (const std::exception&) {
    return std::nullopt;  // a damaged value: the window opens as it would the first time
  }
}

bool SaveWindowLayout(const WindowLayout& layout) {
  try {
    platform::SettingsKey key = platform::SettingsKey::OpenForWriting(kWindowSettingsKey);
    const std::pair<std::string_view, platform::SettingValue> values[] = {
        {"Width", platform::SettingValue::Dword(static_cast<std::uint32_t>(layout.width))},
        {"Height", platform::SettingValue::Dword(static_cast<std::uint32_t>(layout.height))},
        {"ColumnWidths", platform::SettingValue::String(JoinWidths(layout.columnWidths))},
    };
    key.WriteAll(values);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace voltare::app

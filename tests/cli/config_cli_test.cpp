// SPDX-License-Identifier: GPL-3.0-or-later
// `config set`: every value checked before anything is written, and a store
// with an unusable value always repairable from the command line.

#include <gtest/gtest.h>

#include <string>

#include "cli_runner.h"
#include "platform/settings_store.h"
#include "support/test_env.h"

namespace {

using voltare::cli::testing::CliRun;
using voltare::cli::testing::ReadText;
using voltare::cli::testing::RunCli;
using voltare::testing::TestDir;

std::string StoredValue(const char* name) {
  return voltare::platform::SettingsKey::OpenReadOnly(voltare::platform::kSettingsKey)->ReadString(name);
}

TEST(ConfigCliTest, ValuesOutsideTheirRangeAreRefusedBeforeAnythingIsWritten) {
  struct Case {
    const char* name;
    const char* value;
    int status;
    const char* stored = nullptr;  // what an accepted value is kept as
  };
  ASSERT_EQ(RunCli({"config", "set", "Wipe", "0"}).status, 0);
  for (const Case& c :
       {Case{"Loop", "-3", 2}, Case{"Loop", "0", 2}, Case{"Loop", "1", 0}, Case{"Loop", "100", 0},
        Case{"Loop", "101", 2}, Case{"Loop", "7x", 2}, Case{"Algorithm", "-1", 2}, Case{"TypeOfWipe", "2", 2},
        Case{"CheckUpdate", "1", 0}, Case{"Wipe", "on", 2}, Case{"Algorithm", "XChaCha20", 0, "3"},
        Case{"Algorithm", "des", 0, "2"}, Case{"Algorithm", "Cast5", 0, "1"}, Case{"Algorithm", "blowfish", 0, "0"},
        Case{"Algorithm", "aes", 2}, Case{"Algorithm", "xchacha", 2}}) {
    SCOPED_TRACE(std::string(c.name) + " " + c.value);
    const std::string before = ReadText(voltare::platform::SettingsFilePath());
    const CliRun run = RunCli({"config", "set", c.name, c.value});
    EXPECT_EQ(run.status, c.status) << run.err;
    if (c.status == 0) {
      if (c.stored) {
        EXPECT_EQ(StoredValue(c.name), c.stored);
      }
      continue;
    }
    EXPECT_EQ(ReadText(voltare::platform::SettingsFilePath()), before);
    // The refusal names the setting and what it may hold.
    EXPECT_TRUE(run.err.starts_with("voltare-cli: " + std::string(c.name) + " must be ")) << run.err;
    EXPECT_NE(run.err.find(std::string("not '") + c.value + "'; nothing was changed"), std::string::npos);
  }
  EXPECT_EQ(StoredValue("Loop"), "100");
}

TEST(ConfigCliTest, AnUnusableValueIsRepairedByNamingItAndNamedByEveryOtherChange) {
  voltare::platform::SettingsKey key = voltare::platform::SettingsKey::OpenForWriting(voltare::platform::kSettingsKey);
  key.WriteString("TypeOfWipe", "0");
  key.WriteString("Loop", "101");

  const CliRun other = RunCli({"config", "set", "Wipe", "1"});
  EXPECT_EQ(other.status, 1);
  EXPECT_NE(other.err.find("Loop is 101, not a whole number from 1 to 100 ('voltare-cli config set Loop VALUE' "
                           "repairs it)"),
            std::string::npos)
      << other.err;

  // Repaired even under Government Wipe, where the dialog keeps no pass count.
  const CliRun repaired = RunCli({"config", "set", "Loop", "7"});
  EXPECT_EQ(repaired.status, 0) << repaired.err;
  EXPECT_EQ(repaired.err, "");
  EXPECT_EQ(StoredValue("Loop"), "7");
  EXPECT_EQ(RunCli({"config", "set", "Wipe", "1"}).status, 0);

  // A value of the wrong type, or none at all, is repaired the same way.
  key.Write("Wipe", voltare::platform::SettingValue::Dword(1));
  EXPECT_EQ(RunCli({"config", "set", "TypeOfWipe", "1"}).status, 1);
  EXPECT_EQ(RunCli({"config", "set", "Wipe", "0"}).status, 0);
  EXPECT_EQ(RunCli({"config", "set", "TypeOfWipe", "1"}).status, 0);
  EXPECT_EQ(RunCli({"config", "set", "Loop", "9"}).status, 0);
  EXPECT_EQ(StoredValue("Loop"), "9");
}

}  // namespace

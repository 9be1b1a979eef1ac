#include "settings/SettingsLocation.h"

#include "platform/Platform.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace tafelbot {
namespace {

using testing::TempDir;

TEST(SettingsLocation, ExplicitPathThenProgramDirectoryThenUserDirectory) {
    TempDir dir;
    std::string programm = dir.file("bin/");
    std::string benutzer = dir.file("home/.config/Tafelbot/");
    ASSERT_TRUE(platform::createDirectories(programm));

    EXPECT_EQ(settingsFilePath("/etc/x.ini", programm, benutzer), "/etc/x.ini");
    EXPECT_EQ(settingsFilePath("", programm, benutzer), programm + "Tafelbot.ini");
    testing::writeFile(programm + "Tafelbot.ini", "");
    EXPECT_EQ(settingsFilePath("", programm, benutzer), programm + "Tafelbot.ini");
    EXPECT_FALSE(platform::directoryExists(benutzer));

    // An installation directory that cannot take the file: the user's directory, created.
    EXPECT_EQ(settingsFilePath("", dir.file("fehlt/"), benutzer), benutzer + "Tafelbot.ini");
    EXPECT_TRUE(platform::directoryExists(benutzer));
}

} // namespace
} // namespace tafelbot

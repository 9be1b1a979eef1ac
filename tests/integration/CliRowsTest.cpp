// tafelbot-cli rows on small files whose complete output was worked out by hand.
#include "support/TestFiles.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace tafelbot {
namespace {

struct CliLauf {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs tafelbot-cli with `argumente` (already quoted for the shell) inside `dir`, with stdin
// empty, and collects what it printed.
CliLauf starteCli(const testing::TempDir& dir, const std::string& argumente) {
    const std::string befehl = "cd '" + dir.path() + "' && { timeout 60 '" TAFELBOT_CLI "' " +
                               argumente +
                               " < /dev/null > cli.out 2> cli.err; echo $? > cli.status; }";
    std::system(befehl.c_str());
    return {std::atoi(testing::readFile(dir.file("cli.status")).c_str()),
            testing::readFile(dir.file("cli.out")), testing::readFile(dir.file("cli.err"))};
}

// A file of data/, worked out by hand.
std::string testdaten(const std::string& name) {
    return testing::readFile(TAFELBOT_INTEGRATION_DATA + name);
}

struct Schule {
    testing::TempDir dir;
    Schule() {
        testing::writeFile(dir.file("klein.gpn"), testdaten("klein.gpn"));
        testing::writeFile(dir.file("Tafelbot.ini"), testdaten("klein.ini"));
    }
};

TEST(CliRows, JsonOfTheStoredAndOfAnotherDateAndPeriod) {
    for (auto [argumente, erwartet] :
         {std::pair{"--ini Tafelbot.ini rows --gpn klein.gpn --json", "klein-rows.json"},
          std::pair{"rows --gpn klein.gpn --date 20261208 --period 2 --json --ini Tafelbot.ini",
                    "klein-rows-20261208-periode2.json"}}) {
        SCOPED_TRACE(argumente);
        Schule s;
        auto lauf = starteCli(s.dir, argumente);
        EXPECT_EQ(lauf.status, 0);
        EXPECT_EQ(lauf.err, "");
        EXPECT_EQ(lauf.out, testdaten(erwartet));
        // The overrides and the in-memory purge never reach the file.
        EXPECT_EQ(testing::readFile(s.dir.file("Tafelbot.ini")), testdaten("klein.ini"));
    }
}

TEST(CliRows, TableOnStdoutAndMessageBoxesOnStderr) {
    Schule s;
    auto lauf = starteCli(s.dir, "--ini Tafelbot.ini rows --gpn klein.gpn");
    EXPECT_EQ(lauf.status, 0);
    EXPECT_EQ(lauf.out.substr(0, lauf.out.find('\n')),
              "Vertretungen am 07.12.2026 (Montag), Periode 1: 7 Zeile(n)");
    EXPECT_NE(lauf.out.find("Schäfer"), std::string::npos);
    EXPECT_NE(lauf.err.find("error: Beim Lesen der Daten aus der gpn-Datei \"klein.gpn\"\nsind "
                            "Fehler aufgetreten."),
              std::string::npos);
    EXPECT_NE(lauf.err.find("message: Fehler 101 - keine eMail-Adresse mehr? (Klein)\n"),
              std::string::npos);
    EXPECT_NE(lauf.err.find("Gelesene Daten: 4 Lehrer, 2 Unterrichte, 2 Verlegungen, 7 "
                            "Vertretungen\n"),
              std::string::npos);
}

TEST(CliRows, AMissingSettingsFileIsCreatedOnce) {
    testing::TempDir dir;
    auto erster = starteCli(dir, "--ini neu.ini rows --json");
    EXPECT_EQ(erster.status, 0);
    ASSERT_TRUE(std::filesystem::exists(dir.file("neu.ini")));
    EXPECT_NE(erster.out.find("\"kind\": \"info\",\n      \"text\": \"Herzlich Willkommen"),
              std::string::npos);
    std::string inhalt = testing::readFile(dir.file("neu.ini"));

    auto zweiter = starteCli(dir, "--ini neu.ini rows --json --date 20261207");
    EXPECT_EQ(zweiter.out.find("Herzlich Willkommen"), std::string::npos);
    EXPECT_EQ(testing::readFile(dir.file("neu.ini")), inhalt);
}

TEST(CliRows, MalformedOptionsAreRefusedBeforeAnythingIsRead) {
    testing::TempDir dir;
    for (const char* argumente :
         {"--ini x.ini rows --date 2026127", "--ini x.ini rows --date 20261332",
          "--ini x.ini rows --period eins", "--ini x.ini rows --gpn", "--ini x.ini rowz",
          "--ini x.ini rows --yes", ""}) {
        auto lauf = starteCli(dir, argumente);
        EXPECT_EQ(lauf.status, 2) << argumente;
        EXPECT_EQ(lauf.out, "") << argumente;
        EXPECT_NE(lauf.err, "") << argumente;
        EXPECT_FALSE(std::filesystem::exists(dir.file("x.ini"))) << argumente;
    }
}

} // namespace
} // namespace tafelbot

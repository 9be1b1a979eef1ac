// tafelbot-cli rows on small files whose complete output was worked out by hand (the text table
// and the log on stderr checked against the JSON).
#include "support/TestFiles.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

namespace tafelbot {
namespace {

struct CliLauf {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs tafelbot-cli (or `programm`) with `argumente` (already quoted for the shell) inside `dir`,
// with stdin empty, and collects what it printed.
CliLauf starteCli(const testing::TempDir& dir, const std::string& argumente,
                  const std::string& programm = "'" TAFELBOT_CLI "' ") {
    const std::string befehl = "cd '" + dir.path() + "' && { timeout 60 " + programm + argumente +
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

// The demo school beside the small one: its file reads without a fault.
const std::string DemoGpn = TAFELBOT_SOURCE_DIR "/examples/demo.gpn";

// The table on stdout and the log and message boxes on stderr, or all of it as JSON on stdout.
TEST(CliRows, TextAndJsonOfTheStoredAndOfAnotherDateAndPeriod) {
    const struct {
        const char* argumente;
        const char* out;
        const char* err; // nullptr: nothing
    } faelle[] = {
        {"--ini Tafelbot.ini rows --gpn klein.gpn", "klein-rows.txt", "klein-rows.stderr"},
        {"--ini Tafelbot.ini rows --gpn klein.gpn --json", "klein-rows.json", nullptr},
        {"rows --gpn klein.gpn --date 20261208 --period 2 --json --ini Tafelbot.ini",
         "klein-rows-20261208-periode2.json", nullptr},
    };
    for (const auto& f : faelle) {
        SCOPED_TRACE(f.argumente);
        Schule s;
        auto lauf = starteCli(s.dir, f.argumente);
        EXPECT_EQ(lauf.status, 1); // the small school's faults show error boxes
        EXPECT_EQ(lauf.out, testdaten(f.out));
        EXPECT_EQ(lauf.err, f.err ? testdaten(f.err) : "");
        // The overrides and the in-memory purge never reach the file.
        EXPECT_EQ(testing::readFile(s.dir.file("Tafelbot.ini")), testdaten("klein.ini"));
    }
}

TEST(CliRows, OnlyTheDefaultSettingsFileIsCreatedAtAFirstStart) {
    // Without --ini the file beside the program is used when that folder is writable.
    testing::TempDir dir;
    std::filesystem::create_directory(dir.file("bin"));
    std::filesystem::copy_file(TAFELBOT_CLI, dir.file("bin/tafelbot-cli"));
    const std::string cli = "'" + dir.file("bin/tafelbot-cli") + "' ";
    auto erster = starteCli(dir, "rows --json", cli);
    EXPECT_EQ(erster.status, 1); // the default names no gpn file
    ASSERT_TRUE(std::filesystem::exists(dir.file("bin/Tafelbot.ini")));
    EXPECT_NE(erster.out.find("\"kind\": \"info\",\n      \"text\": \"Herzlich Willkommen"),
              std::string::npos);
    std::string inhalt = testing::readFile(dir.file("bin/Tafelbot.ini"));

    auto zweiter = starteCli(dir, "rows --json --date 20261207", cli);
    EXPECT_EQ(zweiter.out.find("Herzlich Willkommen"), std::string::npos);
    EXPECT_EQ(testing::readFile(dir.file("bin/Tafelbot.ini")), inhalt);
}

// Replaces each `von` in `text` by `nach`.
std::string ersetze(std::string text, const std::string& von, const std::string& nach) {
    for (auto i = text.find(von); i != std::string::npos; i = text.find(von, i + nach.size()))
        text.replace(i, von.size(), nach);
    return text;
}

// Each case of data/aufrufe.txt; no case changes a settings file or creates one.
TEST(CliRows, ExitStatusOfEachCase) {
    Schule s;
    const std::string demoIni = testing::readFile(TAFELBOT_SOURCE_DIR "/examples/demo.ini");
    testing::writeFile(s.dir.file("demo.ini"), demoIni);
    std::istringstream faelle(testdaten("aufrufe.txt"));
    std::string zeile;
    while (std::getline(faelle, zeile) && zeile != "--") {
    }
    int anzahl = 0;
    while (std::getline(faelle, zeile)) {
        SCOPED_TRACE(zeile);
        std::vector<std::string> f; // status, arguments, start of stdout, part of stderr
        std::istringstream felder(" " + zeile + " ");
        for (std::string feld; std::getline(felder, feld, '|');)
            f.push_back(ersetze(feld.substr(1, feld.size() - 2), "\\n", "\n"));
        ASSERT_EQ(f.size(), 4u);
        auto lauf = starteCli(s.dir, ersetze(f[1], "DEMO", "'" + DemoGpn + "'"));
        EXPECT_EQ(lauf.status, std::stoi(f[0]));
        EXPECT_EQ(lauf.out.substr(0, f[2].size()), f[2]);
        EXPECT_NE(lauf.err.find(f[3]), std::string::npos) << lauf.err;
        if (lauf.status == 0) {
            EXPECT_EQ(lauf.err.find("error:"), std::string::npos) << lauf.err;
        }
        EXPECT_EQ(testing::readFile(s.dir.file("demo.ini")), demoIni);
        EXPECT_FALSE(std::filesystem::exists(s.dir.file("fehlt.ini")));
        ++anzahl;
    }
    EXPECT_EQ(anzahl, 22);
}

} // namespace
} // namespace tafelbot

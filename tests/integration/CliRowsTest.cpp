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

TEST(CliRows, JsonOfTheStoredAndOfAnotherDateAndPeriod) {
    for (auto [argumente, erwartet] :
         {std::pair{"--ini Tafelbot.ini rows --gpn klein.gpn --json", "klein-rows.json"},
          std::pair{"rows --gpn klein.gpn --date 20261208 --period 2 --json --ini Tafelbot.ini",
                    "klein-rows-20261208-periode2.json"}}) {
        SCOPED_TRACE(argumente);
        Schule s;
        auto lauf = starteCli(s.dir, argumente);
        EXPECT_EQ(lauf.status, 1); // the small school's faults show error boxes
        EXPECT_EQ(lauf.err, "");
        EXPECT_EQ(lauf.out, testdaten(erwartet));
        // The overrides and the in-memory purge never reach the file.
        EXPECT_EQ(testing::readFile(s.dir.file("Tafelbot.ini")), testdaten("klein.ini"));
    }
}

TEST(CliRows, TableOnStdoutAndMessageBoxesOnStderr) {
    Schule s;
    auto lauf = starteCli(s.dir, "--ini Tafelbot.ini rows --gpn klein.gpn");
    EXPECT_EQ(lauf.status, 1);
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

// Exit status, stdout and stderr of each case of the command line's contract; no case changes
// a settings file or creates one.
TEST(CliRows, ExitStatusOfEachCase) {
    struct Fall {
        std::string argumente;
        int status;
        const char* out; // start of stdout
        const char* err; // part of stderr
    };
    const std::string demo = "--ini demo.ini ";
    const Fall faelle[] = {
        {"--help", 0, "Aufruf: tafelbot-cli [--ini DATEI] BEFEHL", ""},
        {"--ini fehlt.ini send --help", 0, "Aufruf: tafelbot-cli [--ini DATEI] send [--gpn", ""},
        {demo + "rows --gpn '" + DemoGpn + "'", 0, "Vertretungen am 07.12.2026", ""},
        {demo + "rows --gpn '" + DemoGpn + "' --period 7", 0, "Vertretungen am 07.12.2026",
         "info: Die gpn-Datei hat keine Periode 7 (nur 1 bis 3); verwendet wird Periode 1.\n"},
        {demo + "mails --gpn '" + DemoGpn + "' --teacher adl --out m", 0, "m/ADL.eml\n", ""},
        {demo + "rows --gpn fehlt.gpn", 1, "", "error: Die gpn-Datei \"fehlt.gpn\" wurde nicht"},
        {demo + "mails --gpn fehlt.gpn --out m", 1, "", "Bitte --gpn DATEI angeben"},
        {demo + "mails --gpn '" + DemoGpn + "' --teacher NIEMAND --out m", 2, "",
         "\"NIEMAND\" gibt es in der gpn-Datei nicht. Bitte einen dieser Kurznamen angeben: "
         "ADL BAU BEC "},
        {"--ini fehlt.ini rows", 2, "", "error: Die Einstellungsdatei \"fehlt.ini\" gibt es nicht"},
        {demo + "rows --date 20260231", 2, "", "error: --date braucht ein Datum, das es gibt"},
        {demo + "rows --date 2026127", 2, "", "error: --date"},
        {demo + "rows --period eins", 2, "", "error: --period"},
        {demo + "rows --gpn", 2, "", "error: rows: unbekanntes oder unvollständiges Argument"},
        {demo + "rows --yes", 2, "", "\"tafelbot-cli rows --help\""},
        {demo + "mails", 2, "", "error: mails braucht --out"},
        {demo + "send --timeout 0", 2, "", "error: --timeout"},
        {demo + "rowz", 2, "", "error: unbekannter Befehl rowz"},
        {"--bla rows", 2, "", "error: unbekannte oder unvollständige Option --bla"},
        {"", 2, "", "error: Es fehlt der Befehl."},
    };
    Schule s;
    testing::writeFile(s.dir.file("demo.ini"),
                       testing::readFile(TAFELBOT_SOURCE_DIR "/examples/demo.ini"));
    for (const Fall& f : faelle) {
        SCOPED_TRACE(f.argumente);
        auto lauf = starteCli(s.dir, f.argumente);
        EXPECT_EQ(lauf.status, f.status);
        EXPECT_EQ(lauf.out.substr(0, std::string(f.out).size()), f.out);
        EXPECT_NE(lauf.err.find(f.err), std::string::npos) << lauf.err;
        if (f.status == 0) {
            EXPECT_EQ(lauf.err.find("error:"), std::string::npos) << lauf.err;
        }
        EXPECT_EQ(testing::readFile(s.dir.file("demo.ini")),
                  testing::readFile(TAFELBOT_SOURCE_DIR "/examples/demo.ini"));
        EXPECT_FALSE(std::filesystem::exists(s.dir.file("fehlt.ini")));
    }
}

} // namespace
} // namespace tafelbot

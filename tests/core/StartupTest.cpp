#include "core/MainWorkflow.h"
#include "platform/Platform.h"
#include "settings/Cp1252.h"
#include "settings/FixeTexte.h"
#include "settings/SettingsFile.h"
#include "support/FixedClock.h"
#include "support/RecordingUi.h"
#include "support/TestFiles.h"

#include <climits>
#include <gtest/gtest.h>

namespace tafelbot {
namespace {

using testing::RecordingUi;
using Zeilen = std::vector<std::string>;

const std::string LoeschFehler = "Fehler beim Löschen der Informationen über bisher gesendete "
                                 "eMails\n\rin der Einstellungsdatei \"Tafelbot.ini\"!"_cp;

// Overrides of the command line hold for the run and never reach the file: the command line's
// tests (rows and send with --gpn, --date and --period).
class StartupTest : public ::testing::Test {
protected:
    // A settings file naming a gpn file that does not exist.
    void schreibeIni(const Zeilen& mails, int loeschTage = 30) {
        Einstellungen w;
        setzeStandardwerte(w);
        w.GpnDatei = dir.file("fehlt.gpn");
        w.AktDatum = "20041018";
        w.LoeschTage = loeschTage;
        w.GesendeteMails = mails;
        testing::writeFile(pfad, iniInhalt(w));
    }

    testing::FixedClock uhr{{2004, 10, 20, 8, 15, 0, 0, 3}};
    testing::TempDir dir;
    std::string pfad = dir.file("Tafelbot.ini");
    RecordingUi ui;
    MainWorkflow fenster{ui, pfad};
};

// (The welcome: the settings file's test; the caption: below; the busy notice gone: the main
// window test.)
TEST_F(StartupTest, FirstStartRunsOnlyOnce) {
    fenster.formActivate();
    EXPECT_EQ(fenster.anwendungsTitel, FixeTexte::programmNameVersion());
    EXPECT_EQ(fenster.busyText, "gpn-Datei wird geladen und Datenstrukturen werden aufgebaut ...");

    // A later activation neither reads the settings again nor reports anything.
    schreibeIni({});
    auto boxen = ui.boxes.size();
    fenster.formActivate();
    EXPECT_EQ(fenster.werte.AktDatum, "20041020");
    EXPECT_EQ(ui.boxes.size(), boxen);
}

// (A file chosen later names the caption and is saved: the main window test.)
TEST_F(StartupTest, CaptionNamesTheDataFileWithoutItsExtension) {
    schreibeIni({});
    for (auto [gpn, name] : std::vector<std::pair<std::string, std::string>>{
             {"plan.gpn", "plan"},
             {"C:\\Daten\\Stundenplan.gpn", "Stundenplan"},
             {"/srv/x.y/plan.gpn", "plan"},
             {"D:plan.gpn", "plan"},
             {"\\\\server\\plan", "???"},
             {"plan", "???"},
             {"a.b", "???"},
             {".gpn", ""}}) {
        RecordingUi leer;
        MainWorkflow w(leer, pfad);
        w.formActivate([&](Einstellungen& e) { e.GpnDatei = dir.file("fehlt/") + gpn; });
        EXPECT_EQ(w.caption, FixeTexte::programmNameVersion() + "  (" + FixeTexte::autorZeile() +
                                 ")  -  " + name)
            << gpn;
    }
}

// The purge keeps the days before the newest record's date, stops at a record without a date
// and survives absurd day counts and a newest date that is none.
TEST_F(StartupTest, PurgeKeepsTheDaysBeforeTheNewestAndStopsAtARecordWithoutDate) {
    const Zeilen alt = {"20041020,3,D,MUE,\"5a\",R1,,,0,200410190730",
                        "20041001,1,,MUE,,,,,0,200409301200", "20040901,1,,ABC,,,,,0,200408311200"};
    schreibeIni(alt);
    fenster.formActivate();
    EXPECT_EQ(fenster.werte.GesendeteMails, Zeilen(alt.begin(), alt.begin() + 2));

    const Zeilen weit = {"20041020,1", "18000101,1", "00010101,1"};
    const std::string kein =
        "Str2DateTime(): Falsches Datumsformat in der Zeichenkette \"20041399\"";
    struct Fall {
        Zeilen mails;
        int tage;
        Zeilen bleiben;
        std::string fehler;
    };
    for (const Fall& f :
         {Fall{{"20041020,1", "20040901,1", "2004x901,1", "20040801,1"},
               30,
               {"20041020,1", "2004x901,1", "20040801,1"},
               LoeschFehler},
          Fall{weit, INT_MAX, weit, ""}, Fall{weit, INT_MIN, {}, ""},
          Fall{{"20041399,1", "19991231,1"}, 30, {"20041399,1", "19991231,1"}, kein}}) {
        ui.boxes.clear();
        fenster.werte.GesendeteMails = f.mails;
        fenster.werte.LoeschTage = f.tage;
        fenster.loescheAlteMails();
        EXPECT_EQ(fenster.werte.GesendeteMails, f.bleiben) << f.tage;
        EXPECT_EQ(ui.boxTexts("error"), f.fehler.empty() ? Zeilen{} : Zeilen{f.fehler});
    }
}

TEST_F(StartupTest, ClosingReportsAFailedWriteAndStillEnds) {
    RecordingUi andere;
    std::string fehlt = dir.file("fehlt/Tafelbot.ini");
    MainWorkflow w(andere, fehlt);
    w.formCloseQuery();
    EXPECT_EQ(andere.boxTexts("error").size(), 1u); // its text: tests/settings/SettingsFileTest
    EXPECT_FALSE(platform::fileExists(fehlt));
}

} // namespace
} // namespace tafelbot

#include "core/MainWorkflow.h"
#include "settings/Cp1252.h"
#include "settings/DatumText.h"
#include "settings/SettingsFile.h"
#include "support/RecordingUi.h"
#include "support/TestFiles.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <tuple>

namespace tafelbot {
namespace {

struct Fenster {
    testing::RecordingUi ui;
    testing::TempDir dir;
    MainWorkflow w{ui, dir.file("Tafelbot.ini")};
};

// "dd.mm.yyyy" of a date text.
std::string feld(const std::string& d) {
    return d.substr(6, 2) + "." + d.substr(4, 2) + "." + d.substr(0, 4);
}

TEST(PlanView, SchoolDaySteppingWithAndWithoutSaturdaySchool) {
    // From, Saturday school, forward, to, weekday shown.
    using Fall = std::tuple<const char*, bool, bool, const char*, const char*>;
    for (auto [von, samstag, vor, nach, wochentag] :
         {Fall{"20040220", true, true, "20040221", "Samstag"},
          Fall{"20040221", true, true, "20040223", "Montag"},
          Fall{"20040221", false, true, "20040222", "Sonntag"},
          Fall{"20040223", true, false, "20040221", "Samstag"},
          Fall{"20040301", false, false, "20040227", "Freitag"},
          Fall{"20041231", false, true, "20050103", "Montag"}}) {
        Fenster f;
        f.w.werte.AktDatum = von;
        f.w.werte.SamstagsSchule = samstag;
        vor ? f.w.naechsterSchultag() : f.w.vorigerSchultag();
        EXPECT_EQ(f.w.werte.AktDatum, nach) << von << (vor ? " forward" : " back");
        EXPECT_EQ(f.w.datumFeld, feld(nach));
        EXPECT_EQ(f.w.wochentagLabel, wochentag);
        EXPECT_TRUE(f.w.tabelle.angelegt()); // the rows of the new date reached the table
    }
}

// The workflow takes "tt.mm.jjjj" only (the window widens what an office types first: the main
// window test); anything else gets the message.
TEST(PlanView, TypedDates) {
    // Text typed, what follows the format in the message (nullptr: accepted).
    using Fall = std::pair<std::string, const char*>;
    using Boxen = std::vector<testing::RecordingUi::Box>;
    for (auto [text, zusatz] :
         {Fall{"1.3.2004", ""}, Fall{"01.03.2004 ", ""}, Fall{"01-03-2004", ""},
          Fall{"0a.03.2004", " (falsche Integerwerte)"},
          Fall{"01.03.20x4", " (falsche Integerwerte)"}, Fall{"01.03.2004", nullptr}}) {
        Fenster f;
        f.w.werte.AktDatum = "20040220";
        f.w.datumEingegeben(text);
        const std::string meldung = "Die Datumseingabe \"" + text +
                                    "\" entspricht nicht\n\rdem erlaubten Format: \"tt.mm.jjjj\"" +
                                    (zusatz ? zusatz : "") + "!";
        // Taken, it is shown as the window test's dates are.
        EXPECT_EQ(f.w.werte.AktDatum, zusatz ? "20040220" : "20040301");
        EXPECT_EQ(f.ui.boxes, (zusatz ? Boxen{{"error", meldung}} : Boxen{}));
    }
}

// An impossible day, typed or stored, is reported by the date conversion and never taken: the
// date before (at start: today) stays, and so nothing but a date is ever saved.
TEST(PlanView, ImpossibleDatesKeepTheDateBefore) {
    const std::string meldung = "Str2DateTime(): Falsches Datumsformat in der Zeichenkette ";
    Fenster f;
    f.w.werte.AktDatum = "20040220";
    f.w.datumEingegeben("31.02.2004");
    EXPECT_EQ(f.ui.boxTexts("error"), std::vector<std::string>{meldung + "\"20040231\""});
    EXPECT_EQ(f.w.werte.AktDatum, "20040220");

    // Stored in the file by hand: reported at start, today instead, and today saved.
    f.w.formCloseQuery();
    std::string inhalt = testing::readFile(f.dir.file("Tafelbot.ini"));
    inhalt.replace(inhalt.find("20040220"), 8, "20260231");
    testing::writeFile(f.dir.file("Tafelbot.ini"), inhalt);
    testing::RecordingUi ui;
    MainWorkflow neu{ui, f.dir.file("Tafelbot.ini")};
    neu.formActivate({});
    const auto fehler = ui.boxTexts("error");
    EXPECT_EQ(std::count(fehler.begin(), fehler.end(), meldung + "\"20260231\""), 1);
    EXPECT_EQ(neu.werte.AktDatum, DatumZuText(jetzt()));
    neu.formCloseQuery();
    EXPECT_EQ(testing::readFile(f.dir.file("Tafelbot.ini")).find("20260231"), std::string::npos);
    EXPECT_EQ(neu.datumFeld, feld(neu.werte.AktDatum));
}

// The period in force or no entry reads nothing again; another period while the file is gone
// leaves no rows until a read succeeds. A plan that is not whole is no plan: no rows come of it,
// at start or later, so no notice row tells a mailed teacher that the plan no longer holds, and
// the records stay as they are.
TEST(PlanView, PeriodDialogAndAFileThatIsNotWhole) {
    Fenster f;
    // Two periods; lesson 1 is German in the first and English in the second.
    const std::string ganz =
        testing::readFile(TAFELBOT_SOURCE_DIR "/tests/plan/data/zwei-perioden.gpn");
    const std::string abgeschnitten = ganz.substr(0, ganz.find("R1,"));
    const std::string gpn = f.dir.file("plan.gpn");
    const std::vector<std::string> mails = {"20261207,3,,MUE,\"5a\",,,,0,202612041200"};
    Einstellungen e;
    setzeStandardwerte(e);
    e.GpnDatei = gpn;
    e.AktDatum = "20261207";
    e.GesendeteMails = mails;
    testing::writeFile(f.w.iniPfad, iniInhalt(e));

    testing::writeFile(gpn, abgeschnitten);
    f.w.formActivate();
    f.w.naechsterSchultag();
    f.w.vorigerSchultag();
    EXPECT_TRUE(f.w.zeilen.Zeilen.empty());
    ASSERT_EQ(f.ui.boxes.size(), 1u);

    // Whole again: the substitution and the notice row of the mailed teacher (as the reader's
    // case files build them).
    testing::writeFile(gpn, ganz);
    f.w.gpnDateiGewaehlt(gpn);
    ASSERT_EQ(f.w.zeilen.Zeilen.size(), 2u);

    // The period in force, or no entry: nothing is read again.
    std::filesystem::rename(gpn, f.dir.file("weg.gpn"));
    f.ui.boxes.clear();
    f.ui.redraws.clear();
    f.w.periodeGewaehlt(0);
    f.w.periodeGewaehlt(-1);
    EXPECT_EQ(f.w.werte.Periode, 1);
    EXPECT_TRUE(f.ui.boxes.empty());
    EXPECT_TRUE(f.ui.redraws.empty());

    // Another period while the file is gone: its message, the log as it was, and no rows until a
    // read succeeds.
    const std::deque<std::string> log = f.w.log.lines();
    f.w.periodeGewaehlt(1);
    EXPECT_EQ(f.w.werte.Periode, 2);
    EXPECT_EQ(f.ui.boxTexts("info"),
              (std::vector<std::string>{"Bitte wählen Sie zunächst Ihre "
                                        "gp-Untis-Stundenplan-Datei aus!"_cp}));
    EXPECT_EQ(f.w.log.lines(), log);
    EXPECT_TRUE(f.w.zeilen.Zeilen.empty());

    // The second period with the file in place: read again, rows rebuilt.
    std::filesystem::rename(f.dir.file("weg.gpn"), gpn);
    f.w.werte.Periode = 1;
    f.w.periodeGewaehlt(1);
    EXPECT_EQ(f.w.periodenAuswahl, 1);
    EXPECT_EQ(f.w.zeilen.Zeilen.at(0).StattFach, "EN");
    EXPECT_FALSE(f.w.busyVisible);
    EXPECT_EQ(std::count(f.ui.redraws.begin(), f.ui.redraws.end(), ViewPart::BusyNotice), 4);

    // Cut while the office changes the period: the rows of the earlier read go.
    testing::writeFile(gpn, abgeschnitten);
    f.w.periodeGewaehlt(0);
    EXPECT_TRUE(f.w.zeilen.Zeilen.empty());
    EXPECT_EQ(f.ui.boxes.size(), 2u); // the reader's box, as at the start
    EXPECT_EQ(f.w.werte.GesendeteMails, mails);
}

} // namespace
} // namespace tafelbot

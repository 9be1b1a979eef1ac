#include "plan/GpnTestDaten.h"
#include "settings/Cp1252.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <tuple>

namespace tafelbot {
namespace {

using testing::lehrerZeilen;
using testing::LeserUmgebung;
using testing::operator+;
using testing::Zeilen;

Zeilen kleineSchule() {
    return lehrerZeilen("MUE", "\"Müller, Hans\""_cp, "\"Hans, Dr.\"",
                        "\"hans.mueller@schule.example\"") +
           lehrerZeilen("SCH", "Schneider", "Eva") +
           Zeilen{"0U,1",
                  "Uf,,DE,,MA",
                  "Uk,,5a,,5b,,6a",
                  "Ul,,MUE,,SCH",
                  "Uz 1 1 2 1",
                  "Uz 2 3 3 2",
                  "0X,7,MUE,1,20261204,3,20261207,5",
                  "0V,101,20261207,3,SCH,MUE,MA,,1,\"Seite 4, 5\",R12,7,,B",
                  "Vk,,5a,5b"};
}

TEST(GpnLeser, ReadsAFileWithoutPeriodsCompletely) {
    LeserUmgebung u;
    u.werte.Periode = 4;
    ASSERT_TRUE(u.lies(kleineSchule()));
    EXPECT_EQ(
        u.logZeilen(),
        (Zeilen{"Einlesen der Stunden- und Vertretungsplan-Daten aus der Datei \"" +
                    u.werte.GpnDatei + "\":",
                " ", "1. Einlesen der Lehrerdaten ...", "2. Einlesen der Unterrichtsdaten ...",
                "3. Einlesen der Verlegungen ...", "4. Einlesen der Vertretungen ...", " ",
                "Unterrichts-Daten konnten erfolgreich und fehlerfrei gelesen werden.", "",
                "Gelesene Daten: 2 Lehrer, 2 Unterrichte, 1 Verlegungen, 1 Vertretungen", ""}));
    // Quoted fields keep their commas and lose their quotes; the next field keeps its number.
    EXPECT_EQ(testing::plantext(u.plan),
              (Zeilen{"L MUE|Müller, Hans|Hans, Dr.|hans.mueller@schule.example|@"_cp,
                      "L SCH|Schneider|Eva|", "U 1 MUE 5a,5b/DE", "U 1 SCH 6a/MA",
                      "X 7 MUE U1 20261204/3 20261207/5",
                      "V 101 20261207/3 SCH for MUE MA R12 U1 X7 'Seite 4, 5' 5a,5b B M"}));
    EXPECT_TRUE(u.ui.boxes.empty());
    EXPECT_EQ(u.werte.Periode, 1); // corrected, but not logged without periods
    EXPECT_EQ(u.lehrerListe, (Zeilen{"+ Müller, Hans"_cp, "-  Schneider"}));
    EXPECT_FALSE(u.button);
    EXPECT_EQ(u.auswahl, -1);
    EXPECT_EQ(testing::readFile(u.werte.GpnDatei), testing::joinLines(kleineSchule()));
}

TEST(GpnLeser, AMissingFileChangesNothing) {
    LeserUmgebung u;
    u.werte.LehrerLangnamen = false; // and the teacher list leaves out placeholders
    ASSERT_TRUE(u.lies(kleineSchule() + lehrerZeilen("?", "NN", "", "x@schule.example") +
                       lehrerZeilen("*", "Alle")));
    EXPECT_EQ(u.lehrerListe, (Zeilen{"+ MUE", "-  SCH"}));
    auto logVorher = u.logZeilen();
    u.werte.GpnDatei = u.dir.file("fehlt.gpn");
    EXPECT_FALSE(u.liesDatei());
    EXPECT_EQ(u.ui.boxTexts("info"), (Zeilen{"Bitte wählen Sie zunächst Ihre "
                                             "gp-Untis-Stundenplan-Datei aus!"_cp}));
    EXPECT_EQ(u.logZeilen(), logVorher);
    EXPECT_EQ(u.plan.Lehrer.size(), 4u);
    EXPECT_EQ(u.lehrerListe.size(), 2u);
}

// Three periods. VOR and lesson 90 come before any period line: never taken. "0pL,1-2" and
// "0pL,3": list 1 serves periods 1 and 2, list 2 period 3; the later "0pL,2" starts a new run,
// where the matched list starts again from none.
TEST(GpnLeser, PeriodsSelectTeacherListsAndLessonsAndAreCorrected) {
    const std::string perioden =
        testing::readFile(TAFELBOT_SOURCE_DIR "/tests/plan/data/perioden.gpn");
    // Period asked for, period in force, the plan read.
    using Fall = std::tuple<int, int, Zeilen>;
    for (auto [periode, inKraft, erwartet] :
         {Fall{1, 1, {"L EINS|Eins||", "U 1 EINS 5a/DE"}},
          Fall{2, 2, {"L EINS|Eins||", "L DREI|Drei||", "U 1 EINS 5a/DE"}},
          Fall{3, 3, {"L ZWEI|Zwei||", "U 3 ZWEI 7a/EN"}},
          Fall{7, 1, {"L EINS|Eins||", "U 1 EINS 5a/DE"}},
          Fall{-3, 1, {"L EINS|Eins||", "U 1 EINS 5a/DE"}}}) {
        LeserUmgebung u;
        u.werte.Periode = periode;
        ASSERT_TRUE(u.liesInhalt(perioden));
        EXPECT_EQ(testing::plantext(u.plan), erwartet) << "period " << periode;
        EXPECT_EQ(u.werte.Periode, inKraft);
        EXPECT_EQ(u.logZeilen()[2],
                  "Ausgewählte Periode: "_cp + std::to_string(inKraft) + " (von 3)");
        EXPECT_EQ(u.perioden,
                  (Zeilen{"Herbst (01.08.26 - 31.12.26)", "Winter (01.01.27 - 31.03.27)",
                          "Frühjahr (01.04.27 - 31.07.27)"_cp}));
        EXPECT_EQ(u.auswahl, inKraft - 1);
        EXPECT_EQ(u.sichtbar, 3);
        EXPECT_TRUE(u.button);
        // A later file without periods empties the list and disables the button.
        ASSERT_TRUE(u.lies(kleineSchule()));
        EXPECT_FALSE(u.button);
        EXPECT_TRUE(u.perioden.empty());
    }
    LeserUmgebung u;
    Zeilen z;
    for (int i = 1; i <= 25; ++i)
        z.push_back("0P," + std::to_string(i) + ",P" + std::to_string(i) + ",2026080,x");
    u.werte.Periode = 25;
    ASSERT_TRUE(u.lies(z + kleineSchule()));
    EXPECT_EQ(u.perioden[0], "P1 (0.08.26 - ..)");
    EXPECT_EQ(u.sichtbar, 20);
    EXPECT_EQ(u.auswahl, 24);
}

// The files of data/faelle/: each NAME.gpn, read with the default settings, must give the plan
// and the logged data errors of NAME.txt. With TAFELBOT_TESTDATEN_SCHREIBEN=1 the test writes the
// .txt files anew from what the reader gives, for a look at the difference.
//   uz-spalten         the column forms of "Uz" lines: blanks, fields from 9 on, teacher numbers
//                      no teacher of the lesson has
//   uz-kurz            short "Uz" lines: one message per missing column pair
//   unterrichtszeilen  a lesson's data lines miscounted, a bad number (the previous one stays),
//                      an unknown teacher (the share stays)
//   datensatzfehler    errors in move, substitution and class records, field by field; the
//                      records stay
//   grosse-zahlen      integers beyond 32 bits and class numbers beyond the line
TEST(GpnLeser, DataErrorsOfEachCaseFile) {
    const std::string ordner = TAFELBOT_SOURCE_DIR "/tests/plan/data/faelle/";
    for (const char* fall :
         {"uz-spalten", "uz-kurz", "unterrichtszeilen", "datensatzfehler", "grosse-zahlen"}) {
        SCOPED_TRACE(fall);
        LeserUmgebung u;
        ASSERT_TRUE(u.liesInhalt(testing::readFile(ordner + fall + ".gpn")));
        const std::string ergebnis =
            testing::joinLines(testing::plantext(u.plan) + Zeilen{"--"} + u.meldungen(), "\n");
        if (std::getenv("TAFELBOT_TESTDATEN_SCHREIBEN"))
            testing::writeFile(ordner + fall + ".txt", ergebnis);
        EXPECT_EQ(ergebnis, testing::readFile(ordner + fall + ".txt"));
    }
}

TEST(GpnLeser, ErrorsGiveOneBoxByTheSwitchAndAReadStartsAfresh) {
    for (bool schalter : {true, false}) {
        LeserUmgebung u;
        u.werte.FehlermeldungBeimEinlesen = schalter;
        ASSERT_TRUE(u.lies(kleineSchule() + Zeilen{"Vk,,5c"}));
        EXPECT_TRUE(u.plan.FehlerGefunden);
        const std::string box = "Beim Lesen der Daten aus der gpn-Datei \"" + u.werte.GpnDatei +
                                "\"\n\rsind Fehler aufgetreten. Bitte beachten Sie die "
                                "Kommentare im Info-Feld unten.";
        EXPECT_EQ(u.ui.boxTexts("error"), schalter ? Zeilen{box} : Zeilen{});
        auto log = u.logZeilen();
        EXPECT_EQ(
            Zeilen(log.end() - 3, log.end()),
            (Zeilen{" ", "Gelesene Daten: 2 Lehrer, 2 Unterrichte, 1 Verlegungen, 1 Vertretungen",
                    ""}));
        ASSERT_TRUE(u.lies(kleineSchule()));
        EXPECT_FALSE(u.plan.FehlerGefunden);
        EXPECT_EQ(u.logZeilen()[2], "1. Einlesen der Lehrerdaten ...");
    }
}

} // namespace
} // namespace tafelbot

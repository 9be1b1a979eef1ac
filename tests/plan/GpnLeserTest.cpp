#include "plan/GpnTestDaten.h"
#include "settings/Cp1252.h"

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

Zeilen dreiLehrerUnterricht() {
    return lehrerZeilen("A", "Anna") + lehrerZeilen("B", "Bert") + lehrerZeilen("C", "Carl") +
           Zeilen{"0U,5", "Uf,,DE,,MA,,EN", "Uk,,5a,,5b,,5c",
                  "Ul,,A,,B,,C"}; // the next line is line 11
}

TEST(GpnLeser, UzColumnForms) {
    LeserUmgebung u;
    ASSERT_TRUE(u.lies(dreiLehrerUnterricht() + Zeilen{"Uz 1 1 2 1", // teacher 1, classes 1..2
                                                       "Uz2  3 3 3", // "2 " is 2
                                                       "Uz   1 1 1", // blanks: teacher 0, ignored
                                                       "Uz 0 1 1 1", // 0: ignored
                                                       "Uz 3    ",   // no classes, no field 9: ","
                                                       "Uz 2     3,,,,,,,,3,x,1,,2", // fields 9..
                                                       "Uz 4 1 1 1", // line 17: no fourth teacher
                                                       "0U,6", "Uf,,SP", "Uk,,9a", "Ul,,B",
                                                       "Uz 2 1 1 1", // line 22: lesson 6 has one
                                                       "Uz 1 1 1 1"}));
    EXPECT_EQ(testing::plantext(u.plan),
              (Zeilen{"L A|Anna||", "L B|Bert||", "L C|Carl||", "U 5 A 5a,5b/DE",
                      "U 5 B 5c,5c,,5a/EN", "U 5 C /", "U 6 B 9a/SP"}));
    const std::string ignoriert =
        " im uZ-Datensatz passt zu keinem Lehrer des Unterrichts! Die Zeile wird ignoriert.";
    EXPECT_EQ(u.meldungen(),
              (Zeilen{"FEHLER in der gpn-Datei in Zeile 17: | Die Lehrernummer 4" + ignoriert,
                      "FEHLER in der gpn-Datei in Zeile 22: | Die Lehrernummer 2" + ignoriert}));
}

TEST(GpnLeser, ShortUzLinesAreLoggedPerMissingColumnPair) {
    LeserUmgebung u;
    ASSERT_TRUE(u.lies(lehrerZeilen("A", "Anna") +
                       Zeilen{"0U,6", "Uf,,DE", "Uk,,7a", "Ul,,A", "Uz 1", "Uz 1 1 1,"}));
    EXPECT_EQ(u.plan.Unterrichte[0].Klassen, ",7a");
    EXPECT_EQ(u.plan.Unterrichte[0].Fach, "");
    const std::string f = "FEHLER in der gpn-Datei in Zeile ";
    EXPECT_EQ(u.meldungen(),
              (Zeilen{f + "7 Spalte 5: | Falsche Nummer in \"\" im uZ-Datensatz!",
                      f + "7 Spalte 7: | Falsche Nummer in \"\" im uZ-Datensatz!",
                      f + "8 Spalte 9: | Falsche Nummer in \",\" im uZ-Datensatz!"}));
}

TEST(GpnLeser, LessonLineCountsAndUnknownTeachers) {
    LeserUmgebung u;
    ASSERT_TRUE(u.lies(lehrerZeilen("A", "Anna") + Zeilen{"Uf,,XX", // 3: before any lesson
                                                          "0U,1",   // 4
                                                          "Uf,,DE", // 5
                                                          "0U,x",   // 6: 1 incomplete, bad nr
                                                          "Uf,,MA", "Uk,,8a", "Ul,,A,,ZZ",
                                                          "Uf,,PH",     // 10: a fourth data line
                                                          "Uz 1 1 1 1", // 11: ZZ unknown
                                                          "Uk,,9a"}));  // 12: after the first Uz
    const std::string f = "FEHLER in der gpn-Datei in Zeile ";
    const std::string zuViele = " | Zu wenig oder mehr als 4 Daten-Zeilen (OU, Uf, Uk, Ul) eines "
                                "Unterrichts. ";
    EXPECT_EQ(u.meldungen(),
              (Zeilen{f + "3: " + zuViele + "f=Uf,,XX k= l=",
                      f + "6: | Neuer OU-Datensatz obwohl vorheriger noch nicht komplett! "
                          "f=Uf,,DE k= l=",
                      f + "6: | Falscher Integerwert der Unterrichtsnummer!",
                      f + "10: " + zuViele + "f=Uf,,PH k=Uk,,8a l=Ul,,A,,ZZ",
                      f + "11: | Lehrerkurzname \"ZZ\" nicht definiert!",
                      f + "12: " + zuViele + "f=Uf,,PH k=Uk,,9a l=Ul,,A,,ZZ",
                      "PROBLEM beim Unterricht Nr. 1: | Hier liegt wahrscheinlich ein "
                      "Programmierfehler vor!"}));
    // The bad number keeps the previous one; the unknown teacher's share stays.
    EXPECT_EQ(testing::plantext(u.plan), (Zeilen{"L A|Anna||", "U 1 A 8a/PH", "U 1 ZZ /"}));
}

TEST(GpnLeser, RecordErrorsAreLoggedFieldByFieldAndTheRecordStays) {
    LeserUmgebung u;
    auto vertretung = [](std::string nr, std::string vertreter, std::string art) {
        return "0V," + nr + ",20261207,2," + vertreter + ",,,,,,R2,,," + art;
    };
    ASSERT_TRUE(u.lies(lehrerZeilen("A", "Anna") +
                       Zeilen{"Le,,,,,Zweit", // 3
                              "0X,1,A,5,,3,20261207,4",
                              "0X,2,A,5,20261204,3,,4",                              // skipped
                              "0X,-2147483648,ZZ,y,20261204,99999999999,20261207,w", // 6
                              vertretung("1", "A", "N"),
                              "Vk,,5a",
                              vertretung("2", "A", "E"),
                              "Vk,,5a",
                              vertretung("3", "", ""),
                              "Vk,,5a",                              // 11, 12
                              "0V,n,20261207,s,A,,,,u,,,2147483648", // 13
                              "Vk,,5a,5b,,6a",
                              "Vk,,6b", // 14, 15
                              vertretung("5", "ZZ", "F"),
                              "Vk,", // 16, 17
                              "Vk,,7a",
                              "0U,1",
                              "Uf,,DE",
                              "Uk,,5a",
                              "Ul,,A",
                              "Uz 1 1 1 1"}));
    const std::string f = "FEHLER in der gpn-Datei in Zeile ";
    const std::string z = "Falscher Integerwert des ";
    EXPECT_EQ(u.meldungen(),
              (Zeilen{f + "3: | Kann \"Le\"-Datensatz nicht einem Lehrer zuordnen!",
                      f + "6: | Lehrerkurzname \"ZZ\" nicht definiert!",
                      f + "6: | " + z + "4. Zeileneintrages (Unterrichtsnummer)!",
                      f + "6: | " + z + "6. Zeileneintrages (Stunde-Woher)!",
                      f + "6: | " + z + "8. Zeileneintrages (Stunde-Wohin)!",
                      f + "13: | " + z + "2. Zeileneintrages (Vertretungssnummer)!",
                      f + "13: | " + z + "9. Zeileneintrages (Unterrichtsnummer)!",
                      f + "13: | " + z + "4. Zeileneintrages (Stunde)!",
                      f + "13: | " + z + "12. Zeileneintrages (Verlegungssnummer)!",
                      f + "15: | Kann \"Vk\"-Datensatz nicht einer Vertretung zuordnen!",
                      f + "16: | Lehrerkurzname \"ZZ\" nicht definiert!",
                      f + "17: | Im \"Vk\"-Datensatz fehlt die Klasse!",
                      f + "18: | Kann \"Vk\"-Datensatz nicht einer Vertretung zuordnen!"}));
    EXPECT_EQ(testing::plantext(u.plan),
              (Zeilen{"L A|Anna||", "U 1 A 5a/DE", "X -2147483648 ZZ U0 20261204/0 20261207/0",
                      "V 0 20261207/0 A for    U-1 X-1 '' 5a,5b ",
                      "V 5 20261207/2 ZZ for   R2 U-1 X-1 ''  F"}));
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

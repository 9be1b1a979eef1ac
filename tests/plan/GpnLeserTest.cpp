#include "plan/GpnTestDaten.h"
#include "settings/Cp1252.h"

#include <gtest/gtest.h>

namespace tafelbot {
namespace {

using testing::anhaengen;
using testing::gpnZeile;
using testing::lehrerZeilen;
using testing::LeserUmgebung;

const std::string Indent(17, ' ');

std::vector<std::string> kleineSchule() {
    std::vector<std::string> z;
    anhaengen(z, lehrerZeilen("MUE", "Müller"_cp, "Hans", "hans.mueller@schule.example"));
    anhaengen(z, lehrerZeilen("SCH", "Schneider", "Eva"));
    anhaengen(z,
              {"0U,1", "Uf,,DE,,MA", "Uk,,5a,,5b,,6a", "Ul,,MUE,,SCH", "Uz 1 1 2 1", "Uz 2 3 3 2"});
    z.push_back("0X,7,MUE,1,20261204,3,20261207,5");
    z.push_back(gpnZeile("0V", {{2, "101"},
                                {3, "20261207"},
                                {4, "3"},
                                {5, "SCH"},
                                {6, "MUE"},
                                {7, "MA"},
                                {8, "R12"},
                                {9, "1"},
                                {10, "Vertretung"},
                                {12, "7"},
                                {14, "B"}}));
    z.push_back("Vk,,5a,5b");
    return z;
}

TEST(GpnLeser, ReadsAFileWithoutPeriodsCompletely) {
    LeserUmgebung u;
    u.werte.Periode = 4;
    ASSERT_TRUE(u.lies(kleineSchule()));

    EXPECT_EQ(u.logZeilen(),
              (std::vector<std::string>{
                  "Einlesen der Stunden- und Vertretungsplan-Daten aus der Datei \"" +
                      u.werte.GpnDatei + "\":",
                  " ", "1. Einlesen der Lehrerdaten ...", "2. Einlesen der Unterrichtsdaten ...",
                  "3. Einlesen der Verlegungen ...", "4. Einlesen der Vertretungen ...", " ",
                  "Unterrichts-Daten konnten erfolgreich und fehlerfrei gelesen werden.", "",
                  "Gelesene Daten: 2 Lehrer, 2 Unterrichte, 1 Verlegungen, 1 Vertretungen", ""}));
    EXPECT_TRUE(u.ui.boxes.empty());
    EXPECT_FALSE(u.plan.FehlerGefunden);
    EXPECT_EQ(u.werte.Periode, 1); // no periods: corrected, but not logged

    ASSERT_EQ(u.plan.Lehrer.size(), 2u);
    EXPECT_EQ(u.plan.Lehrer[0].Langname, "Müller"_cp);
    EXPECT_EQ(u.plan.Lehrer[0].Vorname, "Hans");
    EXPECT_EQ(u.plan.Lehrer[0].EMail, "hans.mueller@schule.example");
    EXPECT_TRUE(u.plan.Lehrer[0].HatEMail);
    EXPECT_FALSE(u.plan.Lehrer[1].HatEMail);
    EXPECT_EQ(u.plan.Lehrer[1].EMail, "");

    ASSERT_EQ(u.plan.Unterrichte.size(), 2u);
    EXPECT_EQ(u.plan.Unterrichte[0].Nr, 1);
    EXPECT_EQ(u.plan.Unterrichte[0].Lehrer, "MUE");
    EXPECT_EQ(u.plan.Unterrichte[0].Klassen, "5a,5b");
    EXPECT_EQ(u.plan.Unterrichte[0].Fach, "DE");
    EXPECT_EQ(u.plan.Unterrichte[1].Lehrer, "SCH");
    EXPECT_EQ(u.plan.Unterrichte[1].Klassen, "6a");
    EXPECT_EQ(u.plan.Unterrichte[1].Fach, "MA");

    ASSERT_EQ(u.plan.Verlegungen.size(), 1u);
    const TVerlegung& vl = u.plan.Verlegungen[0];
    EXPECT_EQ(vl.Nr, 7);
    EXPECT_EQ(vl.Lehrer, "MUE");
    EXPECT_EQ(vl.UnterrichtNr, 1);
    EXPECT_EQ(vl.DatumVon, "20261204");
    EXPECT_EQ(vl.StundeVon, 3);
    EXPECT_EQ(vl.DatumNach, "20261207");
    EXPECT_EQ(vl.StundeNach, 5);

    ASSERT_EQ(u.plan.Vertretungen.size(), 1u);
    const TVertretung& v = u.plan.Vertretungen[0];
    EXPECT_EQ(v.Nr, 101);
    EXPECT_EQ(v.Datum, "20261207");
    EXPECT_EQ(v.Stunde, 3);
    EXPECT_EQ(v.Vertreter, "SCH");
    EXPECT_EQ(v.StattLehrer, "MUE");
    EXPECT_EQ(v.Fach, "MA");
    EXPECT_EQ(v.Raum, "R12");
    EXPECT_EQ(v.UnterrichtNr, 1);
    EXPECT_EQ(v.Text, "Vertretung");
    EXPECT_EQ(v.VerlegungNr, 7);
    EXPECT_TRUE(v.Mitbetreuung);
    EXPECT_EQ(v.Art, "B");
    EXPECT_EQ(v.Klassen, "5a,5b");

    EXPECT_EQ(u.lehrerListe, (std::vector<std::string>{"+ Müller"_cp, "-  Schneider"}));
    EXPECT_FALSE(u.button);
    EXPECT_TRUE(u.perioden.empty());
    EXPECT_EQ(u.auswahl, -1);
}

TEST(GpnLeser, TeacherListFollowsTheLongNamesSwitchAndLeavesOutPlaceholders) {
    LeserUmgebung u;
    u.werte.LehrerLangnamen = false;
    std::vector<std::string> z = kleineSchule();
    anhaengen(z, lehrerZeilen("?", "Unbekannt", "", "x@schule.example"));
    anhaengen(z, lehrerZeilen("*", "Alle"));
    ASSERT_TRUE(u.lies(z));
    EXPECT_EQ(u.plan.Lehrer.size(), 4u);
    EXPECT_EQ(u.lehrerListe, (std::vector<std::string>{"+ MUE", "-  SCH"}));
}

TEST(GpnLeser, MissingFileChangesNothing) {
    LeserUmgebung u;
    ASSERT_TRUE(u.lies(kleineSchule()));
    auto logVorher = u.logZeilen();
    u.werte.GpnDatei = u.dir.file("fehlt.gpn");
    EXPECT_FALSE(LiesGpnDatei(u.kontext()));
    EXPECT_EQ(u.ui.boxes, (std::vector<testing::RecordingUi::Box>{
                              {"info", "Bitte wählen Sie zunächst Ihre "
                                       "gp-Untis-Stundenplan-Datei aus!"_cp}}));
    EXPECT_EQ(u.logZeilen(), logVorher);
    EXPECT_EQ(u.plan.Lehrer.size(), 2u);
    EXPECT_EQ(u.lehrerListe.size(), 2u);
}

TEST(GpnLeser, NeverWritesTheFile) {
    LeserUmgebung u;
    std::string inhalt = testing::gpnDatei(kleineSchule());
    ASSERT_TRUE(u.liesInhalt(inhalt));
    EXPECT_EQ(testing::readFile(u.werte.GpnDatei), inhalt);
}

std::vector<std::string> schuleMitPerioden() {
    return {
        "0P,1,Herbst,20260801,20261231",
        "0P,2,Winter,20270101,20270331",
        "0P,3,Frühjahr,20270401,20270731"_cp,
        "00L,VOR,Vorweg", // before any period line: never taken
        "0U,90",
        "0pL,1-2", // teacher list 1 serves periods 1 and 2
        "0pL,3",   // teacher list 2 serves period 3
        "PE,1",
        "00L,EINS,Eins",
        "PE,2",
        "00L,ZWEI,Zwei",
        "0pU,1-2",
        "0U,1",
        "Uf,,DE",
        "Uk,,5a",
        "Ul,,EINS",
        "Uz 1 1 1 1",
        "0pU,3",
        "0U,3",
        "Uf,,EN",
        "Uk,,7a",
        "Ul,,ZWEI",
        "Uz 1 1 1 1",
        "0pL,2", // a new run: no list for period 1 or 3 any more
        "PE,1-2-3",
        "00L,DREI,Drei",
    };
}

TEST(GpnLeser, PeriodsSelectTeacherListsAndLessons) {
    struct Fall {
        int periode;
        std::vector<std::string> lehrer;
        std::vector<std::int32_t> unterrichte;
    };
    for (const Fall& fall :
         {Fall{1, {"EINS"}, {1}}, Fall{2, {"EINS", "DREI"}, {1}}, Fall{3, {"ZWEI"}, {3}}}) {
        LeserUmgebung u;
        u.werte.Periode = fall.periode;
        ASSERT_TRUE(u.lies(schuleMitPerioden()));
        std::vector<std::string> lehrer;
        for (const auto& l : u.plan.Lehrer)
            lehrer.push_back(l.Kurzname);
        std::vector<std::int32_t> unterrichte;
        for (const auto& un : u.plan.Unterrichte)
            unterrichte.push_back(un.Nr);
        EXPECT_EQ(lehrer, fall.lehrer) << "period " << fall.periode;
        EXPECT_EQ(unterrichte, fall.unterrichte) << "period " << fall.periode;
        EXPECT_EQ(u.logZeilen()[2],
                  "Ausgewählte Periode: "_cp + std::to_string(fall.periode) + " (von 3)");
        EXPECT_EQ(u.auswahl, fall.periode - 1);
    }
}

TEST(GpnLeser, PeriodOutsideTheFileBecomesTheFirst) {
    for (int periode : {7, 0, -3}) {
        LeserUmgebung u;
        u.werte.Periode = periode;
        ASSERT_TRUE(u.lies(schuleMitPerioden()));
        EXPECT_EQ(u.werte.Periode, 1);
        EXPECT_EQ(u.logZeilen()[2], "Ausgewählte Periode: 1 (von 3)"_cp);
        EXPECT_EQ(u.perioden, (std::vector<std::string>{"Herbst (01.08.26 - 31.12.26)",
                                                        "Winter (01.01.27 - 31.03.27)",
                                                        "Frühjahr (01.04.27 - 31.07.27)"_cp}));
        EXPECT_EQ(u.auswahl, 0);
        EXPECT_EQ(u.sichtbar, 3);
        EXPECT_TRUE(u.button);
    }
}

TEST(GpnLeser, PeriodListShowsAtMostTwentyAtOnce) {
    LeserUmgebung u;
    std::vector<std::string> z;
    for (int i = 1; i <= 25; ++i)
        z.push_back("0P," + std::to_string(i) + ",P" + std::to_string(i) + ",2026080,x");
    u.werte.Periode = 25;
    ASSERT_TRUE(u.lies(z));
    EXPECT_EQ(u.perioden.size(), 25u);
    EXPECT_EQ(u.perioden[0], "P1 (0.08.26 - ..)");
    EXPECT_EQ(u.sichtbar, 20);
    EXPECT_EQ(u.auswahl, 24);
}

TEST(GpnLeser, ALaterFileWithoutPeriodsEmptiesTheListAndDisablesTheButton) {
    LeserUmgebung u;
    ASSERT_TRUE(u.lies(schuleMitPerioden()));
    ASSERT_TRUE(u.button);
    ASSERT_TRUE(u.lies(kleineSchule()));
    EXPECT_FALSE(u.button);
    EXPECT_TRUE(u.perioden.empty());
    EXPECT_EQ(u.auswahl, -1);
}

TEST(GpnLeser, QuotedFieldsKeepTheirCommas) {
    LeserUmgebung u;
    ASSERT_TRUE(u.lies(
        {"00L,MUE,\"Müller, Hans\",\"x,y\"", "Le,,,,,\"Hans, Dr.\",,,,,,,,,\"a@schule.example\""}));
    ASSERT_EQ(u.plan.Lehrer.size(), 1u);
    EXPECT_EQ(u.plan.Lehrer[0].Langname, "Müller, Hans");
    EXPECT_EQ(u.plan.Lehrer[0].Vorname, "Hans, Dr.");
    EXPECT_EQ(u.plan.Lehrer[0].EMail, "a@schule.example");
}

std::vector<std::string> dreiLehrerUnterricht() {
    std::vector<std::string> z;
    anhaengen(z, lehrerZeilen("A", "Anna"));
    anhaengen(z, lehrerZeilen("B", "Bert"));
    anhaengen(z, lehrerZeilen("C", "Carl"));
    anhaengen(z, {"0U,5", "Uf,,DE,,MA,,EN", "Uk,,5a,,5b,,5c", "Ul,,A,,B,,C"});
    return z; // line 10 is the first line after this
}

TEST(GpnLeser, UzColumnForms) {
    LeserUmgebung u;
    std::vector<std::string> z = dreiLehrerUnterricht();
    anhaengen(z, {
                     "Uz 1 1 2 1",                 // line 11: teacher 1, classes 1..2, subject 1
                     "Uz2  3 3 3",                 // "2 " is 2; class 3, subject 3
                     "Uz   1 1 1",                 // two blanks: teacher 0, line ignored
                     "Uz 0 1 1 1",                 // teacher 0 again
                     "Uz 3    ",                   // blanks in 5-8, no field 9: ","
                     "Uz 2     3,,,,,,,,3,x,1,,2", // fields up to the first empty one
                     "Uz 4 1 1 1",                 // line 17: only three teachers
                 });
    ASSERT_TRUE(u.lies(z));
    ASSERT_EQ(u.plan.Unterrichte.size(), 3u);
    EXPECT_EQ(u.plan.Unterrichte[0].Klassen, "5a,5b");
    EXPECT_EQ(u.plan.Unterrichte[0].Fach, "DE");
    EXPECT_EQ(u.plan.Unterrichte[1].Klassen, "5c,5c,,5a");
    EXPECT_EQ(u.plan.Unterrichte[1].Fach, "EN");
    EXPECT_EQ(u.plan.Unterrichte[2].Klassen, "");
    EXPECT_EQ(u.plan.Unterrichte[2].Fach, "");
    EXPECT_EQ(u.meldungen(),
              (std::vector<std::string>{"FEHLER in der gpn-Datei in Zeile 17: | Die Lehrernummer 4 "
                                        "im uZ-Datensatz passt zu keinem Lehrer des Unterrichts! "
                                        "Die Zeile wird ignoriert."}));
}

TEST(GpnLeser, UzTeacherBeyondTheLessonLeavesOtherLessonsAlone) {
    LeserUmgebung u;
    std::vector<std::string> z = dreiLehrerUnterricht();
    anhaengen(z, {"Uz 1 1 1 1", "Uz 2 2 2 2", "Uz 3 3 3 3", "0U,6", "Uf,,SP", "Uk,,9a", "Ul,,B",
                  "Uz 2 1 1 1", "Uz 3 1 1 1", "Uz 1 1 1 1"});
    ASSERT_TRUE(u.lies(z));
    std::vector<std::string> klassen;
    for (const auto& un : u.plan.Unterrichte)
        klassen.push_back(std::to_string(un.Nr) + un.Lehrer + ":" + un.Klassen + "/" + un.Fach);
    EXPECT_EQ(klassen, (std::vector<std::string>{"5A:5a/DE", "5B:5b/MA", "5C:5c/EN", "6B:9a/SP"}));
    EXPECT_EQ(u.meldungen().size(), 2u);
}

TEST(GpnLeser, ShortUzLinesAreLoggedPerMissingColumnPair) {
    LeserUmgebung u;
    std::vector<std::string> z = lehrerZeilen("A", "Anna");
    anhaengen(z, {"0U,6", "Uf,,DE", "Uk,,7a", "Ul,,A", "Uz 1", "Uz 1 1 1,"});
    ASSERT_TRUE(u.lies(z));
    ASSERT_EQ(u.plan.Unterrichte.size(), 1u);
    EXPECT_EQ(u.plan.Unterrichte[0].Klassen, ",7a");
    EXPECT_EQ(u.plan.Unterrichte[0].Fach, "");
    EXPECT_EQ(u.meldungen(), (std::vector<std::string>{
                                 "FEHLER in der gpn-Datei in Zeile 7 Spalte 5: | Falsche Nummer in "
                                 "\"\" im uZ-Datensatz!",
                                 "FEHLER in der gpn-Datei in Zeile 7 Spalte 7: | Falsche Nummer in "
                                 "\"\" im uZ-Datensatz!",
                                 "FEHLER in der gpn-Datei in Zeile 8 Spalte 9: | Falsche Nummer in "
                                 "\",\" im uZ-Datensatz!"}));
}

TEST(GpnLeser, LessonLineCountsAndUnknownTeachers) {
    LeserUmgebung u;
    std::vector<std::string> z = lehrerZeilen("A", "Anna");
    anhaengen(z, {
                     "0U,1",       // 3
                     "Uf,,DE",     // 4
                     "0U,x",       // 5: previous lesson incomplete, bad number
                     "Uf,,MA",     // 6
                     "Uk,,8a",     // 7
                     "Ul,,A,,ZZ",  // 8
                     "Uf,,PH",     // 9: a fourth data line
                     "Uz 1 1 1 1", // 10: ZZ unknown
                     "Uk,,9a",     // 11: after the lesson's first Uz
                 });
    ASSERT_TRUE(u.lies(z));
    EXPECT_EQ(u.meldungen(),
              (std::vector<std::string>{
                  "FEHLER in der gpn-Datei in Zeile 5: | Neuer OU-Datensatz obwohl vorheriger "
                  "noch nicht komplett! f=Uf,,DE k= l=",
                  "FEHLER in der gpn-Datei in Zeile 5: | Falscher Integerwert der "
                  "Unterrichtsnummer!",
                  "FEHLER in der gpn-Datei in Zeile 9:  | Zu wenig oder mehr als 4 Daten-Zeilen "
                  "(OU, Uf, Uk, Ul) eines Unterrichts. f=Uf,,PH k=Uk,,8a l=Ul,,A,,ZZ",
                  "FEHLER in der gpn-Datei in Zeile 10: | Lehrerkurzname \"ZZ\" nicht definiert!",
                  "FEHLER in der gpn-Datei in Zeile 11:  | Zu wenig oder mehr als 4 Daten-Zeilen "
                  "(OU, Uf, Uk, Ul) eines Unterrichts. f=Uf,,PH k=Uk,,9a l=Ul,,A,,ZZ",
                  "PROBLEM beim Unterricht Nr. 1: | Hier liegt wahrscheinlich ein "
                  "Programmierfehler vor!"}));
    // The bad number keeps the previous one; the unknown teacher's share stays.
    ASSERT_EQ(u.plan.Unterrichte.size(), 2u);
    EXPECT_EQ(u.plan.Unterrichte[0].Nr, 1);
    EXPECT_EQ(u.plan.Unterrichte[0].Klassen, "8a");
    EXPECT_EQ(u.plan.Unterrichte[0].Fach, "PH");
    EXPECT_EQ(u.plan.Unterrichte[1].Lehrer, "ZZ");
}

TEST(GpnLeser, ADataLineBeforeTheLessonHeadIsLogged) {
    LeserUmgebung u;
    ASSERT_TRUE(u.lies({"Uf,,DE"}));
    EXPECT_EQ(u.meldungen(),
              (std::vector<std::string>{
                  "FEHLER in der gpn-Datei in Zeile 1:  | Zu wenig oder mehr als 4 "
                  "Daten-Zeilen (OU, Uf, Uk, Ul) eines Unterrichts. f=Uf,,DE k= l="}));
}

TEST(GpnLeser, TeacherDataLineWithoutTeacher) {
    LeserUmgebung u;
    std::vector<std::string> z = lehrerZeilen("A", "Anna", "Anna", "a@schule.example");
    z.push_back(gpnZeile("Le", {{6, "Zweit"}, {15, "z@schule.example"}}));
    ASSERT_TRUE(u.lies(z));
    EXPECT_EQ(u.plan.Lehrer[0].Vorname, "Anna");
    EXPECT_EQ(u.meldungen(), (std::vector<std::string>{"FEHLER in der gpn-Datei in Zeile 3: | "
                                                       "Kann \"Le\"-Datensatz nicht einem Lehrer "
                                                       "zuordnen!"}));
}

TEST(GpnLeser, MovedLessons) {
    LeserUmgebung u;
    std::vector<std::string> z = lehrerZeilen("A", "Anna");
    anhaengen(z, {
                     "0X,1,A,5,,3,20261207,4",          // no day from: skipped silently
                     "0X,2,A,5,20261204,3,,4",          // no day to: skipped silently
                     "0X,x,ZZ,y,20261204,z,20261207,w", // line 5: everything wrong
                 });
    ASSERT_TRUE(u.lies(z));
    ASSERT_EQ(u.plan.Verlegungen.size(), 1u);
    EXPECT_EQ(u.plan.Verlegungen[0].Lehrer, "ZZ");
    EXPECT_EQ(u.plan.Verlegungen[0].Nr, 0);
    EXPECT_EQ(u.plan.Verlegungen[0].DatumVon, "20261204");
    const std::string z5 = "FEHLER in der gpn-Datei in Zeile 5: | ";
    EXPECT_EQ(u.meldungen(),
              (std::vector<std::string>{
                  z5 + "Lehrerkurzname \"ZZ\" nicht definiert!",
                  z5 + "Falscher Integerwert des 2. Zeileneintrages (Verlegungsnummer)!",
                  z5 + "Falscher Integerwert des 4. Zeileneintrages (Unterrichtsnummer)!",
                  z5 + "Falscher Integerwert des 6. Zeileneintrages (Stunde-Woher)!",
                  z5 + "Falscher Integerwert des 8. Zeileneintrages (Stunde-Wohin)!"}));
}

TEST(GpnLeser, SubstitutionsAndTheirClassLines) {
    LeserUmgebung u;
    std::vector<std::string> z = lehrerZeilen("A", "Anna");
    auto vertretung = [](std::string nr, std::string vertreter, std::string art) {
        return gpnZeile(
            "0V", {{2, nr}, {3, "20261207"}, {4, "2"}, {5, vertreter}, {11, "R2"}, {14, art}});
    };
    anhaengen(z, {
                     vertretung("1", "A", "N"),  // 3: cancelled, its Vk silent
                     "Vk,,5a",                   // 4
                     vertretung("2", "A", "E"),  // 5
                     "Vk,,5a",                   // 6
                     vertretung("3", "", ""),    // 7: no substitute
                     "Vk,,5a",                   // 8
                     vertretung("4", "A", "BF"), // 9: room from field 11
                     "Vk,,5a,5b,,6a",            // 10: up to the first empty field
                     "Vk,,6b",                   // 11: a second Vk
                     vertretung("5", "ZZ", ""),  // 12
                     "Vk,",                      // 13: no class
                     "Vk,,7a",                   // 14
                 });
    ASSERT_TRUE(u.lies(z));
    ASSERT_EQ(u.plan.Vertretungen.size(), 2u);
    const TVertretung& v = u.plan.Vertretungen[0];
    EXPECT_EQ(v.Nr, 4);
    EXPECT_EQ(v.Raum, "R2");
    EXPECT_EQ(v.UnterrichtNr, -1);
    EXPECT_EQ(v.VerlegungNr, -1);
    EXPECT_TRUE(v.Mitbetreuung);
    EXPECT_EQ(v.Art, "BF");
    EXPECT_EQ(v.Klassen, "5a,5b");
    EXPECT_EQ(u.plan.Vertretungen[1].Klassen, "");
    EXPECT_EQ(u.meldungen(),
              (std::vector<std::string>{
                  "FEHLER in der gpn-Datei in Zeile 11: | Kann \"Vk\"-Datensatz nicht einer "
                  "Vertretung zuordnen!",
                  "FEHLER in der gpn-Datei in Zeile 12: | Lehrerkurzname \"ZZ\" nicht definiert!",
                  "FEHLER in der gpn-Datei in Zeile 13: | Im \"Vk\"-Datensatz fehlt die Klasse!",
                  "FEHLER in der gpn-Datei in Zeile 14: | Kann \"Vk\"-Datensatz nicht einer "
                  "Vertretung zuordnen!"}));
}

TEST(GpnLeser, SubstitutionIntegersAreCheckedInTheirOrder) {
    LeserUmgebung u;
    std::vector<std::string> z = lehrerZeilen("A", "Anna");
    z.push_back(gpnZeile(
        "0V", {{2, "n"}, {3, "20261207"}, {4, "s"}, {5, "A"}, {9, "u"}, {12, "2147483648"}}));
    ASSERT_TRUE(u.lies(z));
    const std::string z3 = "FEHLER in der gpn-Datei in Zeile 3: | ";
    EXPECT_EQ(u.meldungen(),
              (std::vector<std::string>{
                  z3 + "Falscher Integerwert des 2. Zeileneintrages (Vertretungssnummer)!",
                  z3 + "Falscher Integerwert des 9. Zeileneintrages (Unterrichtsnummer)!",
                  z3 + "Falscher Integerwert des 4. Zeileneintrages (Stunde)!",
                  z3 + "Falscher Integerwert des 12. Zeileneintrages (Verlegungssnummer)!"}));
    ASSERT_EQ(u.plan.Vertretungen.size(), 1u);
    EXPECT_EQ(u.plan.Vertretungen[0].UnterrichtNr, -1);
    EXPECT_EQ(u.plan.Vertretungen[0].VerlegungNr, -1);
}

TEST(GpnLeser, ErrorsGiveOneBoxWhenTheSwitchIsOn) {
    for (bool schalter : {true, false}) {
        LeserUmgebung u;
        u.werte.FehlermeldungBeimEinlesen = schalter;
        ASSERT_TRUE(u.lies({"Vk,,5a", "Vk,,5b"}));
        EXPECT_TRUE(u.plan.FehlerGefunden);
        std::vector<testing::RecordingUi::Box> erwartet;
        if (schalter)
            erwartet.push_back({"error", "Beim Lesen der Daten aus der gpn-Datei \"" +
                                             u.werte.GpnDatei +
                                             "\"\n\rsind Fehler aufgetreten. Bitte beachten Sie "
                                             "die Kommentare im Info-Feld unten."});
        EXPECT_EQ(u.ui.boxes, erwartet);
        auto log = u.logZeilen();
        EXPECT_EQ(std::vector<std::string>(log.end() - 3, log.end()),
                  (std::vector<std::string>{
                      " ", "Gelesene Daten: 0 Lehrer, 0 Unterrichte, 0 Verlegungen, 0 Vertretungen",
                      ""}));
    }
}

TEST(GpnLeser, EachReadStartsAfresh) {
    LeserUmgebung u;
    ASSERT_TRUE(u.lies({"Vk,,5a"}));
    ASSERT_TRUE(u.plan.FehlerGefunden);
    ASSERT_TRUE(u.lies(kleineSchule()));
    EXPECT_FALSE(u.plan.FehlerGefunden);
    EXPECT_EQ(u.plan.Lehrer.size(), 2u);
    EXPECT_EQ(u.logZeilen()[2], "1. Einlesen der Lehrerdaten ...");
}

} // namespace
} // namespace tafelbot

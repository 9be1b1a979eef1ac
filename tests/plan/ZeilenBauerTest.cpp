#include "plan/ZeilenBauer.h"

#include "plan/PlanDaten.h"
#include "plan/Versandsatz.h"
#include "settings/Cp1252.h"
#include "settings/Einstellungen.h"
#include "settings/SettingsFile.h"
#include "support/RecordingUi.h"
#include "support/TestFiles.h"
#include "ui/Befunde.h"
#include "ui/InfoLog.h"

#include <gtest/gtest.h>
#include <random>

namespace tafelbot {
namespace {

using Box = testing::RecordingUi::Box;
using Texte = std::vector<std::string>;

// A plan of four teachers, built by hand; the chosen date is Monday 7 December 2026.
struct Umgebung {
    testing::RecordingUi ui;
    InfoLog log{ui};
    Einstellungen werte;
    Plan plan;
    Zeilenliste zeilen;
    std::vector<std::size_t> uebergaben;
    std::size_t boxenBeiUebergabe = 0;

    Umgebung() {
        werte.AktDatum = "20261207";
        plan.Lehrer = {{true, "MUE", "Müller"_cp, "Hans", "m@schule.example"},
                       {true, "SCH", "Schneider", "Eva", "s@schule.example"},
                       {false, "KLE", "Klein", "Jan", ""},
                       {true, "WEB", "Weber", "Ida", "w@schule.example"}};
    }

    TVertretung& vertretung(std::int32_t nr, std::int32_t stunde, std::string vertreter,
                            std::string statt = "MUE", std::string klassen = "5a") {
        TVertretung v;
        v.Nr = nr;
        v.Stunde = stunde;
        v.Datum = werte.AktDatum;
        v.Vertreter = std::move(vertreter);
        v.StattLehrer = std::move(statt);
        v.Fach = "MA";
        v.Raum = "R1";
        v.Klassen = std::move(klassen);
        return plan.Vertretungen.emplace_back(std::move(v));
    }

    // Builds and shows what the build reports, as the workflow does.
    void baue() {
        Befunde befunde;
        ErzeugeZeilen({werte, plan, befunde, zeilen, [&](std::size_t n) {
                           uebergaben.push_back(n);
                           boxenBeiUebergabe = ui.boxes.size() + befunde.boxen.size();
                       }});
        zeige(befunde, log, ui);
    }
    // The rows in display order: number, period, names, subjects, room, classes, move, text,
    // and the flags Mitbetreuung, eMail, Gesendet, Geaendert, Senden.
    Texte folge() const {
        Texte t;
        for (int i : zeilen.ZeilenFolge) {
            const TVZeile& z = zeilen.Zeilen.at(static_cast<std::size_t>(i));
            t.push_back(std::to_string(z.VertretungNr) + " " + z.Datum + z.Stunde + " " +
                        z.Vertreter + "/" + z.StattLehrer + "#" + std::to_string(z.LehrerIndex) +
                        " " + z.Fach + "/" + z.StattFach + " " + z.Raum + " " + z.Klassen + " " +
                        z.VerlegtVon + "|" + z.Text + "| " + (z.Mitbetreuung ? "M" : "-") +
                        (z.HatEMail ? "@" : "-") + (z.Gesendet ? "G" : "-") +
                        (z.Geaendert ? "A" : "-") + (z.Senden ? "S" : "-"));
        }
        return t;
    }
    Texte schluessel() const {
        Texte t;
        for (int i : zeilen.ZeilenFolge)
            t.push_back(zeilen.Zeilen.at(static_cast<std::size_t>(i)).Schluessel);
        return t;
    }
    Texte logZeilen() const { return {log.lines().begin(), log.lines().end()}; }
};

TEST(ZeilenBauer, RowsKeysAndNames) {
    Umgebung u;
    TVertretung& v = u.vertretung(101, 3, "SCH", "MUE", "5a,5b");
    v.Text = "Aufgaben";
    v.Mitbetreuung = true;
    v.UnterrichtNr = 1;
    u.vertretung(102, 2, "XY", "QQ"); // teachers missing from the table
    u.plan.Unterrichte = {{2, "MUE", "7a", "EN"},
                          {1, "WEB", "5a,5b", "PH"},
                          {1, "MUE", "5a,5b", "DE"},
                          {1, "MUE", "5a", "KU"}};
    u.baue();
    EXPECT_EQ(u.folge(),
              (Texte{"102 07.12.2 XY/QQ#-1 MA/ R1 5a || -----",
                     "101 07.12.3 Schneider/Müller#1 MA/DE R1 5a,5b |Aufgaben| M@--S"_cp}));
    EXPECT_EQ(u.schluessel(), (Texte{"20261207,2,,XY,\"5a\",R1,,,0",
                                     "20261207,3,DE,SCH,\"5a,5b\",R1,,Aufgaben,1"}));
    EXPECT_TRUE(u.logZeilen().empty());
}

TEST(ZeilenBauer, SkipRulesAndPeriodFormsAndRebuilding) {
    Umgebung u;
    u.vertretung(1, 3, "SCH").Datum = "20261208";   // another day
    u.vertretung(2, 3, "SCH", "MUE", "").Art = "F"; // classless and F: left out
    u.vertretung(3, 3, "SCH", "MUE", "5a").Art = "F";
    for (std::int32_t stunde : {1, 5, 2, 0, INT32_MIN})
        u.vertretung(stunde, stunde, "SCH", "MUE", "");
    u.baue();
    Texte stunden;
    for (const auto& z : u.zeilen.Zeilen)
        stunden.push_back(z.Stunde);
    EXPECT_EQ(stunden, (Texte{"3", "/1", "4/5", "1/2", "/0", "/-2147483648"}));
    EXPECT_EQ(u.zeilen.Zeilen[2].Schluessel, "20261207,4/5,,SCH,\"\",R1,,,0");
    u.werte.AktDatum = "20261209";
    u.plan.FehlerGefunden = true;
    u.baue();
    EXPECT_TRUE(u.zeilen.Zeilen.empty());
    EXPECT_TRUE(u.zeilen.ZeilenFolge.empty());
    EXPECT_FALSE(u.plan.FehlerGefunden);
    EXPECT_EQ(u.uebergaben, (std::vector<std::size_t>{6, 0}));
}

TEST(ZeilenBauer, MovedLessonsShowTheHourOnTheSameDayButKeyTheDate) {
    for (auto [datumVon, datumAmSelbenTag, verlegtVon] :
         {std::tuple{"20261207", false, "3. Std"}, std::tuple{"20261207", true, "07.12. / 3"},
          std::tuple{"20261204", false, "04.12. / 3"}}) {
        Umgebung u;
        u.werte.DatumBeiVerlegungAmSelbenTag = datumAmSelbenTag;
        // Two moves with one number: the later one counts.
        u.plan.Verlegungen = {{7, 1, 1, 1, "20261130", "20261130", "SCH"},
                              {7, 1, 3, 5, datumVon, "20261207", "SCH"}};
        u.vertretung(12, 5, "SCH").VerlegungNr = 7;
        u.baue();
        EXPECT_EQ(u.zeilen.Zeilen.at(0).VerlegtVon, verlegtVon);
        std::string tag = std::string(datumVon).substr(6, 2) + ".12. / 3";
        EXPECT_EQ(u.schluessel(), Texte{"20261207,5,,SCH,\"5a\",R1," + tag + ",,0"});
        EXPECT_TRUE(u.logZeilen().empty());
    }
}

TEST(ZeilenBauer, BrokenReferencesAreLoggedAndTheBoxComesAfterTheHandOver) {
    for (bool schalter : {true, false}) {
        Umgebung u;
        u.werte.FehlermeldungBeimEinlesen = schalter;
        u.plan.Verlegungen = {{8, 1, 2, 4, "20261204", "20261207", "MUE"}};
        u.plan.Unterrichte = {{1, "SCH", "5a", "DE"}};
        u.vertretung(20, 1, "SCH").VerlegungNr = 7;   // move missing
        u.vertretung(21, 2, "SCH").VerlegungNr = 8;   // move of another teacher
        u.vertretung(22, 3, "SCH").UnterrichtNr = 99; // lesson missing
        u.vertretung(23, 4, "SCH").UnterrichtNr = 1;  // lesson without the replaced teacher
        u.baue();
        EXPECT_EQ(u.zeilen.Zeilen.at(1).VerlegtVon, "04.12. / 2"); // built all the same
        const std::string e(17, ' ');
        EXPECT_EQ(u.logZeilen(),
                  (Texte{"=======> Bei der Vertretung Nr. 20 konnte die Verlegung",
                         e + "(Verlegungs-Nr. 7) nicht gefunden werden!",
                         "=======> Vertretung Nr. 21 für SCH:"_cp,
                         e + "Falscher Lehrer (MUE) bei der Verlegung (Verlegungs-Nr. 8)!",
                         "=======> Bei der Vertretung Nr. 22 konnte der Statt-Unterricht",
                         e + "(Unterrichts-Nr. 99) nicht gefunden werden!"}));
        EXPECT_TRUE(u.plan.FehlerGefunden);
        EXPECT_EQ(u.boxenBeiUebergabe, 0u);
        EXPECT_EQ(u.ui.boxTexts("error"),
                  schalter ? Texte{"Beim Lesen der Vertretungs-Daten sind Fehler aufgetreten.\n\r"
                                   "Bitte beachten Sie die Kommentare im Info-Feld unten.\n\r"
                                   "Vielleicht ist eine falsche Periode ausgewählt."_cp}
                           : Texte{});
    }
}

TEST(ZeilenBauer, DisplayOrderByTeacherThenPeriodTextBytewise) {
    Umgebung u;
    u.werte.LehrerLangnamen = false;
    u.vertretung(1, 3, "WEB");
    u.vertretung(2, 2, "MUE");
    u.vertretung(3, 10, "MUE");
    u.vertretung(4, 5, "XY");
    u.vertretung(5, 3, "WEB");
    u.vertretung(6, 1, "MUE", "SCH", "");
    u.baue();
    EXPECT_EQ(u.zeilen.ZeilenFolge, (std::vector<int>{3, 5, 2, 1, 0, 4}));
}

// A sent-mail record: the key of a row and the send stamp.
std::string satz(const std::string& schluessel) {
    return schluessel + ",202612041530";
}

TEST(ZeilenBauer, SentRecordsOfTheDateDecideSentChangedAndToSend) {
    Umgebung u;
    u.werte.LehrerLangnamen = false;
    u.vertretung(1, 3, "SCH");
    u.vertretung(2, 4, "SCH"); // new since the mail
    u.vertretung(3, 4, "MUE"); // mailed as it is, but the record lies beyond an earlier date
    u.vertretung(4, 5, "WEB"); // mailed as it is
    u.werte.GesendeteMails = {
        satz("20261208,4,,MUE,\"5a\",R1,,,0"), // a later date: passed over
        satz("20261207,3,,SCH,\"5a\",R1,,,0"), satz("20261207,5,,WEB,\"5a\",R1,,,0"),
        satz("20261204,3,,WEB,\"5a\",R1,,,0"), // an earlier date ends every scan
        satz("20261207,4,,MUE,\"5a\",R1,,,0")};
    u.baue();
    EXPECT_EQ(u.folge(), (Texte{"3 07.12.4 MUE/MUE#0 MA/ R1 5a || -@--S",
                                "1 07.12.3 SCH/MUE#1 MA/ R1 5a || -@GAS",
                                "2 07.12.4 SCH/MUE#1 MA/ R1 5a || -@GAS",
                                "4 07.12.5 WEB/MUE#3 MA/ R1 5a || -@G--"}));
    EXPECT_TRUE(u.ui.boxes.empty());
}

TEST(ZeilenBauer, ATeacherWithoutAddressNeverMatchesRecords) {
    Umgebung u;
    u.vertretung(1, 3, "KLE");
    u.vertretung(2, 4, "KLE");
    u.werte.GesendeteMails = {satz("20261207,3,,KLE,\"5a\",R1,,,0")};
    u.baue();
    EXPECT_EQ(u.folge(), (Texte{"1 07.12.3 Klein/Müller#2 MA/ R1 5a || -----"_cp,
                                "2 07.12.4 Klein/Müller#2 MA/ R1 5a || -----"_cp}));
    EXPECT_TRUE(u.ui.boxes.empty());
    // A mailed row that is gone: the address must have been lost since.
    u.werte.GesendeteMails = {satz("20261207,2,,KLE,\"5a\",R1,,,0")};
    u.baue();
    EXPECT_EQ(u.ui.boxes, (std::vector<Box>{{"plain", "Fehler 101 - keine eMail-Adresse mehr? "
                                                      "(Klein)"}}));
    EXPECT_EQ(u.folge()[1], "2 07.12.4 Klein/Müller#2 MA/ R1 5a || ---A-"_cp);
}

TEST(ZeilenBauer, NoticeRowsForMailedTeachersWithoutSubstitutions) {
    Umgebung u;
    u.vertretung(1, 3, "WEB");
    u.werte.GesendeteMails = {satz("20261207,2,,MUE,\"6a\",R3,,,0"),
                              satz("20261207,4,,MUE,\"6b\",R3,,,1"),  // still one notice
                              satz("20261207,-1,,SCH,,,,,"),          // a notice already sent
                              satz("20261207,2,,ZZZ,\"6a\",R3,,,0")}; // not in the table
    u.baue();
    // At the end of the display order, although Müller sorts first.
    EXPECT_EQ(u.folge(), (Texte{"1 07.12.3 Weber/Müller#3 MA/ R1 5a || -@--S"_cp,
                                "-1 -1 Müller/#0 /   || -@GAS"_cp, "-1 -1 ZZZ/#-1 /   || --GAS"}));
    EXPECT_EQ(u.schluessel(), (Texte{"20261207,3,,WEB,\"5a\",R1,,,0", "20261207,-1,,MUE,,,,,",
                                     "20261207,-1,,ZZZ,,,,,"}));
    EXPECT_EQ(u.ui.boxes, (std::vector<Box>{{"error", "Bei einer Zeile in der INI-Datei (über "
                                                      "eine gesendete eMail)\n\rkonnte der "
                                                      "Lehrername (ZZZ) nicht zugeordnet "
                                                      "werden!"_cp}}));
    EXPECT_EQ(u.uebergaben, std::vector<std::size_t>{3});
}

// Texts from a gpn file may hold what a settings line cannot: whatever the rows record must
// read back, after a save and a new start, as the keys and teachers they are compared with.
TEST(ZeilenBauer, RecordsReadBackAsTheKeysTheyAreComparedWith) {
    const std::string zeichen("a,\"\r\n\0 *\xe4;", 11);
    std::mt19937 zufall(20261207);
    auto text = [&] {
        std::string t;
        for (auto n = zufall() % 6; n > 0; --n)
            t += zeichen[zufall() % zeichen.size()];
        return t;
    };
    for (int runde = 0; runde < 200; ++runde) {
        Umgebung u;
        u.plan.Lehrer[1].Kurzname = "S" + text();
        u.plan.Unterrichte = {{1, "MUE", "5a", text()}};
        for (std::int32_t nr = 1; nr <= 3; ++nr) {
            TVertretung& v = u.vertretung(nr, nr, u.plan.Lehrer[1].Kurzname, "MUE", text());
            v.Raum = text();
            v.Text = text();
            v.UnterrichtNr = 1;
            v.Mitbetreuung = nr == 2;
        }
        u.baue();
        for (const TVZeile& z : u.zeilen.Zeilen) {
            const std::string satz = z.Schluessel + ",202612041530";
            auto felder = zerlegeSchluessel(schluesselDes(satz));
            ASSERT_TRUE(felder) << satz;
            EXPECT_EQ(felder->text, satzText(z.Text)) << satz;
            EXPECT_EQ(felder->klassen, satzText(z.Klassen)) << satz;
            EXPECT_EQ(felder->raum, satzText(z.Raum)) << satz;
            EXPECT_EQ(felder->stattFach, satzText(z.StattFach)) << satz;
            EXPECT_EQ(felder->mitbetreuung, z.Mitbetreuung) << satz;
            EXPECT_EQ(zeilenSchluessel(*felder), z.Schluessel) << satz;
            EXPECT_EQ(satzKurzname(satz), satzText(u.plan.Lehrer[1].Kurzname)) << satz;
            u.werte.GesendeteMails.push_back(satz);
        }
        // Saved and read back as at the next start.
        testing::TempDir dir;
        const std::string pfad = dir.file("Tafelbot.ini");
        Einstellungen datei;
        setzeStandardwerte(datei);
        datei.GesendeteMails = u.werte.GesendeteMails;
        ASSERT_TRUE(IniSchreiben(datei, pfad, u.ui));
        Einstellungen gelesen;
        ASSERT_TRUE(IniLesen(gelesen, pfad, u.ui));
        ASSERT_EQ(gelesen.GesendeteMails, u.werte.GesendeteMails);
        u.werte.GesendeteMails = gelesen.GesendeteMails;
        u.baue();
        for (const TVZeile& z : u.zeilen.Zeilen)
            EXPECT_TRUE(z.Gesendet && !z.Geaendert && !z.Senden) << z.Schluessel;
        EXPECT_EQ(u.zeilen.Zeilen.size(), 3u);
        EXPECT_TRUE(u.ui.boxes.empty());
    }
}

// Two teachers with one long name: what one of them was sent never marks the other.
TEST(ZeilenBauer, TeachersWithTheSameLongNameAreKeptApart) {
    Umgebung u;
    u.plan.Lehrer[1].Langname = "Müller"_cp;
    u.vertretung(1, 3, "MUE");
    u.vertretung(2, 4, "SCH");
    u.vertretung(3, 5, "SCH");
    u.werte.GesendeteMails = {satz("20261207,4,,SCH,\"5a\",R1,,,0"),
                              satz("20261207,5,,SCH,\"5a\",R1,,,0")};
    u.baue();
    EXPECT_EQ(u.folge(), (Texte{"1 07.12.3 Müller/Müller#0 MA/ R1 5a || -@--S"_cp,
                                "2 07.12.4 Müller/Müller#1 MA/ R1 5a || -@G--"_cp,
                                "3 07.12.5 Müller/Müller#1 MA/ R1 5a || -@G--"_cp}));
}

} // namespace
} // namespace tafelbot

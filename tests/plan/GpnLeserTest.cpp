#include "plan/GpnLeser.h"

#include "plan/PlanDaten.h"
#include "plan/ZeilenBauer.h"
#include "settings/Cp1252.h"
#include "settings/Einstellungen.h"
#include "support/RecordingUi.h"
#include "support/TestFiles.h"
#include "ui/Befunde.h"
#include "ui/InfoLog.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <regex>
#include <string>
#include <vector>

namespace tafelbot {
namespace {

using testing::joinLines;
using testing::RecordingUi;
using testing::TempDir;
using testing::writeFile;

using Zeilen = std::vector<std::string>;

Zeilen operator+(Zeilen a, const Zeilen& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The records of a plan, one line each, for comparing whole plans at once.
Zeilen plantext(const Plan& p) {
    Zeilen t;
    for (const auto& l : p.Lehrer)
        t.push_back("L " + l.Kurzname + "|" + l.Langname + "|" + l.Vorname + "|" + l.EMail +
                    (l.HatEMail ? "|@" : ""));
    for (const auto& u : p.Unterrichte)
        t.push_back("U " + std::to_string(u.Nr) + " " + u.Lehrer + " " + u.Klassen + "/" + u.Fach);
    for (const auto& x : p.Verlegungen)
        t.push_back("X " + std::to_string(x.Nr) + " " + x.Lehrer + " U" +
                    std::to_string(x.UnterrichtNr) + " " + x.DatumVon + "/" +
                    std::to_string(x.StundeVon) + " " + x.DatumNach + "/" +
                    std::to_string(x.StundeNach));
    for (const auto& v : p.Vertretungen)
        t.push_back("V " + std::to_string(v.Nr) + " " + v.Datum + "/" + std::to_string(v.Stunde) +
                    " " + v.Vertreter + " for " + v.StattLehrer + " " + v.Fach + " " + v.Raum +
                    " U" + std::to_string(v.UnterrichtNr) + " X" + std::to_string(v.VerlegungNr) +
                    " '" + v.Text + "' " + v.Klassen + " " + v.Art + (v.Mitbetreuung ? " M" : ""));
    return t;
}

// The reader with a file in a fresh directory, and what the workflow keeps of its result.
struct LeserUmgebung {
    RecordingUi ui;
    InfoLog log{ui};
    Einstellungen werte;
    Plan plan;
    PeriodenWahl perioden;
    Zeilen lehrerListe;
    TempDir dir;
    std::function<void()> nachDemLesen;
    GpnErgebnis::Status status = GpnErgebnis::Status::Gelesen;

    LeserUmgebung() { werte.GpnDatei = dir.file("plan.gpn"); }

    // Reads the file and takes over what a successful read gives, as the workflow does.
    bool liesDatei() {
        GpnErgebnis e = LiesGpnDatei({werte.GpnDatei, werte.Periode, werte.LehrerLangnamen,
                                      werte.FehlermeldungBeimEinlesen, nachDemLesen});
        zeige(e.befunde, log, ui);
        status = e.status;
        if (!e.gelesen())
            return false;
        plan = std::move(e.plan);
        werte.Periode = e.periode;
        perioden = e.perioden;
        lehrerListe = e.lehrerListe;
        return true;
    }
    bool liesInhalt(const std::string& inhalt) {
        writeFile(werte.GpnDatei, inhalt);
        return liesDatei();
    }

    Zeilen logZeilen() const { return {log.lines().begin(), log.lines().end()}; }
};

using namespace std::string_literals;

const std::string Einzug(17, ' '); // of a message's second line in the log

const std::string Faelle = TAFELBOT_SOURCE_DIR "/tests/plan/data/faelle/";

// The file data/faelle/NAME.gpn: kleine-schule (two teachers, quoted fields, a move and a
// substitution) and gueltig (one teacher, every kind of record once) serve several tests.
std::string fall(const std::string& name) {
    return testing::readFile(Faelle + name + ".gpn");
}

// The settings of a case: the lines of NAME.txt before its first "-- " line, each "Name=Wert":
// Datum (else 20261207), Periode (else 4), the switches LehrerLangnamen,
// DatumBeiVerlegungAmSelbenTag and FehlermeldungBeimEinlesen (0/1), GesendeteMail (one record
// each, newest date first) and Plan (the .gpn of another case).
std::string setze(Einstellungen& w, const Zeilen& zeilen) {
    std::string plan;
    using Setzer = std::function<void(const std::string&)>;
    const std::map<std::string, Setzer> setzer = {
        {"Datum", [&](const std::string& v) { w.AktDatum = v; }},
        {"Periode", [&](const std::string& v) { w.Periode = std::stoi(v); }},
        {"LehrerLangnamen", [&](const std::string& v) { w.LehrerLangnamen = v == "1"; }},
        {"DatumBeiVerlegungAmSelbenTag",
         [&](const std::string& v) { w.DatumBeiVerlegungAmSelbenTag = v == "1"; }},
        {"FehlermeldungBeimEinlesen",
         [&](const std::string& v) { w.FehlermeldungBeimEinlesen = v == "1"; }},
        {"GesendeteMail", [&](const std::string& v) { w.GesendeteMails.push_back(v); }},
        {"Plan", [&](const std::string& v) { plan = v; }}};
    for (const std::string& zeile : zeilen) {
        const auto gleich = zeile.find('=');
        setzer.at(zeile.substr(0, gleich))(zeile.substr(gleich + 1));
    }
    return plan;
}

// The rows in display order, each as number, date and period, Vertreter/StattLehrer#teacher
// index, Fach/StattFach, room, classes, VerlegtVon|Text|, the flags Mitbetreuung, eMail,
// Gesendet, Geaendert and Senden (M@GAS, "-" where not set), and on the next line its key.
Zeilen zeilentext(const Zeilenliste& zeilen) {
    Zeilen t;
    for (int i : zeilen.ZeilenFolge) {
        const TVZeile& z = zeilen.Zeilen.at(static_cast<std::size_t>(i));
        t.push_back(std::to_string(z.VertretungNr) + " " + z.Datum + z.Stunde + " " + z.Vertreter +
                    "/" + z.StattLehrer + "#" + std::to_string(z.LehrerIndex) + " " + z.Fach + "/" +
                    z.StattFach + " " + z.Raum + " " + z.Klassen + " " + z.VerlegtVon + "|" +
                    z.Text + "| " + (z.Mitbetreuung ? "M" : "-") + (z.HatEMail ? "@" : "-") +
                    (z.Gesendet ? "G" : "-") + (z.Geaendert ? "A" : "-") + (z.Senden ? "S" : "-"));
        t.push_back("    " + z.Schluessel);
    }
    return t;
}

// The cases of data/faelle/: each NAME.gpn, read with the settings of NAME.txt and the rows then
// built for the date, must give the plan, the teacher list, the period, the rows (with what the
// table was handed and how many boxes came before), the log (PLAN for the file's name) and the
// boxes (\n\r for a line break) of NAME.txt; the file stays as it was. With
// TAFELBOT_TESTDATEN_SCHREIBEN=1 the test writes the .txt files anew from what it gets, for a
// look at the difference.
//   kleine-schule      quoted fields keep their commas and lose their quotes; a file without
//                      periods corrects the period to 1 without a word
//   gueltig            every kind of record once, without a fault
//   perioden           three periods, period 4 asked for: the first in force. VOR and lesson 90
//                      come before any period line: never taken. "0pL,1-2" and "0pL,3": list 1
//                      serves periods 1 and 2, list 2 period 3; the later "0pL,2" starts a new
//                      run, where the matched list starts again from none
//   perioden-2, -3     the same file, periods 2 and 3 asked for
//   perioden-minus3    period -3 asked for: the first in force
//   viele-perioden     25 periods before the school's data: at most 20 show at once
//   abgeschnitten      the valid file cut off in a quoted text: refused, the period kept
//   uz-spalten         the column forms of "Uz" lines: blanks, fields from 9 on, teacher numbers
//                      no teacher of the lesson has
//   uz-kurz            short "Uz" lines: one message per missing column pair
//   unterrichtszeilen  a lesson's data lines miscounted, a bad number (the previous one stays),
//                      an unknown teacher (the share stays)
//   datensatzfehler    errors in move, substitution and class records, field by field; the
//                      records stay, and the rows built after them say nothing more
//   grosse-zahlen      integers beyond 32 bits and class numbers beyond the line
//   zeilen             short names (the teacher list leaves out the placeholders ? and *), the
//                      rows of the date: the replaced lesson's subject (the replaced
//                      teacher's share of that lesson number), unknown teachers, classless
//                      rows (a break before the period; left out when of kind F), the display
//                      order by teacher, then by period text byte-wise
//   zeilen-verweise    moves (the last of a number counts; the same day without its date) and
//                      broken references: logged, built all the same, the box after the rows;
//                      a class record without its substitution: the reader's box
//   zeilen-verweise-still  the same with the date on the same day and without either box
//   zeilen-gesendet    the records of the date decide sent, changed and to send: passed over
//                      when later, ending at an earlier one, one changed row changes all rows
//                      of its teacher (not of another with the same long name), never for a
//                      teacher without an address; a notice row for each mailed teacher without
//                      rows, at the end
TEST(GpnLeser, EachCaseFile) {
    for (const char* name :
         {"kleine-schule", "gueltig", "perioden", "abgeschnitten", "uz-spalten", "uz-kurz",
          "unterrichtszeilen", "datensatzfehler", "grosse-zahlen", "perioden-2", "perioden-3",
          "perioden-minus3", "viele-perioden", "zeilen", "zeilen-verweise", "zeilen-verweise-still",
          "zeilen-gesendet"}) {
        SCOPED_TRACE(name);
        const Zeilen erwartet = testing::splitLines(testing::readFile(Faelle + name + ".txt"));
        const auto ergebnisse = std::find_if(erwartet.begin(), erwartet.end(),
                                             [](auto& z) { return z.rfind("-- ", 0) == 0; });
        const Zeilen einstellungen(erwartet.begin(), ergebnisse);
        LeserUmgebung u, lf;
        std::string plan;
        for (LeserUmgebung* e : {&u, &lf}) {
            e->werte.Periode = 4;
            e->werte.AktDatum = "20261207";
            plan = setze(e->werte, einstellungen);
        }
        if (plan.empty())
            plan = name;
        const bool gelesen = u.liesInhalt(fall(plan));
        // With LF line ends the file reads the same (the log's first line names the file).
        EXPECT_EQ(lf.liesInhalt(std::regex_replace(fall(plan), std::regex("\r\n"), "\n")), gelesen);
        EXPECT_EQ(plantext(lf.plan), plantext(u.plan));
        const Zeilen crlfLog = u.logZeilen(), lfLog = lf.logZeilen();
        EXPECT_EQ(Zeilen(lfLog.begin() + 1, lfLog.end()),
                  Zeilen(crlfLog.begin() + 1, crlfLog.end()));
        auto ohnePfad = [&](std::string text) {
            for (auto i = text.find(u.werte.GpnDatei); i != std::string::npos;
                 i = text.find(u.werte.GpnDatei))
                text.replace(i, u.werte.GpnDatei.size(), "PLAN");
            return text;
        };
        Zeilen t = einstellungen + Zeilen{gelesen ? "-- gelesen" : "-- nicht gelesen"} +
                   plantext(u.plan) + Zeilen{"-- Lehrerliste"} + u.lehrerListe;
        t.push_back("-- Periode " + std::to_string(u.werte.Periode) + ", Auswahl " +
                    std::to_string(u.perioden.auswahl) + ", sichtbar " +
                    std::to_string(u.perioden.sichtbar) + ", Knopf " +
                    (u.perioden.buttonAktiv ? "an" : "aus"));
        t.insert(t.end(), u.perioden.liste.begin(), u.perioden.liste.end());
        if (gelesen) {
            Befunde befunde;
            Zeilenliste zeilen;
            std::string uebergabe = "keine Uebergabe";
            ErzeugeZeilen({u.werte, u.plan, befunde, zeilen, [&](std::size_t n) {
                               uebergabe = std::to_string(n) + " an die Tabelle, " +
                                           std::to_string(befunde.boxen.size()) + " Boxen davor";
                           }});
            zeige(befunde, u.log, u.ui);
            t = t + Zeilen{"-- Zeilen: " + uebergabe} + zeilentext(zeilen);
        }
        t.push_back("-- Protokoll");
        for (const std::string& zeile : u.logZeilen())
            t.push_back(ohnePfad(zeile));
        t.push_back("-- Boxen");
        for (const auto& box : u.ui.boxes)
            t.push_back(box.kind + ": " +
                        std::regex_replace(ohnePfad(box.text), std::regex("\n\r"), "\\n\\r"));
        if (std::getenv("TAFELBOT_TESTDATEN_SCHREIBEN"))
            testing::writeFile(Faelle + name + ".txt", joinLines(t, "\n"));
        EXPECT_EQ(t, erwartet);
        EXPECT_EQ(testing::readFile(u.werte.GpnDatei), fall(plan));
    }
}

// Files that are broken, odd or large: the reader must log, keep going and never misbehave.

const Zeilen GueltigerPlan = {"L A|Anna|Anna|a@schule.example|@", "U 1 A 5a,5b/DE",
                              "X 3 A U1 20261204/2 20261207/4",
                              "V 9 20261207/4 A for    U-1 X3 '' 5a,5b "};

// (LF line ends: the case files. A last line without its line end: below.)
TEST(GpnEingabe, NulBytesStayPartOfTheirField) {
    LeserUmgebung u;
    ASSERT_TRUE(u.liesInhalt(fall("gueltig") + "00L,B\0C,Be\0rt\r\n"s));
    EXPECT_EQ(plantext(u.plan).at(1), "L B\0C|Be\0rt||"s);
}

TEST(GpnEingabe, AMegabyteLineIsReadInOnePiece) {
    LeserUmgebung u;
    std::string viele;
    for (int i = 0; i < 350000; ++i)
        viele += ",2";
    ASSERT_TRUE(u.liesInhalt(
        joinLines(Zeilen{"00L,A,Anna", "0U,1", "Uf,,DE", "Uk,,5a,,5b", "Ul,,A",
                         "Uz 1     1,,,,,,,," + viele.substr(1),
                         "0V,1,20261207,1,A,,,,," + std::string(1 << 20, 'x'), "Vk,,5a" + viele})));
    EXPECT_EQ(u.plan.Unterrichte.at(0).Klassen.size(), 350000u * 3 - 1);
    EXPECT_EQ(u.plan.Vertretungen.at(0).Text.size(), 1u << 20);
    EXPECT_EQ(u.plan.Vertretungen.at(0).Klassen.size(), 2u + 350000u * 2);
    EXPECT_FALSE(u.plan.FehlerGefunden);
}

TEST(GpnEingabe, AFileOfOnlyUzLinesTouchesNothing) {
    LeserUmgebung u;
    Zeilen z(3000, "Uz 1 1 1 1");
    z.push_back("Uz 0 1 1 1");
    z.push_back("Uz");
    ASSERT_TRUE(u.liesInhalt(joinLines(z) + fall("gueltig")));
    EXPECT_EQ(plantext(u.plan), GueltigerPlan);
    // The messages themselves: the case files uz-spalten and uz-kurz.
    const Zeilen log = u.logZeilen();
    for (const char* ort : {"Zeile 3000:", "Zeile 3002 Spalte 3:"})
        EXPECT_NE(std::find(log.begin(), log.end(), "=======> FEHLER in der gpn-Datei in "s + ort),
                  log.end());
    EXPECT_EQ(u.log.lines().size(), InfoLog::MaxLines + 1); // the log keeps its cap
}

// A file that is cut off, still being written or no plan at all gives no plan (what the window
// then keeps: the plan view test), and the log and one box say why.
TEST(GpnEingabe, AFileThatIsNotWholeIsRefusedWithItsReason) {
    const std::string ganz = fall("gueltig") + "0V,10,20261207,5,A,,,,,\"Seite 4, 5\",,,,\r\n";
    auto bis = [&](const std::string& stelle) { return ganz.substr(0, ganz.find(stelle)); };
    auto nach = [&](const std::string& zeile) {
        return ganz.substr(0, ganz.find(zeile + "\r\n") + zeile.size() + 2);
    };
    std::string zufall(5000, ' ');
    std::mt19937 zahlen(3);
    for (char& c : zufall)
        c = static_cast<char>(zahlen() % 256);
    const std::string zeile = "Ihre letzte Zeile (Zeile ";
    // Content, reason; nullptr: the file is whole.
    for (auto [inhalt, grund] : std::vector<std::pair<std::string, const char*>>{
             {bis("4, 5\""), "11) bricht in einem Text in Anführungszeichen ab."},
             {bis(",Anna,"), "2) bricht mitten im Datensatz ab."},
             {bis("20261204,2,"), "8) bricht mitten im Datensatz ab."},
             {bis("2 1\r\n"), "7) bricht mitten im Datensatz ab."},
             {nach("Le,,,,,Anna,,,,,,,,,a@schule.example"), "Es fehlen die Unterrichtsdaten."},
             {nach("Ul,,A"), "Sie endet mitten in den Daten eines Unterrichts (Zeile 6)."},
             {"0U,1\r\nUz 1 1 1 1", "Es fehlen die Lehrerdaten."},
             {zufall, "Sie enthält keine einzige Zeile einer gp-Untis-Datei (ist es die richtige "
                      "Datei?)."},
             {"", "Sie enthält keine einzige Zeile einer gp-Untis-Datei (ist es die richtige "
                  "Datei?)."},
             // Whole: no final line end, a short last line that has its line end, a last line
             // of a kind the reader skips.
             {ganz.substr(0, ganz.size() - 2), nullptr},
             {ganz + "0V,11,20261207,6,A\r\n", nullptr},
             {ganz + "ZZ,x", nullptr}}) {
        LeserUmgebung u;
        EXPECT_EQ(u.liesInhalt(inhalt), grund == nullptr) << (grund ? grund : "whole");
        if (!grund)
            continue;
        std::string text = grund;
        if (text.rfind("Es ", 0) != 0 && text.rfind("Sie ", 0) != 0)
            text = zeile + text;
        text = utf8ToCp1252(text);
        // The whole log and the box, which gives the same reason: the case file "abgeschnitten".
        EXPECT_EQ(u.status, GpnErgebnis::Status::Unvollstaendig);
        EXPECT_EQ(u.logZeilen().size(), 5u);
        EXPECT_EQ(u.logZeilen().at(3), Einzug + text);
    }
}

// Both passes read one snapshot; a file that changes while it is read is not used.
TEST(GpnEingabe, AFileThatChangesWhileItIsReadIsRefused) {
    LeserUmgebung u;
    const std::string inhalt = fall("gueltig");
    int gelesen = 0;
    u.nachDemLesen = [&] {
        if (++gelesen == 1)
            testing::writeFile(u.werte.GpnDatei, inhalt + "Vk,,5a\r\n");
    };
    EXPECT_FALSE(u.liesInhalt(inhalt));
    EXPECT_EQ(u.status, GpnErgebnis::Status::Unvollstaendig);
    const Zeilen log = u.logZeilen();
    EXPECT_EQ(Zeilen(log.begin() + 2, log.begin() + 4),
              (Zeilen{"=======> FEHLER: Die gpn-Datei ist unvollständig oder wird gerade "
                      "geschrieben!"_cp,
                      Einzug + "Sie hat sich während des Lesens verändert."_cp}));
    // Read again once it stays as it is.
    ASSERT_TRUE(u.liesDatei());
    EXPECT_EQ(gelesen, 2);
    EXPECT_EQ(plantext(u.plan), GueltigerPlan);
}

} // namespace
} // namespace tafelbot

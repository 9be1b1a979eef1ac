#include "plan/ZeilenBauer.h"

#include "core/InfoLog.h"
#include "plan/PlanDaten.h"
#include "settings/Cp1252.h"
#include "settings/Einstellungen.h"
#include "support/RecordingUi.h"

#include <gtest/gtest.h>

namespace tafelbot {
namespace {

using Box = testing::RecordingUi::Box;

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
        plan.Lehrer = {{true, "MUE", "Müller"_cp, "Hans", "mueller@schule.example"},
                       {true, "SCH", "Schneider", "Eva", "schneider@schule.example"},
                       {false, "KLE", "Klein", "Jan", ""},
                       {true, "WEB", "Weber", "Ida", "weber@schule.example"}};
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
        plan.Vertretungen.push_back(v);
        return plan.Vertretungen.back();
    }

    void baue() {
        ErzeugeZeilen({werte, plan, log, ui, zeilen, [this](std::size_t n) {
                           uebergaben.push_back(n);
                           boxenBeiUebergabe = ui.boxes.size();
                       }});
    }
    const TVZeile& zeile(std::size_t i) const { return zeilen.Zeilen.at(i); }
    // The rows in display order, each as "Vertreter Stunde".
    std::vector<std::string> folge() const {
        std::vector<std::string> f;
        for (int i : zeilen.ZeilenFolge)
            f.push_back(zeilen.Zeilen.at(static_cast<std::size_t>(i)).Vertreter + " " +
                        zeilen.Zeilen.at(static_cast<std::size_t>(i)).Stunde);
        return f;
    }
    std::vector<std::string> logZeilen() const { return {log.lines().begin(), log.lines().end()}; }
};

std::string flaggen(const TVZeile& z) {
    return std::string(z.Gesendet ? "G" : "-") + (z.Geaendert ? "A" : "-") + (z.Senden ? "S" : "-");
}

TEST(ZeilenBauer, ADateWithoutSubstitutionsAndRecordsGivesNoRows) {
    Umgebung u;
    u.vertretung(1, 1, "SCH").Datum = "20261208";
    u.plan.FehlerGefunden = true;
    u.baue();
    EXPECT_TRUE(u.zeilen.Zeilen.empty());
    EXPECT_TRUE(u.zeilen.ZeilenFolge.empty());
    EXPECT_EQ(u.uebergaben, std::vector<std::size_t>{0});
    EXPECT_FALSE(u.plan.FehlerGefunden);
    EXPECT_TRUE(u.ui.boxes.empty());
}

TEST(ZeilenBauer, RowFieldsAndKey) {
    Umgebung u;
    TVertretung& v = u.vertretung(101, 3, "SCH", "MUE", "5a,5b");
    v.Text = "Aufgaben";
    v.Raum = "R12";
    v.Mitbetreuung = true;
    v.UnterrichtNr = 1;
    u.plan.Unterrichte = {{2, "MUE", "7a", "EN"},
                          {1, "WEB", "5a,5b", "PH"},
                          {1, "MUE", "5a,5b", "DE"},
                          {1, "MUE", "5a", "KU"}};
    u.baue();
    ASSERT_EQ(u.zeilen.Zeilen.size(), 1u);
    const TVZeile& z = u.zeile(0);
    EXPECT_EQ(z.VertretungNr, 101);
    EXPECT_EQ(z.LehrerIndex, 1);
    EXPECT_EQ(z.Datum, "07.12.");
    EXPECT_EQ(z.Stunde, "3");
    EXPECT_EQ(z.Vertreter, "Schneider");
    EXPECT_EQ(z.StattLehrer, "Müller"_cp);
    EXPECT_EQ(z.Fach, "MA");
    EXPECT_EQ(z.StattFach, "DE");
    EXPECT_EQ(z.Raum, "R12");
    EXPECT_EQ(z.Text, "Aufgaben");
    EXPECT_EQ(z.Klassen, "5a,5b");
    EXPECT_EQ(z.VerlegtVon, "");
    EXPECT_TRUE(z.Mitbetreuung);
    EXPECT_TRUE(z.HatEMail);
    EXPECT_EQ(flaggen(z), "--S");
    EXPECT_EQ(z.Schluessel, "20261207,3,DE,SCH,\"5a,5b\",R12,,Aufgaben,1");
    EXPECT_TRUE(u.logZeilen().empty());
}

TEST(ZeilenBauer, NamesFollowTheLongNamesSwitchAndUnknownTeachersKeepTheirShortNames) {
    Umgebung u;
    u.werte.LehrerLangnamen = false;
    u.vertretung(1, 2, "SCH", "MUE");
    u.vertretung(2, 2, "XY", "QQ");
    u.baue();
    ASSERT_EQ(u.zeilen.Zeilen.size(), 2u);
    EXPECT_EQ(u.zeile(0).Vertreter, "SCH");
    EXPECT_EQ(u.zeile(0).StattLehrer, "MUE");
    const TVZeile& fremd = u.zeile(1);
    EXPECT_EQ(fremd.Vertreter, "XY");
    EXPECT_EQ(fremd.StattLehrer, "QQ");
    EXPECT_EQ(fremd.LehrerIndex, -1);
    EXPECT_FALSE(fremd.HatEMail);
    EXPECT_EQ(flaggen(fremd), "---");
    EXPECT_EQ(fremd.Schluessel, "20261207,2,,XY,\"5a\",R1,,,0");
}

TEST(ZeilenBauer, SkipRulesAndPeriodForms) {
    Umgebung u;
    u.vertretung(1, 3, "SCH").Datum = "20261208";   // another day
    u.vertretung(2, 3, "SCH", "MUE", "").Art = "F"; // classless and F: left out
    u.vertretung(3, 3, "SCH", "MUE", "5a").Art = "F";
    u.vertretung(4, 1, "SCH", "MUE", "");
    u.vertretung(5, 5, "SCH", "MUE", "");
    u.vertretung(6, 2, "SCH", "MUE", "");
    u.vertretung(7, 0, "SCH", "MUE", "");
    u.vertretung(8, INT32_MIN, "SCH", "MUE", "");
    u.baue();
    std::vector<std::string> stunden;
    for (const auto& z : u.zeilen.Zeilen)
        stunden.push_back(std::to_string(z.VertretungNr) + ":" + z.Stunde);
    EXPECT_EQ(stunden, (std::vector<std::string>{"3:3", "4:/1", "5:4/5", "6:1/2", "7:/0",
                                                 "8:/-2147483648"}));
    EXPECT_EQ(u.zeile(2).Schluessel, "20261207,4/5,,SCH,\"\",R1,,,0");
}

TEST(ZeilenBauer, MovedLessons) {
    struct Fall {
        std::string datumVon;
        bool datumAmSelbenTag;
        std::string verlegtVon;
    };
    for (const Fall& fall :
         {Fall{"20261207", false, "3. Std"}, Fall{"20261207", true, "07.12. / 3"},
          Fall{"20261204", false, "04.12. / 3"}}) {
        Umgebung u;
        u.werte.DatumBeiVerlegungAmSelbenTag = fall.datumAmSelbenTag;
        u.plan.Verlegungen = {{7, 1, 1, 1, "20261130", "20261130", "SCH"},
                              {7, 1, 3, 5, fall.datumVon, "20261207", "SCH"}};
        u.vertretung(12, 5, "SCH").VerlegungNr = 7;
        u.baue();
        ASSERT_EQ(u.zeilen.Zeilen.size(), 1u);
        EXPECT_EQ(u.zeile(0).VerlegtVon, fall.verlegtVon);
        EXPECT_EQ(u.zeile(0).Schluessel, "20261207,5,,SCH,\"5a\",R1," + fall.datumVon.substr(6, 2) +
                                             "." + fall.datumVon.substr(4, 2) + ". / 3,,0");
        EXPECT_TRUE(u.logZeilen().empty());
    }
}

TEST(ZeilenBauer, BrokenReferencesAreLoggedAndTheRowIsBuilt) {
    Umgebung u;
    u.plan.Verlegungen = {{8, 1, 2, 4, "20261204", "20261207", "MUE"}};
    u.plan.Unterrichte = {{1, "SCH", "5a", "DE"}};
    u.vertretung(20, 1, "SCH").VerlegungNr = 7;  // move missing
    TVertretung& v = u.vertretung(21, 2, "SCH"); // move of another teacher
    v.VerlegungNr = 8;
    u.vertretung(22, 3, "SCH").UnterrichtNr = 99; // lesson missing
    u.vertretung(23, 4, "SCH").UnterrichtNr = 1;  // lesson without the replaced teacher
    u.baue();
    ASSERT_EQ(u.zeilen.Zeilen.size(), 4u);
    EXPECT_EQ(u.zeile(0).VerlegtVon, "");
    EXPECT_EQ(u.zeile(1).VerlegtVon, "04.12. / 2");
    EXPECT_EQ(u.zeile(3).StattFach, "");
    const std::string e(17, ' ');
    EXPECT_EQ(u.logZeilen(), (std::vector<std::string>{
                                 "=======> Bei der Vertretung Nr. 20 konnte die Verlegung",
                                 e + "(Verlegungs-Nr. 7) nicht gefunden werden!",
                                 "=======> Vertretung Nr. 21 für SCH:"_cp,
                                 e + "Falscher Lehrer (MUE) bei der Verlegung (Verlegungs-Nr. 8)!",
                                 "=======> Bei der Vertretung Nr. 22 konnte der Statt-Unterricht",
                                 e + "(Unterrichts-Nr. 99) nicht gefunden werden!"}));
    EXPECT_TRUE(u.plan.FehlerGefunden);
    // The closing box comes after the rows have been handed to the table.
    EXPECT_EQ(u.boxenBeiUebergabe, 0u);
    EXPECT_EQ(u.ui.boxes,
              (std::vector<Box>{{"error", "Beim Lesen der Vertretungs-Daten sind Fehler "
                                          "aufgetreten.\n\rBitte beachten Sie die Kommentare im "
                                          "Info-Feld unten.\n\rVielleicht ist eine falsche "
                                          "Periode ausgewählt."_cp}}));
}

TEST(ZeilenBauer, NoClosingBoxWhenTheSwitchIsOff) {
    Umgebung u;
    u.werte.FehlermeldungBeimEinlesen = false;
    u.vertretung(20, 1, "SCH").VerlegungNr = 7;
    u.baue();
    EXPECT_TRUE(u.plan.FehlerGefunden);
    EXPECT_TRUE(u.ui.boxes.empty());
}

TEST(ZeilenBauer, DisplayOrderByTeacherThenPeriodTextBytewise) {
    Umgebung u;
    u.vertretung(1, 3, "WEB");
    u.vertretung(2, 2, "MUE");
    u.vertretung(3, 10, "MUE");
    u.vertretung(4, 5, "XY");
    u.vertretung(5, 3, "WEB").Text = "second";
    u.vertretung(6, 1, "MUE", "SCH", "");
    u.baue();
    EXPECT_EQ(u.folge(), (std::vector<std::string>{"XY 5", "Müller /1"_cp, "Müller 10"_cp,
                                                   "Müller 2"_cp, "Weber 3", "Weber 3"}));
    EXPECT_EQ(u.zeilen.ZeilenFolge, (std::vector<int>{3, 5, 2, 1, 0, 4}));
}

// A sent-mail record: the key of a row and the send stamp.
std::string satz(const std::string& schluessel) {
    return schluessel + ",202612061530";
}

TEST(ZeilenBauer, UnchangedRowIsMarkedSentAndNotToBeSent) {
    Umgebung u;
    u.vertretung(1, 3, "SCH");
    u.werte.GesendeteMails = {satz("20261207,3,,SCH,\"5a\",R1,,,0")};
    u.baue();
    ASSERT_EQ(u.zeilen.Zeilen.size(), 1u);
    EXPECT_EQ(flaggen(u.zeile(0)), "G--");
}

TEST(ZeilenBauer, OneChangedRowMakesAllRowsOfTheTeacherChanged) {
    Umgebung u;
    u.vertretung(1, 3, "SCH");
    u.vertretung(2, 4, "SCH"); // new since the mail
    u.vertretung(3, 4, "MUE"); // another teacher, never mailed
    u.werte.GesendeteMails = {satz("20261207,3,,SCH,\"5a\",R1,,,0")};
    u.baue();
    ASSERT_EQ(u.zeilen.Zeilen.size(), 3u);
    EXPECT_EQ(flaggen(u.zeile(0)), "GAS");
    EXPECT_EQ(flaggen(u.zeile(1)), "GAS");
    EXPECT_EQ(flaggen(u.zeile(2)), "--S");
    EXPECT_TRUE(u.ui.boxes.empty());
}

TEST(ZeilenBauer, RecordsOfOtherDatesAndOutOfOrderRecordsAreNotSeen) {
    Umgebung u;
    u.vertretung(1, 3, "SCH");
    u.vertretung(2, 3, "MUE");
    u.werte.GesendeteMails = {
        satz("20261208,3,,MUE,\"5a\",R1,,,0"), // a later date: passed over
        satz("20261207,9,,SCH,\"5a\",R1,,,0"), // SCH mailed, but another row
        satz("20261204,3,,WEB,\"5a\",R1,,,0"), // an earlier date ends the scan
        satz("20261207,3,,SCH,\"5a\",R1,,,0"), // out of order: never reached
        satz("20261207,3,,WEB,\"5a\",R1,,,0"),
    };
    u.baue();
    ASSERT_EQ(u.zeilen.Zeilen.size(), 2u);
    EXPECT_EQ(flaggen(u.zeile(0)), "GAS");
    EXPECT_EQ(flaggen(u.zeile(1)), "--S");
}

TEST(ZeilenBauer, TeacherWithoutAddressNeverMatchesRecords) {
    Umgebung u;
    u.vertretung(1, 3, "KLE");
    u.werte.GesendeteMails = {satz("20261207,3,,KLE,\"5a\",R1,,,0")};
    u.baue();
    ASSERT_EQ(u.zeilen.Zeilen.size(), 1u);
    EXPECT_FALSE(u.zeile(0).HatEMail);
    EXPECT_EQ(flaggen(u.zeile(0)), "---");
    EXPECT_TRUE(u.ui.boxes.empty());
}

TEST(ZeilenBauer, TeacherWhoLostTheAddressGetsTheLostAddressBox) {
    Umgebung u;
    u.vertretung(1, 3, "KLE");
    u.vertretung(2, 4, "KLE");
    u.werte.GesendeteMails = {satz("20261207,2,,KLE,\"5a\",R1,,,0")};
    u.baue();
    EXPECT_EQ(u.ui.boxes,
              (std::vector<Box>{{"plain", "Fehler 101 - keine eMail-Adresse mehr? (Klein)"}}));
    EXPECT_EQ(flaggen(u.zeile(0)), "---");
    EXPECT_EQ(flaggen(u.zeile(1)), "-A-");
}

TEST(ZeilenBauer, NoticeRowForAMailedTeacherWithoutSubstitutions) {
    Umgebung u;
    u.vertretung(1, 3, "WEB");
    u.werte.GesendeteMails = {satz("20261207,2,,MUE,\"6a\",R3,,,0"),
                              satz("20261207,4,,MUE,\"6b\",R3,,,1"),
                              satz("20261207,-1,,SCH,,,,,")}; // a notice already sent
    u.baue();
    ASSERT_EQ(u.zeilen.Zeilen.size(), 2u);
    const TVZeile& h = u.zeile(1);
    EXPECT_EQ(h.Vertreter, "Müller"_cp);
    EXPECT_EQ(h.LehrerIndex, 0);
    EXPECT_TRUE(h.HatEMail);
    EXPECT_EQ(h.VertretungNr, -1);
    EXPECT_EQ(h.Stunde, "-1");
    EXPECT_EQ(h.Datum, "");
    EXPECT_EQ(h.StattLehrer + h.Fach + h.StattFach + h.Raum + h.Text + h.Klassen + h.VerlegtVon,
              "");
    EXPECT_FALSE(h.Mitbetreuung);
    EXPECT_EQ(flaggen(h), "GAS");
    EXPECT_EQ(h.Schluessel, "20261207,-1,,MUE,,,,,");
    // At the end of the display order, although its teacher sorts first.
    EXPECT_EQ(u.zeilen.ZeilenFolge, (std::vector<int>{0, 1}));
    EXPECT_TRUE(u.ui.boxes.empty());
}

TEST(ZeilenBauer, NoticeRowForARecordOfAnUnknownTeacher) {
    Umgebung u;
    u.werte.GesendeteMails = {satz("20261207,2,,ZZZ,\"6a\",R3,,,0")};
    u.baue();
    ASSERT_EQ(u.zeilen.Zeilen.size(), 1u);
    EXPECT_EQ(u.zeile(0).Vertreter, "ZZZ");
    EXPECT_EQ(u.zeile(0).LehrerIndex, -1);
    EXPECT_FALSE(u.zeile(0).HatEMail);
    EXPECT_EQ(flaggen(u.zeile(0)), "GAS");
    EXPECT_EQ(u.ui.boxes, (std::vector<Box>{{"error", "Bei einer Zeile in der INI-Datei (über "
                                                      "eine gesendete eMail)\n\rkonnte der "
                                                      "Lehrername (ZZZ) nicht zugeordnet "
                                                      "werden!"_cp}}));
    EXPECT_EQ(u.uebergaben, std::vector<std::size_t>{1});
}

TEST(ZeilenBauer, RebuildingReplacesAllRows) {
    Umgebung u;
    u.vertretung(1, 3, "WEB");
    u.vertretung(2, 3, "SCH");
    u.baue();
    u.werte.AktDatum = "20261208";
    u.baue();
    EXPECT_TRUE(u.zeilen.Zeilen.empty());
    EXPECT_TRUE(u.zeilen.ZeilenFolge.empty());
    EXPECT_EQ(u.uebergaben, (std::vector<std::size_t>{2, 0}));
}

} // namespace
} // namespace tafelbot

#include "core/MainWorkflow.h"
#include "settings/Cp1252.h"
#include "support/RecordingUi.h"
#include "support/TestFiles.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace tafelbot {
namespace {

using Box = testing::RecordingUi::Box;

struct Fenster {
    testing::RecordingUi ui;
    testing::TempDir dir;
    MainWorkflow w{ui, dir.file("Tafelbot.ini")};
};

TEST(PlanView, SchoolDaySteppingWithAndWithoutSaturdaySchool) {
    struct Fall {
        const char* von;
        bool samstag;
        bool vor;
        const char* nach;
        const char* feld;
        const char* wochentag;
    };
    for (const Fall& f : {
             Fall{"20040220", false, true, "20040223", "23.02.2004", "Montag"},
             Fall{"20040220", true, true, "20040221", "21.02.2004", "Samstag"},
             Fall{"20040221", true, true, "20040223", "23.02.2004", "Montag"},
             Fall{"20040221", false, true, "20040222", "22.02.2004", "Sonntag"},
             Fall{"20040223", false, false, "20040220", "20.02.2004", "Freitag"},
             Fall{"20040223", true, false, "20040221", "21.02.2004", "Samstag"},
             Fall{"20040301", false, false, "20040227", "27.02.2004", "Freitag"},
             Fall{"20040228", false, true, "20040229", "29.02.2004", "Sonntag"},
             Fall{"20041231", false, true, "20050103", "03.01.2005", "Montag"},
         }) {
        Fenster f1;
        f1.w.werte.AktDatum = f.von;
        f1.w.werte.SamstagsSchule = f.samstag;
        if (f.vor)
            f1.w.naechsterSchultag();
        else
            f1.w.vorigerSchultag();
        EXPECT_EQ(f1.w.werte.AktDatum, f.nach) << f.von << (f.vor ? " forward" : " back");
        EXPECT_EQ(f1.w.datumFeld, f.feld);
        EXPECT_EQ(f1.w.wochentagLabel, f.wochentag);
        // The rows of the new date were built and handed to the table.
        EXPECT_TRUE(f1.w.tabelle.angelegt());
    }
}

TEST(PlanView, TypedDates) {
    const std::string format = "Die Datumseingabe \"%\" entspricht nicht\n\rdem erlaubten Format: "
                               "\"tt.mm.jjjj\"";
    auto meldung = [&](const std::string& text, const std::string& zusatz) {
        std::string m = format;
        m.replace(m.find('%'), 1, text);
        return m + zusatz + "!";
    };
    struct Fall {
        std::string text;
        std::string datum; // AktDatum afterwards
        std::vector<Box> boxen;
    };
    for (const Fall& f : {
             Fall{"1.3.2004", "20040220", {{"error", meldung("1.3.2004", "")}}},
             Fall{"01.03.2004 ", "20040220", {{"error", meldung("01.03.2004 ", "")}}},
             Fall{"01-03-2004", "20040220", {{"error", meldung("01-03-2004", "")}}},
             Fall{"0a.03.2004",
                  "20040220",
                  {{"error", meldung("0a.03.2004", " (falsche Integerwerte)")}}},
             Fall{"01.03.20x4",
                  "20040220",
                  {{"error", meldung("01.03.20x4", " (falsche Integerwerte)")}}},
             Fall{"01.03.2004", "20040301", {}},
             // Not checked here: the date conversion reports it.
             Fall{"31.02.2004",
                  "20040231",
                  {{"error", "Str2DateTime(): Falsches Datumsformat in der Zeichenkette "
                             "\"20040231\""}}},
         }) {
        Fenster f1;
        f1.w.werte.AktDatum = "20040220";
        f1.w.datumEingegeben(f.text);
        EXPECT_EQ(f1.w.werte.AktDatum, f.datum) << f.text;
        EXPECT_EQ(f1.ui.boxes, f.boxen) << f.text;
    }
    Fenster f2;
    f2.w.datumEingegeben("01.03.2004");
    EXPECT_EQ(f2.w.datumFeld, "01.03.2004");
    EXPECT_EQ(f2.w.wochentagLabel, "Montag");
}

// Two periods; lesson 1 is German in the first and English in the second.
std::string zweiPerioden() {
    return "0P,1,Herbst,20260801,20261231\r\n"
           "0P,2,Winter,20270101,20270331\r\n"
           "0pL,1-2\r\n"
           "PE,1\r\n"
           "00L,MUE,Mueller\r\n"
           "Le,,,,,Hans,,,,,,,,,m@schule.example\r\n"
           "00L,SCH,Schneider\r\n"
           "Le,,,,,Eva,,,,,,,,,s@schule.example\r\n"
           "0pU,1\r\n"
           "0U,1\r\nUf,,DE\r\nUk,,5a\r\nUl,,MUE\r\nUz 1 1 1 1\r\n"
           "0pU,2\r\n"
           "0U,1\r\nUf,,EN\r\nUk,,5a\r\nUl,,MUE\r\nUz 1 1 1 1\r\n"
           "0V,1,20261207,2,SCH,MUE,MA,R1,1,,,,,\r\n"
           "Vk,,5a\r\n";
}

struct FensterMitPlan : Fenster {
    FensterMitPlan() {
        testing::writeFile(dir.file("plan.gpn"), zweiPerioden());
        w.werte.GpnDatei = dir.file("plan.gpn");
        w.werte.AktDatum = "20261207";
        w.werte.Periode = 1;
        EXPECT_TRUE(w.liesGpnDatei());
        w.beschrifteEdit();
        EXPECT_EQ(w.zeilen.Zeilen.at(0).StattFach, "DE");
        ui.redraws.clear();
    }
};

TEST(PlanView, ChoosingAnotherPeriodReloadsAndRebuilds) {
    FensterMitPlan f;
    ASSERT_EQ(f.w.periodenListe.size(), 2u);
    f.w.periodeGewaehlt(1);
    EXPECT_EQ(f.w.werte.Periode, 2);
    EXPECT_EQ(f.w.periodenAuswahl, 1);
    EXPECT_EQ(f.w.log.lines().at(2), "Ausgewählte Periode: 2 (von 2)"_cp);
    EXPECT_EQ(f.w.zeilen.Zeilen.at(0).StattFach, "EN");
    EXPECT_FALSE(f.w.busyVisible);
    EXPECT_EQ(std::count(f.ui.redraws.begin(), f.ui.redraws.end(), ViewPart::BusyNotice), 2);
    EXPECT_TRUE(f.ui.boxes.empty());
}

TEST(PlanView, ThePeriodInForceOrNoEntryReloadsNothing) {
    FensterMitPlan f;
    std::filesystem::remove(f.w.werte.GpnDatei); // a reload would now complain
    f.w.periodeGewaehlt(0);
    f.w.periodeGewaehlt(-1);
    EXPECT_EQ(f.w.werte.Periode, 1);
    EXPECT_TRUE(f.ui.boxes.empty());
    EXPECT_TRUE(f.ui.redraws.empty());
    EXPECT_EQ(f.w.zeilen.Zeilen.size(), 1u);
}

TEST(PlanView, AFailedReloadKeepsTheRows) {
    FensterMitPlan f;
    std::filesystem::remove(f.w.werte.GpnDatei);
    f.w.periodeGewaehlt(1);
    EXPECT_EQ(f.w.werte.Periode, 2);
    EXPECT_EQ(f.ui.boxes, (std::vector<Box>{{"info", "Bitte wählen Sie zunächst Ihre "
                                                     "gp-Untis-Stundenplan-Datei aus!"_cp}}));
    EXPECT_EQ(f.w.zeilen.Zeilen.at(0).StattFach, "DE");
    EXPECT_FALSE(f.w.busyVisible);
}

} // namespace
} // namespace tafelbot

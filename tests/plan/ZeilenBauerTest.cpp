#include "plan/ZeilenBauer.h"

#include "plan/PlanDaten.h"
#include "plan/Versandsatz.h"
#include "settings/Cp1252.h"
#include "settings/Einstellungen.h"
#include "settings/SettingsFile.h"
#include "support/RecordingUi.h"
#include "support/TestFiles.h"
#include "ui/Befunde.h"

#include <gtest/gtest.h>
#include <random>

namespace tafelbot {
namespace {

// (The rules of the rows: the case files zeilen* of the reader's test.)

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
        testing::RecordingUi ui;
        Einstellungen werte;
        setzeStandardwerte(werte);
        werte.AktDatum = "20261207";
        Plan plan;
        const std::string kurzname = "S" + text();
        plan.Lehrer = {{true, "MUE", "Müller"_cp, "Hans", "m@schule.example"},
                       {true, kurzname, "Schneider", "Eva", "s@schule.example"}};
        plan.Unterrichte = {{1, "MUE", "5a", text()}};
        for (std::int32_t nr = 1; nr <= 3; ++nr) {
            TVertretung& v = plan.Vertretungen.emplace_back();
            v.Nr = v.Stunde = nr;
            v.Datum = werte.AktDatum;
            v.Vertreter = kurzname;
            v.StattLehrer = "MUE";
            v.Klassen = text();
            v.Raum = text();
            v.Text = text();
            v.UnterrichtNr = 1;
            v.Mitbetreuung = nr == 2;
        }
        Befunde befunde;
        Zeilenliste zeilen;
        ErzeugeZeilen({werte, plan, befunde, zeilen, {}});
        for (const TVZeile& z : zeilen.Zeilen) {
            const std::string satz = z.Schluessel + ",202612041530";
            auto felder = zerlegeSchluessel(schluesselDes(satz));
            ASSERT_TRUE(felder) << satz;
            EXPECT_EQ(felder->text, satzText(z.Text)) << satz;
            EXPECT_EQ(felder->klassen, satzText(z.Klassen)) << satz;
            EXPECT_EQ(felder->raum, satzText(z.Raum)) << satz;
            EXPECT_EQ(felder->stattFach, satzText(z.StattFach)) << satz;
            EXPECT_EQ(felder->mitbetreuung, z.Mitbetreuung) << satz;
            EXPECT_EQ(zeilenSchluessel(*felder), z.Schluessel) << satz;
            EXPECT_EQ(satzKurzname(satz), satzText(kurzname)) << satz;
            werte.GesendeteMails.push_back(satz);
        }
        // Saved and read back as at the next start; the rows built anew are those mailed.
        testing::TempDir dir;
        const std::string pfad = dir.file("Tafelbot.ini");
        const std::vector<std::string> gesendet = werte.GesendeteMails;
        ASSERT_TRUE(IniSchreiben(werte, pfad, ui));
        ASSERT_TRUE(IniLesen(werte, pfad, ui));
        ASSERT_EQ(werte.GesendeteMails, gesendet);
        ErzeugeZeilen({werte, plan, befunde, zeilen, {}});
        for (const TVZeile& z : zeilen.Zeilen)
            EXPECT_TRUE(z.Gesendet && !z.Geaendert && !z.Senden) << z.Schluessel;
        EXPECT_EQ(zeilen.ZeilenFolge, (std::vector<int>{0, 1, 2})); // the rows built anew
        EXPECT_TRUE(befunde.boxen.empty());
        EXPECT_TRUE(ui.boxes.empty());
    }
}

} // namespace
} // namespace tafelbot

// Files that are broken, odd or large: the reader must log, keep going and never misbehave.
#include "plan/GpnTestDaten.h"
#include "settings/Cp1252.h"

#include <gtest/gtest.h>
#include <random>

namespace tafelbot {
namespace {

using testing::lehrerZeilen;
using testing::LeserUmgebung;
using testing::operator+;
using testing::Zeilen;
using namespace std::string_literals;

Zeilen gueltigeZeilen() {
    return lehrerZeilen("A", "Anna", "Anna", "a@schule.example") +
           Zeilen{"0U,1",
                  "Uf,,DE",
                  "Uk,,5a,,5b",
                  "Ul,,A",
                  "Uz 1 1 2 1",
                  "0X,3,A,1,20261204,2,20261207,4",
                  "0V,9,20261207,4,A,,,,,,,3",
                  "Vk,,5a,5b"};
}

const Zeilen GueltigerPlan = {"L A|Anna|Anna|a@schule.example|@", "U 1 A 5a,5b/DE",
                              "X 3 A U1 20261204/2 20261207/4",
                              "V 9 20261207/4 A for    U-1 X3 '' 5a,5b "};

TEST(GpnEingabe, LineEndsCrLfLfATruncatedLastLineAndNulBytes) {
    std::vector<Zeilen> logs;
    for (const std::string ende : {"\r\n", "\n"}) {
        for (bool abgeschnitten : {false, true}) {
            LeserUmgebung u;
            std::string inhalt = testing::joinLines(gueltigeZeilen(), ende);
            if (abgeschnitten)
                inhalt.resize(inhalt.size() - ende.size());
            ASSERT_TRUE(u.liesInhalt(inhalt));
            EXPECT_EQ(testing::plantext(u.plan), GueltigerPlan);
            auto log = u.logZeilen();
            logs.emplace_back(log.begin() + 1, log.end()); // the first line names the file
        }
    }
    EXPECT_EQ(logs, std::vector<Zeilen>(4, logs[0]));

    // NUL bytes stay part of their field.
    LeserUmgebung u;
    ASSERT_TRUE(u.liesInhalt(testing::joinLines(gueltigeZeilen()) + "00L,B\0C,Be\0rt\r\n"s));
    EXPECT_EQ(testing::plantext(u.plan).at(1), "L B\0C|Be\0rt||"s);
}

TEST(GpnEingabe, AMegabyteLineIsReadInOnePiece) {
    LeserUmgebung u;
    std::string viele;
    for (int i = 0; i < 350000; ++i)
        viele += ",2";
    ASSERT_TRUE(u.lies(
        lehrerZeilen("A", "Anna") +
        Zeilen{"0U,1", "Uf,,DE", "Uk,,5a,,5b", "Ul,,A", "Uz 1     1,,,,,,,," + viele.substr(1),
               "0V,1,20261207,1,A,,,,," + std::string(1 << 20, 'x'), "Vk,,5a" + viele}));
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
    ASSERT_TRUE(u.lies(z + gueltigeZeilen()));
    EXPECT_EQ(testing::plantext(u.plan), GueltigerPlan);
    auto m = u.meldungen();
    EXPECT_EQ(Zeilen(m.end() - 2, m.end()),
              (Zeilen{"FEHLER in der gpn-Datei in Zeile 3000: | Die Lehrernummer 1 im uZ-Datensatz "
                      "passt zu keinem Lehrer des Unterrichts! Die Zeile wird ignoriert.",
                      "FEHLER in der gpn-Datei in Zeile 3002 Spalte 3: | Falsche Nummer in \"\" im "
                      "uZ-Datensatz!"}));
    EXPECT_EQ(u.log.lines().size(), InfoLog::MaxLines + 1); // the log keeps its cap
}

// A file that is cut off, still being written or no plan at all gives no plan: the plan, the
// lists and the period read before stay, and the log and one box say what happened.
TEST(GpnEingabe, AFileThatIsNotWholeIsRefusedWithItsReason) {
    const std::string ganz =
        testing::joinLines(gueltigeZeilen() + Zeilen{"0V,10,20261207,5,A,,,,,\"Seite 4, 5\",,,,"});
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
        u.werte.Periode = 2;
        ASSERT_TRUE(u.liesInhalt(
            testing::joinLines({"0P,1,A,1,2", "0P,2,B,3,4", "0pL,1-2", "PE,1-2"}) + ganz));
        const Zeilen vorher = testing::plantext(u.plan);
        EXPECT_EQ(u.liesInhalt(inhalt), grund == nullptr) << (grund ? grund : "whole");
        if (!grund)
            continue;
        std::string text = grund;
        if (text.rfind("Es ", 0) != 0 && text.rfind("Sie ", 0) != 0)
            text = zeile + text;
        text = utf8ToCp1252(text);
        EXPECT_EQ(u.status, GpnErgebnis::Status::Unvollstaendig);
        EXPECT_EQ(u.logZeilen(),
                  (Zeilen{"Einlesen der Stunden- und Vertretungsplan-Daten aus der Datei \"" +
                              u.werte.GpnDatei + "\":",
                          " ",
                          "=======> FEHLER: Die gpn-Datei ist unvollständig oder wird gerade "
                          "geschrieben!"_cp,
                          std::string(17, ' ') + text,
                          std::string(17, ' ') +
                              "Es wurden keine Daten übernommen: keine Zeilen, keine eMails."_cp}));
        EXPECT_EQ(u.ui.boxTexts("error"),
                  Zeilen{"Die gpn-Datei \"" + u.werte.GpnDatei +
                         "\" ist unvollständig oder wird gerade geschrieben.\n\r"_cp + text +
                         "\n\rEs wurden keine Daten übernommen: keine Zeilen, keine eMails.\n\r"
                         "Bitte warten Sie, bis gp-Untis die Datei fertig gespeichert hat, und "
                         "lesen Sie sie dann erneut ein (gp-Untis-Datei wählen oder Tafelbot neu "
                         "starten). Prüfen Sie auch, ob die richtige Datei gewählt ist."_cp});
        EXPECT_EQ(testing::plantext(u.plan), vorher);
        EXPECT_EQ(u.werte.Periode, 2);
        EXPECT_EQ(u.perioden.size(), 2u);
    }
}

// Both passes read one snapshot; a file that changes while it is read is not used.
TEST(GpnEingabe, AFileThatChangesWhileItIsReadIsRefused) {
    LeserUmgebung u;
    const std::string inhalt = testing::joinLines(gueltigeZeilen());
    int gelesen = 0;
    u.nachDemLesen = [&] {
        if (++gelesen == 1)
            testing::writeFile(u.werte.GpnDatei, inhalt + "Vk,,5a\r\n");
    };
    EXPECT_FALSE(u.liesInhalt(inhalt));
    EXPECT_EQ(u.status, GpnErgebnis::Status::Unvollstaendig);
    EXPECT_EQ(u.meldungen(),
              Zeilen{"FEHLER: Die gpn-Datei ist unvollständig oder wird gerade "
                     "geschrieben! | Sie hat sich während des Lesens verändert."_cp});
    EXPECT_TRUE(u.plan.Lehrer.empty());
    // Read again once it stays as it is.
    ASSERT_TRUE(u.liesDatei());
    EXPECT_EQ(gelesen, 2);
    EXPECT_EQ(testing::plantext(u.plan), GueltigerPlan);
}

} // namespace
} // namespace tafelbot

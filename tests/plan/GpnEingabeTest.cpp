// Files that are broken, odd or large: the reader must log, keep going and never misbehave.
#include "plan/GpnTestDaten.h"

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

TEST(GpnEingabe, BinaryGarbageIsReadWithoutHarm) {
    std::mt19937 zufall(42);
    const char* praefixe[] = {"Uz",  "0U", "Uf", "Uk",  "Ul",  "0V", "Vk", "0X",
                              "00L", "Le", "0P", "0pL", "0pU", "PE", ""};
    for (int runde = 0; runde < 8; ++runde) {
        LeserUmgebung u;
        std::string inhalt;
        for (int i = 0; i < 4000; ++i) {
            inhalt += praefixe[zufall() % std::size(praefixe)];
            for (auto j = zufall() % 40; j > 0; --j) {
                auto wahl = zufall() % 10;
                inhalt += wahl < 3 ? ',' : wahl < 4 ? '"' : static_cast<char>(zufall() % 256);
            }
            inhalt += zufall() % 5 ? "\r\n" : "\n";
        }
        ASSERT_TRUE(u.liesInhalt(inhalt));
        auto log = u.logZeilen();
        EXPECT_EQ(log[log.size() - 2].rfind("Gelesene Daten: ", 0), 0u);
    }
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
    ASSERT_TRUE(u.lies(z));
    EXPECT_TRUE(u.plan.Unterrichte.empty());
    auto m = u.meldungen();
    EXPECT_EQ(Zeilen(m.end() - 2, m.end()),
              (Zeilen{"FEHLER in der gpn-Datei in Zeile 3000: | Die Lehrernummer 1 im uZ-Datensatz "
                      "passt zu keinem Lehrer des Unterrichts! Die Zeile wird ignoriert.",
                      "FEHLER in der gpn-Datei in Zeile 3002 Spalte 3: | Falsche Nummer in \"\" im "
                      "uZ-Datensatz!"}));
    EXPECT_EQ(u.log.lines().size(), InfoLog::MaxLines + 1); // the log keeps its cap
}

TEST(GpnEingabe, IntegersBeyond32BitsAndClassNumbersBeyondTheLine) {
    LeserUmgebung u;
    ASSERT_TRUE(
        u.lies(lehrerZeilen("A", "Anna") + Zeilen{"0U,4294967297", "0U,2", "Uf,,DE", "Uk,,5a",
                                                  "Ul,,A", "Uz 1     1,,,,,,,,2147483647,0,-5,1",
                                                  "0X,2147483647,A,-2147483649,20261204,1,x,1"}));
    EXPECT_EQ(u.meldungen(),
              (Zeilen{"FEHLER in der gpn-Datei in Zeile 3: | Falscher Integerwert der "
                      "Unterrichtsnummer!",
                      "FEHLER in der gpn-Datei in Zeile 4: | Neuer OU-Datensatz obwohl vorheriger "
                      "noch nicht komplett! f= k= l=",
                      "FEHLER in der gpn-Datei in Zeile 9: | Falscher Integerwert des 4. "
                      "Zeileneintrages (Unterrichtsnummer)!"}));
    EXPECT_EQ(testing::plantext(u.plan),
              (Zeilen{"L A|Anna||", "U 2 A ,,,5a/DE", "X 2147483647 A U0 20261204/1 x/1"}));
}

} // namespace
} // namespace tafelbot

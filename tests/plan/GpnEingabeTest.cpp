// Files that are broken, odd or large: the reader must log, keep going and never misbehave.
#include "plan/GpnTestDaten.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <random>

namespace tafelbot {
namespace {

using testing::anhaengen;
using testing::gpnZeile;
using testing::lehrerZeilen;
using testing::LeserUmgebung;
using namespace std::string_literals;

std::vector<std::string> gueltigeZeilen() {
    std::vector<std::string> z = lehrerZeilen("A", "Anna", "Anna", "a@schule.example");
    anhaengen(z, {"0U,1", "Uf,,DE", "Uk,,5a,,5b", "Ul,,A", "Uz 1 1 2 1",
                  "0X,3,A,1,20261204,2,20261207,4",
                  gpnZeile("0V", {{2, "9"}, {3, "20261207"}, {4, "4"}, {5, "A"}, {12, "3"}}),
                  "Vk,,5a,5b"});
    return z;
}

void erwartePlanDerGueltigenZeilen(const Plan& plan) {
    ASSERT_EQ(plan.Lehrer.size(), 1u);
    EXPECT_EQ(plan.Lehrer[0].EMail, "a@schule.example");
    ASSERT_EQ(plan.Unterrichte.size(), 1u);
    EXPECT_EQ(plan.Unterrichte[0].Klassen, "5a,5b");
    ASSERT_EQ(plan.Verlegungen.size(), 1u);
    ASSERT_EQ(plan.Vertretungen.size(), 1u);
    EXPECT_EQ(plan.Vertretungen[0].Klassen, "5a,5b");
    EXPECT_FALSE(plan.FehlerGefunden);
}

TEST(GpnEingabe, LineEndsCrLfLfAndATruncatedLastLineReadAlike) {
    std::vector<std::vector<std::string>> logs;
    for (const std::string ende : {"\r\n", "\n"}) {
        for (bool abgeschnitten : {false, true}) {
            LeserUmgebung u;
            std::string inhalt = testing::gpnDatei(gueltigeZeilen(), ende);
            if (abgeschnitten)
                inhalt.resize(inhalt.size() - ende.size());
            ASSERT_TRUE(u.liesInhalt(inhalt));
            erwartePlanDerGueltigenZeilen(u.plan);
            auto log = u.logZeilen();
            logs.emplace_back(log.begin() + 1, log.end()); // the first line names the file
        }
    }
    EXPECT_EQ(logs, std::vector<std::vector<std::string>>(4, logs[0]));
}

TEST(GpnEingabe, NulBytesStayPartOfTheirField) {
    LeserUmgebung u;
    std::string inhalt = testing::gpnDatei(gueltigeZeilen());
    inhalt += "00L,B\0C,Be\0rt\r\n"s;
    ASSERT_TRUE(u.liesInhalt(inhalt));
    ASSERT_EQ(u.plan.Lehrer.size(), 2u);
    EXPECT_EQ(u.plan.Lehrer[1].Kurzname, std::string("B\0C", 3));
    EXPECT_EQ(u.plan.Lehrer[1].Langname, std::string("Be\0rt", 5));
}

TEST(GpnEingabe, BinaryGarbageIsReadWithoutHarm) {
    std::mt19937 zufall(42);
    for (int runde = 0; runde < 8; ++runde) {
        LeserUmgebung u;
        std::string inhalt;
        const char* praefixe[] = {"Uz",  "0U", "Uf", "Uk",  "Ul",  "0V", "Vk", "0X",
                                  "00L", "Le", "0P", "0pL", "0pU", "PE", ""};
        for (int i = 0; i < 4000; ++i) {
            inhalt += praefixe[zufall() % std::size(praefixe)];
            int laenge = static_cast<int>(zufall() % 40);
            for (int j = 0; j < laenge; ++j) {
                unsigned wahl = zufall() % 10;
                inhalt += wahl < 3   ? ','
                          : wahl < 4 ? '"'
                          : wahl < 6 ? static_cast<char>('0' + zufall() % 10)
                                     : static_cast<char>(zufall() % 256);
            }
            inhalt += zufall() % 5 ? "\r\n" : "\n";
        }
        ASSERT_TRUE(u.liesInhalt(inhalt));
        auto log = u.logZeilen();
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log[log.size() - 2].rfind("Gelesene Daten: ", 0), 0u);
        EXPECT_LE(log.size(), InfoLog::MaxLines + 1);
    }
}

TEST(GpnEingabe, AMegabyteLineIsReadInOnePiece) {
    LeserUmgebung u;
    std::vector<std::string> z = lehrerZeilen("A", "Anna");
    std::string viele;
    for (int i = 0; i < 350000; ++i)
        viele += ",2";
    anhaengen(
        z,
        {"0U,1", "Uf,,DE", "Uk,,5a,,5b", "Ul,,A", "Uz 1     1,,,,,,,," + viele.substr(1),
         gpnZeile("0V",
                  {{2, "1"}, {3, "20261207"}, {4, "1"}, {5, "A"}, {10, std::string(1 << 20, 'x')}}),
         "Vk,,5a" + viele});
    ASSERT_TRUE(u.lies(z));
    ASSERT_EQ(u.plan.Unterrichte.size(), 1u);
    EXPECT_EQ(u.plan.Unterrichte[0].Klassen.size(), 350000u * 3 - 1);
    EXPECT_EQ(u.plan.Unterrichte[0].Fach, "DE");
    ASSERT_EQ(u.plan.Vertretungen.size(), 1u);
    EXPECT_EQ(u.plan.Vertretungen[0].Text.size(), 1u << 20);
    EXPECT_EQ(u.plan.Vertretungen[0].Klassen.size(), 2u + 350000u * 2);
    EXPECT_FALSE(u.plan.FehlerGefunden);
}

TEST(GpnEingabe, AFileOfOnlyUzLinesTouchesNothing) {
    LeserUmgebung u;
    std::vector<std::string> z(3000, "Uz 1 1 1 1");
    z.push_back("Uz 0 1 1 1");
    z.push_back("Uz");
    ASSERT_TRUE(u.lies(z));
    EXPECT_TRUE(u.plan.Unterrichte.empty());
    auto m = u.meldungen();
    ASSERT_FALSE(m.empty());
    EXPECT_EQ(m.back(), "FEHLER in der gpn-Datei in Zeile 3002 Spalte 3: | Falsche Nummer in \"\" "
                        "im uZ-Datensatz!");
    EXPECT_EQ(m[m.size() - 2], "FEHLER in der gpn-Datei in Zeile 3000: | Die Lehrernummer 1 im "
                               "uZ-Datensatz passt zu keinem Lehrer des Unterrichts! Die Zeile "
                               "wird ignoriert.");
    // The log keeps its cap; the summary is its end.
    EXPECT_EQ(u.log.lines().size(), InfoLog::MaxLines + 1);
    EXPECT_EQ(u.logZeilen()[InfoLog::MaxLines - 1],
              "Gelesene Daten: 0 Lehrer, 0 Unterrichte, 0 Verlegungen, 0 Vertretungen");
}

TEST(GpnEingabe, IntegersBeyond32BitsAreBadIntegers) {
    LeserUmgebung u;
    std::vector<std::string> z = lehrerZeilen("A", "Anna");
    anhaengen(
        z, {"0U,4294967297", "0X,-2147483648,A,2147483647,20261204,99999999999,20261207,1", "Uz"});
    ASSERT_TRUE(u.lies(z));
    EXPECT_EQ(u.meldungen(),
              (std::vector<std::string>{
                  "FEHLER in der gpn-Datei in Zeile 3: | Falscher Integerwert der "
                  "Unterrichtsnummer!",
                  "FEHLER in der gpn-Datei in Zeile 4: | Falscher Integerwert des 6. "
                  "Zeileneintrages (Stunde-Woher)!",
                  "FEHLER in der gpn-Datei in Zeile 5 Spalte 3: | Falsche Nummer in \"\" im "
                  "uZ-Datensatz!"}));
    ASSERT_EQ(u.plan.Verlegungen.size(), 1u);
    EXPECT_EQ(u.plan.Verlegungen[0].Nr, INT32_MIN);
    EXPECT_EQ(u.plan.Verlegungen[0].UnterrichtNr, INT32_MAX);
    EXPECT_EQ(u.plan.Verlegungen[0].StundeVon, 0);
}

TEST(GpnEingabe, HugeClassNumbersInUzFieldsNameNoClass) {
    LeserUmgebung u;
    std::vector<std::string> z = lehrerZeilen("A", "Anna");
    anhaengen(z, {"0U,1", "Uf,,DE", "Uk,,5a", "Ul,,A", "Uz 1     1,,,,,,,,2147483647,0,-5,1"});
    ASSERT_TRUE(u.lies(z));
    EXPECT_EQ(u.plan.Unterrichte[0].Klassen, ",,,5a");
}

TEST(GpnEingabe, AnEmptyFileReadsAsEmptyPlan) {
    LeserUmgebung u;
    ASSERT_TRUE(u.liesInhalt(std::string()));
    EXPECT_EQ(u.logZeilen().size(), 7u);
    EXPECT_TRUE(u.plan.Lehrer.empty());
}

TEST(GpnEingabe, AFileThatCannotBeReadChangesNothing) {
    LeserUmgebung u;
    ASSERT_TRUE(u.lies(gueltigeZeilen()));
    std::string gesperrt = u.dir.file("gesperrt.gpn");
    u.werte.GpnDatei = gesperrt;
    testing::writeFile(gesperrt, "x");
    // A file without read permission; the superuser reads it all the same.
    std::filesystem::permissions(gesperrt, std::filesystem::perms::none);
    try {
        testing::readFile(gesperrt);
        GTEST_SKIP() << "running with rights that read any file";
    } catch (const std::runtime_error&) {
    }
    EXPECT_FALSE(LiesGpnDatei(u.kontext()));
    EXPECT_EQ(u.ui.boxes,
              (std::vector<testing::RecordingUi::Box>{{"error", "Kann gpn-Datei \"" + gesperrt +
                                                                    "\" nicht zum Lesen \xF6"
                                                                    "ffnen!"}}));
    erwartePlanDerGueltigenZeilen(u.plan);
}

TEST(GpnEingabe, ManySubstitutionsAreAllKept) {
    LeserUmgebung u;
    std::vector<std::string> z = lehrerZeilen("A", "Anna");
    for (int i = 1; i <= 600; ++i) {
        z.push_back(gpnZeile("0V", {{2, std::to_string(i)}, {3, "20261207"}, {4, "1"}, {5, "A"}}));
        z.push_back("Vk,,5a");
    }
    ASSERT_TRUE(u.lies(z));
    ASSERT_EQ(u.plan.Vertretungen.size(), 600u);
    EXPECT_EQ(u.plan.Vertretungen[599].Nr, 600);
}

} // namespace
} // namespace tafelbot

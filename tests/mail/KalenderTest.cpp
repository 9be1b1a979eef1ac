#include "mail/Kalender.h"

#include "settings/Cp1252.h"

#include <gtest/gtest.h>
#include <sstream>

namespace tafelbot {
namespace {

TEST(StundenzeitenTest, BrokenEntriesAreKeptAndTheirLessonsLeftWithoutTime) {
    const Stundenzeiten z = leseStundenzeiten(
        " 1=07:45-08:30; 2 = 08:35 - 09:20;;3=0745-08:30;x=07:45-08:30;4=08:30-08:00;"
        "5=24:00-24:30;1=09:00-09:45;6=10:00;7=10:00-11:00 ");
    ASSERT_EQ(z.zeiten.size(), 2u); // lesson 1 has two times: neither holds
    EXPECT_EQ(z.zeiten.at(2).ende, 9 * 60 + 20);
    EXPECT_EQ(z.zeiten.at(7).beginn, 10 * 60);
    EXPECT_EQ(z.defekt, (std::vector<std::string>{"3=0745-08:30", "x=07:45-08:30", "4=08:30-08:00",
                                                  "5=24:00-24:30", "1=09:00-09:45", "6=10:00"}));
}

TEST(IcsTest, TextIsEscapedAndLinesFoldAt75OctetsWithoutCuttingACharacter) {
    EXPECT_EQ(icsText("a,b;c\\d\r\ne\nf\n\ng\th\x01"), "a\\,b\\;c\\\\d\\ne\\nf\\n\\ng h ");
    const std::string lang =
        "DESCRIPTION:" + std::string(60, 'x') + cp1252ToUtf8(std::string(40, '\xFC'));
    const std::string gefaltet = icsZeile(lang);
    std::string entfaltet;
    std::istringstream zeilen(gefaltet);
    bool erste = true;
    for (std::string zeile; std::getline(zeilen, zeile); erste = false) {
        ASSERT_EQ(zeile.back(), '\r');
        zeile.pop_back();
        EXPECT_LE(zeile.size(), 75u);
        EXPECT_NE(static_cast<unsigned char>(zeile.back()), 0xC3); // no ü cut in two
        EXPECT_EQ(zeile[0] == ' ', !erste);
        entfaltet += erste ? zeile : zeile.substr(1);
    }
    EXPECT_EQ(entfaltet, lang);
}

} // namespace
} // namespace tafelbot

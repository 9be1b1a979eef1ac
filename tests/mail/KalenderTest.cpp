#include "mail/Kalender.h"

#include "mail/MailComposer.h"
#include "plan/Versandsatz.h"
#include "settings/Cp1252.h"
#include "support/FixedClock.h"
#include "support/RecordingUi.h"

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

// The calendar attachment of a composed mail: its content lines, unfolded.
class KalenderMailTest : public ::testing::Test {
protected:
    std::vector<std::string> kalender() {
        const Stundenzeiten zeiten = leseStundenzeiten("1=07:45-08:30;4=10:30-11:15;5=11:35-12:20");
        MailInput input{zeilen,  0,     lehrer,    spalten,   ueberschriften, leer,   false,
                        records, datum, wochentag, datumText, true,           &zeiten};
        ComposedMail mail = composeSubstitutionMail(input, ui);
        EXPECT_EQ(mail.anhaenge.size(), 1u);
        EXPECT_EQ(mail.anhaenge[0].contentType, "text/calendar; charset=\"utf-8\"; method=PUBLISH");
        std::string text = mail.anhaenge[0].data;
        for (auto falte = text.find("\r\n "); falte != std::string::npos;
             falte = text.find("\r\n "))
            text.erase(falte, 3);
        std::vector<std::string> inhalt;
        std::istringstream strom(text);
        for (std::string z; std::getline(strom, z);)
            inhalt.push_back(z.substr(0, z.size() - 1));
        return inhalt;
    }

    void zeile(const std::string& stunde, int nr, const std::string& raum) {
        TVZeile z;
        z.LehrerIndex = 0;
        z.Vertreter = "Müller"_cp;
        z.Stunde = stunde;
        z.VertretungNr = nr;
        z.Fach = "M";
        z.Klassen = "5a";
        z.Raum = raum;
        z.Text = "Heft, S. 3; Nr. 4";
        z.Schluessel = zeilenSchluessel({datum, stunde, "D", "MUE", "5a", raum, "", z.Text, false});
        zeilen.Zeilen.push_back(z);
        zeilen.ZeilenFolge.push_back(static_cast<int>(zeilen.ZeilenFolge.size()));
    }

    testing::FixedClock clock{{2026, 12, 7, 6, 45, 59, 0, 1}};
    testing::RecordingUi ui;
    Zeilenliste zeilen;
    TLehrer lehrer{true, "MUE", "Müller"_cp, "Anna", "anna@schule.test"};
    std::array<int, AnzahlKategorien> spalten{2, 8, 10, -1};
    std::array<std::string, AnzahlMailKategorien> ueberschriften{
        "Nr",         "Datum",  "Std.", "statt Fach",  "Fach", "Vertr. für"_cp,
        "Vertretung", "Klasse", "Raum", "verlegt von", "Text", "Mitbetreuung"};
    std::string leer;
    std::vector<std::string> records;
    std::string datum = "20261207";
    std::string wochentag = "Montag";
    std::string datumText = "07.12.2026";
};

std::vector<std::string> mit(const std::vector<std::string>& zeilen, const std::string& anfang) {
    std::vector<std::string> treffer;
    for (const std::string& z : zeilen)
        if (z.rfind(anfang, 0) == 0)
            treffer.push_back(z.substr(anfang.size()));
    return treffer;
}

TEST_F(KalenderMailTest, OneEventPerRowTimedFromTheLessonTable) {
    zeile("1", 12, "R1");
    zeile("4/5", 13, "Hof"); // a range spans both lessons
    zeile("1", 14, "R2");    // a second row in a lesson is an event of its own
    zeile("9", 15, "");      // no time in the table: all day
    const auto ics = kalender();
    EXPECT_EQ(mit(ics, "UID:"), (std::vector<std::string>{
                                    "20261207-1-1-MUE@tafelbot", "20261207-4%2F5-1-MUE@tafelbot",
                                    "20261207-1-2-MUE@tafelbot", "20261207-9-1-MUE@tafelbot"}));
    EXPECT_EQ(mit(ics, "DTSTART;"), (std::vector<std::string>{"TZID=Europe/Berlin:20261207T074500",
                                                              "TZID=Europe/Berlin:20261207T103000",
                                                              "TZID=Europe/Berlin:20261207T074500",
                                                              "VALUE=DATE:20261207"}));
    EXPECT_EQ(mit(ics, "DTEND;")[1], "TZID=Europe/Berlin:20261207T122000");
    EXPECT_EQ(mit(ics, "DTEND;")[3], "VALUE=DATE:20261208");
    EXPECT_EQ(mit(ics, "SUMMARY:")[1], "Vertretung 4/5. Std. M 5a");
    EXPECT_EQ(mit(ics, "DESCRIPTION:")[0],
              "Std.:   1\\nRaum:   R1\\nText:   Heft\\, S. 3\\; Nr. 4");
    EXPECT_EQ(mit(ics, "STATUS:"), std::vector<std::string>(4, "CONFIRMED"));
    EXPECT_EQ(mit(ics, "TZID:"), std::vector<std::string>{"Europe/Berlin"});
    EXPECT_EQ(mit(ics, "DTSTAMP:")[0], "20261207T064559Z");
}

TEST_F(KalenderMailTest, ALaterMailUpdatesUnderTheSameUidsAndCancelsWhatVanished) {
    zeile("1", 12, "R1");
    zeile("1", 14, "R2");
    zeile("3", 15, "R3");
    const auto erste = kalender();
    for (const TVZeile& z : zeilen.Zeilen) // as the send records them: the last row first
        records.insert(records.begin(), z.Schluessel + ",202612070645");
    zeilen = {};
    zeile("1", 12, "R9"); // the room changed; the second row of lesson 1 and lesson 3 vanished
    zeilen.Zeilen[0].Geaendert = true;
    clock.now.minute = 50;
    const auto spaetere = kalender();

    const auto uids = mit(erste, "UID:");
    EXPECT_EQ(mit(spaetere, "UID:"), uids);
    EXPECT_EQ(mit(spaetere, "STATUS:"),
              (std::vector<std::string>{"CONFIRMED", "CANCELLED", "CANCELLED"}));
    EXPECT_EQ(mit(spaetere, "LOCATION:"), (std::vector<std::string>{"R9", "R2", "R3"}));
    EXPECT_GT(std::stol(mit(spaetere, "SEQUENCE:")[0]), std::stol(mit(erste, "SEQUENCE:")[0]));
}

TEST_F(KalenderMailTest, WithoutTheSettingTheMailHasNoAttachmentAndIsUnchanged) {
    zeile("1", 12, "R1");
    MailInput input{zeilen, 0,       lehrer, spalten,   ueberschriften, leer,
                    false,  records, datum,  wochentag, datumText,      true};
    const ComposedMail ohne = composeSubstitutionMail(input, ui);
    const Stundenzeiten zeiten;
    input.stundenzeiten = &zeiten;
    const ComposedMail mit = composeSubstitutionMail(input, ui);
    EXPECT_TRUE(ohne.anhaenge.empty());
    EXPECT_EQ(ohne.htmlText, mit.htmlText);
    EXPECT_EQ(ohne.plainText, mit.plainText);
}

} // namespace
} // namespace tafelbot

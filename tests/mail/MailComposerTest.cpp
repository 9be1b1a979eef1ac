#include "mail/MailComposer.h"

#include "mail/Kalender.h"
#include "plan/Versandsatz.h"
#include "settings/Cp1252.h"
#include "support/FixedClock.h"
#include "support/RecordingUi.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace tafelbot {
namespace {

using testing::RecordingUi;

std::array<int, AnzahlKategorien> spalten(std::vector<int> codes) {
    std::array<int, AnzahlKategorien> a;
    a.fill(-1);
    for (std::size_t i = 0; i < codes.size(); ++i)
        a[i] = codes[i];
    return a;
}

TVZeile zeile(const std::string& vertreter, const std::string& stunde, int nr,
              int lehrerIndex = 0) {
    TVZeile z;
    z.LehrerIndex = lehrerIndex;
    z.Vertreter = vertreter;
    z.Stunde = stunde;
    z.VertretungNr = nr;
    z.Datum = "07.12.";
    z.Klassen = "5a";
    z.Fach = "M";
    z.StattFach = "D";
    z.StattLehrer = "Kurz";
    z.Raum = "R1";
    z.Text = "frei";
    z.HatEMail = true;
    z.Senden = true;
    return z;
}

// The lines of a mail part in data/ (UTF-8), as the composer's Windows-1252.
std::vector<std::string> erwartet(const std::string& name) {
    return testing::splitLines(
        utf8ToCp1252(testing::readFile(TAFELBOT_SOURCE_DIR "/tests/mail/data/" + name)));
}

class MailComposerTest : public ::testing::Test {
protected:
    ComposedMail compose(int aktuelle = 0) {
        MailInput input{zeilen,     aktuelle,    lehrer,  mailspalten, ueberschriften,
                        zusatztext, zusatzAn,    records, aktDatum,    wochentag,
                        datumText,  aenderungen, zeiten};
        return composeSubstitutionMail(input, ui);
    }

    // The content lines of the calendar attachment, unfolded.
    std::vector<std::string> kalender() {
        const Stundenzeiten stunden =
            leseStundenzeiten("1=07:45-08:30;4=10:30-11:15;5=11:35-12:20");
        zeiten = &stunden;
        mitKalender = compose();
        zeiten = nullptr;
        EXPECT_EQ(mitKalender.anhaenge.size(), 1u);
        EXPECT_EQ(mitKalender.anhaenge[0].contentType,
                  "text/calendar; charset=\"utf-8\"; method=PUBLISH");
        std::string text = mitKalender.anhaenge[0].data;
        for (auto falte = text.find("\r\n "); falte != std::string::npos;
             falte = text.find("\r\n "))
            text.erase(falte, 3);
        return testing::splitLines(text, "\r\n");
    }

    testing::FixedClock clock{{2026, 12, 7, 6, 45, 59, 0, 1}};
    RecordingUi ui;
    Zeilenliste zeilen;
    TLehrer lehrer{true, "MUE", "Müller"_cp, "Anna", "anna@schule.test"};
    std::array<int, AnzahlKategorien> mailspalten = spalten({2, 7, 10, 11});
    std::array<std::string, AnzahlMailKategorien> ueberschriften{
        "Nr",         "Datum",  "Std.", "statt Fach",  "Fach", "Vertr. für"_cp,
        "Vertretung", "Klasse", "Raum", "verlegt von", "Text", "Mitbetreuung"};
    std::string zusatztext = "Bitte <b>pünktlich</b>!"_cp;
    bool zusatzAn = false;
    std::vector<std::string> records;
    std::string aktDatum = "20261207";
    std::string wochentag = "Montag";
    std::string datumText = "07.12.2026";
    bool aenderungen = true;
    const Stundenzeiten* zeiten = nullptr;
    ComposedMail mitKalender; // the mail of the last kalender()
};

TEST_F(MailComposerTest, TeacherWithTwoRowsGetsOneTableAndTwoPlainBlocks) {
    zeilen.Zeilen = {zeile("Müller"_cp, "3", 12), zeile("Schmidt", "1", 4, 1),
                     zeile("Müller"_cp, "5", 13)};
    zeilen.Zeilen[2].Mitbetreuung = true;
    zeilen.Zeilen[2].Text = "";
    zeilen.ZeilenFolge = {1, 2, 0}; // display order puts period 5 before period 3

    ComposedMail mail = compose(0);

    EXPECT_EQ(mail.hdrTo, "anna@schule.test");
    EXPECT_EQ(mail.subject, "Vertretungsplan für Montag, 07.12.2026"_cp);
    EXPECT_EQ(mail.sendPanelHeading, "Versenden einer eMail an Anna Müller:"_cp);
    EXPECT_TRUE(ui.boxes.empty());

    // Both parts worked out by hand.
    EXPECT_EQ(mail.plainText, erwartet("zwei-zeilen.txt"));
    EXPECT_EQ(mail.htmlText, erwartet("zwei-zeilen.html"));
}

TEST_F(MailComposerTest, NoticeRowSaysNoSubstitutionsAndHasNoPeriodLine) {
    TVZeile notiz = zeile("Müller"_cp, "-1", -1);
    notiz.Klassen = notiz.Text = notiz.Datum = "";
    zeilen.Zeilen = {notiz};
    zeilen.ZeilenFolge = {0};
    mailspalten = spalten({0, 2, 7});

    ComposedMail mail = compose();

    EXPECT_EQ(mail.htmlText[6], "<tr><td>-1</td><td>keine Vertretungen</td><td></td></tr>");
    const std::vector<std::string> block(mail.plainText.begin() + 4, mail.plainText.begin() + 7);
    EXPECT_EQ(block, (std::vector<std::string>{"", "Nr:   -1", "Klasse:   "}));
}

bool hat(const std::vector<std::string>& zeilen, const std::string& zeile) {
    return std::find(zeilen.begin(), zeilen.end(), zeile) != zeilen.end();
}

// A row as the row builder makes it, with its key, and the record an earlier mail left of it.
TVZeile mitSchluessel(TVZeile z) {
    z.Schluessel = zeilenSchluessel(
        {"20261207", z.Stunde, z.StattFach, "MUE", z.Klassen, z.Raum, "", z.Text, z.Mitbetreuung});
    return z;
}
std::string satz(const TVZeile& z) {
    return z.Schluessel + ",202612061705";
}

TEST_F(MailComposerTest, ChangedPlanListsWhatIsNewAndWhatNoLongerHolds) {
    TVZeile bleibt = mitSchluessel(zeile("Müller"_cp, "3", 12));
    TVZeile neu = mitSchluessel(zeile("Müller"_cp, "5", 14));
    neu.Text = "R&D <b>";
    neu = mitSchluessel(neu);
    TVZeile weg = mitSchluessel(zeile("Müller"_cp, "4", 13));
    weg.Raum = "";
    weg.Mitbetreuung = true;
    weg = mitSchluessel(weg);
    zeilen.Zeilen = {bleibt, neu};
    zeilen.Zeilen[0].Geaendert = zeilen.Zeilen[1].Geaendert = true;
    zeilen.ZeilenFolge = {0, 1};
    // A notice record of the teacher and a record of another teacher are no rows of that mail.
    records = {satz(bleibt), satz(weg), "20261207,-1,,MUE,,,,,,202612061705",
               "20261207,4,D,SCH,\"5a\",R1,,,0,202612061705"};

    // Both parts worked out by hand: the block after the date.
    ComposedMail mail = compose();
    EXPECT_EQ(mail.plainText, erwartet("aenderungen.txt"));
    EXPECT_EQ(mail.htmlText, erwartet("aenderungen.html"));

    // Aenderungen=0 gives the mail without the block, and nothing else differs.
    aenderungen = false;
    ComposedMail ohne = compose();
    mail.htmlText.erase(mail.htmlText.begin() + 4, mail.htmlText.begin() + 8);
    mail.plainText.erase(mail.plainText.begin() + 4, mail.plainText.begin() + 8);
    EXPECT_EQ(ohne.htmlText, mail.htmlText);
    EXPECT_EQ(ohne.plainText, mail.plainText);

    // Nothing to list (the earlier rows hold, or there are none to compare with): no block.
    aenderungen = true;
    for (const auto& fruehere :
         {std::vector<std::string>{satz(bleibt), satz(neu)}, std::vector<std::string>{}}) {
        records = fruehere;
        EXPECT_EQ(compose().plainText[5], "Std.:   3");
    }
}

TEST_F(MailComposerTest, ChangedPlanNamesTheEarlierMailOrAsksOnceWhenItIsUnknown) {
    zeilen.Zeilen = {zeile("Müller"_cp, "3", 12), zeile("Müller"_cp, "4", 13)};
    zeilen.Zeilen[0].Geaendert = zeilen.Zeilen[1].Geaendert = true;
    zeilen.ZeilenFolge = {0, 1};
    const std::string stale = "Der Vertretungsplan, der Ihnen am ";

    // Records of another date and of another teacher do not count; the first match does, with
    // commas in its room and text.
    records = {"20261208,3,D,MUE,\"5a\",R1,,,0,202612071200",
               "20261207,2,D,SCH,\"5a\",R1,,,0,202612061111",
               "20261207,3,D,MUE,\"5a\",R1, Haupteingang,,Arbeitsblatt, Seite 12,0,202612061705",
               "20261207,4,D,MUE,\"5a\",R1,,,0,202612051010"};
    ComposedMail mail = compose(1);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(mail.subject, "NEUER Vertretungsplan für Montag, 07.12.2026"_cp);
    // (Both parts' lines in their place: the mail of a changed plan above.)
    EXPECT_TRUE(hat(mail.plainText, stale + "06.12.2026 um 17.05 Uhr zugeschickt wurde,"));

    records = {"20261207,3,D,SCH,\"5a\",R1,,,0,202612061705"};
    mail = compose(0);
    EXPECT_EQ(ui.boxes, (std::vector<RecordingUi::Box>{
                            {"error", "Für eine geänderte eMail (für Müller)\n\rkonnte keine "
                                      "Information in der INI-Datei gefundet werden!"_cp}}));
    EXPECT_TRUE(hat(mail.plainText, stale + "??.??.???? um ??.?? Uhr zugeschickt wurde,"));
}

// The column list decides the columns; plan data and names are escaped in the HTML part, the
// additional text is the user's own HTML.
TEST_F(MailComposerTest, ColumnsEscapingAndTheAdditionalText) {
    lehrer.Langname = "O'Neil & <Co>";
    lehrer.Vorname = "\"Jo\"";
    zeilen.Zeilen = {zeile(lehrer.Langname, "3", 12)};
    zeilen.Zeilen[0].VerlegtVon = "01.12. / 2";
    zeilen.Zeilen[0].Klassen = "5<a>";
    zeilen.Zeilen[0].Text = "R&D";
    zeilen.ZeilenFolge = {0};

    mailspalten = spalten({8, -1, 2, 4}); // ends at the first -1
    ComposedMail mail = compose();
    EXPECT_EQ(mail.htmlText[5], "<tr><td>Raum</td></tr>");
    EXPECT_EQ(mail.htmlText[6], "<tr><td>R1</td></tr>");
    EXPECT_EQ(mail.plainText[5], "Raum:   R1");
    EXPECT_EQ(mail.plainText[6], "");

    // Every column, and the additional text: both parts worked out by hand.
    zusatzAn = true;
    mailspalten = spalten({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
    mail = compose();
    EXPECT_EQ(mail.plainText, erwartet("alle-spalten.txt"));
    EXPECT_EQ(mail.htmlText, erwartet("alle-spalten.html"));
}

// The rows of a calendar test: Müller's, in display order, with a text to escape.
void termin(Zeilenliste& zeilen, const std::string& stunde, int nr, const std::string& raum) {
    TVZeile z = zeile("Müller"_cp, stunde, nr);
    z.Raum = raum;
    z.Text = "Heft, S. 3; Nr. 4";
    zeilen.Zeilen.push_back(mitSchluessel(z));
    zeilen.ZeilenFolge.push_back(static_cast<int>(zeilen.ZeilenFolge.size()));
}

std::vector<std::string> mit(const std::vector<std::string>& zeilen, const std::string& anfang) {
    std::vector<std::string> treffer;
    for (const std::string& z : zeilen)
        if (z.rfind(anfang, 0) == 0)
            treffer.push_back(z.substr(anfang.size()));
    return treffer;
}

TEST_F(MailComposerTest, CalendarOneEventPerRowTimedFromTheLessonTable) {
    termin(zeilen, "1", 12, "R1");
    termin(zeilen, "4/5", 13, "Hof"); // a range spans both lessons
    termin(zeilen, "1", 14, "R2");    // a second row in a lesson is an event of its own
    termin(zeilen, "9", 15, "");      // no time in the table: all day
    const auto ics = kalender();
    EXPECT_EQ(mit(ics, "UID:"), (std::vector<std::string>{
                                    "20261207-1-1-MUE@tafelbot", "20261207-4%2F5-1-MUE@tafelbot",
                                    "20261207-1-2-MUE@tafelbot", "20261207-9-1-MUE@tafelbot"}));
    EXPECT_EQ(mit(ics, "DTSTART;"), (std::vector<std::string>{"TZID=Europe/Berlin:20261207T074500",
                                                              "TZID=Europe/Berlin:20261207T103000",
                                                              "TZID=Europe/Berlin:20261207T074500",
                                                              "VALUE=DATE:20261207"}));
    EXPECT_EQ(mit(ics, "DTEND;")[1], "TZID=Europe/Berlin:20261207T122000");
    EXPECT_EQ(mit(ics, "SUMMARY:")[1], "Vertretung 4/5. Std. M 5a");
    EXPECT_EQ(mit(ics, "DESCRIPTION:")[0],
              "Std.:   1\\nKlasse:   5a\\nText:   Heft\\, S. 3\\; Nr. 4\\nMitbetreuung:   nein");
    EXPECT_EQ(mit(ics, "DTSTAMP:")[0], "20261207T064559Z");
    // Without the setting: no attachment, and the mail is the same.
    const ComposedMail ohne = compose();
    EXPECT_TRUE(ohne.anhaenge.empty());
    EXPECT_EQ(ohne.htmlText, mitKalender.htmlText);
    EXPECT_EQ(ohne.plainText, mitKalender.plainText);
}

TEST_F(MailComposerTest, CalendarOfALaterMailUpdatesUnderTheSameUidsAndCancelsWhatVanished) {
    termin(zeilen, "1", 12, "R1");
    termin(zeilen, "1", 14, "R2");
    termin(zeilen, "3", 15, "R3");
    const auto erste = kalender();
    for (const TVZeile& z : zeilen.Zeilen) // as the send records them: the last row first
        records.insert(records.begin(), z.Schluessel + ",202612070645");
    zeilen = {};
    termin(zeilen, "1", 12,
           "R9"); // the room changed; the second row of lesson 1 and lesson 3 vanished
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

} // namespace
} // namespace tafelbot

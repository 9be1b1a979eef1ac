#include "settings/DatumText.h"

#include "settings/Cp1252.h"
#include "support/RecordingUi.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <optional>

namespace tafelbot {
namespace {

using testing::RecordingUi;

TEST(Datum, Str2DateTimeReportsImpossibleDatesAndGivesZero) {
    for (std::string text : {"20030229", "19000229", "20041301", "20040431", "2004022", "",
                             "2004a229", "200402290", "00000101", "20040200"}) {
        RecordingUi ui;
        EXPECT_EQ(Str2DateTime(text, ui), DatumZeit{}) << text;
        const std::string meldung = "Str2DateTime(): Falsches Datumsformat in der Zeichenkette \"";
        EXPECT_EQ(ui.boxes, (std::vector<RecordingUi::Box>{{"error", meldung + text + "\""}}));
    }
}

// Leap days included (2000: divisible by 400), each day at ten past ten as the conversion
// gives it, with its weekday (1 January 1990 was a Monday).
TEST(Datum, RoundTripAndWeekdayOverEveryDayFrom1990To2040) {
    EXPECT_EQ(DatumZuText(*datumZeitAus(2004, 3, 5)), "20040305");
    EXPECT_EQ(DatumZuText(DatumZeit{}), "18991230"); // the zero value
    const char* namen[] = {"Sonntag",    "Montag",  "Dienstag", "Mittwoch",
                           "Donnerstag", "Freitag", "Samstag"};
    RecordingUi ui;
    DatumZeit d = *datumZeitAus(1990, 1, 1, 10, 10, 10);
    DatumZeit ende = *datumZeitAus(2040, 12, 31, 10, 10, 10);
    int tage = 0;
    for (; d.tag <= ende.tag; d = d.plusTage(1), ++tage) {
        std::string text = DatumZuText(d);
        ASSERT_EQ(Str2DateTime(text, ui), d) << text;
        ASSERT_EQ(wochentag(d), (tage + 1) % 7) << text;
        ASSERT_EQ(WochentagName(d), namen[(tage + 1) % 7]) << text;
    }
    EXPECT_EQ(tage, 18628);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST(LiesFeld, QuotedFieldsKeepTheirCommas) {
    const std::string zeile = "Uk,\"5a,5b\",7c,,\"x\"y,\"z\"\"";
    // Not enclosed, the quotes of field 5 stay; of field 6 only the one enclosing pair goes.
    const char* felder[] = {"", "Uk", "5a,5b", "7c", "", "\"x\"y", "z\"", ""};
    for (int n = 0; n < 8; ++n)
        EXPECT_EQ(LiesFeld(zeile, ',', n), felder[n]) << n;
    EXPECT_EQ(LiesFeld("", ',', 1), "");
    EXPECT_EQ(LiesFeld("\"\"", ',', 1), "");
}

TEST(Ganzzahl, DecimalWithLeadingBlanksAndOverflowRefused) {
    using Fall = std::pair<const char*, std::optional<std::int32_t>>;
    for (auto [text, zahl] :
         {Fall{"  42", 42}, Fall{"-7", -7}, Fall{"+7", 7}, Fall{"2147483647", INT32_MAX},
          Fall{"-2147483648", INT32_MIN}, Fall{"", {}}, Fall{" ", {}}, Fall{"-", {}},
          Fall{"4 2", {}}, Fall{"42 ", {}}, Fall{"0x10", {}}, Fall{"2147483648", {}},
          Fall{"-2147483649", {}}, Fall{"99999999999999999999", {}}})
        EXPECT_EQ(alsGanzzahl(text), zahl) << text;
}

TEST(Cp1252, RoundTripOfEveryByte) {
    std::string alle;
    for (int b = 0; b < 256; ++b)
        alle += static_cast<char>(b);
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(alle)), alle);
    EXPECT_EQ(cp1252ToUtf8("\x80"), "\xE2\x82\xAC"); // euro sign
    EXPECT_EQ(utf8ToCp1252("\xE4\xB8\xAD"), "?");    // not in Windows-1252
}

} // namespace
} // namespace tafelbot

#include <gtest/gtest.h>

#include "settings/Cp1252.h"
#include "settings/DatumText.h"
#include "support/RecordingUi.h"

namespace tafelbot {
namespace {

using testing::RecordingUi;

TEST(Datum, TextOfCalendarDates) {
    EXPECT_EQ(DatumZuText(*datumZeitAus(2004, 3, 5)), "20040305");
    EXPECT_EQ(DatumZuText(DatumZeit{}), "18991230");  // the zero value
    EXPECT_EQ(DatumZuText(*datumZeitAus(2004, 2, 28)).size(), 8u);
}

TEST(Datum, Str2DateTimeAcceptsLeapDaysAtTenPastTen) {
    RecordingUi ui;
    DatumZeit d = Str2DateTime("20040229", ui);
    EXPECT_EQ(DatumZuText(d), "20040229");
    EXPECT_EQ(d.sekunde, 10 * 3600 + 10 * 60 + 10);
    EXPECT_EQ(DatumZuText(Str2DateTime("20000229", ui)), "20000229");  // divisible by 400
    EXPECT_TRUE(ui.boxes.empty());
}

TEST(Datum, Str2DateTimeReportsImpossibleDatesAndGivesZero) {
    for (std::string text : {"20030229", "19000229", "20041301", "20040431", "2004022", "",
                             "2004a229", "200402290", "00000101", "20040200"}) {
        RecordingUi ui;
        EXPECT_EQ(Str2DateTime(text, ui), DatumZeit{}) << text;
        ASSERT_EQ(ui.boxes.size(), 1u) << text;
        EXPECT_EQ(ui.boxes[0], (RecordingUi::Box{
                                   "error", "Str2DateTime(): Falsches Datumsformat in der "
                                            "Zeichenkette \"" + text + "\""}));
    }
}

TEST(Datum, RoundTripOverEveryDayFrom1990To2040) {
    RecordingUi ui;
    DatumZeit d = *datumZeitAus(1990, 1, 1, 10, 10, 10);
    DatumZeit ende = *datumZeitAus(2040, 12, 31, 10, 10, 10);
    int tage = 0;
    for (; d.tag <= ende.tag; d = d.plusTage(1), ++tage) {
        std::string text = DatumZuText(d);
        ASSERT_EQ(Str2DateTime(text, ui), d) << text;
    }
    EXPECT_EQ(tage, 18628);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST(Datum, WeekdayNames) {
    EXPECT_EQ(WochentagName(*datumZeitAus(2004, 2, 22)), "Sonntag");
    EXPECT_EQ(WochentagName(*datumZeitAus(2004, 2, 20)), "Freitag");
    EXPECT_EQ(WochentagName(*datumZeitAus(2026, 12, 5)), "Samstag");
    EXPECT_EQ(wochentag(*datumZeitAus(2004, 2, 23)), 1);
}

TEST(LiesFeld, QuotedFieldsKeepTheirCommas) {
    std::string zeile = "Uk,\"5a,5b\",7c,,\"x\"y,\"z\"\"";
    EXPECT_EQ(LiesFeld(zeile, ',', 1), "Uk");
    EXPECT_EQ(LiesFeld(zeile, ',', 2), "5a,5b");
    EXPECT_EQ(LiesFeld(zeile, ',', 3), "7c");
    EXPECT_EQ(LiesFeld(zeile, ',', 4), "");
    EXPECT_EQ(LiesFeld(zeile, ',', 5), "\"x\"y");  // not enclosed: the quotes stay
    EXPECT_EQ(LiesFeld(zeile, ',', 6), "z\"");     // only the one enclosing pair goes
    EXPECT_EQ(LiesFeld(zeile, ',', 7), "");
    EXPECT_EQ(LiesFeld("", ',', 1), "");
    EXPECT_EQ(LiesFeld("a,b", ',', 0), "");
    EXPECT_EQ(LiesFeld("\"\"", ',', 1), "");
}

TEST(Ganzzahl, DecimalWithLeadingBlanksAndOverflowRefused) {
    EXPECT_EQ(alsGanzzahl("  42"), 42);
    EXPECT_EQ(alsGanzzahl("-7"), -7);
    EXPECT_EQ(alsGanzzahl("+7"), 7);
    EXPECT_EQ(alsGanzzahl("2147483647"), 2147483647);
    EXPECT_EQ(alsGanzzahl("-2147483648"), -2147483647 - 1);
    for (auto text : {"", " ", "-", "4 2", "42 ", "0x10", "2147483648", "-2147483649",
                      "99999999999999999999"})
        EXPECT_FALSE(alsGanzzahl(text).has_value()) << text;
}

TEST(Cp1252, RoundTripOfEveryByte) {
    std::string alle;
    for (int b = 0; b < 256; ++b)
        alle += static_cast<char>(b);
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(alle)), alle);
    EXPECT_EQ("für"_cp, "f\xFC" "r");
    EXPECT_EQ(cp1252ToUtf8("\x80"), "\xE2\x82\xAC");  // euro sign
    EXPECT_EQ(utf8ToCp1252("\xE2\x82\xAC"), "\x80");
    EXPECT_EQ(utf8ToCp1252("\xE4\xB8\xAD"), "?");  // not in Windows-1252
}

}  // namespace
}  // namespace tafelbot

#include "mail/SendDriver.h"

#include "settings/Cp1252.h"

#include <gtest/gtest.h>

namespace tafelbot {
namespace {

TVZeile zeile(const std::string& vertreter, int lehrerIndex, const std::string& schluessel) {
    TVZeile z;
    z.Vertreter = vertreter;
    z.LehrerIndex = lehrerIndex;
    z.HatEMail = z.Senden = true;
    z.Schluessel = schluessel;
    return z;
}

// With long names two teachers can show the same name; each gets a list entry, a mail and
// records of their own, and sending to one leaves the other marked.
TEST(SendQueueTest, TeachersOfOneSurnameStayApart) {
    Plan plan;
    plan.Lehrer = {{true, "MUE", "Müller"_cp, "Anna", "a@x"},
                   {true, "MUL", "Müller"_cp, "Carl", "c@x"}};
    Zeilenliste zeilen;
    zeilen.Zeilen = {zeile("Müller"_cp, 1, "20261207,5,,MUL,\"7a\",,,,0"),
                     zeile("Müller"_cp, 0, "20261207,2,,MUE,\"5b\",,,,0")};
    zeilen.ZeilenFolge = {1, 0};
    EXPECT_EQ(empfaengerListe(zeilen, plan), "          1.   Anna Müller\n\r"
                                             "          2.   Carl Müller"_cp);
    EXPECT_EQ(naechsteZuSendendeZeile(zeilen), 1);

    std::vector<std::string> records;
    versandAufzeichnen(records, zeilen, 1, "20261207", "MUE", "202612070645");
    EXPECT_EQ(records, (std::vector<std::string>{"20261207,2,,MUE,\"5b\",,,,0,202612070645"}));
    EXPECT_TRUE(zeilen.Zeilen[0].Senden && !zeilen.Zeilen[0].Gesendet);
    EXPECT_EQ(naechsteZuSendendeZeile(zeilen), 0);
}

} // namespace
} // namespace tafelbot

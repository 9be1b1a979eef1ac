#include "mail/SendDriver.h"

#include "settings/Cp1252.h"

#include <gtest/gtest.h>

namespace tafelbot {
namespace {

TVZeile zeile(const std::string& vertreter, int lehrerIndex, const std::string& schluessel,
              bool senden = true) {
    TVZeile z;
    z.Vertreter = vertreter;
    z.LehrerIndex = lehrerIndex;
    z.HatEMail = lehrerIndex >= 0;
    z.Senden = senden;
    z.Geaendert = senden;
    z.Schluessel = schluessel;
    return z;
}

class SendQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        plan.Lehrer = {{true, "MUE", "Müller"_cp, "Anna", "a@x"},
                       {true, "SCH", "Schmidt", "Bernd", "b@x"},
                       {true, "MUL", "Müller"_cp, "Carl", "c@x"},
                       {false, "OHN", "Ohne", "Otto", ""}};
        zeilen.Zeilen = {zeile("Schmidt", 1, "20261207,1,,SCH,\"5a\",,,,0"),
                         zeile("Müller"_cp, 0, "20261207,2,,MUE,\"5b\",,,,0"),
                         zeile("Ohne", 3, "20261207,3,,OHN,\"5c\",,,,0"),
                         zeile("Müller"_cp, 0, "20261207,4,,MUE,\"6a\",,,,1"),
                         zeile("Müller"_cp, 2, "20261207,5,,MUL,\"7a\",,,,0")};
        zeilen.Zeilen[2].HatEMail = false;
        zeilen.ZeilenFolge = {3, 1, 0, 2, 4};
    }

    Plan plan;
    Zeilenliste zeilen;
};

TEST_F(SendQueueTest, ListNamesEachMarkedTeacherOnceInDisplayOrder) {
    EXPECT_EQ(empfaengerListe(zeilen, plan), "          1.   Anna Müller\n\r"
                                             "          2.   Bernd Schmidt\n\r"
                                             "          3.   Carl Müller"_cp);
    EXPECT_EQ(naechsteZuSendendeZeile(zeilen), 3);

    zeilen.Zeilen[3].Senden = zeilen.Zeilen[1].Senden = false;
    zeilen.Zeilen[4].Senden = false;
    EXPECT_EQ(empfaengerListe(zeilen, plan), "          1.   Bernd Schmidt");
    EXPECT_EQ(naechsteZuSendendeZeile(zeilen), 0);

    zeilen.Zeilen[0].Senden = false;
    zeilen.Zeilen[2].Senden = true; // marked, but the teacher has no address
    EXPECT_EQ(empfaengerListe(zeilen, plan), "");
    EXPECT_EQ(naechsteZuSendendeZeile(zeilen), -1);
}

TEST_F(SendQueueTest, RecordingReplacesTheTeachersRecordsOfTheDateInDateOrder) {
    std::vector<std::string> records = {
        "20261208,1,,MUE,\"5a\",,,,0,202612071500", // later date: stays first
        "20261207,9,,MUE,\"9a\",,,,0,202612061200", // earlier mail of this teacher: goes
        "20261207,1,,SCH,\"5a\",,,,0,202612061200", // another teacher: stays
        "20261207,7,,MUE,\"8a\",,,,0,202612061200", // goes
        "20261204,1,,MUE,\"5a\",,,,0,202612031200", // earlier date: stays last
    };
    versandAufzeichnen(records, zeilen, 3, "20261207", "MUE", "202612070645");

    EXPECT_EQ(records, (std::vector<std::string>{
                           "20261208,1,,MUE,\"5a\",,,,0,202612071500",
                           "20261207,4,,MUE,\"6a\",,,,1,202612070645",
                           "20261207,2,,MUE,\"5b\",,,,0,202612070645",
                           "20261207,1,,SCH,\"5a\",,,,0,202612061200",
                           "20261204,1,,MUE,\"5a\",,,,0,202612031200",
                       }));
    for (int i : {1, 3}) {
        EXPECT_FALSE(zeilen.Zeilen[i].Senden);
        EXPECT_TRUE(zeilen.Zeilen[i].Gesendet);
        EXPECT_FALSE(zeilen.Zeilen[i].Geaendert);
    }
    // The other Müller and Schmidt keep their marks.
    EXPECT_TRUE(zeilen.Zeilen[4].Senden);
    EXPECT_TRUE(zeilen.Zeilen[0].Senden);
    EXPECT_FALSE(zeilen.Zeilen[4].Gesendet);

    // Into an empty list, and after records of later dates only.
    std::vector<std::string> leer;
    versandAufzeichnen(leer, zeilen, 0, "20261207", "SCH", "202612070646");
    EXPECT_EQ(leer, (std::vector<std::string>{"20261207,1,,SCH,\"5a\",,,,0,202612070646"}));
}

TEST(SendAddressTest, LineBreaksAndNulAreFound) {
    EXPECT_FALSE(hatZeilenumbruch("anna@schule.test"));
    EXPECT_TRUE(hatZeilenumbruch("anna@schule.test\r\nBcc: x@y"));
    EXPECT_TRUE(hatZeilenumbruch("anna@schule.test\n"));
    EXPECT_TRUE(hatZeilenumbruch(std::string("a\0b", 3)));
}

} // namespace
} // namespace tafelbot

#include "core/ServerSettingsModel.h"

#include "settings/Cp1252.h"
#include "support/RecordingUi.h"

#include <gtest/gtest.h>

namespace tafelbot {
namespace {

const std::string GekuerztMeldung =
    "Der eingegebene Zusatztext besteht aus mehr als 255 Zeichen!\n\rDer Text musste gekürzt werden."_cp;

std::string saveText(const std::vector<std::string>& zeilen, testing::RecordingUi& ui) {
    ServerSettingsModel model;
    model.Zusatztext = zeilen;
    TEinstellungen server;
    model.uebernehmen(server, ui);
    EXPECT_EQ(model.Zusatztext, std::vector<std::string>{server.Zusatztext});
    return server.Zusatztext;
}

TEST(ServerSettingsModel, AdditionalTextIsJoinedIntoOneLineOfAtMost254Characters) {
    testing::RecordingUi ui;
    EXPECT_EQ(saveText({"  Erste Zeile ", "zweite  ", "   dritte"}, ui),
              "Erste Zeile zweite dritte");
    EXPECT_EQ(saveText({"a", "", "b"}, ui), "a  b"); // an empty line keeps its separator
    EXPECT_EQ(saveText({}, ui), "");
    EXPECT_EQ(saveText({std::string(254, 'x')}, ui), std::string(254, 'x'));
    EXPECT_TRUE(ui.boxes.empty());

    EXPECT_EQ(saveText({std::string(255, 'x')}, ui), std::string(254, 'x'));
    ASSERT_EQ(ui.boxTexts("info"), std::vector<std::string>{GekuerztMeldung});

    // The separator counts: 254 characters and one more (even empty) line reach the limit.
    ui.boxes.clear();
    EXPECT_EQ(saveText({std::string(254, 'x'), ""}, ui), std::string(254, 'x'));
    EXPECT_EQ(ui.boxes.size(), 1u);

    // Lines after the cut are dropped; umlauts count as one character each.
    ui.boxes.clear();
    const std::string ae = "ä"_cp;
    const std::string zeile(200, ae[0]);
    const std::string ergebnis = saveText({zeile, std::string(100, 'y'), "weg"}, ui);
    EXPECT_EQ(ergebnis, zeile + " " + std::string(53, 'y'));
    EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST(ServerSettingsModel, ListsAreSavedByExactTextAndLoadedByIndex) {
    testing::RecordingUi ui;
    ServerSettingsModel model;
    TEinstellungen server;
    server.Authentifizierung = 4;
    server.Prioritaet = 5;
    model.laden(server);
    EXPECT_EQ(model.Authentifizierung, "CramSHA1");
    EXPECT_EQ(model.Prioritaet, "Lowest");

    model.Authentifizierung = "AutoSelect";
    model.Prioritaet = "Normal";
    model.uebernehmen(server, ui);
    EXPECT_EQ(server.Authentifizierung, 5);
    EXPECT_EQ(server.Prioritaet, 3);

    model.Authentifizierung = "login"; // case matters
    model.Prioritaet = "";
    model.uebernehmen(server, ui);
    EXPECT_EQ(server.Authentifizierung, 0);
    EXPECT_EQ(server.Prioritaet, 0);

    server.Authentifizierung = 9; // an index no item has loads as no text and saves as 0
    model.laden(server);
    EXPECT_EQ(model.Authentifizierung, "");
    model.uebernehmen(server, ui);
    EXPECT_EQ(server.Authentifizierung, 0);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST(ServerSettingsModel, FieldsRoundTripAndThePasswordFollowsItsBox) {
    testing::RecordingUi ui;
    TEinstellungen server;
    server.Absendername = "Schule";
    server.SmtpServer = "127.0.0.1";
    server.Port = "kein Port"; // stays text; the send run checks it
    server.Kontoname = "konto";
    server.Kennwort = "geheim";
    server.Anmeldename = "anmelden";
    server.Absender = "a@b.de";
    server.AntwortAn = "c@d.de";
    server.KopieAn = "kopie@d.de";
    server.Zusatztext = "Gruß"_cp;
    server.KopieSenden = true;
    server.ZusatztextAnhaengen = true;

    ServerSettingsModel model;
    model.laden(server);
    EXPECT_TRUE(model.kennwortAktiv());
    EXPECT_TRUE(model.kopieAnAktiv());
    TEinstellungen kopie;
    model.uebernehmen(kopie, ui);
    EXPECT_EQ(kopie.Absendername, "Schule");
    EXPECT_EQ(kopie.SmtpServer, "127.0.0.1");
    EXPECT_EQ(kopie.Port, "kein Port");
    EXPECT_EQ(kopie.Kontoname, "konto");
    EXPECT_EQ(kopie.Kennwort, "geheim");
    EXPECT_EQ(kopie.Anmeldename, "anmelden");
    EXPECT_EQ(kopie.Absender, "a@b.de");
    EXPECT_EQ(kopie.AntwortAn, "c@d.de");
    EXPECT_EQ(kopie.KopieAn, "kopie@d.de");
    EXPECT_EQ(kopie.Zusatztext, "Gruß"_cp);
    EXPECT_TRUE(kopie.KopieSenden);
    EXPECT_TRUE(kopie.ZusatztextAnhaengen);
    EXPECT_TRUE(kopie.KennwortSpeichern);

    model.kennwortSpeichernGeklickt(false);
    EXPECT_FALSE(model.kennwortAktiv());
    EXPECT_EQ(model.Kennwort, "");
    model.uebernehmen(kopie, ui);
    EXPECT_EQ(kopie.Kennwort, "");
    EXPECT_FALSE(kopie.KennwortSpeichern);

    server.KennwortSpeichern = false; // a record without a saved password shows none
    model.laden(server);
    EXPECT_EQ(model.Kennwort, "");
}

TEST(ServerSettingsModel, TeacherListChoosesAddressesAndClearsFields) {
    testing::RecordingUi ui;
    Plan plan;
    plan.Lehrer = {{false, "?", "Platzhalter", "", ""},
                   {true, "HUB", "Huber", "Anna", "huber@schule.de"},
                   {false, "*", "Stern", "", ""},
                   {false, "MEI", "Meier", "Jörg"_cp, ""}};
    ServerSettingsModel model;
    model.lehrerGewaehlt(0, plan, ui);
    EXPECT_EQ(model.Empfaenger, "huber@schule.de");
    model.lehrerGewaehlt(1, plan, ui);
    EXPECT_EQ(model.Empfaenger, "huber@schule.de"); // unchanged
    EXPECT_EQ(
        ui.boxTexts("info"),
        std::vector<std::string>{"Für Lehrer \"Meier\" ist keine eMail-Adresse vorhanden!"_cp});
    model.lehrerGewaehlt(2, plan, ui); // beyond the list
    model.lehrerGewaehlt(-1, plan, ui);
    EXPECT_EQ(ui.boxes.size(), 1u);

    EXPECT_EQ(model.Betreff, "Vertretungspläne (Test-eMail)"_cp);
    EXPECT_EQ(model.MailText.size(), 10u);
    model.LehrerText = "+ Huber";
    model.felderLoeschen();
    EXPECT_EQ(model.Empfaenger, "");
    EXPECT_EQ(model.Betreff, "");
    EXPECT_EQ(model.LehrerText, "");
    EXPECT_TRUE(model.MailText.empty());
}

} // namespace
} // namespace tafelbot

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

TEST(ServerSettingsModel, UntickingTheSaveBoxDropsThePassword) {
    testing::RecordingUi ui;
    TEinstellungen server;
    server.Kennwort = "geheim";
    ServerSettingsModel model;
    model.laden(server);
    model.kennwortSpeichernGeklickt(false);
    EXPECT_FALSE(model.kennwortAktiv());
    model.uebernehmen(server, ui);
    EXPECT_EQ(server.Kennwort, "");
    EXPECT_FALSE(server.KennwortSpeichern);

    server.Kennwort = "getippt"; // a record without a saved password shows none
    model.laden(server);
    EXPECT_EQ(model.Kennwort, "");
}

} // namespace
} // namespace tafelbot

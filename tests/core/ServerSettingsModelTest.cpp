#include "core/ServerSettingsModel.h"

#include "settings/Cp1252.h"
#include "support/RecordingUi.h"

#include <gtest/gtest.h>
#include <tuple>

namespace tafelbot {
namespace {

using Boxen = std::vector<testing::RecordingUi::Box>;

const std::string GekuerztMeldung =
    "Der eingegebene Zusatztext besteht aus mehr als 255 Zeichen!\n\rDer Text musste gekürzt werden."_cp;

// Lines are trimmed and joined by one blank (an empty line keeps its separator), cut at 254
// characters with a message; lines after the cut are dropped, umlauts count as one character.
TEST(ServerSettingsModel, AdditionalTextIsJoinedIntoOneLineOfAtMost254Characters) {
    const std::string x254(254, 'x');
    const std::string ae200(200, "ä"_cp[0]);
    const std::vector<std::tuple<std::vector<std::string>, std::string, bool>> faelle = {
        {{"  Erste Zeile ", "zweite  ", "   dritte"}, "Erste Zeile zweite dritte", false},
        {{"a", "", "b"}, "a  b", false},
        {{}, "", false},
        {{x254}, x254, false},
        {{std::string(255, 'x')}, x254, true},
        {{x254, ""}, x254, true}, // the separator counts
        {{ae200, std::string(100, 'y'), "weg"}, ae200 + " " + std::string(53, 'y'), true},
    };
    for (const auto& [zeilen, text, gekuerzt] : faelle) {
        testing::RecordingUi ui;
        ServerSettingsModel model;
        model.Zusatztext = zeilen;
        TEinstellungen server;
        model.uebernehmen(server, ui);
        EXPECT_EQ(server.Zusatztext, text);
        EXPECT_EQ(model.Zusatztext, std::vector<std::string>{text});
        EXPECT_EQ(ui.boxes, (gekuerzt ? Boxen{{"info", GekuerztMeldung}} : Boxen{}));
    }
}

// Every list field walks the same rows (the priority: tests/gui/DialogTest.cpp). An index no
// item has loads as no text; a text no item has (case matters) saves as 0.
TEST(ServerSettingsModel, ListsAreLoadedByIndexAndSavedByExactText) {
    testing::RecordingUi ui;
    for (const auto& [index, geladen, getippt, gespeichert] :
         std::vector<std::tuple<int, std::string, std::string, int>>{
             {4, "CramSHA1", "AutoSelect", 5}, {9, "", "login", 0}, {1, "Plain", "", 0}}) {
        TEinstellungen server;
        server.Authentifizierung = index;
        ServerSettingsModel model;
        model.laden(server);
        EXPECT_EQ(model.Authentifizierung, geladen);
        model.Authentifizierung = getippt;
        model.uebernehmen(server, ui);
        EXPECT_EQ(server.Authentifizierung, gespeichert);
    }
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

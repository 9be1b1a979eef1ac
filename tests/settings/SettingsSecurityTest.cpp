// The connection-security settings in the settings file: Name=Value lines between the
// deletion-days value and the server block, which older versions skip and whose absence gives
// the defaults.

#include "platform/Platform.h"
#include "settings/Cp1252.h"
#include "settings/SettingsFile.h"
#include "support/RecordingUi.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace tafelbot {
namespace {

using testing::RecordingUi;
using Zeilen = std::vector<std::string>;

const std::string TageKommentar = "* Nach wie vielen Tagen";
const std::string ServerKommentar = "* Mailserver-Einstellungen";

Zeilen zeilenVon(const std::string& text) {
    Zeilen zeilen;
    for (std::size_t a = 0, e; (e = text.find("\r\n", a)) != std::string::npos; a = e + 2)
        zeilen.push_back(text.substr(a, e - a));
    return zeilen;
}

std::string dateiAus(const Zeilen& zeilen) {
    std::string text;
    for (const auto& z : zeilen)
        text += z + "\r\n";
    return text;
}

std::size_t finde(const Zeilen& zeilen, const std::string& anfang) {
    for (std::size_t i = 0; i < zeilen.size(); ++i)
        if (zeilen[i].rfind(anfang, 0) == 0)
            return i;
    ADD_FAILURE() << anfang;
    return 0;
}

class StillClock : public platform::Clock {
public:
    platform::CivilTime localNow() override { return {2026, 12, 7, 7, 0, 0, 0, 1}; }
    std::optional<platform::CivilTime> utcNow() override { return localNow(); }
    std::uint32_t tickCount() override { return 0; }
};

class SecuritySettingsTest : public ::testing::Test {
protected:
    void SetUp() override { platform::setClockForTesting(&uhr); }
    void TearDown() override { platform::setClockForTesting(nullptr); }

    bool lies(const std::string& inhalt) {
        testing::writeFile(pfad, inhalt);
        werte = Einstellungen();
        return IniLesen(werte, pfad, ui);
    }
    // A file of the given values, with a sent-mail record after the server block.
    Zeilen dateiMit(const TEinstellungen& server) {
        Einstellungen e;
        setzeStandardwerte(e);
        e.Server = server;
        e.GesendeteMails = {satz};
        return zeilenVon(iniInhalt(e));
    }

    StillClock uhr;
    testing::TempDir dir;
    std::string pfad = dir.file("Tafelbot.ini");
    RecordingUi ui;
    Einstellungen werte;
    const std::string satz = "20261207,3,D,MUE,\"5a\",R1,,,0,202612070645";
};

TEST_F(SecuritySettingsTest, AFileOfAnOlderVersionReadsWithTheDefaults) {
    TEinstellungen server;
    server.Verbindungssicherheit = 3;
    server.ZertifikatUngeprueftAnnehmen = true;
    server.ZusatzCaDatei = "/etc/schule/ca.pem";
    Zeilen datei = dateiMit(server);
    // An older version knows nothing between the days value and the server comment.
    std::size_t tage = finde(datei, TageKommentar) + 1;
    datei.erase(datei.begin() + static_cast<long>(tage) + 2,
                datei.begin() + static_cast<long>(finde(datei, ServerKommentar)));
    ASSERT_TRUE(lies(dateiAus(datei)));
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(werte.Server.Verbindungssicherheit, 0);
    EXPECT_FALSE(werte.Server.ZertifikatUngeprueftAnnehmen);
    EXPECT_EQ(werte.Server.ZusatzCaDatei, "");
    EXPECT_EQ(werte.Server.Authentifizierung, 2);
    EXPECT_EQ(werte.GesendeteMails, Zeilen{satz});
}

TEST_F(SecuritySettingsTest, NewValuesRoundTripWhereAnOlderReaderSkipsThem) {
    for (int sicherheit = 0; sicherheit < 4; ++sicherheit) {
        SCOPED_TRACE(sicherheit);
        TEinstellungen server;
        server.Verbindungssicherheit = sicherheit;
        server.ZertifikatUngeprueftAnnehmen = sicherheit % 2 == 1;
        server.ZusatzCaDatei =
            sicherheit == 2 ? "C:\\Schule\\Zertifikate\\Stammzertifikat für SMTP.pem"_cp : "";
        server.Absendername = "Sekretariat";
        Zeilen datei = dateiMit(server);
        ASSERT_TRUE(lies(dateiAus(datei)));
        EXPECT_TRUE(ui.boxes.empty());
        EXPECT_EQ(werte.Server.Verbindungssicherheit, sicherheit);
        EXPECT_EQ(werte.Server.ZertifikatUngeprueftAnnehmen, server.ZertifikatUngeprueftAnnehmen);
        EXPECT_EQ(werte.Server.ZusatzCaDatei, server.ZusatzCaDatei);
        EXPECT_EQ(werte.Server.Absendername, "Sekretariat");
        EXPECT_EQ(werte.GesendeteMails, Zeilen{satz});
        EXPECT_EQ(iniInhalt(werte), dateiAus(datei));

        // The reader of older versions: after the days value it skips every line up to the
        // first that begins with "*"; the server block follows that one.
        std::size_t tage = finde(datei, TageKommentar) + 1;
        std::size_t kommentar = tage + 1;
        while (datei[kommentar].empty() || datei[kommentar][0] != '*')
            ++kommentar;
        EXPECT_EQ(datei[kommentar].rfind(ServerKommentar, 0), 0u);
        EXPECT_EQ(datei[kommentar + 1], "Sekretariat");
        EXPECT_GT(kommentar, tage + 3) << "the new lines are missing";
    }
}

TEST_F(SecuritySettingsTest, BadValuesAreReportedUnknownLinesKeptAndSpellingForgiven) {
    Zeilen datei = dateiMit(TEinstellungen());
    std::size_t server = finde(datei, ServerKommentar);
    datei.insert(datei.begin() + static_cast<long>(server),
                 {"Verbindungssicherheit=irgendwie", "ZertifikatUngeprueftAnnehmen=ja",
                  "Zukunft=einstellung einer neueren Version"});
    ASSERT_TRUE(lies(dateiAus(datei)));
    EXPECT_EQ(ui.boxTexts("error").size(), 2u);
    EXPECT_NE(ui.boxTexts("error").at(0).find(
                  "Falsche Daten in der Einstellung \"Verbindungssicherheit=irgendwie\"!"),
              std::string::npos);
    EXPECT_NE(ui.boxTexts("error").at(1).find(
                  "Falsche Daten in der Einstellung \"ZertifikatUngeprueftAnnehmen=ja\"!"),
              std::string::npos);
    EXPECT_EQ(werte.Server.Verbindungssicherheit, 0);
    EXPECT_FALSE(werte.Server.ZertifikatUngeprueftAnnehmen);
    EXPECT_EQ(werte.GesendeteMails, Zeilen{satz});
    // The line of a newer version survives a save, before the server block.
    Zeilen geschrieben = zeilenVon(iniInhalt(werte));
    EXPECT_EQ(geschrieben.at(finde(geschrieben, ServerKommentar) - 2),
              "Zukunft=einstellung einer neueren Version");

    ui = RecordingUi();
    datei = dateiMit(TEinstellungen());
    server = finde(datei, ServerKommentar);
    datei.insert(datei.begin() + static_cast<long>(server),
                 {"  Verbindungssicherheit =  starttls ", "ZertifikatUngeprueftAnnehmen= 1"});
    ASSERT_TRUE(lies(dateiAus(datei)));
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(werte.Server.Verbindungssicherheit, 2);
    EXPECT_TRUE(werte.Server.ZertifikatUngeprueftAnnehmen);
}

} // namespace
} // namespace tafelbot

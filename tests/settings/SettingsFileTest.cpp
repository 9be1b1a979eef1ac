#include "settings/SettingsFile.h"

#include "platform/Platform.h"
#include "settings/Cp1252.h"
#include "settings/FixeTexte.h"
#include "settings/Kennwort.h"
#include "support/RecordingUi.h"
#include "support/TestFiles.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace tafelbot {
namespace {

using testing::RecordingUi;

class FixedClock : public platform::Clock {
public:
    platform::CivilTime localNow() override { return {2004, 10, 20, 8, 15, 0, 0, 3}; }
    std::optional<platform::CivilTime> utcNow() override { return localNow(); }
    std::uint32_t tickCount() override { return 0; }
};

using Zeilen = std::vector<std::string>;

Zeilen zeilenVon(const std::string& text) {
    Zeilen zeilen;
    std::size_t anfang = 0;
    for (std::size_t ende; (ende = text.find("\r\n", anfang)) != std::string::npos;
         anfang = ende + 2)
        zeilen.push_back(text.substr(anfang, ende - anfang));
    EXPECT_EQ(anfang, text.size()) << "every line ends in CR LF";
    return zeilen;
}

std::string dateiAus(const Zeilen& zeilen, const std::string& ende = "\r\n") {
    std::string text;
    for (const auto& z : zeilen)
        text += z + ende;
    return text;
}

std::size_t zeileNach(const Zeilen& zeilen, const std::string& kommentar, std::size_t n = 1) {
    for (std::size_t i = 0; i < zeilen.size(); ++i) {
        if (zeilen[i].rfind(kommentar, 0) == 0)
            return i + n;
    }
    ADD_FAILURE() << "no line " << kommentar;
    return 0;
}

const std::string Server = "* Mailserver-Einstellungen";
const std::string Reihenfolge = "* Vtr-Nr.|Datum|Stunde|(Fach)|Fach|(Lehrer)|Vertreter|Klasse(n)|"
                                "Raum|Vertr. von|Text|Mitbetreuung|eMail|gesendet|geandert|";

class IniTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::setClockForTesting(&uhr);
        Einstellungen standard;
        setzeStandardwerte(standard);
        datei = zeilenVon(iniInhalt(standard));
        datei.back() = satz;
        datei.push_back("");
    }
    void TearDown() override { platform::setClockForTesting(nullptr); }

    bool lies(const std::string& inhalt) {
        testing::writeFile(pfad, inhalt);
        return IniLesen(werte, pfad, ui);
    }
    bool lies() { return lies(dateiAus(datei)); }
    void setze(const std::string& kommentar, const std::string& wert, std::size_t n = 1) {
        datei[zeileNach(datei, kommentar, n)] = wert;
    }
    // The error boxes without the prefix that names the file.
    Zeilen fehler() const {
        std::string praefix = "Fehler beim Lesen der Datei \"" + pfad + "\".\n\r";
        Zeilen texte;
        for (const auto& text : ui.boxTexts("error")) {
            EXPECT_EQ(text.substr(0, praefix.size()), praefix);
            texte.push_back(cp1252ToUtf8(text.substr(std::min(praefix.size(), text.size()))));
        }
        return texte;
    }

    FixedClock uhr;
    testing::TempDir dir;
    std::string pfad = dir.file("Tafelbot.ini");
    RecordingUi ui;
    Einstellungen werte;
    const std::string satz = "20041020,3,D,MUE,\"5a,5b\",R1,,,0,200410190730";
    Zeilen datei; // the default file with one sent-mail record
};

TEST_F(IniTest, DefaultsAreWrittenInTheFixedLayout) {
    Zeilen erwartet = {
        "* Einstellungs-Datei für das Programm " + cp1252ToUtf8(FixeTexte::programmNameVersion()) +
            " von " + cp1252ToUtf8(FixeTexte::autorZeile()),
        "",
        "* gp-Untis-Datei:",
        "et",
        "",
        "* aktuelles Datum:",
        "20041020",
        "",
        "* Periode:",
        "1",
        "",
        "* Fehlermedlung beim Daten-Einlesen? (0/1):",
        "1",
        "",
        "* Samstags-Schule? (0/1):",
        "0",
        "",
        "* Verwenden der Lehrer-Langnamen in der Tabelle? (0/1):",
        "1",
        "",
        "* Soll bei einer Verlegung am selben Tag das Datum mit angegeben werden? (0/1):",
        "0",
        "",
        "* Zusatzinformation zum internen Gebrauch:",
        "v1.3",
        "",
        "* Reihenfolge der folgenden Kategorien in der Tabelle (0: erscheint nicht):",
        Reihenfolge,
        "0,0,2,7,9,6,1,3,8,5,4,10,11,12,13",
        "",
        "* Spaltenbreiten der folgenden Kategorien in der Tabelle (Summe muss <= 770 sein!):",
        "* Vtr-Nr.|Datum|Stunde|(Fach)|Fach|(Lehrer)|Vertreter|Klasse(n)|Raum|Vertr. von|Text|"
        "Mitbetreuung|eMail|gesendet|geaendert|",
        "35,0,40,35,35,100,100,60,50,70,40,67,40,50,48",
        "",
        "* Überschriften der folgenden Kategorien in der eMail-Tabelle:",
        "* Vtr-Nr.|Datum|Stunde|(Fach)|Fach|(Lehrer)|Vertreter|Klasse(n)|Raum|Vertr. von|Text|"
        "Mitbetreuung|",
        "Nr,Datum,Std.,statt Fach,Fach,Vertr. für,Vertretung,Klasse,Raum,verlegt von,Text,"
        "Mitbetreuung",
        "",
        "* Nach wie vielen Tagen sollen die Informationen über gesendete eMails gelöscht "
        "werden?",
        "30",
        "",
        "* Mailserver-Einstellungen (15 Zeilen entsprechend dem Einstellungsfenster):",
        "Vertretungsplaner",
        "smtp.web.de",
        "25",
        "vertretungsplaner@web.de",
        "1",
        "(Kennwort)",
        "Vertretungsplaner",
        "vertretungsplaner@web.de",
        "bitte.eigene.Adresse@eintragen.invalid",
        "2",
        "0",
        "0",
        "",
        "0",
        "Hier können Sie zusätzlichen Text eingeben, der an das Ende jeder gesendeten "
        "Vertretungsplan-Mail angehängt wird (max. 255 Zeichen).",
        "",
        "* Bisher gesendete eMails:",
        ""};
    for (auto& z : erwartet)
        z = utf8ToCp1252(z);
    datei.pop_back();
    datei.back() = "";
    std::size_t kennwort = zeileNach(datei, Server, 6);
    EXPECT_EQ(KennwortEntschluesseln(datei[kennwort], KennwortSchluessel), "qzkrwmtn4");
    datei[kennwort] = "(Kennwort)";
    EXPECT_EQ(datei, erwartet);
}

TEST_F(IniTest, RoundTripKeepsEveryByteAndThePasswordLine) {
    ASSERT_TRUE(lies());
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(werte.Server.Kennwort, "qzkrwmtn4");
    ASSERT_TRUE(IniSchreiben(werte, pfad, ui));
    EXPECT_EQ(testing::readFile(pfad), dateiAus(datei));

    // A new password gets a new line; written twice without change it stays the same.
    werte.Server.Kennwort = "neu\xe4";
    std::string erste = zeilenVon(iniInhalt(werte))[zeileNach(datei, Server, 6)];
    EXPECT_NE(erste, werte.GespeichertesKennwort);
    EXPECT_EQ(KennwortEntschluesseln(erste, KennwortSchluessel), "neu\xe4");
    EXPECT_EQ((erste.size() - 8) % 3, 0u);
    ASSERT_TRUE(IniSchreiben(werte, pfad, ui));
    ASSERT_TRUE(IniLesen(werte, pfad, ui));
    std::string gelesen = testing::readFile(pfad);
    ASSERT_TRUE(IniSchreiben(werte, pfad, ui));
    EXPECT_EQ(testing::readFile(pfad), gelesen);
    EXPECT_EQ(werte.Server.Kennwort, "neu\xe4");

    // Without "Kennwort speichern" the line is empty, and so is the password read back.
    werte.Server.KennwortSpeichern = false;
    ASSERT_TRUE(IniSchreiben(werte, pfad, ui));
    ASSERT_TRUE(IniLesen(werte, pfad, ui));
    EXPECT_EQ(werte.Server.Kennwort, "");
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(IniTest, MissingFileIsWrittenReadBackAndWelcomed) {
    ASSERT_TRUE(IniLesen(werte, pfad, ui));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].kind, "info");
    EXPECT_EQ(
        cp1252ToUtf8(ui.boxes[0].text),
        "Herzlich Willkommen beim Programm " + cp1252ToUtf8(FixeTexte::programmNameVersion()) +
            " von " + cp1252ToUtf8(FixeTexte::autorZeile()) +
            "!\n\r\n\rDie Einstellungen für dieses Programm finden Sie in der INI-Datei\n\r\"" +
            pfad +
            "\".\n\rDort können Sie Änderungen (z.B. Reihenfolge, Beschriftung oder Breite "
            "der Tabellenspalten) vornehmen.");
    EXPECT_EQ(testing::readFile(pfad), iniInhalt(werte));
    EXPECT_EQ(werte.AktDatum, "20041020");
    EXPECT_EQ(ui.redraws.back(), ViewPart::ServerSettings);

    // Where the file cannot be created: the write error, no welcome, no endless retry.
    RecordingUi zweites;
    std::string fehlt = dir.file("fehlt/Tafelbot.ini");
    EXPECT_FALSE(IniLesen(werte, fehlt, zweites));
    EXPECT_EQ(zweites.boxes,
              (std::vector<RecordingUi::Box>{
                  {"error", "Fehler beim Schreiben der Datei \"" + fehlt +
                                "\".\n\rSie haben evtl. keine Schreibberechtigung!"}}));
    EXPECT_EQ(werte.GpnDatei, "et");
}

TEST_F(IniTest, LineEndsBlanksAndCommentsDoNotMatter) {
    ASSERT_TRUE(lies());
    std::string erwartet = iniInhalt(werte);
    Zeilen locker;
    for (const auto& z : datei)
        locker.push_back(z.empty() ? z : (z[0] == '*' ? "   " + z : "  " + z + "   "));
    std::string text = dateiAus(locker, "\n");
    text.pop_back(); // the last line without its end
    ASSERT_TRUE(lies(text));
    EXPECT_EQ(iniInhalt(werte), erwartet);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(IniTest, OrderLineIsRenumberedIntoBothColumnLists) {
    ASSERT_TRUE(lies());
    using A = std::array<int, 15>;
    EXPECT_EQ(werte.Bildschirmspalten, (A{0, 6, 2, 7, 10, 9, 5, 3, 8, 4, 11, 12, 13, 14, -1}));
    EXPECT_EQ(werte.Mailspalten, (A{6, 2, 7, 10, 9, 5, 3, 8, 4, 11, -1, -1, -1, -1, -1}));

    setze(Reihenfolge, "5,0,5,0,0,0,0,0,0,0,0,0,0,0,0");
    ASSERT_TRUE(lies());
    EXPECT_EQ(werte.Reihenfolge, (A{1, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(werte.Bildschirmspalten,
              (A{0, 2, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}));
    EXPECT_EQ(werte.Mailspalten, (A{0, 2, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}));

    // Gaps close, blanks around the numbers are allowed, a 16th number is ignored.
    setze(Reihenfolge, "70, 0, 70 ,0,0,0,0,0,0,0,0,0,0,0,20,x");
    ASSERT_TRUE(lies());
    EXPECT_EQ(werte.Reihenfolge, (A{2, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(werte.Bildschirmspalten,
              (A{0, 14, 2, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}));
    EXPECT_EQ(werte.Mailspalten, (A{0, 2, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(IniTest, FaultsThatEndTheReadingKeepTheRestAtItsDefaults) {
    struct Fall {
        std::string kommentar;
        std::string wert;
        std::size_t n;
        std::string meldung;
    };
    for (const Fall& fall : std::vector<Fall>{
             {"* aktuelles Datum:", "2004102", 1, "Falsches Datum!"},
             {"* aktuelles Datum:", "200410200", 1, "Falsches Datum!"},
             {Reihenfolge, "0,0,2,7,9,6,1,3,8,5,4,10,11,12", 1,
              "Falsche Daten bei der Reihenfolge der Kategorien!"},
             {Reihenfolge, "0,0,2,7,9,6,1,3,8,5,4,10,11,12,1x", 1,
              "Falsche Daten bei der Reihenfolge der Kategorien!"},
             {"* Spaltenbreiten", "35,0,40", 2,
              "Falsche Daten bei den Spaltenbreiten der Kategorien!"},
         }) {
        SetUp();
        ui = RecordingUi();
        setze("* gp-Untis-Datei:", "plan.gpn");
        setze("* Nach wie vielen", "99");
        setze(fall.kommentar, fall.wert, fall.n);
        EXPECT_FALSE(lies()) << fall.wert;
        EXPECT_EQ(fehler(), Zeilen{fall.meldung}) << fall.wert;
        EXPECT_EQ(werte.GpnDatei, "plan.gpn");
        EXPECT_EQ(werte.LoeschTage, 30);
        EXPECT_EQ(werte.Reihenfolge[2], 2);
        EXPECT_EQ(werte.Server.Kennwort, "qzkrwmtn4");
        EXPECT_TRUE(werte.GesendeteMails.empty());
        EXPECT_EQ(testing::readFile(pfad), dateiAus(datei)) << "nothing is written back";
    }
}

TEST_F(IniTest, TruncatedFilesReportEachMissingLine) {
    const Zeilen ganz = datei;
    const std::size_t block = zeileNach(ganz, Server);
    for (std::size_t laenge : {zeileNach(ganz, "* Periode:", 2), block - 1, std::size_t{0}}) {
        ui = RecordingUi();
        datei.assign(ganz.begin(), ganz.begin() + static_cast<long>(laenge));
        EXPECT_FALSE(lies()) << laenge;
        EXPECT_EQ(fehler(), Zeilen{"Es fehlen wichtige Daten!"}) << laenge;
        EXPECT_TRUE(werte.GesendeteMails.empty());
    }

    // Inside the server block every missing line is reported; those present are in force.
    ui = RecordingUi();
    datei.assign(ganz.begin(), ganz.begin() + static_cast<long>(block) + 3);
    datei[block + 1] = "anderer.host";
    EXPECT_FALSE(lies());
    EXPECT_EQ(fehler(), Zeilen(12, "Es fehlen wichtige Daten!"));
    EXPECT_EQ(werte.Server.SmtpServer, "anderer.host");
    EXPECT_EQ(werte.Server.Kontoname, "vertretungsplaner@web.de");
    EXPECT_EQ(werte.Server.Kennwort, "qzkrwmtn4");
}

TEST_F(IniTest, BadValuesAreReportedAndReadingGoesOn) {
    setze("* Periode:", "x");
    setze("* Fehlermedlung", "ja");
    setze("* Samstags-Schule", "2");
    setze("* Verwenden der Lehrer", "true");
    setze("* Soll bei einer Verlegung", "-1");
    setze("* Nach wie vielen", "dreißig");
    for (auto [n, wert] : std::vector<std::pair<std::size_t, std::string>>{
             {4, "ja"}, {5, "12ab"}, {9, "7"}, {10, "x"}, {11, "2"}, {13, "1"}})
        setze(Server, wert, n + 1);
    ASSERT_TRUE(lies());
    EXPECT_EQ(fehler(),
              (Zeilen{"Falsche Integerzahl, die die Periode angibt.",
                      "Falsche Information über Fehlermeldung beim Daten-Einlesen!",
                      "Falsche Information über Samstagsschule!",
                      "Falsche Information über Lehrer-Langnamen!",
                      "Falsche Information über Datumsangabe bei Verlegung am selben Tag!",
                      "Falsche Zahl an Tagen, nach denen Infos über gesendete Mails "
                      "gelöscht werden!",
                      "Falsche Daten in Zeile 4 der Mailserver-Einstellungen!",
                      "Falsche Daten in Zeile 5 der Mailserver-Einstellungen!",
                      "Unerlaubte Zahl in Zeile 9 der Mailserver-Einstellungen!",
                      "Falsche Daten in Zeile 10 der Mailserver-Einstellungen!",
                      "Falsche Daten in Zeile 11 der Mailserver-Einstellungen!"}));
    EXPECT_EQ(werte.Periode, 1);
    EXPECT_TRUE(werte.FehlermeldungBeimEinlesen);
    EXPECT_TRUE(werte.LehrerLangnamen);
    EXPECT_EQ(werte.LoeschTage, 30);
    EXPECT_FALSE(werte.Server.KennwortSpeichern);
    EXPECT_EQ(werte.Server.Kennwort, "");
    EXPECT_EQ(werte.Server.Authentifizierung, 0);
    EXPECT_EQ(werte.Server.Prioritaet, 0);
    EXPECT_TRUE(werte.Server.ZusatztextAnhaengen);
    EXPECT_EQ(werte.GesendeteMails, Zeilen{satz});

    ui = RecordingUi();
    setze(Server, "-1", 11);
    lies();
    EXPECT_EQ(fehler().at(9), "Unerlaubte Zahl in Zeile 10 der Mailserver-Einstellungen!");
}

TEST_F(IniTest, ThirteenLineServerBlockAndExtraSettingsLinesAreRead) {
    setze("* Zusatzinformation", "e");
    setze(Server, "kopie@schule.invalid", 13);
    std::size_t block = zeileNach(datei, Server);
    datei.erase(datei.begin() + static_cast<long>(block) + 13,
                datei.begin() + static_cast<long>(block) + 15);
    datei.insert(datei.begin() + static_cast<long>(block) - 1, "Sicherheit=automatisch");
    ASSERT_TRUE(lies());
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(werte.Server.KopieAn, "kopie@schule.invalid");
    EXPECT_FALSE(werte.Server.ZusatztextAnhaengen);
    EXPECT_EQ(werte.Server.Zusatztext.substr(0, 9), "Hier k\xf6nn");
    EXPECT_EQ(werte.GesendeteMails, Zeilen{satz});
    EXPECT_EQ(werte.Versionstext, "v1.3");
}

TEST_F(IniTest, AnyBytesLongLinesAndManyRecordsSurvive) {
    setze("* gp-Untis-Datei:", std::string("C:\\Pl\xe4ne\\\x81\x8d\xc3\xbc\0x.gpn", 19));
    setze(Server, std::string(300000, '\xe4'), 15);
    datei.resize(datei.size() - 2);
    Zeilen mails;
    for (int i = 0; i < 260; ++i)
        mails.push_back("2004" + std::to_string(1000 + i) + ",1,,L" + std::to_string(i) +
                        ",,,,,0,1");
    Zeilen mitLuecken = datei;
    mitLuecken.insert(mitLuecken.end(), mails.begin(), mails.end());
    mitLuecken.insert(mitLuecken.end() - 3, {"* a comment", "", "   "});
    ASSERT_TRUE(lies(dateiAus(mitLuecken)));
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(werte.GesendeteMails, mails);
    EXPECT_EQ(werte.GpnDatei.size(), 19u);
    ASSERT_TRUE(IniSchreiben(werte, pfad, ui));
    datei.insert(datei.end(), mails.begin(), mails.end());
    datei.push_back("");
    EXPECT_TRUE(testing::readFile(pfad) == dateiAus(datei));
}

TEST_F(IniTest, ValuesThatWouldBreakTheLayoutAreWrittenSafely) {
    ASSERT_TRUE(lies());
    werte.Server.Zusatztext = "eins\r\nzwei\nDrei";
    werte.Ueberschriften[0] = "Nr, lfd.";
    ASSERT_TRUE(IniSchreiben(werte, pfad, ui));
    ASSERT_TRUE(IniLesen(werte, pfad, ui));
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(werte.Server.Zusatztext, "eins  zwei Drei");
    EXPECT_EQ(werte.Ueberschriften[0], "Nr, lfd.");
    EXPECT_EQ(werte.Ueberschriften[1], "Datum");
    EXPECT_EQ(werte.GesendeteMails, Zeilen{satz});
}

TEST_F(IniTest, FailedSavesLeaveTheOldFileAndReportIt) {
    ASSERT_TRUE(lies());
    auto schreibfehler = [](const std::string& p) {
        return RecordingUi::Box{"error", "Fehler beim Schreiben der Datei \"" + p +
                                             "\".\n\rSie haben evtl. keine Schreibberechtigung!"};
    };
    // No temporary file can be made beside a name this long.
    std::string lang = dir.file(std::string(250, 'a'));
    testing::writeFile(lang, "alter Inhalt");
    ui = RecordingUi();
    EXPECT_FALSE(IniSchreiben(werte, lang, ui));
    EXPECT_EQ(testing::readFile(lang), "alter Inhalt");
    EXPECT_EQ(ui.boxes, std::vector<RecordingUi::Box>{schreibfehler(lang)});

    // The final rename fails: the temporary file goes again.
    std::string verzeichnis = dir.file("ist-ein-Verzeichnis");
    std::filesystem::create_directories(verzeichnis + "/inhalt");
    EXPECT_FALSE(IniSchreiben(werte, verzeichnis, ui));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);

    EXPECT_FALSE(IniSchreiben(werte, dir.file("fehlt/Tafelbot.ini"), ui));
    EXPECT_EQ(ui.boxes.size(), 3u);
    EXPECT_EQ(testing::readFile(pfad), dateiAus(datei));
}

TEST_F(IniTest, UnreadableFileIsReported) {
    // Exists as a regular file but reading it fails, even for root.
    EXPECT_FALSE(IniLesen(werte, "/proc/self/mem", ui));
    EXPECT_EQ(ui.boxTexts("error"), Zeilen{"Fehler beim Lesen der Datei \"/proc/self/mem\".\n\r"
                                           "Sie haben evtl. keine Leseberechtigung!"});
    EXPECT_EQ(werte.GpnDatei, "et");
}

} // namespace
} // namespace tafelbot

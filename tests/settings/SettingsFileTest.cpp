#include "settings/SettingsFile.h"

#include "platform/Platform.h"
#include "settings/Cp1252.h"
#include "settings/DatumText.h"
#include "settings/FixeTexte.h"
#include "settings/Kennwort.h"
#include "support/FixedClock.h"
#include "support/RecordingUi.h"
#include "support/TestFiles.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <tuple>

namespace tafelbot {
namespace {

using testing::RecordingUi;
using Zeilen = std::vector<std::string>;

// A file under tests/settings/data (UTF-8, LF) as Windows-1252 lines.
Zeilen datenZeilen(const std::string& name) {
    return testing::splitLines(
        utf8ToCp1252(testing::readFile(TAFELBOT_SOURCE_DIR "/tests/settings/data/" + name)));
}

const std::string Server = "* Mailserver-Einstellungen";
const std::string Reihenfolge = "* Vtr-Nr.|Datum|Stunde|(Fach)|Fach|(Lehrer)|Vertreter|Klasse(n)|"
                                "Raum|Vertr. von|Text|Mitbetreuung|eMail|gesendet|geandert|";

class IniTest : public ::testing::Test {
protected:
    void SetUp() override {
        Einstellungen standard;
        setzeStandardwerte(standard);
        datei = testing::splitLines(iniInhalt(standard), "\r\n");
        datei.back() = satz;
        datei.push_back("");
    }

    bool lies(const std::string& inhalt) {
        testing::writeFile(pfad, inhalt);
        return IniLesen(werte, pfad, ui);
    }
    bool lies() { return lies(testing::joinLines(datei)); }
    // Index of the n-th line after the line that begins with `kommentar`.
    std::size_t nach(const std::string& kommentar, std::size_t n = 1) const {
        for (std::size_t i = 0; i < datei.size(); ++i) {
            if (datei[i].rfind(kommentar, 0) == 0)
                return i + n;
        }
        ADD_FAILURE() << kommentar;
        return 0;
    }
    void setze(const std::string& kommentar, const std::string& wert, std::size_t n = 1) {
        datei[nach(kommentar, n)] = wert;
    }
    // A layout under tests/settings/data with the title and the password line of the defaults.
    Zeilen ausDaten(const std::string& name) const {
        Zeilen zeilen = datenZeilen(name);
        zeilen[0] = datei[0];
        std::replace(zeilen.begin(), zeilen.end(), std::string("(Kennwort)"),
                     datei[nach(Server, 6)]);
        return zeilen;
    }
    // The error boxes as UTF-8, without the prefix that names the file.
    Zeilen fehler() const {
        std::string praefix = "Fehler beim Lesen der Datei \"" + pfad + "\".\n\r";
        Zeilen texte;
        for (const auto& text : ui.boxTexts("error")) {
            EXPECT_EQ(text.rfind(praefix, 0), 0u) << text;
            texte.push_back(cp1252ToUtf8(text.substr(std::min(praefix.size(), text.size()))));
        }
        return texte;
    }

    testing::FixedClock uhr{{2004, 10, 20, 8, 15, 0, 0, 3}};
    testing::TempDir dir;
    std::string pfad = dir.file("Tafelbot.ini");
    RecordingUi ui;
    Einstellungen werte;
    const std::string satz = "20041020,3,D,MUE,\"5a,5b\",R1,,,0,200410190730";
    Zeilen datei; // the default file with one sent-mail record
};

TEST_F(IniTest, DefaultsAreWrittenInTheFixedLayout) {
    EXPECT_EQ(datei[0], "* Einstellungs-Datei für das Programm "_cp +
                            FixeTexte::programmNameVersion() + " von " + FixeTexte::autorZeile());
    EXPECT_EQ(KennwortEntschluesseln(datei[nach(Server, 6)], KennwortSchluessel), "qzkrwmtn4");
    datei.pop_back();
    datei.back() = ""; // the rest as worked out by hand
    EXPECT_EQ(datei, ausDaten("standard-layout.txt"));
}

// (Every byte read back as it was written: the Name=Value round trip below.)
TEST_F(IniTest, APasswordLineChangesOnlyWithThePassword) {
    ASSERT_TRUE(lies());
    // A changed password gets a new line; written again without change it stays.
    werte.Server.Kennwort = "neu\xe4";
    ASSERT_TRUE(IniSchreiben(werte, pfad, ui));
    ASSERT_TRUE(IniLesen(werte, pfad, ui));
    std::string neu = testing::splitLines(testing::readFile(pfad), "\r\n")[nach(Server, 6)];
    EXPECT_NE(neu, datei[nach(Server, 6)]);
    EXPECT_EQ(werte.Server.Kennwort, "neu\xe4");
    std::string gelesen = testing::readFile(pfad);
    ASSERT_TRUE(IniSchreiben(werte, pfad, ui));
    EXPECT_EQ(testing::readFile(pfad), gelesen);

    // Without "Kennwort speichern" the line is empty, and so is the password read back.
    werte.Server.KennwortSpeichern = false;
    ASSERT_TRUE(IniSchreiben(werte, pfad, ui));
    ASSERT_TRUE(IniLesen(werte, pfad, ui));
    EXPECT_EQ(werte.Server.Kennwort, "");
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(IniTest, MissingFileIsWrittenReadBackAndWelcomed) {
    ASSERT_TRUE(IniLesen(werte, pfad, ui));
    EXPECT_EQ(
        ui.boxTexts("info"),
        Zeilen{
            "Herzlich Willkommen beim Programm " + FixeTexte::programmNameVersion() + " von " +
            FixeTexte::autorZeile() +
            "!\n\r\n\rDie Einstellungen für dieses Programm finden Sie in der INI-Datei\n\r\""_cp +
            pfad +
            "\".\n\rDort können Sie Änderungen (z.B. Reihenfolge, Beschriftung oder Breite "
            "der Tabellenspalten) vornehmen."_cp});
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(testing::readFile(pfad), iniInhalt(werte));
    EXPECT_EQ(werte.AktDatum, "20041020");
    EXPECT_EQ(ui.redraws.back(), ViewPart::ServerSettings);

    // Where the file cannot be created: the write error, no welcome, no endless retry.
    RecordingUi zweites;
    std::string fehlt = dir.file("fehlt/Tafelbot.ini");
    EXPECT_FALSE(IniLesen(werte, fehlt, zweites));
    EXPECT_EQ(zweites.boxTexts("error"),
              Zeilen{"Fehler beim Schreiben der Datei \"" + fehlt +
                     "\".\n\rSie haben evtl. keine Schreibberechtigung!"});
}

TEST_F(IniTest, LineEndsBlanksCommentsAndAByteOrderMarkDoNotMatter) {
    datei.insert(datei.end() - 2, {"* ein Kommentar zwischen den Eintr\xe4gen", ""});
    ASSERT_TRUE(lies());
    std::string erwartet = iniInhalt(werte);
    for (auto& z : datei)
        z = z.empty() ? z : (z[0] == '*' ? "   " + z : "  " + z + "   ");
    std::string text = "\xEF\xBB\xBF" + testing::joinLines(datei, "\n");
    text.pop_back(); // the last line without its end
    ASSERT_TRUE(lies(text));
    EXPECT_EQ(iniInhalt(werte), erwartet);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(IniTest, OrderLineIsRenumberedIntoBothColumnLists) {
    using A = std::array<int, 15>;
    const int _ = -1;
    ASSERT_TRUE(lies());
    EXPECT_EQ(werte.Bildschirmspalten, (A{0, 6, 2, 7, 10, 9, 5, 3, 8, 4, 11, 12, 13, 14, _}));
    EXPECT_EQ(werte.Mailspalten, (A{6, 2, 7, 10, 9, 5, 3, 8, 4, 11, _, _, _, _, _}));

    setze(Reihenfolge, "5,0,5,0,0,0,0,0,0,0,0,0,0,0,0");
    ASSERT_TRUE(lies());
    EXPECT_EQ(werte.Reihenfolge, (A{1, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(werte.Bildschirmspalten, (A{0, 2, _, _, _, _, _, _, _, _, _, _, _, _, _}));
    EXPECT_EQ(werte.Mailspalten, (A{0, 2, _, _, _, _, _, _, _, _, _, _, _, _, _}));

    // Gaps close, blanks around the numbers are allowed, a 16th field is ignored.
    setze(Reihenfolge, "70, 0, 70 ,0,0,0,0,0,0,0,0,0,0,0,20,x");
    ASSERT_TRUE(lies());
    EXPECT_EQ(werte.Reihenfolge, (A{2, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(werte.Bildschirmspalten, (A{0, 14, 2, _, _, _, _, _, _, _, _, _, _, _, _}));
    EXPECT_EQ(werte.Mailspalten, (A{0, 2, _, _, _, _, _, _, _, _, _, _, _, _, _}));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(IniTest, FaultsThatEndTheReadingKeepTheRestAtItsDefaults) {
    const std::string fehlen = "Es fehlen wichtige Daten!",
                      reihe = "Falsche Daten bei der Reihenfolge der Kategorien!";
    for (auto [kommentar, wert, n, meldung] :
         std::vector<std::tuple<std::string, std::string, std::size_t, std::string>>{
             {"* aktuelles Datum:", "2004102", 1, "Falsches Datum!"},
             {"* aktuelles Datum:", "200410200", 1, "Falsches Datum!"},
             {Reihenfolge, "0,0,2,7,9,6,1,3,8,5,4,10,11,12", 1, reihe},
             {Reihenfolge, "0,0,2,7,9,6,1,3,8,5,4,10,11,12,1x", 1, reihe},
             {"* Spaltenbreiten", "35,0,40", 2,
              "Falsche Daten bei den Spaltenbreiten der Kategorien!"},
             {"* Samstags-Schule", "(Ende)", 1, fehlen},
             {Server, "(Ende)", 0, fehlen}}) {
        SetUp();
        ui = RecordingUi();
        setze("* gp-Untis-Datei:", "plan.gpn");
        setze("* Nach wie vielen", "99");
        if (wert == "(Ende)")
            datei.resize(nach(kommentar, n));
        else
            setze(kommentar, wert, n);
        EXPECT_FALSE(lies()) << wert;
        EXPECT_EQ(fehler(), Zeilen{meldung}) << wert;
        EXPECT_EQ(werte.GpnDatei, "plan.gpn");
        EXPECT_EQ(werte.Reihenfolge[2], 2);
        EXPECT_EQ(werte.Server.Kennwort, "qzkrwmtn4");
        EXPECT_TRUE(werte.GesendeteMails.empty());
        EXPECT_EQ(testing::readFile(pfad), testing::joinLines(datei)) << "nothing is written back";
        EXPECT_EQ(werte.LoeschTage, kommentar == Server ? 99 : 30);
    }

    // Inside the server block every missing line is reported; the lines present count.
    SetUp();
    ui = RecordingUi();
    datei.resize(nach(Server, 3));
    datei.back() = "anderer.host";
    EXPECT_FALSE(lies());
    EXPECT_EQ(fehler(), Zeilen(13, fehlen));
    EXPECT_EQ(werte.Server.SmtpServer, "anderer.host");
    EXPECT_EQ(werte.Server.Port, "25");
}

// Bad values and Name=Value lines are named and keep their default, the reading goes on;
// unknown lines survive a save, spelling is forgiven.
TEST_F(IniTest, BadValuesAreReportedAndReadingGoesOn) {
    datei = ausDaten("falsche-werte.txt");
    ASSERT_TRUE(lies());
    auto zeile = [](const char* art, int n) {
        return std::string(art) + " in Zeile " + std::to_string(n) +
               " der Mailserver-Einstellungen!";
    };
    auto falsch = [](const char* z) {
        return "Falsche Daten in der Einstellung \"" + std::string(z) + "\"!";
    };
    EXPECT_EQ(
        fehler(),
        (Zeilen{"Falsche Integerzahl, die die Periode angibt.",
                "Falsche Information über Fehlermeldung beim Daten-Einlesen!",
                "Falsche Information über Samstagsschule!",
                "Falsche Information über Lehrer-Langnamen!",
                "Falsche Information über Datumsangabe bei Verlegung am selben Tag!",
                "Falsche Zahl an Tagen, nach denen Infos über gesendete Mails gelöscht werden!",
                falsch("Zeitlimit=0"), falsch("Fenster=1,2,3"), falsch("Spaltenbreiten=4,x"),
                falsch("Kalender=ja"), falsch("Verbindungssicherheit=irgendwie"),
                falsch("ZertifikatUngeprueftAnnehmen=ja"), zeile("Falsche Daten", 4),
                zeile("Falsche Daten", 5), zeile("Unerlaubte Zahl", 9), zeile("Falsche Daten", 10),
                zeile("Falsche Daten", 11)}));
    // Everything else at its default: the file written from what was read says so.
    Einstellungen erwartet;
    setzeStandardwerte(erwartet);
    erwartet.Maximiert = true;
    erwartet.Server.OAuth = "google";
    erwartet.Server.Verbindungssicherheit = 2;
    erwartet.Server.KennwortSpeichern = false;
    erwartet.Server.Authentifizierung = erwartet.Server.Prioritaet = 0;
    erwartet.Server.ZusatztextAnhaengen = true;
    erwartet.UnbekannteZusatzzeilen = {"Zukunft=Einstellung einer neueren Version"};
    erwartet.GesendeteMails = {satz};
    EXPECT_EQ(iniInhalt(werte), iniInhalt(erwartet));
    EXPECT_EQ(werte.Server.Kennwort, "");
    ui = RecordingUi();
    setze(Server, "-1", 11);
    lies();
    EXPECT_EQ(fehler().at(15), zeile("Unerlaubte Zahl", 10));
}

TEST_F(IniTest, ThirteenLineServerBlockAndExtraSettingsLinesAreRead) {
    datei = ausDaten("dreizehn-zeilen.txt");
    ASSERT_TRUE(lies());
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(werte.Server.KopieAn, "kopie@schule.invalid");
    EXPECT_FALSE(werte.Server.ZusatztextAnhaengen);
    EXPECT_EQ(werte.Server.Zusatztext.substr(0, 9), "Hier k\xf6nn");
    EXPECT_EQ(werte.GesendeteMails, Zeilen{satz});
}

// Name=Value lines stand between the days value and the server block, where older versions skip
// every line up to the server comment. The security lines were always written; the others only
// when they differ from their default, so a file that does not use them looks as it did.
TEST_F(IniTest, NameValueSettingsRoundTrip) {
    auto ab = [&](std::size_t i) { return datei.begin() + static_cast<long>(i); };
    // Every line off its default: each must be known, read and written back in its place.
    const Zeilen standard = datei;
    datei.erase(ab(nach("* Nach wie vielen", 3)), ab(nach(Server, 0) - 1));
    const Zeilen gesetzt = datenZeilen("name-wert.txt");
    datei.insert(ab(nach("* Nach wie vielen", 3)), gesetzt.begin(), gesetzt.end());
    ASSERT_TRUE(lies());
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(werte.UnbekannteZusatzzeilen.empty());
    EXPECT_EQ(iniInhalt(werte), testing::joinLines(datei));

    // A file of an older version: the defaults, nothing reported.
    datei = standard;
    datei.erase(ab(nach("* Nach wie vielen", 3)), ab(nach(Server, 0)));
    ASSERT_TRUE(lies());
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(werte.Server.Verbindungssicherheit, 0);
    EXPECT_EQ(werte.Server.ZusatzCaDatei, "");
    EXPECT_EQ(werte.GesendeteMails, Zeilen{satz});
}

// Whatever a value holds, it reads back as it was written: line breaks become blanks, and
// where the line is trimmed (server block, Name=Value lines) the blanks at its ends go.
TEST_F(IniTest, GeneratedValuesReadBackAsWritten) {
    const std::string zeichen("a,\"\r\n\0 *\xe4=", 11);
    std::mt19937 zufall(4711);
    auto text = [&] {
        std::string t;
        for (auto n = zufall() % 7; n > 0; --n)
            t += zeichen[zufall() % zeichen.size()];
        return t;
    };
    auto einzeilig = [](std::string t) {
        std::replace_if(
            t.begin(), t.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
        return t;
    };
    auto getrimmt = [&](const std::string& t) { return ohneLeerzeichen(einzeilig(t)); };
    for (int runde = 0; runde < 300; ++runde) {
        setzeStandardwerte(werte);
        werte.GpnDatei = text();
        for (auto& u : werte.Ueberschriften)
            u = text();
        werte.Server.Absendername = text();
        werte.Server.Zusatztext = text();
        werte.Server.OAuthScope = text();
        werte.Stundenzeiten = text();
        werte.GesendeteMails = {satz};
        const Einstellungen vorher = werte;
        ui = RecordingUi();
        ASSERT_TRUE(lies(iniInhalt(vorher))) << iniInhalt(vorher);
        EXPECT_TRUE(ui.boxes.empty());
        EXPECT_EQ(werte.GpnDatei, einzeilig(vorher.GpnDatei));
        for (std::size_t i = 0; i < vorher.Ueberschriften.size(); ++i)
            EXPECT_EQ(werte.Ueberschriften[i], einzeilig(vorher.Ueberschriften[i])) << i;
        EXPECT_EQ(werte.Server.Absendername, getrimmt(vorher.Server.Absendername));
        EXPECT_EQ(werte.Server.Zusatztext, getrimmt(vorher.Server.Zusatztext));
        EXPECT_EQ(werte.Server.OAuthScope, getrimmt(vorher.Server.OAuthScope));
        EXPECT_EQ(werte.Stundenzeiten, getrimmt(vorher.Stundenzeiten));
        EXPECT_EQ(werte.GesendeteMails, Zeilen{satz});
    }
}

// A write that fails is tried again; what it says names the cause, and a file protected on
// purpose stays as it is, protection included.
int verweigerteSchritte = 0;
int verweigerung = 0;
int verweigere(platform::SaveStep schritt) {
    if (schritt != platform::SaveStep::Write || verweigerteSchritte == 0)
        return 0;
    --verweigerteSchritte;
    return verweigerung;
}

TEST_F(IniTest, FailedWritesAreRetriedAndNameTheirCause) {
    ASSERT_TRUE(lies());
    const std::string vorher = testing::readFile(pfad);
    werte.GesendeteMails.push_back(satz);
    const std::string praefix = "Fehler beim Schreiben der Datei \"" + pfad + "\".\n\r";
    for (auto [code, anzahl, ergebnis, grund] :
         std::vector<std::tuple<int, int, Schreibfehler, std::string>>{
             {ENOSPC, 2, Schreibfehler::keiner, ""},
             {ENOSPC, 3, Schreibfehler::datentraegerVoll,
              "Der Datenträger ist voll. Bitte schaffen Sie Platz und speichern Sie erneut."},
             {EACCES, 3, Schreibfehler::keineBerechtigung,
              "Sie haben evtl. keine Schreibberechtigung!"}}) {
        testing::writeFile(pfad, vorher);
        verweigerung = code;
        verweigerteSchritte = anzahl;
        platform::setSaveStepHookForTesting(verweigere);
        Schreibergebnis e = IniSpeichern(werte, pfad);
        platform::setSaveStepHookForTesting(nullptr);
        EXPECT_EQ(e.fehler, ergebnis) << anzahl;
        EXPECT_EQ(cp1252ToUtf8(e.meldung), grund.empty() ? "" : praefix + grund);
        EXPECT_EQ(testing::readFile(pfad) == vorher, !grund.empty());
    }

    namespace fs = std::filesystem;
    const fs::perms nurLesen =
        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    testing::writeFile(pfad, vorher);
    fs::permissions(pfad, nurLesen);
    EXPECT_FALSE(IniSchreiben(werte, pfad, ui));
    EXPECT_EQ(ui.boxTexts("error"),
              Zeilen{praefix + "Die Datei ist schreibgeschützt. Bitte heben Sie den "
                               "Schreibschutz auf und speichern Sie erneut."_cp});
    EXPECT_EQ(testing::readFile(pfad), vorher);
    EXPECT_EQ(fs::status(pfad).permissions() & fs::perms::all, nurLesen);

    // What a save killed before its rename left behind goes with the next save.
    fs::permissions(pfad, fs::perms::owner_write, fs::perm_options::add);
    testing::writeFile(pfad + ".tmp-Ab12Cd", "halb");
    testing::writeFile(pfad + ".tmp-fremd", "bleibt");
    ASSERT_TRUE(IniSchreiben(werte, pfad, ui));
    EXPECT_FALSE(fs::exists(pfad + ".tmp-Ab12Cd"));
    EXPECT_TRUE(fs::exists(pfad + ".tmp-fremd"));
}

TEST_F(IniTest, UnreadableFileIsReported) {
    // A regular file whose reading fails, even for root.
    EXPECT_FALSE(IniLesen(werte, "/proc/self/mem", ui));
    EXPECT_EQ(ui.boxTexts("error"), Zeilen{"Fehler beim Lesen der Datei \"/proc/self/mem\".\n\r"
                                           "Sie haben evtl. keine Leseberechtigung!"});
    EXPECT_EQ(werte.GpnDatei, "et");
}

} // namespace
} // namespace tafelbot

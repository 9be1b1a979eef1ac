#include "settings/SettingsFile.h"

#include "platform/Platform.h"
#include "settings/Cp1252.h"
#include "settings/DatumText.h"
#include "settings/FixeTexte.h"
#include "settings/Kennwort.h"
#include "settings/ServerFelder.h"
#include "ui/UiPort.h"

#include <algorithm>
#include <array>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <utility>

namespace tafelbot {

namespace {

constexpr std::size_t StartKapazitaet = 200;
constexpr std::size_t KapazitaetSchritt = 50;

const char* const KategorienKommentarReihenfolge =
    "* Vtr-Nr.|Datum|Stunde|(Fach)|Fach|(Lehrer)|Vertreter|Klasse(n)|Raum|Vertr. von|Text|"
    "Mitbetreuung|eMail|gesendet|geandert|";
const char* const KategorienKommentarBreiten =
    "* Vtr-Nr.|Datum|Stunde|(Fach)|Fach|(Lehrer)|Vertreter|Klasse(n)|Raum|Vertr. von|Text|"
    "Mitbetreuung|eMail|gesendet|geaendert|";
const char* const KategorienKommentarUeberschriften =
    "* Vtr-Nr.|Datum|Stunde|(Fach)|Fach|(Lehrer)|Vertreter|Klasse(n)|Raum|Vertr. von|Text|"
    "Mitbetreuung|";

// The four switches in file order, with their comment line and the message for a bad value.
struct Schalter {
    bool Einstellungen::*feld;
    const char* kommentar;
    const char* meldung;
};
const Schalter SchalterListe[] = {
    {&Einstellungen::FehlermeldungBeimEinlesen, "* Fehlermedlung beim Daten-Einlesen? (0/1):",
     "Falsche Information über Fehlermeldung beim Daten-Einlesen!"},
    {&Einstellungen::SamstagsSchule,
     "* Samstags-Schule? (0/1):", "Falsche Information über Samstagsschule!"},
    {&Einstellungen::LehrerLangnamen, "* Verwenden der Lehrer-Langnamen in der Tabelle? (0/1):",
     "Falsche Information über Lehrer-Langnamen!"},
    {&Einstellungen::DatumBeiVerlegungAmSelbenTag,
     "* Soll bei einer Verlegung am selben Tag das Datum mit angegeben werden? (0/1):",
     "Falsche Information über Datumsangabe bei Verlegung am selben Tag!"},
};

std::string lesePraefix(const std::string& iniPfad) {
    return "Fehler beim Lesen der Datei \"" + utf8ToCp1252(iniPfad) + "\"." + Zeilenumbruch;
}

// Name=Value settings that older versions of the program skip. They stand between the
// deletion-days line and the server block; none of them may begin with "*". Each row reads and
// writes one value; `standard` is the text of its default, from which the defaults are set.
// Rows that are not `immer` are written only when they differ from their default, so a file
// that leaves them alone looks as it did before they existed.
struct NameWertZeile {
    std::string name;
    std::string standard;
    bool immer = false;
    std::function<std::string(const Einstellungen&)> text;
    // False when the text is no value of this setting; the value is then left alone.
    std::function<bool(Einstellungen&, const std::string&)> setze;
};

bool gleichOhneGross(const std::string& a, const std::string& b) {
    auto klein = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (klein(a[i]) != klein(b[i]))
            return false;
    return true;
}

template <typename Feld>
NameWertZeile schalterZeile(const char* name, bool standard, Feld feld) {
    return {name, standard ? "1" : "0", false,
            [feld](const Einstellungen& w) { return std::string(feld(w) ? "1" : "0"); },
            [feld](Einstellungen& w, const std::string& v) {
                if (v != "0" && v != "1")
                    return false;
                feld(w) = v == "1";
                return true;
            }};
}

template <typename Feld>
NameWertZeile textZeile(const char* name, const char* standard, Feld feld) {
    return {name, standard, false, [feld](const Einstellungen& w) { return feld(w); },
            [feld](Einstellungen& w, const std::string& v) {
                feld(w) = v;
                return true;
            }};
}

// A value from a fixed list, compared without regard to case and stored by its index.
template <typename Feld>
NameWertZeile auswahlZeile(const char* name, std::vector<std::string> werte, Feld feld) {
    std::string standard = werte.front();
    return {name, standard, false,
            [feld, werte](const Einstellungen& w) {
                const auto i = static_cast<std::size_t>(feld(w));
                return i < werte.size() ? werte[i] : werte.front();
            },
            [feld, werte](Einstellungen& w, const std::string& v) {
                for (std::size_t i = 0; i < werte.size(); ++i)
                    if (gleichOhneGross(werte[i], v)) {
                        feld(w) = static_cast<int>(i);
                        return true;
                    }
                return false;
            }};
}

// Integers separated by commas; nullopt when one of them is none or outside [min, max].
std::optional<std::vector<int>> zahlenliste(const std::string& text, int min, int max) {
    std::vector<int> zahlen;
    if (ohneLeerzeichen(text).empty())
        return zahlen;
    for (std::size_t a = 0;;) {
        const std::size_t e = std::min(text.find(',', a), text.size());
        auto zahl = alsGanzzahl(ohneLeerzeichen(std::string_view(text).substr(a, e - a)));
        if (!zahl || *zahl < min || *zahl > max)
            return std::nullopt;
        zahlen.push_back(*zahl);
        if (e == text.size())
            return zahlen;
        a = e + 1;
    }
}

std::string zahlenText(const std::vector<int>& zahlen) {
    std::string text;
    for (std::size_t i = 0; i < zahlen.size(); ++i)
        text += (i == 0 ? "" : ",") + std::to_string(zahlen[i]);
    return text;
}

constexpr int GroessteKoordinate = 100000;

const std::vector<NameWertZeile>& nameWertZeilen() {
    static const std::vector<NameWertZeile> zeilen = [] {
        std::vector<NameWertZeile> z;
        // The three rows of the connection security were always written; they stay so.
        z.push_back(auswahlZeile(
            "Verbindungssicherheit", {"automatisch", "keine", "STARTTLS", "TLS"},
            [](auto& w) -> auto& { return w.Server.Verbindungssicherheit; }));
        z.push_back(schalterZeile(
            "ZertifikatUngeprueftAnnehmen", false,
            [](auto& w) -> auto& { return w.Server.ZertifikatUngeprueftAnnehmen; }));
        z.push_back(textZeile(
            "ZusaetzlicheCaDatei", "", [](auto& w) -> auto& { return w.Server.ZusatzCaDatei; }));
        for (auto& zeile : z)
            zeile.immer = true;

        z.push_back({"Zeitlimit", "60", false,
                     [](const Einstellungen& w) { return std::to_string(w.Server.Zeitlimit); },
                     [](Einstellungen& w, const std::string& v) {
                         auto sekunden = alsGanzzahl(v);
                         if (!sekunden || *sekunden < 1 || *sekunden > 86400)
                             return false;
                         w.Server.Zeitlimit = *sekunden;
                         return true;
                     }});
        z.push_back({"OAuth", "", false, [](const Einstellungen& w) { return w.Server.OAuth; },
                     [](Einstellungen& w, const std::string& v) {
                         for (const char* anbieter : {"", "microsoft", "google", "custom"})
                             if (gleichOhneGross(v, anbieter)) {
                                 w.Server.OAuth = anbieter;
                                 return true;
                             }
                         return false;
                     }});
        z.push_back(textZeile(
            "OAuthClientId", "", [](auto& w) -> auto& { return w.Server.OAuthClientId; }));
        z.push_back(textZeile(
            "OAuthClientSecret", "", [](auto& w) -> auto& { return w.Server.OAuthClientSecret; }));
        z.push_back(textZeile(
            "OAuthTenant", "organizations", [](auto& w) -> auto& { return w.Server.OAuthTenant; }));
        z.push_back(textZeile(
            "OAuthDeviceUrl", "", [](auto& w) -> auto& { return w.Server.OAuthDeviceUrl; }));
        z.push_back(textZeile(
            "OAuthAuthUrl", "", [](auto& w) -> auto& { return w.Server.OAuthAuthUrl; }));
        z.push_back(textZeile(
            "OAuthTokenUrl", "", [](auto& w) -> auto& { return w.Server.OAuthTokenUrl; }));
        z.push_back(textZeile(
            "OAuthScope", "", [](auto& w) -> auto& { return w.Server.OAuthScope; }));
        z.push_back(schalterZeile(
            "Aenderungen", true, [](auto& w) -> auto& { return w.Aenderungen; }));
        z.push_back(schalterZeile(
            "Kalender", false, [](auto& w) -> auto& { return w.Kalender; }));
        z.push_back(textZeile(
            "Stundenzeiten", "", [](auto& w) -> auto& { return w.Stundenzeiten; }));
        z.push_back({"Fenster", "", false,
                     [](const Einstellungen& w) {
                         if (!w.Fenster)
                             return std::string();
                         const Fensterlage& f = *w.Fenster;
                         return zahlenText({f.x, f.y, f.breite, f.hoehe});
                     },
                     [](Einstellungen& w, const std::string& v) {
                         auto zahlen = zahlenliste(v, -GroessteKoordinate, GroessteKoordinate);
                         if (!zahlen || (zahlen->size() != 4 && !zahlen->empty()))
                             return false;
                         if (zahlen->empty()) {
                             w.Fenster.reset();
                             return true;
                         }
                         const auto& n = *zahlen;
                         if (n[2] <= 0 || n[3] <= 0)
                             return false;
                         w.Fenster = Fensterlage{n[0], n[1], n[2], n[3]};
                         return true;
                     }});
        z.push_back(schalterZeile(
            "Maximiert", false, [](auto& w) -> auto& { return w.Maximiert; }));
        z.push_back({"Spaltenbreiten", "", false,
                     [](const Einstellungen& w) { return zahlenText(w.FensterSpaltenbreiten); },
                     [](Einstellungen& w, const std::string& v) {
                         auto zahlen = zahlenliste(v, 0, GroessteKoordinate);
                         if (!zahlen)
                             return false;
                         w.FensterSpaltenbreiten = std::move(*zahlen);
                         return true;
                     }});
        return z;
    }();
    return zeilen;
}

std::vector<std::string> zusatzEinstellungenZeilen(const Einstellungen& werte) {
    std::vector<std::string> zeilen;
    for (const NameWertZeile& z : nameWertZeilen()) {
        std::string text = z.text(werte);
        if (z.immer || text != z.standard)
            zeilen.push_back(z.name + "=" + text);
    }
    for (const auto& zeile : werte.UnbekannteZusatzzeilen)
        if (!zeile.empty() && zeile[0] != '*')
            zeilen.push_back(zeile);
    return zeilen;
}

void setzeZusatzStandardwerte(Einstellungen& werte) {
    for (const NameWertZeile& z : nameWertZeilen())
        z.setze(werte, z.standard);
    werte.UnbekannteZusatzzeilen.clear();
}

// Takes the known lines into the values and keeps the unknown ones. Returns the lines whose
// value is wrong; their setting keeps its default.
std::vector<std::string> leseZusatzEinstellungen(const std::vector<std::string>& zeilen,
                                                 Einstellungen& werte) {
    std::vector<std::string> falsch;
    for (const std::string& zeile : zeilen) {
        if (zeile.empty())
            continue;
        const std::size_t gleich = zeile.find('=');
        const std::string name = ohneLeerzeichen(zeile.substr(0, gleich));
        const std::string wert =
            gleich == std::string::npos ? std::string() : ohneLeerzeichen(zeile.substr(gleich + 1));
        const auto& tabelle = nameWertZeilen();
        auto zeileDerTabelle = std::find_if(tabelle.begin(), tabelle.end(),
                                            [&](const NameWertZeile& z) { return z.name == name; });
        if (gleich == std::string::npos || zeileDerTabelle == tabelle.end())
            werte.UnbekannteZusatzzeilen.push_back(zeile);
        else if (!zeileDerTabelle->setze(werte, wert))
            falsch.push_back(zeile);
    }
    return falsch;
}

// Fields 1 to 15 of a list line as integers; nullopt when one of them is none.
std::optional<std::array<int, AnzahlKategorien>> ganzzahlFelder(const std::string& zeile) {
    std::array<int, AnzahlKategorien> werte{};
    for (int i = 0; i < AnzahlKategorien; ++i) {
        auto wert = alsGanzzahl(ohneLeerzeichen(LiesFeld(zeile, ',', i + 1)));
        if (!wert)
            return std::nullopt;
        werte[static_cast<std::size_t>(i)] = *wert;
    }
    return werte;
}

std::string pfadAusZeile(const std::string& zeile) {
    if (zeile.size() >= 2 && zeile.front() == '"' && zeile.back() == '"')
        return zeile.substr(1, zeile.size() - 2);
    return zeile;
}

// Reads one settings file whose defaults are already set: everything after opening it.
class Leser {
public:
    Leser(Einstellungen& werte, std::string inhalt, const std::string& iniPfad, UiPort& ui)
        : werte_(werte), praefix_(lesePraefix(iniPfad)), ui_(ui),
          zeilen_(std::move(inhalt), praefix_, ui) {}

    bool lies() {
        std::string z;
        if (!wert(z))
            return false;
        werte_.GpnDatei = pfadAusZeile(z);

        if (!wert(z))
            return false;
        if (z.size() != 8) {
            melde("Falsches Datum!");
            return false;
        }
        werte_.AktDatum = z;

        if (!wert(z))
            return false;
        if (auto periode = alsGanzzahl(z)) {
            werte_.Periode = *periode;
        } else {
            melde("Falsche Integerzahl, die die Periode angibt.");
            werte_.Periode = 1;
        }

        for (const Schalter& schalter : SchalterListe) {
            if (!wert(z))
                return false;
            if (z == "1" || z == "0")
                werte_.*schalter.feld = z == "1";
            else
                melde(utf8ToCp1252(schalter.meldung));
        }

        if (!wert(z))
            return false;
        // A file of the oldest version lacks the block's last two lines.
        const int serverZeilen = z == "e" ? ServerBlockZeilen - 2 : ServerBlockZeilen;

        if (!wert(z))
            return false;
        auto reihenfolge = ganzzahlFelder(z);
        if (!reihenfolge) {
            melde("Falsche Daten bei der Reihenfolge der Kategorien!");
            return false;
        }
        werte_.Reihenfolge = *reihenfolge;
        leiteSpaltenAb(werte_);

        if (!wert(z))
            return false;
        auto breiten = ganzzahlFelder(z);
        if (!breiten) {
            melde("Falsche Daten bei den Spaltenbreiten der Kategorien!");
            return false;
        }
        werte_.Spaltenbreiten = *breiten;

        // Splitting a line into fields cannot fail: missing headings are empty.
        if (!wert(z))
            return false;
        for (int i = 0; i < AnzahlMailKategorien; ++i)
            werte_.Ueberschriften[static_cast<std::size_t>(i)] = LiesQuotiertesFeld(z, ',', i + 1);

        if (!wert(z))
            return false;
        if (auto tage = alsGanzzahl(z)) {
            werte_.LoeschTage = *tage;
        } else {
            melde(
                "Falsche Zahl an Tagen, nach denen Infos über gesendete Mails gelöscht werden!"_cp);
            werte_.LoeschTage = 30;
        }

        std::vector<std::string> zusatz;
        for (;;) {
            if (!zeilen_.LeseWert(true, true, z))
                return false;
            if (!z.empty() && z[0] == '*')
                break;
            zusatz.push_back(z);
        }
        for (const std::string& falsch : leseZusatzEinstellungen(zusatz, werte_))
            melde("Falsche Daten in der Einstellung \"" + falsch + "\"!");

        bool blockVollstaendig = true;
        fuerServerFelder(
            [&](const ServerFeld& f, auto& feld) {
                if (f.zeile == keineZeile || f.zeile >= serverZeilen)
                    return;
                if (zeilen_.LeseWert(true, true, z))
                    setze(f, z, feld);
                else
                    blockVollstaendig = false;
            },
            werte_.Server);
        if (!blockVollstaendig)
            return false;

        auto& mails = werte_.GesendeteMails;
        while (zeilen_.LeseWert(false, false, z)) {
            if (mails.size() == mails.capacity())
                mails.reserve(mails.capacity() + KapazitaetSchritt);
            mails.push_back(z);
        }
        return true;
    }

private:
    bool wert(std::string& z) { return zeilen_.LeseWert(false, true, z); }
    void melde(const std::string& text) { ui_.showError(praefix_ + text); }
    void meldeZeile(const char* art, int n) {
        melde(std::string(art) + " in Zeile " + std::to_string(n) +
              " der Mailserver-Einstellungen!");
    }

    void setze(const ServerFeld& f, const std::string& z, bool& feld) {
        if (z != "1" && z != "0")
            meldeZeile("Falsche Daten", f.zeile);
        feld = z == "1";
    }

    void setze(const ServerFeld& f, const std::string& z, int& feld) {
        feld = 0;
        auto index = alsGanzzahl(z);
        if (!index)
            meldeZeile("Falsche Daten", f.zeile);
        else if (*index < 0 || static_cast<std::size_t>(*index) >= f.liste.size())
            meldeZeile("Unerlaubte Zahl", f.zeile);
        else
            feld = *index;
    }

    void setze(const ServerFeld& f, const std::string& z, std::string& feld) {
        if (f.art != FeldArt::Kennwort) {
            feld = z;
            return;
        }
        werte_.GespeichertesKennwort = z;
        // A line that is no scrambled text (edited by hand) gives no password: the next mail
        // asks for it.
        if (!istKennwortText(z))
            meldeZeile("Falsche Daten", f.zeile);
        feld = KennwortEntschluesseln(z, KennwortSchluessel);
    }

    Einstellungen& werte_;
    std::string praefix_;
    UiPort& ui_;
    IniZeilenleser zeilen_;
};

bool liesDatei(Einstellungen& werte, const std::string& iniPfad, UiPort& ui) {
    auto inhalt = platform::readFile(iniPfad);
    if (!inhalt) {
        ui.showError(lesePraefix(iniPfad) + "Sie haben evtl. keine Leseberechtigung!");
        return false;
    }
    // An editor that saved the file as UTF-8 may have put a byte order mark before the first
    // comment; taken as a value it would shift every later line.
    if (inhalt->rfind("\xEF\xBB\xBF", 0) == 0)
        inhalt->erase(0, 3);
    return Leser(werte, std::move(*inhalt), iniPfad, ui).lies();
}

std::string willkommenText(const std::string& iniPfad) {
    return "Herzlich Willkommen beim Programm " + FixeTexte::programmNameVersion() + " von " +
           FixeTexte::autorZeile() + "!" + Zeilenumbruch + Zeilenumbruch +
           "Die Einstellungen für dieses Programm finden Sie in der INI-Datei"_cp + Zeilenumbruch +
           "\"" + utf8ToCp1252(iniPfad) + "\"." + Zeilenumbruch +
           "Dort können Sie Änderungen (z.B. Reihenfolge, Beschriftung oder Breite der "
           "Tabellenspalten) vornehmen."_cp;
}

// Collects the lines of the file. A value that holds a line break would shift every later
// value by a line, so breaks inside values are written as blanks.
class Textbau {
public:
    void zeile(const std::string& text) {
        for (char c : text)
            text_ += (c == '\r' || c == '\n') ? ' ' : c;
        text_ += "\r\n";
    }
    void gruppe(std::initializer_list<std::string> zeilen) {
        for (const auto& z : zeilen)
            zeile(z);
        zeile("");
    }
    std::string& text() { return text_; }

private:
    std::string text_;
};

std::string schalterText(bool wert) {
    return wert ? "1" : "0";
}

template <typename Liste, typename Format>
std::string verbunden(const Liste& liste, Format format) {
    std::string text;
    for (std::size_t i = 0; i < liste.size(); ++i)
        text += (i == 0 ? "" : ",") + format(liste[i]);
    return text;
}

// A line break inside a value would end its line; the file holds a blank in its place.
std::string einzeilig(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n')
            c = ' ';
    return text;
}

bool randIstLeer(const std::string& text) {
    return !text.empty() && (text.front() == ' ' || text.back() == ' ');
}

// A heading that would split, lose its blanks at the line's ends or turn the line into a
// comment goes into quotes, its own quotes doubled, so that it reads back as it was.
std::string ueberschriftFeld(const std::string& roh) {
    std::string text = einzeilig(roh);
    if (text.find_first_of(",\"") != std::string::npos || randIstLeer(text) ||
        text.rfind('*', 0) == 0)
        return alsQuotiertesFeld(text);
    return text;
}

// The gpn path stands alone on its line; an empty one or one that begins with "*" would be
// skipped as no value and shift every later line, so such a path is written in double quotes
// (as is one that has quotes or blanks at its ends), and one pair of enclosing quotes is
// taken off when reading. The file dialog gives no path that needs them.
std::string pfadZeile(const std::string& roh) {
    std::string pfad = einzeilig(roh);
    if (pfad.empty() || pfad.front() == '*' || pfad.front() == '"' || randIstLeer(pfad))
        return "\"" + pfad + "\"";
    return pfad;
}

std::string kennwortZeile(const Einstellungen& werte) {
    const TEinstellungen& s = werte.Server;
    if (!s.KennwortSpeichern || s.Kennwort.empty())
        return {};
    if (KennwortEntschluesseln(werte.GespeichertesKennwort, KennwortSchluessel) == s.Kennwort)
        return werte.GespeichertesKennwort;
    return KennwortVerschluesseln(s.Kennwort, KennwortSchluessel);
}

std::string serverZeile(const ServerFeld& /*feld*/, bool wert, const Einstellungen& /*werte*/) {
    return schalterText(wert);
}

std::string serverZeile(const ServerFeld& /*feld*/, int wert, const Einstellungen& /*werte*/) {
    return std::to_string(wert);
}

std::string serverZeile(const ServerFeld& feld, const std::string& wert,
                        const Einstellungen& werte) {
    return feld.art == FeldArt::Kennwort ? kennwortZeile(werte) : wert;
}

} // namespace

void setzeStandardwerte(Einstellungen& werte) {
    werte.GpnDatei = "et";
    werte.AktDatum = DatumZuText(jetzt());
    werte.Periode = 1;
    werte.FehlermeldungBeimEinlesen = true;
    werte.SamstagsSchule = false;
    werte.LehrerLangnamen = true;
    werte.DatumBeiVerlegungAmSelbenTag = false;
    werte.Versionstext = "v1.3";
    werte.Reihenfolge = {0, 0, 2, 7, 9, 6, 1, 3, 8, 5, 4, 10, 11, 12, 13};
    werte.Spaltenbreiten = {35, 0, 40, 35, 35, 100, 100, 60, 50, 70, 40, 67, 40, 50, 48};
    werte.Ueberschriften = {"Nr",         "Datum",  "Std.", "statt Fach",  "Fach", "Vertr. für"_cp,
                            "Vertretung", "Klasse", "Raum", "verlegt von", "Text", "Mitbetreuung"};
    werte.LoeschTage = 30;

    TEinstellungen& s = werte.Server;
    s.Absendername = "Vertretungsplaner";
    s.SmtpServer = "smtp.web.de";
    s.Port = "25";
    s.Kontoname = "vertretungsplaner@web.de";
    s.KennwortSpeichern = true;
    s.Kennwort = "qzkrwmtn4";
    s.Anmeldename = "Vertretungsplaner";
    s.Absender = s.Kontoname;
    s.AntwortAn = "bitte.eigene.Adresse@eintragen.invalid";
    s.Authentifizierung = 2;
    s.Prioritaet = 0;
    s.KopieSenden = false;
    s.KopieAn.clear();
    s.ZusatztextAnhaengen = false;
    s.Zusatztext = "Hier können Sie zusätzlichen Text eingeben, der an das Ende jeder gesendeten "
                   "Vertretungsplan-Mail angehängt wird (max. 255 Zeichen)."_cp;

    setzeZusatzStandardwerte(werte);

    werte.GesendeteMails.clear();
    werte.GesendeteMails.reserve(StartKapazitaet);
    leiteSpaltenAb(werte);
}

void leiteSpaltenAb(Einstellungen& werte) {
    auto& reihenfolge = werte.Reihenfolge;
    for (int n = 1; n <= AnzahlKategorien; ++n) {
        int erste = -1;
        for (int k = 0; k < AnzahlKategorien; ++k) {
            int nummer = reihenfolge[static_cast<std::size_t>(k)];
            if (nummer >= n && (erste < 0 || nummer < reihenfolge[static_cast<std::size_t>(erste)]))
                erste = k;
        }
        if (erste < 0)
            break;
        reihenfolge[static_cast<std::size_t>(erste)] = n;
    }

    auto fuelle = [&](std::array<int, AnzahlKategorien>& spalten, int von, int bis,
                      std::size_t slot) {
        for (int n = 1; n <= AnzahlKategorien; ++n) {
            for (int k = von; k <= bis; ++k) {
                if (reihenfolge[static_cast<std::size_t>(k)] == n)
                    spalten[slot++] = k;
            }
        }
    };
    werte.Bildschirmspalten.fill(-1);
    werte.Bildschirmspalten[0] = KatVtrNr;
    fuelle(werte.Bildschirmspalten, 1, AnzahlKategorien - 1, 1);
    werte.Mailspalten.fill(-1);
    fuelle(werte.Mailspalten, 0, AnzahlMailKategorien - 1, 0);
}

IniZeilenleser::IniZeilenleser(std::string inhalt, std::string praefix, UiPort& ui)
    : inhalt_(std::move(inhalt)), praefix_(std::move(praefix)), ui_(ui) {}

bool IniZeilenleser::LeseWert(bool alleAkzeptieren, bool endeMelden, std::string& zeile) {
    for (;;) {
        if (position_ >= inhalt_.size()) {
            if (endeMelden)
                ui_.showError(praefix_ + "Es fehlen wichtige Daten!");
            return false;
        }
        std::size_t ende = inhalt_.find('\n', position_);
        if (ende == std::string::npos)
            ende = inhalt_.size();
        std::size_t laenge = ende - position_;
        if (laenge > 0 && inhalt_[ende - 1] == '\r')
            --laenge;
        std::string roh = inhalt_.substr(position_, laenge);
        // A lone CR inside a line is a blank, as the writer makes it, so that every value reads
        // back as it was written.
        std::replace(roh.begin(), roh.end(), '\r', ' ');
        zeile = ohneLeerzeichen(roh);
        position_ = ende + 1;
        if (alleAkzeptieren || (!zeile.empty() && zeile[0] != '*'))
            return true;
    }
}

bool IniLesen(Einstellungen& werte, const std::string& iniPfad, UiPort& ui) {
    setzeStandardwerte(werte);
    bool neu = !platform::fileExists(iniPfad);
    // Without the file on disk there is nothing to read back; the write error says why.
    bool gelesen = (!neu || IniSchreiben(werte, iniPfad, ui)) && liesDatei(werte, iniPfad, ui);
    ui.viewChanged(ViewPart::ServerSettings);
    if (neu && gelesen)
        ui.showInformation(willkommenText(iniPfad));
    return gelesen;
}

std::string iniInhalt(const Einstellungen& werte) {
    auto zahl = [](int wert) { return std::to_string(wert); };
    auto text = [](const std::string& wert) { return ueberschriftFeld(wert); };

    Textbau t;
    t.gruppe({"* Einstellungs-Datei für das Programm "_cp + FixeTexte::programmNameVersion() +
              " von " + FixeTexte::autorZeile()});
    t.gruppe({"* gp-Untis-Datei:", pfadZeile(werte.GpnDatei)});
    t.gruppe({"* aktuelles Datum:", werte.AktDatum});
    t.gruppe({"* Periode:", zahl(werte.Periode)});
    for (const Schalter& schalter : SchalterListe)
        t.gruppe({schalter.kommentar, schalterText(werte.*schalter.feld)});
    t.gruppe({"* Zusatzinformation zum internen Gebrauch:", werte.Versionstext});
    t.gruppe({"* Reihenfolge der folgenden Kategorien in der Tabelle (0: erscheint nicht):",
              KategorienKommentarReihenfolge, verbunden(werte.Reihenfolge, zahl)});
    t.gruppe({"* Spaltenbreiten der folgenden Kategorien in der Tabelle (Summe muss <= 770 sein!):",
              KategorienKommentarBreiten, verbunden(werte.Spaltenbreiten, zahl)});
    t.gruppe({"* Überschriften der folgenden Kategorien in der eMail-Tabelle:"_cp,
              KategorienKommentarUeberschriften, verbunden(werte.Ueberschriften, text)});
    t.gruppe({"* Nach wie vielen Tagen sollen die Informationen über gesendete eMails gelöscht "
              "werden?"_cp,
              zahl(werte.LoeschTage)});

    auto zusatz = zusatzEinstellungenZeilen(werte);
    for (const auto& z : zusatz)
        t.zeile(z);
    if (!zusatz.empty())
        t.zeile("");

    t.zeile("* Mailserver-Einstellungen (15 Zeilen entsprechend dem Einstellungsfenster):");
    fuerServerFelder(
        [&](const ServerFeld& f, const auto& feld) {
            if (f.zeile != keineZeile)
                t.zeile(serverZeile(f, feld, werte));
        },
        werte.Server);
    t.zeile("");

    t.zeile("* Bisher gesendete eMails:");
    for (const auto& mail : werte.GesendeteMails)
        t.zeile(mail);
    t.zeile("");
    return std::move(t.text());
}

Schreibergebnis IniSpeichern(const Einstellungen& werte, const std::string& iniPfad) {
    // A passing lock (a virus scanner, a backup) or space freed in the meantime lets a second
    // try succeed; a file protected on purpose does not change by trying.
    constexpr int Versuche = 3;
    const std::string inhalt = iniInhalt(werte);
    platform::FileFault grund = platform::FileFault::none;
    for (int versuch = 0; versuch < Versuche; ++versuch) {
        if (platform::replaceFileAtomically(iniPfad, inhalt, nullptr, &grund))
            return {};
        if (grund == platform::FileFault::readOnlyFile)
            break;
    }
    const std::string praefix =
        "Fehler beim Schreiben der Datei \"" + utf8ToCp1252(iniPfad) + "\"." + Zeilenumbruch;
    switch (grund) {
    case platform::FileFault::diskFull:
        return {Schreibfehler::datentraegerVoll,
                praefix + "Der Datenträger ist voll. Bitte schaffen Sie Platz und speichern Sie "
                          "erneut."_cp};
    case platform::FileFault::readOnlyFile:
        return {Schreibfehler::schreibgeschuetzt,
                praefix + "Die Datei ist schreibgeschützt. Bitte heben Sie den Schreibschutz "
                          "auf und speichern Sie erneut."_cp};
    case platform::FileFault::noPermission:
        return {Schreibfehler::keineBerechtigung,
                praefix + "Sie haben evtl. keine Schreibberechtigung!"};
    default:
        return {Schreibfehler::anderer, praefix + "Sie haben evtl. keine Schreibberechtigung!"};
    }
}

bool IniSchreiben(const Einstellungen& werte, const std::string& iniPfad, UiPort& ui) {
    Schreibergebnis ergebnis = IniSpeichern(werte, iniPfad);
    if (!ergebnis)
        ui.showError(ergebnis.meldung);
    return static_cast<bool>(ergebnis);
}

} // namespace tafelbot

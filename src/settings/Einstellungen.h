#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace tafelbot {

// Number of table categories ("Vtr-Nr." ... "geändert") and of those that can be mail columns.
inline constexpr int AnzahlKategorien = 15;
inline constexpr int AnzahlMailKategorien = 12;

// Category indexes, as used in the order and width lines and in the column lists.
enum Kategorie : int {
    KatVtrNr = 0,
    KatDatum = 1,
    KatStunde = 2,
    KatStattFach = 3,
    KatFach = 4,
    KatStattLehrer = 5,
    KatVertreter = 6,
    KatKlassen = 7,
    KatRaum = 8,
    KatVerlegtVon = 9,
    KatText = 10,
    KatMitbetreuung = 11,
    KatEMail = 12,
    KatGesendet = 13,
    KatGeaendert = 14,
};

// The mail-server record: the fields of the server settings dialog.
struct TEinstellungen {
    std::string Absendername;
    std::string SmtpServer;
    std::string Port;
    std::string Kontoname;
    std::string Kennwort; // plain text, in memory only
    std::string Anmeldename;
    std::string Absender;
    std::string AntwortAn;
    std::string KopieAn;
    std::string Zusatztext;
    bool KennwortSpeichern = true;
    bool KopieSenden = false;
    bool ZusatztextAnhaengen = false;
    int Authentifizierung = 2; // index into TSmtpAuthType
    int Prioritaet = 0;        // index into TSmtpPriority

    // Connection security: Name=Value lines of the settings file that older versions skip.
    int Verbindungssicherheit = 0; // index into TSmtpSecurity: automatic, none, STARTTLS, TLS
    bool ZertifikatUngeprueftAnnehmen = false; // a certificate that fails verification passes
    std::string ZusatzCaDatei; // CA file trusted besides the system's store; empty for none

    // Seconds the desktop program waits for a server that has gone silent.
    int Zeitlimit = 60;
    // Sign-in with OAuth 2.0: empty for user name and password, else "microsoft", "google" or
    // "custom". The endpoints and the scope are used by "custom" only.
    std::string OAuth;
    std::string OAuthClientId;
    std::string OAuthClientSecret;
    std::string OAuthTenant = "organizations";
    std::string OAuthDeviceUrl;
    std::string OAuthAuthUrl;
    std::string OAuthTokenUrl;
    std::string OAuthScope;
};

// Position and size of the desktop program's main window.
struct Fensterlage {
    int x = 0;
    int y = 0;
    int breite = 0;
    int hoehe = 0;
    friend bool operator==(const Fensterlage&, const Fensterlage&) = default;
};

// Every value of the settings file, held in memory while the program runs. Texts are
// Windows-1252 bytes.
struct Einstellungen {
    std::string GpnDatei;
    std::string AktDatum; // YYYYMMDD
    int Periode = 1;      // 1-based

    bool FehlermeldungBeimEinlesen = true;
    bool SamstagsSchule = false;
    bool LehrerLangnamen = true;
    bool DatumBeiVerlegungAmSelbenTag = false;

    std::string Versionstext; // "v1.3", written back unchanged

    std::array<int, AnzahlKategorien> Reihenfolge{};
    std::array<int, AnzahlKategorien> Spaltenbreiten{};
    std::array<std::string, AnzahlMailKategorien> Ueberschriften;
    int LoeschTage = 30;
    // Name=Value lines this version does not know (a newer one wrote them): written back as read.
    std::vector<std::string> UnbekannteZusatzzeilen;

    // A changed plan's mail lists what changed since the earlier mail.
    bool Aenderungen = true;
    // Each substitution mail carries a calendar attachment.
    bool Kalender = false;
    // Lesson times as written by the user ("1=07:45-08:30;2=..."); empty for all-day entries.
    std::string Stundenzeiten;
    // The desktop program's window as the user left it; empty: the program's own choice.
    std::optional<Fensterlage> Fenster;
    bool Maximiert = false;
    std::vector<int> FensterSpaltenbreiten; // pixels per shown column, left to right

    TEinstellungen Server;
    // The scrambled password line as last read from the file.
    std::string GespeichertesKennwort;

    // Sent-mail records, newest plan date first: row key + "," + send stamp YYYYMMDDhhmm.
    std::vector<std::string> GesendeteMails;

    // Derived from Reihenfolge, not stored: category per slot, -1 for an empty slot.
    std::array<int, AnzahlKategorien> Bildschirmspalten{};
    std::array<int, AnzahlKategorien> Mailspalten{};
};

} // namespace tafelbot

#pragma once

// The fields of the mail-server record, one row each: the server block of the settings file
// (one line a field, in row order), its reader and writer and the server settings dialog's model
// all walk these rows. The record (TEinstellungen) and the model name their fields alike, so a
// row reaches the field in each of them.

#include <array>
#include <span>
#include <string>

namespace tafelbot {

enum class FeldArt {
    Text,
    Schalter,    // "0" or "1"
    Listenindex, // a number into the row's list; the dialog shows the list's text
    Kennwort,    // scrambled in the file, plain text in memory
};

struct ServerFeld {
    int zeile;        // position in the server block, from 0; keineZeile: a Name=Value line
    const char* name; // the field's name in the record and in the model
    FeldArt art;
    std::span<const std::string> liste = {}; // Listenindex: the texts the dialog shows
};

inline constexpr int keineZeile = -1;

// The lists of the dialog's choice fields; a number in the file is an index into them.
inline const std::array<std::string, 6> AuthentifizierungTexte{"None",    "Plain",    "Login",
                                                               "CramMD5", "CramSHA1", "AutoSelect"};
inline const std::array<std::string, 6> PrioritaetTexte{
    "Nicht spezifiziert", "Highest", "High", "Normal", "Low", "Lowest"};
// Index = TSmtpSecurity.
inline const std::array<std::string, 4> VerbindungssicherheitTexte{"Automatisch", "Keine",
                                                                   "STARTTLS erforderlich", "TLS"};

// Calls besuche(row, satz.Feld...) for every row in file order, with the row's field of each
// record given: a reader passes one record, the model the record and itself.
template <typename Besucher, typename... Saetze>
void fuerServerFelder(Besucher&& besuche, Saetze&... s) {
    using enum FeldArt;
    besuche(ServerFeld{0, "Absendername", Text}, s.Absendername...);
    besuche(ServerFeld{1, "SmtpServer", Text}, s.SmtpServer...);
    besuche(ServerFeld{2, "Port", Text}, s.Port...);
    besuche(ServerFeld{3, "Kontoname", Text}, s.Kontoname...);
    besuche(ServerFeld{4, "KennwortSpeichern", Schalter}, s.KennwortSpeichern...);
    besuche(ServerFeld{5, "Kennwort", Kennwort}, s.Kennwort...);
    besuche(ServerFeld{6, "Anmeldename", Text}, s.Anmeldename...);
    besuche(ServerFeld{7, "Absender", Text}, s.Absender...);
    besuche(ServerFeld{8, "AntwortAn", Text}, s.AntwortAn...);
    besuche(ServerFeld{9, "Authentifizierung", Listenindex, AuthentifizierungTexte},
            s.Authentifizierung...);
    besuche(ServerFeld{10, "Prioritaet", Listenindex, PrioritaetTexte}, s.Prioritaet...);
    besuche(ServerFeld{11, "KopieSenden", Schalter}, s.KopieSenden...);
    besuche(ServerFeld{12, "KopieAn", Text}, s.KopieAn...);
    besuche(ServerFeld{13, "ZusatztextAnhaengen", Schalter}, s.ZusatztextAnhaengen...);
    besuche(ServerFeld{14, "Zusatztext", Text}, s.Zusatztext...);
    // Shown in the same dialog, stored as Name=Value lines before the block.
    besuche(
        ServerFeld{keineZeile, "Verbindungssicherheit", Listenindex, VerbindungssicherheitTexte},
        s.Verbindungssicherheit...);
    besuche(ServerFeld{keineZeile, "ZertifikatUngeprueftAnnehmen", Schalter},
            s.ZertifikatUngeprueftAnnehmen...);
    besuche(ServerFeld{keineZeile, "OAuth", Text}, s.OAuth...);
    besuche(ServerFeld{keineZeile, "OAuthClientId", Text}, s.OAuthClientId...);
}

// Lines of the server block.
inline constexpr int ServerBlockZeilen = 15;

} // namespace tafelbot

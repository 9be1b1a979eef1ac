#pragma once

#include "plan/PlanDaten.h"
#include "settings/Einstellungen.h"
#include "settings/ServerFelder.h"

#include <array>
#include <string>
#include <vector>

namespace tafelbot {

class UiPort;

// The server settings dialog without a toolkit: what its fields hold, and what saving, the check
// boxes, the teacher list and "Felder löschen" do with them. Texts are Windows-1252 bytes.
class ServerSettingsModel {
public:
    static constexpr const auto& AuthentifizierungListe = AuthentifizierungTexte;
    static constexpr const auto& PrioritaetListe = PrioritaetTexte;
    static constexpr const auto& VerbindungssicherheitListe = VerbindungssicherheitTexte;
    static constexpr std::size_t ZusatztextGrenze = 254;

    ServerSettingsModel();

    // ---- left panel: the fields as the controls hold them, named as in the record (the rows
    // of ServerFelder.h reach both) ----
    std::string Absendername;
    std::string SmtpServer;
    std::string Port = "25";
    std::string Kontoname;
    std::string Kennwort;
    std::string Anmeldename;
    std::string Absender;
    std::string AntwortAn;
    std::string KopieAn;
    bool KennwortSpeichern = true;
    bool KopieSenden = false;
    bool ZusatztextAnhaengen = false;
    std::string Authentifizierung; // the list's current text
    std::string Prioritaet;
    std::vector<std::string> Zusatztext; // the lines of the multi-line field
    std::string Verbindungssicherheit;   // the list's current text
    bool ZertifikatUngeprueftAnnehmen = false;
    std::string OAuth; // the sign-in's provider, empty for user name and password
    std::string OAuthClientId;

    // ---- right panel: the test mail ----
    std::string LehrerText; // the text of the teacher list
    std::string Empfaenger;
    std::string Betreff;
    std::vector<std::string> MailText;

    // The password field and the copy address are only editable while their box is ticked.
    bool kennwortAktiv() const { return KennwortSpeichern; }
    bool kopieAnAktiv() const { return KopieSenden; }

    // Puts the record into the left panel, as reading the settings file does.
    void laden(const TEinstellungen& server);
    // Copies the left panel into the record; the additional text is joined into one line, cut
    // to 254 characters with an information box when it is longer. The field then holds the
    // saved line.
    void uebernehmen(TEinstellungen& server, UiPort& ui);

    // "Kennwort speichern (verschlüsselt)" ticked or unticked: unticking empties the password.
    void kennwortSpeichernGeklickt(bool gesetzt);
    void kopieSendenGeklickt(bool gesetzt) { KopieSenden = gesetzt; }
    // Entry `eintrag` of the teacher list was chosen: its address becomes the recipient, or an
    // information box says that the teacher has none.
    void lehrerGewaehlt(int eintrag, const Plan& plan, UiPort& ui);
    // "Felder löschen".
    void felderLoeschen();

    // The additional text as saving makes it: trimmed lines joined by single spaces, at most
    // 254 characters; `gekuerzt` tells whether something had to be cut off.
    static std::string zusatztextZeile(const std::vector<std::string>& zeilen, bool& gekuerzt);
    // The teacher shown by entry `eintrag` of the teacher list, or nullptr.
    static const TLehrer* lehrerVonEintrag(const Plan& plan, int eintrag);
};

} // namespace tafelbot

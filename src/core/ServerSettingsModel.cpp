#include "core/ServerSettingsModel.h"

#include "settings/Cp1252.h"
#include "settings/DatumText.h"
#include "ui/UiPort.h"

namespace tafelbot {

namespace {

template <std::size_t N>
int listenIndex(const std::array<std::string, N>& liste, const std::string& text) {
    for (std::size_t i = 0; i < liste.size(); ++i)
        if (liste[i] == text)
            return static_cast<int>(i);
    return 0;
}

template <std::size_t N>
std::string listenText(const std::array<std::string, N>& liste, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= liste.size())
        return {};
    return liste[static_cast<std::size_t>(index)];
}

bool istPlatzhalter(const TLehrer& lehrer) {
    return lehrer.Kurzname == "?" || lehrer.Kurzname == "*";
}

} // namespace

const std::array<std::string, 6> ServerSettingsModel::AuthentifizierungListe{
    "None", "Plain", "Login", "CramMD5", "CramSHA1", "AutoSelect"};
const std::array<std::string, 6> ServerSettingsModel::PrioritaetListe{
    "Nicht spezifiziert", "Highest", "High", "Normal", "Low", "Lowest"};
const std::array<std::string, 4> ServerSettingsModel::VerbindungssicherheitListe{
    "Automatisch", "Keine", "STARTTLS erforderlich", "TLS"};

ServerSettingsModel::ServerSettingsModel()
    : Betreff("Vertretungspläne (Test-eMail)"_cp),
      MailText{
          "Liebe Kollegin, lieber Kollege,",
          "",
          "Sie wollen per eMail über die Vertretungspläne, die Sie betreffen, informiert werden."_cp,
          "Mit dieser Test-eMail soll überprüft werden, ob Sie die Nachrichten erhalten."_cp,
          "Bitte bestätigen Sie den Erhalt dieser Nachricht durch eine Antwort-Mail."_cp,
          "",
          "Vielen Dank.",
          "",
          "Kollegiale Grüße,"_cp,
          "Ihr Vertretungsplaner"} {}

void ServerSettingsModel::laden(const TEinstellungen& server) {
    Absendername = server.Absendername;
    SmtpServer = server.SmtpServer;
    Port = server.Port;
    Kontoname = server.Kontoname;
    Kennwort = server.Kennwort;
    Anmeldename = server.Anmeldename;
    Absender = server.Absender;
    AntwortAn = server.AntwortAn;
    KopieAn = server.KopieAn;
    kennwortSpeichernGeklickt(server.KennwortSpeichern);
    KopieSenden = server.KopieSenden;
    ZusatztextAnhaengen = server.ZusatztextAnhaengen;
    Authentifizierung = listenText(AuthentifizierungListe, server.Authentifizierung);
    Prioritaet = listenText(PrioritaetListe, server.Prioritaet);
    Zusatztext = {server.Zusatztext};
    Verbindungssicherheit = listenText(VerbindungssicherheitListe, server.Verbindungssicherheit);
    ZertifikatUngeprueftAnnehmen = server.ZertifikatUngeprueftAnnehmen;
    OAuth = server.OAuth;
    OAuthClientId = server.OAuthClientId;
}

std::string ServerSettingsModel::zusatztextZeile(const std::vector<std::string>& zeilen,
                                                 bool& gekuerzt) {
    std::string ergebnis;
    gekuerzt = false;
    for (std::size_t i = 0; i < zeilen.size(); ++i) {
        std::string teil = (i == 0 ? std::string() : std::string(" ")) + ohneLeerzeichen(zeilen[i]);
        if (ergebnis.size() + teil.size() > ZusatztextGrenze) {
            ergebnis += teil.substr(0, ZusatztextGrenze - ergebnis.size());
            gekuerzt = true;
            break;
        }
        ergebnis += teil;
    }
    return ergebnis;
}

void ServerSettingsModel::uebernehmen(TEinstellungen& server, UiPort& ui) {
    server.Absendername = Absendername;
    server.SmtpServer = SmtpServer;
    server.Port = Port;
    server.Kontoname = Kontoname;
    server.Kennwort = Kennwort;
    server.Anmeldename = Anmeldename;
    server.Absender = Absender;
    server.AntwortAn = AntwortAn;
    server.KopieAn = KopieAn;
    server.KennwortSpeichern = KennwortSpeichern;
    server.KopieSenden = KopieSenden;
    server.ZusatztextAnhaengen = ZusatztextAnhaengen;
    server.Authentifizierung = listenIndex(AuthentifizierungListe, Authentifizierung);
    server.Prioritaet = listenIndex(PrioritaetListe, Prioritaet);
    server.Verbindungssicherheit = listenIndex(VerbindungssicherheitListe, Verbindungssicherheit);
    server.ZertifikatUngeprueftAnnehmen = ZertifikatUngeprueftAnnehmen;
    server.OAuth = OAuth;
    server.OAuthClientId = OAuthClientId;

    bool gekuerzt = false;
    server.Zusatztext = zusatztextZeile(Zusatztext, gekuerzt);
    if (gekuerzt)
        ui.showInformation("Der eingegebene Zusatztext besteht aus mehr als 255 Zeichen!\n\r"
                           "Der Text musste gekürzt werden."_cp);
    Zusatztext = {server.Zusatztext};
}

void ServerSettingsModel::kennwortSpeichernGeklickt(bool gesetzt) {
    KennwortSpeichern = gesetzt;
    if (!gesetzt)
        Kennwort.clear();
}

const TLehrer* ServerSettingsModel::lehrerVonEintrag(const Plan& plan, int eintrag) {
    if (eintrag < 0)
        return nullptr;
    int nummer = 0;
    for (const TLehrer& lehrer : plan.Lehrer) {
        if (istPlatzhalter(lehrer))
            continue;
        if (nummer++ == eintrag)
            return &lehrer;
    }
    return nullptr;
}

void ServerSettingsModel::lehrerGewaehlt(int eintrag, const Plan& plan, UiPort& ui) {
    const TLehrer* lehrer = lehrerVonEintrag(plan, eintrag);
    if (lehrer == nullptr)
        return;
    if (lehrer->HatEMail)
        Empfaenger = lehrer->EMail;
    else
        ui.showInformation("Für Lehrer \""_cp + lehrer->Langname +
                           "\" ist keine eMail-Adresse vorhanden!");
}

void ServerSettingsModel::felderLoeschen() {
    Empfaenger.clear();
    Betreff.clear();
    LehrerText.clear();
    MailText.clear();
}

} // namespace tafelbot

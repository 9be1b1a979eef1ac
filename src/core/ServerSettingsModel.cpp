#include "core/ServerSettingsModel.h"

#include "settings/Cp1252.h"
#include "settings/DatumText.h"
#include "ui/UiPort.h"

#include <span>
#include <type_traits>
#include <utility>

namespace tafelbot {

namespace {

int listenIndex(std::span<const std::string> liste, const std::string& text) {
    for (std::size_t i = 0; i < liste.size(); ++i)
        if (liste[i] == text)
            return static_cast<int>(i);
    return 0;
}

std::string listenText(std::span<const std::string> liste, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= liste.size())
        return {};
    return liste[static_cast<std::size_t>(index)];
}

// From the record into the dialog's field, by the field's kind.
template <typename Wert>
void ins(const ServerFeld& /*feld*/, const Wert& von, Wert& nach) {
    nach = von;
}
void ins(const ServerFeld& feld, int von, std::string& nach) {
    nach = listenText(feld.liste, von);
}
void ins(const ServerFeld& /*feld*/, const std::string& von, std::vector<std::string>& nach) {
    nach = {von};
}

// From the dialog's field into the record; the multi-line field is joined separately.
template <typename Wert>
void aus(const ServerFeld& /*feld*/, const Wert& von, Wert& nach) {
    nach = von;
}
void aus(const ServerFeld& feld, const std::string& von, int& nach) {
    nach = listenIndex(feld.liste, von);
}

bool istPlatzhalter(const TLehrer& lehrer) {
    return lehrer.Kurzname == "?" || lehrer.Kurzname == "*";
}

} // namespace

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
    fuerServerFelder([](const ServerFeld& f, const auto& von, auto& nach) { ins(f, von, nach); },
                     server, *this);
    kennwortSpeichernGeklickt(KennwortSpeichern);
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
    bool gekuerzt = false;
    fuerServerFelder(
        [&](const ServerFeld& f, auto& nach, const auto& von) {
            if constexpr (std::is_same_v<std::decay_t<decltype(von)>, std::vector<std::string>>)
                nach = zusatztextZeile(von, gekuerzt);
            else
                aus(f, von, nach);
        },
        server, std::as_const(*this));
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

#include "mail/Aenderungen.h"

#include "settings/Cp1252.h"

#include <algorithm>

namespace tafelbot {

FruehereMail fruehereMail(const std::vector<std::string>& gesendeteMails, const std::string& datum,
                          const std::string& kurzname) {
    FruehereMail mail;
    for (const std::string& satz : gesendeteMails) {
        if (satzDatum(satz) != datum || !satzVon(satz, kurzname))
            continue;
        if (!mail.gefunden)
            mail.sendStamp = std::string(stempelDes(satz));
        mail.gefunden = true;
        if (istHinweissatz(satz))
            continue;
        if (auto felder = zerlegeSchluessel(schluesselDes(satz)))
            mail.zeilen.push_back(std::move(*felder));
    }
    // A mail's records go in one by one, each before the ones of its date: they stand in the
    // reverse order of the mail's rows.
    std::reverse(mail.zeilen.begin(), mail.zeilen.end());
    return mail;
}

std::vector<const TVZeile*> zeilenDesLehrers(const Zeilenliste& zeilen, int zeile) {
    const TVZeile& lehrerZeile = zeilen.Zeilen.at(static_cast<std::size_t>(zeile));
    std::vector<const TVZeile*> ergebnis;
    for (int index : zeilen.ZeilenFolge) {
        const TVZeile& z = zeilen.Zeilen.at(static_cast<std::size_t>(index));
        if (selberLehrer(z, lehrerZeile) && z.Stunde != "-1")
            ergebnis.push_back(&z);
    }
    return ergebnis;
}

std::vector<Aenderung> aenderungen(const std::vector<const TVZeile*>& jetzt,
                                   const std::vector<Satzfelder>& frueher) {
    std::vector<Satzfelder> offen = frueher; // earlier rows no current row has matched yet
    std::vector<Aenderung> liste;
    for (const TVZeile* zeile : jetzt) {
        const auto felder = zerlegeSchluessel(zeile->Schluessel);
        if (!felder)
            continue;
        const auto gleich = std::find(offen.begin(), offen.end(), *felder);
        if (gleich != offen.end())
            offen.erase(gleich);
        else
            liste.push_back({true, *felder});
    }
    for (Satzfelder& felder : offen)
        liste.push_back({false, std::move(felder)});
    std::stable_sort(liste.begin(), liste.end(), [](const Aenderung& a, const Aenderung& b) {
        if (a.felder.stunde != b.felder.stunde)
            return a.felder.stunde < b.felder.stunde;
        return !a.neu && b.neu;
    });
    return liste;
}

std::string aenderungsZeile(const Aenderung& aenderung,
                            const std::array<std::string, AnzahlMailKategorien>& ueberschriften) {
    const Satzfelder& f = aenderung.felder;
    std::string zeile = aenderung.neu ? "neu:" : "entfällt:"_cp;
    bool erstes = true;
    auto feld = [&](int kategorie, const std::string& wert) {
        if (wert.empty())
            return;
        zeile += (erstes ? " " : ", ") + ueberschriften[static_cast<std::size_t>(kategorie)] +
                 ": " + wert;
        erstes = false;
    };
    feld(KatStunde, f.stunde);
    feld(KatStattFach, f.stattFach);
    feld(KatKlassen, f.klassen);
    feld(KatRaum, f.raum);
    feld(KatVerlegtVon, f.verlegtVon);
    feld(KatText, f.text);
    feld(KatMitbetreuung, f.mitbetreuung ? "ja" : "");
    return zeile;
}

} // namespace tafelbot

#include "mail/SendQueue.h"

#include "plan/Versandsatz.h"
#include "settings/DatumText.h"

#include <algorithm>
#include <cctype>

namespace tafelbot {

namespace {

// The first 8 characters compared as text, ASCII letters without regard to case.
bool datumNichtGroesser(const std::string& record, const std::string& neu) {
    for (std::size_t i = 0; i < 8; ++i) {
        const int a = i < record.size() ? std::tolower(static_cast<unsigned char>(record[i])) : -1;
        const int b = i < neu.size() ? std::tolower(static_cast<unsigned char>(neu[i])) : -1;
        if (a != b)
            return a < b;
    }
    return true;
}

} // namespace

std::vector<int> ersteZeilenDerEmpfaenger(const Zeilenliste& zeilen) {
    std::vector<int> erste;
    const auto& folge = zeilen.ZeilenFolge;
    for (auto pos = folge.begin(); pos != folge.end(); ++pos) {
        const TVZeile& zeile = zeilen.Zeilen[static_cast<std::size_t>(*pos)];
        if (!zeile.HatEMail || !zeile.Senden)
            continue;
        const bool frueher = std::any_of(folge.begin(), pos, [&](int i) {
            return selberLehrer(zeilen.Zeilen[static_cast<std::size_t>(i)], zeile);
        });
        if (!frueher)
            erste.push_back(*pos);
    }
    return erste;
}

int lehrerOhneAdresse(const Zeilenliste& zeilen) {
    std::set<int> lehrer;
    for (const TVZeile& zeile : zeilen.Zeilen)
        if (!zeile.HatEMail)
            lehrer.insert(zeile.LehrerIndex);
    return static_cast<int>(lehrer.size());
}

std::string empfaengerListe(const Zeilenliste& zeilen, const Plan& plan,
                            const std::set<int>& ausgenommen) {
    std::string liste;
    int n = 0;
    for (int index : ersteZeilenDerEmpfaenger(zeilen)) {
        const TVZeile& zeile = zeilen.Zeilen[static_cast<std::size_t>(index)];
        if (ausgenommen.count(zeile.LehrerIndex))
            continue;
        if (n > 0)
            liste += "\n\r";
        liste += std::string(10, ' ') + std::to_string(++n) + ".   ";
        if (zeile.LehrerIndex >= 0 &&
            static_cast<std::size_t>(zeile.LehrerIndex) < plan.Lehrer.size()) {
            const TLehrer& lehrer = plan.Lehrer[static_cast<std::size_t>(zeile.LehrerIndex)];
            liste += lehrer.Vorname + " " + lehrer.Langname;
        } else {
            liste += zeile.Vertreter;
        }
    }
    return liste;
}

int naechsteZuSendendeZeile(const Zeilenliste& zeilen, const std::set<int>& ausgenommen) {
    for (int index : zeilen.ZeilenFolge) {
        const TVZeile& zeile = zeilen.Zeilen[static_cast<std::size_t>(index)];
        if (zeile.HatEMail && zeile.Senden && !ausgenommen.count(zeile.LehrerIndex))
            return index;
    }
    return -1;
}

void versandAufzeichnen(std::vector<std::string>& gesendeteMails, Zeilenliste& zeilen,
                        int aktuelleZeile, const std::string& aktDatum, const std::string& kurzname,
                        const std::string& sendStamp) {
    std::erase_if(gesendeteMails, [&](const std::string& record) {
        return record.size() >= 8 && record.compare(0, 8, aktDatum) == 0 &&
               satzVon(record, kurzname);
    });
    const TVZeile aktuelle = zeilen.Zeilen.at(static_cast<std::size_t>(aktuelleZeile));
    for (TVZeile& zeile : zeilen.Zeilen) {
        if (!selberLehrer(zeile, aktuelle))
            continue;
        zeile.Senden = false;
        zeile.Gesendet = true;
        zeile.Geaendert = false;
        std::string record = zeile.Schluessel + "," + sendStamp;
        auto stelle =
            std::find_if(gesendeteMails.begin(), gesendeteMails.end(),
                         [&](const std::string& r) { return datumNichtGroesser(r, record); });
        gesendeteMails.insert(stelle, std::move(record));
    }
}

} // namespace tafelbot

#include "core/Schultage.h"

#include "settings/DatumText.h"

namespace tafelbot {

std::string naechsterSchultagNach(const std::string& datum, bool samstagsSchule) {
    const DatumZeit d = datumAusText(datum).value_or(DatumZeit{});
    const int tag = wochentag(d);
    int schritt = 1;
    if (samstagsSchule && tag == 6)
        schritt = 2;
    else if (!samstagsSchule && tag == 5)
        schritt = 3;
    return DatumZuText(d.plusTage(schritt));
}

std::string datumLang(const std::string& jjjjmmtt) {
    if (jjjjmmtt.size() != 8)
        return jjjjmmtt;
    return jjjjmmtt.substr(6, 2) + "." + jjjjmmtt.substr(4, 2) + "." + jjjjmmtt.substr(0, 4);
}

Schultage schultageAb(const std::string& datum, int anzahl, bool samstagsSchule,
                      const std::vector<TPeriode>& perioden, int periode) {
    Schultage tage{{datum}, {}};
    const TPeriode* p = periode >= 1 && static_cast<std::size_t>(periode) <= perioden.size()
                            ? &perioden[static_cast<std::size_t>(periode - 1)]
                            : nullptr;
    std::string naechster = datum;
    for (int i = 1; i < anzahl; ++i) {
        naechster = naechsterSchultagNach(naechster, samstagsSchule);
        if (p && datumAusText(p->Bis) && naechster > p->Bis) {
            tage.hinweis = "Die Periode \"" + p->Name + "\" endet am " + datumLang(p->Bis) +
                           "; die Tage ab dem " + datumLang(naechster) +
                           " werden nicht bearbeitet.";
            break;
        }
        tage.daten.push_back(naechster);
    }
    return tage;
}

} // namespace tafelbot

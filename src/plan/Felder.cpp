#include "plan/Felder.h"

namespace tafelbot {

FeldListe& FeldListe::teile(std::string_view zeile, char separator) {
    felder_.clear();
    bool inAnfuehrung = false;
    std::size_t anfang = 0;
    for (std::size_t i = 0; i < zeile.size(); ++i) {
        char c = zeile[i];
        if (c == '"') {
            inAnfuehrung = !inAnfuehrung;
        } else if (c == separator && !inAnfuehrung) {
            felder_.push_back(zeile.substr(anfang, i - anfang));
            anfang = i + 1;
        }
    }
    felder_.push_back(zeile.substr(anfang));
    return *this;
}

std::string_view FeldListe::feld(std::int64_t n) const {
    if (n < 1 || static_cast<std::uint64_t>(n) > felder_.size())
        return {};
    std::string_view wert = felder_[static_cast<std::size_t>(n - 1)];
    if (wert.size() >= 2 && wert.front() == '"' && wert.back() == '"')
        wert = wert.substr(1, wert.size() - 2);
    return wert;
}

std::string_view teilText(std::string_view text, std::size_t von, std::size_t anzahl) {
    if (von < 1 || von > text.size())
        return {};
    return text.substr(von - 1, anzahl);
}

} // namespace tafelbot

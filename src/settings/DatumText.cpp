#include "settings/DatumText.h"

#include "platform/Platform.h"
#include "ui/UiPort.h"

#include <chrono>
#include <cstdio>

namespace tafelbot {

namespace {

using namespace std::chrono;

constexpr sys_days Nullpunkt = sys_days(year(1899) / December / 30);
constexpr int Sekunden101010 = 10 * 3600 + 10 * 60 + 10;

bool nurZiffern(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

int ziffernWert(std::string_view text) {
    int wert = 0;
    for (char c : text)
        wert = wert * 10 + (c - '0');
    return wert;
}

} // namespace

Kalenderdatum kalenderdatum(const DatumZeit& wert) {
    year_month_day ymd(Nullpunkt + days(wert.tag));
    return {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
            static_cast<int>(static_cast<unsigned>(ymd.day()))};
}

int wochentag(const DatumZeit& wert) {
    return static_cast<int>(weekday(Nullpunkt + days(wert.tag)).c_encoding());
}

std::optional<DatumZeit> datumZeitAus(int jahr, int monat, int tag, int stunde, int minute,
                                      int sekunde) {
    if (jahr < 1 || jahr > 9999 || monat < 1 || monat > 12 || tag < 1 || tag > 31)
        return std::nullopt;
    if (stunde < 0 || stunde > 23 || minute < 0 || minute > 59 || sekunde < 0 || sekunde > 59)
        return std::nullopt;
    year_month_day ymd(year(jahr), month(static_cast<unsigned>(monat)),
                       day(static_cast<unsigned>(tag)));
    if (!ymd.ok())
        return std::nullopt;
    return DatumZeit{(sys_days(ymd) - Nullpunkt).count(), stunde * 3600 + minute * 60 + sekunde};
}

std::string DatumZuText(const DatumZeit& wert) {
    Kalenderdatum d = kalenderdatum(wert);
    char text[32];
    std::snprintf(text, sizeof text, "%.4d%.2d%.2d", d.jahr, d.monat, d.tag);
    return text;
}

std::optional<DatumZeit> datumAusText(std::string_view text) {
    if (text.size() != 8 || !nurZiffern(text))
        return std::nullopt;
    return datumZeitAus(ziffernWert(text.substr(0, 4)), ziffernWert(text.substr(4, 2)),
                        ziffernWert(text.substr(6, 2)), 10, 10, 10);
}

DatumZeit Str2DateTime(const std::string& text, UiPort& ui) {
    if (auto wert = datumAusText(text))
        return *wert;
    ui.showError("Str2DateTime(): Falsches Datumsformat in der Zeichenkette \"" + text + "\"");
    return DatumZeit{};
}

std::string WochentagName(const DatumZeit& wert) {
    static const char* const Namen[] = {"Sonntag",    "Montag",  "Dienstag", "Mittwoch",
                                        "Donnerstag", "Freitag", "Samstag"};
    return Namen[wochentag(wert)];
}

DatumZeit jetzt() {
    platform::CivilTime t = platform::clock().localNow();
    auto wert = datumZeitAus(t.year, t.month, t.day, t.hour, t.minute, t.second);
    return wert.value_or(DatumZeit{});
}

namespace {

// Field n as it stands in the line, quotes and all.
std::string_view rohesFeld(std::string_view zeile, char separator, int n) {
    if (n < 1)
        return {};
    bool inAnfuehrung = false;
    int feld = 1;
    std::size_t anfang = 0;
    std::size_t ende = zeile.size();
    bool gefunden = false;
    for (std::size_t i = 0; i < zeile.size(); ++i) {
        char c = zeile[i];
        if (c == '"') {
            inAnfuehrung = !inAnfuehrung;
        } else if (c == separator && !inAnfuehrung) {
            if (feld == n) {
                ende = i;
                gefunden = true;
                break;
            }
            ++feld;
            anfang = i + 1;
        }
    }
    if (!gefunden && feld != n)
        return {};
    return zeile.substr(anfang, ende - anfang);
}

bool inAnfuehrungszeichen(std::string_view feld) {
    return feld.size() >= 2 && feld.front() == '"' && feld.back() == '"';
}

} // namespace

std::string LiesFeld(std::string_view zeile, char separator, int n) {
    std::string_view wert = rohesFeld(zeile, separator, n);
    if (inAnfuehrungszeichen(wert))
        wert = wert.substr(1, wert.size() - 2);
    return std::string(wert);
}

std::string alsQuotiertesFeld(std::string_view text) {
    std::string feld = "\"";
    for (char c : text) {
        feld += c;
        if (c == '"')
            feld += c;
    }
    return feld + "\"";
}

std::string ausQuotiertemFeld(std::string_view feld) {
    if (!inAnfuehrungszeichen(feld))
        return std::string(feld);
    std::string text;
    feld = feld.substr(1, feld.size() - 2);
    for (std::size_t i = 0; i < feld.size(); ++i) {
        text += feld[i];
        if (feld[i] == '"' && i + 1 < feld.size() && feld[i + 1] == '"')
            ++i;
    }
    return text;
}

std::string LiesQuotiertesFeld(std::string_view zeile, char separator, int n) {
    return ausQuotiertemFeld(rohesFeld(zeile, separator, n));
}

std::optional<std::int32_t> alsGanzzahl(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negativ = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negativ = text[i] == '-';
        ++i;
    }
    if (i >= text.size())
        return std::nullopt;
    std::int64_t wert = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        wert = wert * 10 + (c - '0');
        if (wert > 2147483648LL)
            return std::nullopt;
    }
    if (negativ)
        wert = -wert;
    if (wert > 2147483647LL)
        return std::nullopt;
    return static_cast<std::int32_t>(wert);
}

std::string ohneLeerzeichen(std::string_view text) {
    std::size_t anfang = text.find_first_not_of(' ');
    if (anfang == std::string_view::npos)
        return {};
    std::size_t ende = text.find_last_not_of(' ');
    return std::string(text.substr(anfang, ende - anfang + 1));
}

} // namespace tafelbot

#include "mail/Kalender.h"

#include "settings/Cp1252.h"
#include "settings/FixeTexte.h"

#include <algorithm>
#include <cstdio>
#include <set>

namespace tafelbot {

namespace {

// Days since 1 January 1970 of a date of the Gregorian calendar.
long tageSeit1970(int jahr, int monat, int tag) {
    const int y = monat <= 2 ? jahr - 1 : jahr;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (monat + (monat > 2 ? -3 : 9)) + 2) / 5 + tag - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<long>(era) * 146097 + doe - 719468;
}

platform::CivilTime datumAusTagen(long tage) {
    tage += 719468;
    const long era = (tage >= 0 ? tage : tage - 146096) / 146097;
    const long doe = tage - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    platform::CivilTime t;
    t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2 ? 1 : 0));
    return t;
}

int letzterSonntag(int jahr, int monat) {
    const long letzter = tageSeit1970(jahr, monat, 31); // March and October have 31 days
    const long wochentag = (letzter + 4) % 7;           // 1 January 1970 was a Thursday
    return 31 - static_cast<int>(wochentag);
}

long sekunden(const platform::CivilTime& t) {
    return tageSeit1970(t.year, t.month, t.day) * 86400L + t.hour * 3600L + t.minute * 60L +
           t.second;
}

std::string text(const char* muster, int a, int b = 0, int c = 0, int d = 0, int e = 0, int f = 0) {
    char puffer[64];
    std::snprintf(puffer, sizeof puffer, muster, a, b, c, d, e, f);
    return puffer;
}

// "YYYYMMDD" as a date; nullopt when it is none.
std::optional<platform::CivilTime> datumVon(const std::string& datum) {
    int jahr = 0;
    int monat = 0;
    int tag = 0;
    if (datum.size() != 8 || std::sscanf(datum.c_str(), "%4d%2d%2d", &jahr, &monat, &tag) != 3)
        return std::nullopt;
    platform::CivilTime t = datumAusTagen(tageSeit1970(jahr, monat, tag));
    if (t.year != jahr || t.month != monat || t.day != tag)
        return std::nullopt;
    return t;
}

std::optional<int> zahl(const std::string& text) {
    if (text.empty() || text.size() > 3)
        return std::nullopt;
    int wert = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        wert = wert * 10 + (c - '0');
    }
    return wert;
}

// "07:45" as minutes after midnight.
std::optional<int> uhrzeit(const std::string& text) {
    const auto doppelpunkt = text.find(':');
    if (doppelpunkt == std::string::npos || text.size() - doppelpunkt != 3)
        return std::nullopt;
    const auto stunde = zahl(text.substr(0, doppelpunkt));
    const auto minute = zahl(text.substr(doppelpunkt + 1));
    if (!stunde || !minute || *stunde > 23 || *minute > 59)
        return std::nullopt;
    return *stunde * 60 + *minute;
}

std::string ohneRand(const std::string& text) {
    const auto anfang = text.find_first_not_of(" \t");
    if (anfang == std::string::npos)
        return {};
    return text.substr(anfang, text.find_last_not_of(" \t") - anfang + 1);
}

// The beginning and end of a lesson text ("3", "4/5", "/1") in minutes; nullopt for all-day.
std::optional<Stundenzeiten::Zeit> zeitDer(const std::string& stunde, const Stundenzeiten& z) {
    const auto strich = stunde.find('/');
    const std::string von = strich == std::string::npos ? stunde : stunde.substr(0, strich);
    const std::string bis = strich == std::string::npos ? stunde : stunde.substr(strich + 1);
    const auto erste = zahl(von.empty() ? bis : von);
    const auto letzte = zahl(bis);
    if (!erste || !letzte || !z.zeiten.count(*erste) || !z.zeiten.count(*letzte))
        return std::nullopt;
    const Stundenzeiten::Zeit zeit{z.zeiten.at(*erste).beginn, z.zeiten.at(*letzte).ende};
    if (zeit.beginn >= zeit.ende)
        return std::nullopt;
    return zeit;
}

std::string lokal(const platform::CivilTime& tag, int minuten) {
    return text("%.4d%.2d%.2dT%.2d%.2d00", tag.year, tag.month, tag.day, minuten / 60,
                minuten % 60);
}

const char* const Zeitzone[] = {
    "BEGIN:VTIMEZONE",
    "TZID:Europe/Berlin",
    "BEGIN:DAYLIGHT",
    "TZOFFSETFROM:+0100",
    "TZOFFSETTO:+0200",
    "TZNAME:CEST",
    "DTSTART:19700329T020000",
    "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU",
    "END:DAYLIGHT",
    "BEGIN:STANDARD",
    "TZOFFSETFROM:+0200",
    "TZOFFSETTO:+0100",
    "TZNAME:CET",
    "DTSTART:19701025T030000",
    "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU",
    "END:STANDARD",
    "END:VTIMEZONE",
};

// A part of a UID: letters and digits as they are, every other byte as "%XX", so that no two
// inputs meet and the "-" between the parts stays a separator.
std::string uidTeil(const std::string& roh) {
    std::string teil;
    for (unsigned char c : roh) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            teil += static_cast<char>(c);
        else
            teil += text("%%%.2X", c);
    }
    return teil;
}

} // namespace

Stundenzeiten leseStundenzeiten(const std::string& text) {
    Stundenzeiten ergebnis;
    std::set<int> ohneZeit; // lessons a broken entry names: their time is in doubt
    std::size_t anfang = 0;
    while (anfang <= text.size()) {
        const auto ende = std::min(text.find(';', anfang), text.size());
        const std::string eintrag = ohneRand(text.substr(anfang, ende - anfang));
        anfang = ende + 1;
        if (eintrag.empty())
            continue;
        const auto gleich = std::min(eintrag.find('='), eintrag.size());
        const auto strich = std::min(eintrag.find('-', gleich), eintrag.size());
        const auto stunde = zahl(ohneRand(eintrag.substr(0, gleich)));
        const auto beginn = uhrzeit(ohneRand(
            eintrag.substr(std::min(gleich + 1, strich), strich - std::min(gleich + 1, strich))));
        const auto schluss =
            uhrzeit(ohneRand(eintrag.substr(std::min(strich + 1, eintrag.size()))));
        if (stunde && beginn && schluss && *beginn < *schluss &&
            ergebnis.zeiten.emplace(*stunde, Stundenzeiten::Zeit{*beginn, *schluss}).second)
            continue;
        ergebnis.defekt.push_back(eintrag);
        if (stunde)
            ohneZeit.insert(*stunde);
    }
    for (int stunde : ohneZeit)
        ergebnis.zeiten.erase(stunde);
    return ergebnis;
}

std::string terminUid(const std::string& datum, const std::string& kurzname,
                      const std::string& stunde, int n) {
    return uidTeil(datum) + "-" + uidTeil(stunde) + "-" + std::to_string(n) + "-" +
           uidTeil(kurzname) + "@tafelbot";
}

std::string icsText(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (c == '\\' || c == ';' || c == ',') {
            out += '\\';
            out += c;
        } else if (c == '\r' || c == '\n') {
            out += "\\n";
            if (i + 1 < utf8.size() && utf8[i + 1] != c &&
                (utf8[i + 1] == '\r' || utf8[i + 1] == '\n'))
                ++i; // CR LF or LF CR is one line break
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            out += ' '; // no other control characters in a TEXT value
        } else {
            out += c;
        }
    }
    return out;
}

std::string icsZeile(const std::string& zeile) {
    std::string out;
    std::size_t laenge = 0; // octets of the current physical line
    for (std::size_t i = 0; i < zeile.size();) {
        std::size_t zeichen = 1; // octets of the UTF-8 character at i
        while (i + zeichen < zeile.size() &&
               (static_cast<unsigned char>(zeile[i + zeichen]) & 0xC0) == 0x80)
            ++zeichen;
        if (laenge + zeichen > 75) {
            out += "\r\n ";
            laenge = 1;
        }
        out.append(zeile, i, zeichen);
        laenge += zeichen;
        i += zeichen;
    }
    return out + "\r\n";
}

platform::CivilTime utcJetzt() {
    if (auto utc = platform::clock().utcNow())
        return *utc;
    // German summer time runs from 02:00 on the last Sunday of March to 03:00 on the last
    // Sunday of October.
    platform::CivilTime t = platform::clock().localNow();
    const int stunde = (t.month * 100 + t.day) * 100 + t.hour; // MMDDhh, comparable
    const int beginn = (300 + letzterSonntag(t.year, 3)) * 100 + 2;
    const int ende = (1000 + letzterSonntag(t.year, 10)) * 100 + 3;
    const long offset = stunde >= beginn && stunde < ende ? 7200 : 3600;
    const long s = sekunden(t) - offset;
    platform::CivilTime utc = datumAusTagen(s / 86400);
    utc.hour = static_cast<int>(s % 86400 / 3600);
    utc.minute = static_cast<int>(s % 3600 / 60);
    utc.second = static_cast<int>(s % 60);
    return utc;
}

std::string kalenderDatei(const std::string& datum, const std::vector<Termin>& termine,
                          const Stundenzeiten& zeiten, const platform::CivilTime& jetzt) {
    const auto tag = datumVon(datum);
    if (!tag || termine.empty())
        return {};
    const platform::CivilTime folgetag =
        datumAusTagen(tageSeit1970(tag->year, tag->month, tag->day) + 1);
    // Seconds since 2000 of this mail: every later mail carries a greater number, and a
    // calendar takes the event with the greatest as the one that holds.
    const long sequenz = sekunden(jetzt) - tageSeit1970(2000, 1, 1) * 86400L;
    const std::string stempel = text("%.4d%.2d%.2dT%.2d%.2d%.2dZ", jetzt.year, jetzt.month,
                                     jetzt.day, jetzt.hour, jetzt.minute, jetzt.second);
    std::string ics;
    auto zeile = [&](const std::string& z) { ics += icsZeile(z); };
    zeile("BEGIN:VCALENDAR");
    zeile("VERSION:2.0");
    zeile("PRODID:-//" + icsText(cp1252ToUtf8(FixeTexte::programmNameVersion())) + "//DE");
    zeile("CALSCALE:GREGORIAN");
    zeile("METHOD:PUBLISH");
    for (const char* z : Zeitzone)
        zeile(z);
    for (const Termin& t : termine) {
        zeile("BEGIN:VEVENT");
        zeile("UID:" + icsText(cp1252ToUtf8(t.uid)));
        zeile("DTSTAMP:" + stempel);
        zeile("SEQUENCE:" + std::to_string(sequenz > 0 ? sequenz : 0));
        if (const auto zeit = zeitDer(t.stunde, zeiten)) {
            zeile("DTSTART;TZID=Europe/Berlin:" + lokal(*tag, zeit->beginn));
            zeile("DTEND;TZID=Europe/Berlin:" + lokal(*tag, zeit->ende));
        } else {
            zeile("DTSTART;VALUE=DATE:" + datum);
            zeile("DTEND;VALUE=DATE:" +
                  text("%.4d%.2d%.2d", folgetag.year, folgetag.month, folgetag.day));
        }
        zeile("SUMMARY:" + icsText(cp1252ToUtf8(t.titel)));
        if (!t.ort.empty())
            zeile("LOCATION:" + icsText(cp1252ToUtf8(t.ort)));
        if (!t.beschreibung.empty())
            zeile("DESCRIPTION:" + icsText(cp1252ToUtf8(t.beschreibung)));
        zeile(t.abgesagt ? "STATUS:CANCELLED" : "STATUS:CONFIRMED");
        zeile("END:VEVENT");
    }
    zeile("END:VCALENDAR");
    return ics;
}

} // namespace tafelbot

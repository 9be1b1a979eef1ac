#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tafelbot {

class UiPort;

// A date-time value: whole days counted from 30 December 1899 (the zero value of the
// date-time type) and the seconds of the day. Adding or subtracting days moves calendar days.
struct DatumZeit {
    std::int64_t tag = 0;
    int sekunde = 0; // 0..86399

    DatumZeit plusTage(std::int64_t tage) const { return {tag + tage, sekunde}; }
    friend bool operator==(const DatumZeit&, const DatumZeit&) = default;
};

struct Kalenderdatum {
    int jahr = 0;
    int monat = 0;
    int tag = 0;
};

Kalenderdatum kalenderdatum(const DatumZeit& wert);
// Weekday of the value, 0 = Sunday ... 6 = Saturday.
int wochentag(const DatumZeit& wert);
// The value of a calendar date at the given time; nullopt when the date does not exist
// (month 13, 31 April, 29 February outside leap years, year outside 1..9999).
std::optional<DatumZeit> datumZeitAus(int jahr, int monat, int tag, int stunde = 0, int minute = 0,
                                      int sekunde = 0);

// The date text YYYYMMDD of a value ("%.4d%.2d%.2d").
std::string DatumZuText(const DatumZeit& wert);
// The day of the date text YYYYMMDD at 10:10:10. A text that is not such a date shows the error
// box "Str2DateTime(): Falsches Datumsformat in der Zeichenkette "TEXT"" and gives the zero value.
DatumZeit Str2DateTime(const std::string& text, UiPort& ui);
// The same conversion without a message box.
std::optional<DatumZeit> datumAusText(std::string_view text);
// German name of the weekday ("Sonntag" ... "Samstag").
std::string WochentagName(const DatumZeit& wert);
// Today, local time.
DatumZeit jetzt();

// Field n (from 1) of a line split at `separator`; separators inside double quotes do not split;
// a field that begins and ends with a double quote loses that one enclosing pair; a field
// beyond the last one is empty.
std::string LiesFeld(std::string_view zeile, char separator, int n);

// A text as one field that keeps its commas and quotes: in double quotes, its own double quotes
// doubled. LiesQuotiertesFeld gives it back; a field with neither enclosing quotes nor doubled
// ones reads as LiesFeld reads it.
std::string alsQuotiertesFeld(std::string_view text);
std::string ausQuotiertemFeld(std::string_view feld);
std::string LiesQuotiertesFeld(std::string_view zeile, char separator, int n);

// A decimal 32-bit integer: leading blanks, an optional sign, digits, nothing else. Texts that
// do not form one, or whose value does not fit into 32 bits, give nullopt.
std::optional<std::int32_t> alsGanzzahl(std::string_view text);

// Spaces (only spaces) removed at both ends.
std::string ohneLeerzeichen(std::string_view text);

} // namespace tafelbot

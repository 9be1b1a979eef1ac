#pragma once

#include "platform/Platform.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tafelbot {

// The lesson-time table of the setting Stundenzeiten ("1=07:45-08:30;2=08:35-09:20;...").
struct Stundenzeiten {
    struct Zeit {
        int beginn = 0; // minutes after midnight
        int ende = 0;
    };
    std::map<int, Zeit> zeiten;      // by lesson number
    std::vector<std::string> defekt; // entries that say no lesson time, as written
};

// Entries are separated by ";"; blanks around them and empty entries are allowed. A broken
// entry (no lesson number, a time that does not exist, an end not after the beginning, a
// second entry for a lesson) is kept in `defekt`, and the lesson it names has no time.
Stundenzeiten leseStundenzeiten(const std::string& text);

// One event of a calendar attachment. Texts are Windows-1252.
struct Termin {
    std::string uid;
    std::string stunde; // the row's lesson text: "3", a range "4/5" or "/1"
    bool abgesagt = false;
    std::string titel;
    std::string ort;
    std::string beschreibung; // lines separated by "\n"
};

// The UID of the n-th event (from 1) of a teacher's date and lesson. It depends on nothing a
// later plan may change, so a later mail's event of that lesson replaces the earlier one.
std::string terminUid(const std::string& datum, const std::string& kurzname,
                      const std::string& stunde, int n);

// The calendar object (METHOD:PUBLISH, Europe/Berlin) of the events of one plan date, CR LF
// line ends, folded at 75 octets, UTF-8. A lesson whose every lesson is in `zeiten` gets a
// timed event from the beginning of its first to the end of its last lesson, any other an
// all-day event. `jetzt`: the moment of the mail in UTC; it makes DTSTAMP and the SEQUENCE,
// which therefore grows with every later mail.
std::string kalenderDatei(const std::string& datum, const std::vector<Termin>& termine,
                          const Stundenzeiten& zeiten, const platform::CivilTime& jetzt);

// The moment of the clock in UTC; where the system cannot say, the local time read as German
// time.
platform::CivilTime utcJetzt();

// TEXT as RFC 5545 writes it: backslash, semicolon, comma and line breaks escaped.
std::string icsText(const std::string& utf8);
// A content line folded at 75 octets (a UTF-8 character is never cut), CR LF after each part.
std::string icsZeile(const std::string& zeile);

} // namespace tafelbot

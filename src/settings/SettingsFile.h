#pragma once

#include "settings/Einstellungen.h"

#include <cstddef>
#include <string>
#include <vector>

namespace tafelbot {

class UiPort;

// Line break inside every message of the program: LF, then CR.
inline constexpr const char* Zeilenumbruch = "\n\r";

// Every default value of the settings file; AktDatum becomes today. The stored password text
// is left alone: it keeps its value until a password line is read.
void setzeStandardwerte(Einstellungen& werte);

// Renumbers Reihenfolge to 1, 2, ... (hidden categories keep 0, equal numbers end up in category
// order) and derives Bildschirmspalten and Mailspalten from it.
void leiteSpaltenAb(Einstellungen& werte);

// Reads the settings file `iniPfad` into `werte`, reporting every fault in a message box. A
// missing file is written with the defaults, read back and the user welcomed. True when the
// whole file was read; whatever could be read is in force either way, the rest keeps its
// defaults. Tells the view to show the server settings anew.
bool IniLesen(Einstellungen& werte, const std::string& iniPfad, UiPort& ui);

// Why the settings file could not be written.
enum class Schreibfehler {
    keiner,
    keineBerechtigung,
    datentraegerVoll,
    schreibgeschuetzt,
    anderer
};

struct Schreibergebnis {
    Schreibfehler fehler = Schreibfehler::keiner;
    std::string meldung; // the error box's text (Windows-1252), empty after a good write
    explicit operator bool() const { return fehler == Schreibfehler::keiner; }
};

// Replaces the settings file `iniPfad` with the values in memory, trying again before it gives
// up. A failed write leaves the old file as it was (never half written) and says why; the
// values in memory, the sent-mail records among them, stay for the next save.
Schreibergebnis IniSpeichern(const Einstellungen& werte, const std::string& iniPfad);
// IniSpeichern, and a failure's message shown; true when the file was written.
bool IniSchreiben(const Einstellungen& werte, const std::string& iniPfad, UiPort& ui);

// The complete file text IniSchreiben writes: Windows-1252 bytes, CR LF line ends.
std::string iniInhalt(const Einstellungen& werte);

// The lines of a settings file. LF and CR LF both end a line; a last line may lack its end.
class IniZeilenleser {
public:
    // `praefix`: the start of every message, naming the file.
    IniZeilenleser(std::string inhalt, std::string praefix, UiPort& ui);

    // The next line with its surrounding spaces removed. With `alleAkzeptieren` off, empty lines
    // and comments ("*") are skipped. At the end of the file: false, and with `endeMelden` the
    // message "Es fehlen wichtige Daten!".
    bool LeseWert(bool alleAkzeptieren, bool endeMelden, std::string& zeile);

private:
    std::string inhalt_;
    std::string praefix_;
    UiPort& ui_;
    std::size_t position_ = 0;
};

} // namespace tafelbot

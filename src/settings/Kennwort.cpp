#include "settings/Kennwort.h"

#include "platform/Platform.h"

#include <cstdio>

namespace tafelbot {

namespace {

constexpr int MaskenBits = 13;
constexpr int Modul = 250;

int positivModulo(int wert, int modul) {
    return ((wert % modul) + modul) % modul;
}

// Offset of the key letter at position k (cyclic); a key that is not in capitals still gives a
// number in 0..249, an empty key gives 0.
int schluesselWert(const std::string& schluessel, std::size_t k) {
    if (schluessel.empty())
        return 0;
    return positivModulo(static_cast<unsigned char>(schluessel[k % schluessel.size()]) - 'A',
                         Modul);
}

std::string ziffern(unsigned wert, int stellen) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*u", stellen, wert);
    return text;
}

unsigned ziffernWert(const std::string& text, std::size_t anfang, std::size_t laenge) {
    unsigned wert = 0;
    for (std::size_t i = anfang; i < anfang + laenge && i < text.size(); ++i)
        wert = wert * 10 + static_cast<unsigned>(text[i] - '0');
    return wert;
}

} // namespace

bool istKennwortText(const std::string& text) {
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

std::string KennwortVerschluesseln(const std::string& kennwort, const std::string& schluessel) {
    unsigned a = platform::randomBelow(100);
    unsigned maske = 1 + platform::randomBelow(8191);
    unsigned c = platform::randomBelow(100);
    std::string text = ziffern(a, 2) + ziffern(maske, 4) + ziffern(c, 2);

    int i = 0;
    std::size_t k = 0;
    for (std::size_t j = 0; j < kennwort.size();) {
        if ((maske >> i) & 1u) {
            int code = static_cast<unsigned char>(kennwort[j]);
            int wert = positivModulo(schluesselWert(schluessel, k) + (code - 6), Modul);
            text += ziffern(static_cast<unsigned>(wert) + Modul * platform::randomBelow(4), 3);
            ++j;
            ++k;
        } else {
            text += ziffern(platform::randomBelow(1000), 3);
        }
        i = (i + 1) % MaskenBits;
    }
    return text;
}

std::string KennwortEntschluesseln(const std::string& text, const std::string& schluessel) {
    if (text.size() < 9 || !istKennwortText(text))
        return {};
    unsigned maske = ziffernWert(text, 2, 4);
    std::string kennwort;
    int i = 0;
    std::size_t k = 0;
    // A last group of fewer than three digits counts with the digits it has.
    for (std::size_t pos = 8; pos < text.size(); pos += 3) {
        if ((maske >> i) & 1u) {
            int wert = static_cast<int>(ziffernWert(text, pos, 3)) % Modul;
            int code = positivModulo(wert - schluesselWert(schluessel, k), Modul) + 6;
            kennwort += static_cast<char>(code);
            ++k;
        }
        i = (i + 1) % MaskenBits;
    }
    return kennwort;
}

} // namespace tafelbot

// The scrambled password of a settings file: any line must unscramble without fault, and every
// password the program can keep must come back from its scrambled form unchanged.

#include "FuzzSupport.h"
#include "settings/Kennwort.h"

#include <cstddef>
#include <cstdint>

using namespace tafelbot;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string klartext = KennwortEntschluesseln(text, KennwortSchluessel);
    if (!istKennwortText(text) || text.size() < 9)
        FUZZ_CHECK(klartext.empty());

    // Characters 6..255 are the ones a password may hold.
    std::string kennwort;
    for (unsigned char c : text)
        if (c >= 6)
            kennwort.push_back(static_cast<char>(c));
    const std::string verschluesselt = KennwortVerschluesseln(kennwort, KennwortSchluessel);
    FUZZ_CHECK(istKennwortText(verschluesselt));
    FUZZ_CHECK(KennwortEntschluesseln(verschluesselt, KennwortSchluessel) == kennwort);
    return 0;
}

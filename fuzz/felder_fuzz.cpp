// LiesFeld, which reads records and settings lines, against the field list the gpn reader
// splits once: both must give every field alike for any line and separator.

#include "FuzzSupport.h"
#include "plan/Felder.h"
#include "settings/DatumText.h"

#include <cstddef>
#include <cstdint>

using namespace tafelbot;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const char separator = static_cast<char>(data[0]);
    const std::string_view zeile(reinterpret_cast<const char*>(data) + 1, size - 1);
    const FeldListe liste(zeile, separator);
    const int letztes = static_cast<int>(liste.anzahl()) + 1;
    for (int n = -1; n <= letztes; ++n)
        FUZZ_CHECK(LiesFeld(zeile, separator, n) == liste.feld(n));
    for (std::size_t von = 0; von <= zeile.size() + 1; von += 1 + von / 4) {
        const std::string_view teil = teilText(zeile, von, 5);
        FUZZ_CHECK(teil.size() <= 5);
        FUZZ_CHECK(teil.empty() || zeile.substr(von - 1).starts_with(teil));
    }
    return 0;
}

#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace tafelbot {

// The fields of one line, split once, with the rules of LiesFeld: separators inside double
// quotes do not split, a field that begins and ends with a double quote loses that one pair, a
// field beyond the last one is empty. The views point into the line, which must outlive this.
// gpn lines are read field after field up to the first empty one; splitting once keeps a long
// line linear instead of rescanning it for every field.
class FeldListe {
public:
    FeldListe() = default;
    explicit FeldListe(std::string_view zeile, char separator = ',') { teile(zeile, separator); }

    // Splits another line, reusing the room of the last one: the reader splits every line.
    FeldListe& teile(std::string_view zeile, char separator = ',');
    void leere() { felder_.clear(); }

    // Field n, counted from 1.
    std::string_view feld(std::int64_t n) const;
    std::size_t anzahl() const { return felder_.size(); }

private:
    std::vector<std::string_view> felder_;
};

// Characters `von`.. (counted from 1) of a text, at most `anzahl` of them, as many as there are.
std::string_view teilText(std::string_view text, std::size_t von, std::size_t anzahl);

} // namespace tafelbot

#include "cli/Json.h"

#include <cstdio>

namespace tafelbot::cli {

void JsonWriter::newLine(std::size_t depth) {
    out_ += '\n';
    out_.append(2 * depth, ' ');
}

void JsonWriter::beforeValue() {
    if (keyPending_) {
        keyPending_ = false;
        return;
    }
    if (counts_.empty())
        return;
    if (counts_.back()++ > 0)
        out_ += ',';
    newLine(counts_.size());
}

void JsonWriter::key(std::string_view name) {
    beforeValue();
    string(name);
    out_ += ": ";
    keyPending_ = true;
}

void JsonWriter::open(char bracket) {
    beforeValue();
    out_ += bracket;
    counts_.push_back(0);
}

void JsonWriter::close(char bracket) {
    bool leer = counts_.back() == 0;
    counts_.pop_back();
    if (!leer)
        newLine(counts_.size());
    out_ += bracket;
    if (counts_.empty())
        out_ += '\n';
}

void JsonWriter::value(std::string_view text) {
    beforeValue();
    string(text);
}

void JsonWriter::value(std::int64_t number) {
    beforeValue();
    out_ += std::to_string(number);
}

void JsonWriter::value(bool flag) {
    beforeValue();
    out_ += flag ? "true" : "false";
}

void JsonWriter::string(std::string_view text) {
    out_ += '"';
    for (char c : text) {
        switch (c) {
        case '"':
            out_ += "\\\"";
            break;
        case '\\':
            out_ += "\\\\";
            break;
        case '\b':
            out_ += "\\b";
            break;
        case '\f':
            out_ += "\\f";
            break;
        case '\n':
            out_ += "\\n";
            break;
        case '\r':
            out_ += "\\r";
            break;
        case '\t':
            out_ += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char code[8];
                std::snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned>(c));
                out_ += code;
            } else {
                out_ += c;
            }
        }
    }
    out_ += '"';
}

} // namespace tafelbot::cli

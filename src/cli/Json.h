#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tafelbot::cli {

// A small JSON writer: two-blank indentation, one member or element per line, empty containers
// as [] and {}. Strings must be UTF-8; they are escaped, nothing else is changed.
class JsonWriter {
public:
    explicit JsonWriter(std::string& out) : out_(out) {}

    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }

    // The member name of the next value inside an object.
    void key(std::string_view name);
    void value(std::string_view text);
    void value(const char* text) { value(std::string_view(text)); }
    void value(std::int64_t number);
    void value(int number) { value(std::int64_t{number}); }
    void value(bool flag);

private:
    void beforeValue();
    void open(char bracket);
    void close(char bracket);
    void newLine(std::size_t depth);
    void string(std::string_view text);

    std::string& out_;
    std::vector<std::size_t> counts_; // members or elements so far, per open container
    bool keyPending_ = false;
};

} // namespace tafelbot::cli

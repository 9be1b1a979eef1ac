#pragma once

// Cuts received bytes into lines at a line end, keeping an incomplete line until the rest comes.

#include <cstddef>
#include <string>
#include <string_view>

namespace tafelbot {

class LineSplitter {
public:
    explicit LineSplitter(std::string lineEnd = "\r\n") : lineEnd_(std::move(lineEnd)) {}

    void append(std::string_view bytes) { buffer_.append(bytes); }
    // Takes the next complete line, without its line end unless keepEnd; false when none is
    // complete (or the line end is empty).
    bool next(std::string& line, bool keepEnd = false);
    // Bytes held that belong to no complete line yet, or to lines not taken.
    std::size_t size() const { return buffer_.size() - start_; }
    bool empty() const { return size() == 0; }
    // The bytes held, and where the next line would end (npos: no complete line).
    std::string_view held() const { return std::string_view(buffer_).substr(start_); }
    std::size_t completeLineLength() const;
    // Takes the first n bytes held.
    std::string take(std::size_t n);
    void clear();

    const std::string& lineEnd() const { return lineEnd_; }
    void setLineEnd(std::string lineEnd) { lineEnd_ = std::move(lineEnd); }

private:
    std::string buffer_;
    std::size_t start_ = 0; // bytes before it are taken; compacted when they pile up
    std::string lineEnd_;
};

} // namespace tafelbot

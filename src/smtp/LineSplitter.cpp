#include "smtp/LineSplitter.h"

#include <algorithm>

namespace tafelbot {

std::size_t LineSplitter::completeLineLength() const {
    if (lineEnd_.empty())
        return std::string::npos;
    auto end = buffer_.find(lineEnd_, start_);
    return end == std::string::npos ? end : end - start_ + lineEnd_.size();
}

bool LineSplitter::next(std::string& line, bool keepEnd) {
    std::size_t length = completeLineLength();
    if (length == std::string::npos)
        return false;
    line = take(length);
    if (!keepEnd)
        line.resize(line.size() - lineEnd_.size());
    return true;
}

std::string LineSplitter::take(std::size_t n) {
    n = std::min(n, size());
    std::string taken = buffer_.substr(start_, n);
    start_ += n;
    if (start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    } else if (start_ > 4096 && start_ * 2 > buffer_.size()) {
        buffer_.erase(0, start_);
        start_ = 0;
    }
    return taken;
}

void LineSplitter::clear() {
    buffer_.clear();
    start_ = 0;
}

} // namespace tafelbot

#include "smtp/SendBuffer.h"

#include <algorithm>

namespace tafelbot {

TBuffer::TBuffer(int size) : storage_(static_cast<std::size_t>(size > 0 ? size : 1514)) {}

std::size_t TBuffer::Write(std::string_view data) {
    std::size_t take = std::min(data.size(), storage_.size() - written_);
    std::copy_n(data.data(), take, storage_.data() + written_);
    written_ += take;
    return take;
}

std::string_view TBuffer::Peek() const {
    return std::string_view(storage_.data() + read_, written_ - read_);
}

void TBuffer::Remove(std::size_t n) {
    read_ += std::min(n, written_ - read_);
    if (read_ == written_)
        read_ = written_ = 0;
}

void SendBuffer::Append(std::string_view data) {
    while (!data.empty()) {
        std::size_t taken = chunks_.empty() ? 0 : chunks_.back().Write(data);
        if (taken == 0) {
            chunks_.emplace_back(chunkSize);
            continue;
        }
        data.remove_prefix(taken);
    }
}

std::string_view SendBuffer::Front() {
    dropEmptyFront();
    return chunks_.empty() ? std::string_view() : chunks_.front().Peek();
}

std::vector<std::string_view> SendBuffer::FrontChunks(std::size_t count) {
    dropEmptyFront();
    std::vector<std::string_view> views;
    for (std::size_t i = 0; i < chunks_.size() && views.size() < count; ++i)
        if (chunks_[i].Unread() > 0)
            views.push_back(chunks_[i].Peek());
    return views;
}

void SendBuffer::Remove(std::size_t n) {
    while (n > 0 && !chunks_.empty()) {
        std::size_t taken = std::min(n, chunks_.front().Unread());
        chunks_.front().Remove(taken);
        n -= taken;
        if (chunks_.front().Unread() > 0 || chunks_.size() == 1)
            break;
        chunks_.pop_front();
    }
    dropEmptyFront();
}

bool SendBuffer::Empty() const {
    return std::all_of(chunks_.begin(), chunks_.end(),
                       [](const TBuffer& chunk) { return chunk.Unread() == 0; });
}

void SendBuffer::dropEmptyFront() {
    while (chunks_.size() > 1 && chunks_.front().Unread() == 0)
        chunks_.pop_front();
}

} // namespace tafelbot

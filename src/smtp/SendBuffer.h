#pragma once

// The socket's send buffer: an ordered list of fixed-capacity chunks, so that a large Send never
// moves the bytes already queued.

#include <cstddef>
#include <deque>
#include <string_view>
#include <vector>

namespace tafelbot {

// One chunk: storage, a write count and a read count.
class TBuffer {
public:
    // A size of 0 or less gives the default chunk of 1514 bytes.
    explicit TBuffer(int size);

    // Appends as much as fits; returns how much was taken.
    std::size_t Write(std::string_view data);
    // The bytes written and not yet read.
    std::string_view Peek() const;
    // Marks n bytes as read; once everything written has been read both counts start over.
    void Remove(std::size_t n);

    std::size_t Capacity() const { return storage_.size(); }
    std::size_t Unread() const { return written_ - read_; }

private:
    std::vector<char> storage_;
    std::size_t written_ = 0;
    std::size_t read_ = 0;
};

// The chunk list.
class SendBuffer {
public:
    static constexpr int chunkSize = 1460;

    void Append(std::string_view data);
    // The first chunk's unread bytes (empty when nothing is waiting).
    std::string_view Front();
    // The unread bytes of the first chunks, at most `count` of them, in order.
    std::vector<std::string_view> FrontChunks(std::size_t count);
    // Marks n bytes as sent, across as many chunks as they span.
    void Remove(std::size_t n);
    bool Empty() const;
    void Clear() { chunks_.clear(); }
    std::size_t ChunkCount() const { return chunks_.size(); }

private:
    // Frees empty chunks in front of one that still holds bytes.
    void dropEmptyFront();

    std::deque<TBuffer> chunks_;
};

} // namespace tafelbot

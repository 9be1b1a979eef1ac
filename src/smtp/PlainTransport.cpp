#include "smtp/PlainTransport.h"

#include <vector>

namespace tafelbot {

namespace wsa = platform::wsa;

namespace {

// Chunks handed to one gathering write at most.
constexpr std::size_t maxChunksPerWrite = 64;

} // namespace

Transport::Input PlainTransport::checkInput() {
    // Readiness to read means data, or the peer's close when nothing is waiting.
    Input input;
    std::size_t count = 0;
    if (platform::bytesAvailable(handle_, count) == 0 && count > 0) {
        input.data = true;
        return input;
    }
    bool closed = false;
    int error = platform::peekClosed(handle_, closed);
    if (error == 0 && closed) {
        input.closed = true;
    } else if (error != 0 && error != wsa::wouldBlock) {
        input.closed = true;
        input.error = error;
    }
    return input;
}

int PlainTransport::read(char* data, std::size_t size, std::size_t& got) {
    return platform::receiveBytes(handle_, data, size, got);
}

std::size_t PlainTransport::waiting() {
    std::size_t count = 0;
    if (handle_ != platform::invalidSocket && platform::bytesAvailable(handle_, count) != 0)
        count = 0;
    return count;
}

int PlainTransport::write(SendBuffer& buffer) {
    // The chunks are the buffer's unit, not the system call's: one gathering write takes as
    // many as the connection accepts.
    for (;;) {
        std::vector<std::string_view> chunks = buffer.FrontChunks(maxChunksPerWrite);
        if (chunks.empty())
            return 0;
        std::size_t queued = 0;
        for (std::string_view chunk : chunks)
            queued += chunk.size();
        std::size_t sent = 0;
        int error = platform::sendParts(handle_, chunks.data(), chunks.size(), sent);
        if (error != 0)
            return error;
        if (sent == 0)
            return wsa::wouldBlock;
        buffer.Remove(sent);
        if (sent < queued)
            return wsa::wouldBlock;
    }
}

} // namespace tafelbot

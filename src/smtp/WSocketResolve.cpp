#include "smtp/WSocketResolve.h"

#include "smtp/WSocketErrors.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace tafelbot {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The four groups of a dotted address, or false.
bool parseDotted(const std::string& text, platform::Ipv4& address) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    address = 0;
    for (int group = 0; group < 4; ++group) {
        if (group > 0) {
            if (i >= text.size() || text[i] != '.')
                return false;
            ++i;
        }
        unsigned value = 0;
        std::size_t digits = 0;
        while (i < text.size() && isDigit(text[i])) {
            value = value * 10 + static_cast<unsigned>(text[i] - '0');
            if (value > 255)
                return false;
            ++i;
            ++digits;
        }
        if (digits == 0)
            return false;
        address = (address << 8) | value;
    }
    while (i < text.size() && text[i] == ' ')
        ++i;
    return i == text.size();
}

std::string errorNumber(int error) {
    return std::to_string(error);
}

} // namespace

bool WSocketIsDottedIP(const std::string& text) {
    platform::Ipv4 address = 0;
    return parseDotted(text, address);
}

std::string WSocketDottedText(platform::Ipv4 address) {
    return std::to_string((address >> 24) & 0xFF) + "." + std::to_string((address >> 16) & 0xFF) +
           "." + std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

platform::Ipv4 WSocketResolveHost(const std::string& host) {
    if (host.empty() || host.size() > 256)
        throw ESocketException("WSocketResolveHost: '" + host + "' Invalid Hostname.");
    platform::Ipv4 address = 0;
    if (parseDotted(host, address))
        return address;
    std::vector<platform::Ipv4> addresses;
    int error = platform::lookupHost(host, addresses);
    if (error != 0)
        throw ESocketException("WSocketResolveHost: Cannot convert host address '" + host +
                               "', Error #" + errorNumber(error));
    return addresses.front();
}

std::uint16_t WSocketResolvePort(const std::string& port, const std::string& proto) {
    if (port.empty() || port.size() >= 32)
        throw ESocketException("WSocketResolvePort: Invalid Port.");
    if (proto.empty() || proto.size() >= 32)
        throw ESocketException("WSocketResolvePort: Invalid Proto.");
    if (isDigit(port[0])) {
        unsigned long value = 0;
        for (char c : port) {
            if (!isDigit(c))
                throw ESocketException("WSocketResolvePort: Invalid Port.");
            value = value * 10 + static_cast<unsigned long>(c - '0');
            if (value > 65535)
                throw ESocketException("WSocketResolvePort: Invalid Port.");
        }
        return static_cast<std::uint16_t>(value);
    }
    std::uint16_t number = 0;
    int error = platform::lookupService(port, lowerCase(proto), number);
    if (error != 0)
        throw ESocketException("WSocketResolvePort: Cannot convert port '" + port + "', Error #" +
                               errorNumber(error));
    return number;
}

int WSocketResolveProto(const std::string& proto) {
    if (proto.empty() || proto.size() >= 32)
        throw ESocketException("WSocketResolveProto: Invalid Protocol.");
    if (isDigit(proto[0])) {
        int value = 0;
        for (char c : proto) {
            if (!isDigit(c) || value > 255)
                throw ESocketException("WSocketResolveProto: Invalid Protocol.");
            value = value * 10 + (c - '0');
        }
        return value;
    }
    std::string lower = lowerCase(proto);
    if (lower == "tcp")
        return 6;
    if (lower == "udp")
        return 17;
    if (lower == "raw")
        return 255;
    int number = 0;
    int error = platform::lookupProtocol(proto, number);
    if (error != 0)
        throw ESocketException("WSocketResolveProto: Cannot convert protocol '" + proto +
                               "', Error #" + errorNumber(error));
    return number;
}

} // namespace tafelbot

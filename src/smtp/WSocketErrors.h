#pragma once

#include <stdexcept>
#include <string>

namespace tafelbot {

// Misuse of the socket component and failures it reports when no OnError handler is assigned.
class ESocketException : public std::runtime_error {
public:
    explicit ESocketException(const std::string& message) : std::runtime_error(message) {}
};

// The text of a Windows Sockets error number ("Not a WinSock error" for any other number).
std::string WSocketErrorDesc(int error);

// "Error " + number + " in function " + function + CR LF + the error's text.
std::string WSocketErrorMessage(int error, const std::string& function);

} // namespace tafelbot

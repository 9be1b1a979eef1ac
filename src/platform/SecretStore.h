#pragma once

// The user's secrets (the mail sign-in's refresh token): the desktop's secret store where a secret
// service runs, otherwise a file in the per-user data directory that only the user can read. A
// Windows build keeps them in the credential manager. Nothing here writes a secret to a log or
// an error text.

#include <optional>
#include <string>

namespace tafelbot::platform {

// The per-user data directory of the program, ending in the path separator
// ($XDG_DATA_HOME/Tafelbot/, default ~/.local/share/Tafelbot/).
std::string userDataDirectory();

// Where secrets go on this machine now: "Schlüsselbund" (the secret service) or the file's path.
std::string secretStoreName();

// The secret stored under `key`; nullopt when there is none or it cannot be read (then *error
// says why and is not empty).
std::optional<std::string> loadSecret(const std::string& key, std::string* error);
// Stores `secret` under `key`, replacing an older one; `label` is what the desktop's secret
// store shows the user.
bool storeSecret(const std::string& key, const std::string& label, const std::string& secret,
                 std::string* error);
bool removeSecret(const std::string& key, std::string* error);

// True when a browser can be opened on this screen (a graphical session runs).
bool graphicalSession();

} // namespace tafelbot::platform

#include "platform/Platform.h"
#include "platform/SecretStore.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <libsecret/secret.h>
#include <memory>
#include <mutex>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tafelbot::platform {

namespace {

// ---- the desktop's secret store ----

const SecretSchema& schema() {
    static const SecretSchema value = [] {
        SecretSchema s{};
        s.name = "de.tafelbot.Anmeldung";
        s.flags = SECRET_SCHEMA_NONE;
        s.attributes[0].name = "schluessel";
        s.attributes[0].type = SECRET_SCHEMA_ATTRIBUTE_STRING;
        return s;
    }();
    return value;
}

std::string takeError(GError*& error) {
    std::string text = error && error->message ? error->message : "unbekannter Fehler";
    g_clear_error(&error);
    return text;
}

struct ObjectUnref {
    void operator()(void* object) const { g_object_unref(object); }
};
struct VariantUnref {
    void operator()(GVariant* variant) const { g_variant_unref(variant); }
};

std::unique_ptr<GVariant, VariantUnref> callBus(GDBusConnection* bus, const char* method,
                                                GVariant* parameters) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", method,
        parameters, nullptr, G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, &error);
    g_clear_error(&error);
    return std::unique_ptr<GVariant, VariantUnref>(reply);
}

// A secret service runs (or the session bus starts one on demand). Asked once: the answer holds
// for the session, and asking a bus that is not there must not cost every call its time limit.
bool askSecretService() {
    GError* error = nullptr;
    std::unique_ptr<GDBusConnection, ObjectUnref> bus(
        g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error));
    g_clear_error(&error);
    if (!bus)
        return false;
    const char* service = "org.freedesktop.secrets";
    if (auto owned = callBus(bus.get(), "NameHasOwner", g_variant_new("(s)", service))) {
        gboolean has = FALSE;
        g_variant_get(owned.get(), "(b)", &has);
        if (has)
            return true;
    }
    auto names = callBus(bus.get(), "ListActivatableNames", nullptr);
    if (!names)
        return false;
    GVariantIter* iter = nullptr;
    g_variant_get(names.get(), "(as)", &iter);
    bool found = false;
    const gchar* name = nullptr;
    while (g_variant_iter_next(iter, "&s", &name))
        found = found || std::strcmp(name, service) == 0;
    g_variant_iter_free(iter);
    return found;
}

bool secretServiceRuns() {
    static std::once_flag once;
    static bool runs = false;
    std::call_once(once, [] { runs = askSecretService(); });
    return runs;
}

// ---- the file in the per-user data directory ----

std::string hexSha256(const std::string& text) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest, &length, EVP_sha256(), nullptr);
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < 8 && i < length; ++i) {
        out += hex[digest[i] >> 4];
        out += hex[digest[i] & 0x0F];
    }
    return out;
}

std::string secretFile(const std::string& key) {
    return userDataDirectory() + "anmeldung-" + hexSha256(key) + ".json";
}

std::string systemError(const std::string& what, const std::string& path) {
    return what + " \"" + path + "\": " + std::strerror(errno);
}

bool makePrivateDirectory(const std::string& path, std::string* error) {
    // Each level that is missing; the last one is the program's own and kept from other users.
    for (std::size_t pos = 1; pos != std::string::npos;) {
        pos = path.find('/', pos + 1);
        const std::string part = path.substr(0, pos);
        const bool own = pos == std::string::npos || pos + 1 == path.size();
        if (::mkdir(part.c_str(), own ? 0700 : 0755) != 0 && errno != EEXIST) {
            *error = systemError("Kann das Verzeichnis nicht anlegen:", part);
            return false;
        }
        if (own)
            break;
    }
    return true;
}

bool writePrivateFile(const std::string& path, const std::string& contents, std::string* error) {
    std::string temporary = path + ".tmp-XXXXXX";
    int fd = ::mkstemp(temporary.data()); // created readable by the user alone
    if (fd < 0) {
        *error = systemError("Kann die Datei nicht anlegen:", temporary);
        return false;
    }
    bool ok = ::fchmod(fd, 0600) == 0;
    for (std::size_t done = 0; ok && done < contents.size();) {
        ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        done += ok ? static_cast<std::size_t>(n) : 0;
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        *error = systemError("Kann die Datei nicht schreiben:", path);
        ::unlink(temporary.c_str());
    }
    return ok;
}

std::optional<std::string> readPrivateFile(const std::string& path, std::string* error) {
    std::string reason;
    std::optional<std::string> contents = readFile(path, &reason);
    // A missing file only means nobody signed in yet; readFile leaves errno as it failed.
    if (!contents && errno != ENOENT)
        *error = "Kann die Datei nicht lesen: \"" + path + "\": " + reason;
    return contents;
}

} // namespace

std::string secretStoreName() {
    return secretServiceRuns() ? "Schl\xFC"
                                 "sselbund"
                               : userDataDirectory();
}

std::optional<std::string> loadSecret(const std::string& key, std::string* error) {
    std::string ignored;
    std::string& fehler = error ? *error : ignored;
    fehler.clear();
    if (secretServiceRuns()) {
        GError* gerror = nullptr;
        gchar* secret = secret_password_lookup_sync(&schema(), nullptr, &gerror, "schluessel",
                                                    key.c_str(), nullptr);
        if (gerror) {
            fehler = "Schl\xFC"
                     "sselbund: " +
                     takeError(gerror);
            return std::nullopt;
        }
        if (secret) {
            std::string value = secret;
            secret_password_free(secret);
            return value;
        }
        // Stored in a file before the secret service ran: still the user's sign-in.
    }
    return readPrivateFile(secretFile(key), &fehler);
}

bool storeSecret(const std::string& key, const std::string& label, const std::string& secret,
                 std::string* error) {
    std::string ignored;
    std::string& fehler = error ? *error : ignored;
    if (secretServiceRuns()) {
        GError* gerror = nullptr;
        if (!secret_password_store_sync(&schema(), SECRET_COLLECTION_DEFAULT, label.c_str(),
                                        secret.c_str(), nullptr, &gerror, "schluessel", key.c_str(),
                                        nullptr)) {
            fehler = "Schl\xFC"
                     "sselbund: " +
                     takeError(gerror);
            return false;
        }
        // An older copy in a file is no longer wanted on the disk.
        ::unlink(secretFile(key).c_str());
        return true;
    }
    return makePrivateDirectory(userDataDirectory(), &fehler) &&
           writePrivateFile(secretFile(key), secret, &fehler);
}

bool removeSecret(const std::string& key, std::string* error) {
    std::string ignored;
    std::string& fehler = error ? *error : ignored;
    if (secretServiceRuns()) {
        GError* gerror = nullptr;
        secret_password_clear_sync(&schema(), nullptr, &gerror, "schluessel", key.c_str(), nullptr);
        if (gerror) {
            fehler = "Schl\xFC"
                     "sselbund: " +
                     takeError(gerror);
            return false;
        }
    }
    const std::string path = secretFile(key);
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        fehler = systemError("Kann die Datei nicht l\xF6schen:", path);
        return false;
    }
    return true;
}

bool graphicalSession() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0')
            return true;
    }
    return false;
}

} // namespace tafelbot::platform

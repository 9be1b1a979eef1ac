#include "oauth/Grants.h"
#include "oauth/RedirectListener.h"
#include "oauth/SignIn.h"
#include "settings/Cp1252.h"
#include "support/ChildProcess.h"
#include "support/TestCertificates.h"
#include "support/TestFiles.h"

#include <curl/curl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <thread>
#include <tuple>

namespace tafelbot::oauth {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;

// tests/integration/oauth_provider.py as a child process; it ends when its stdin closes. With
// arguments, they name a certificate: https.
struct LocalProvider {
    explicit LocalProvider(std::vector<std::string> args = {})
        : process(command(args), "/dev/null"), base(std::string(args.empty() ? "http" : "https") +
                                                    "://127.0.0.1:" + process.firstLine()) {}

    static std::vector<std::string> command(std::vector<std::string> args) {
        args.insert(args.begin(), {TAFELBOT_SYSTEM_PYTHON,
                                   TAFELBOT_SOURCE_DIR "/tests/integration/oauth_provider.py"});
        return args;
    }
    OAuthSettings settings(const std::string& client) const {
        return {"custom",        client, "", "", base + "/device", base + "/authorize",
                base + "/token", "smtp"};
    }
    nlohmann::json post(const std::string& path, const FormFields& fields = {}) const {
        std::string error;
        const auto reply = postForm(base + path, fields, 5s, &error);
        return nlohmann::json::parse(reply ? reply->body : "null");
    }

    testing::ChildProcess process;
    const std::string base;
};

// The user's browser: follows the sign-in address to the provider and its redirect back,
// with `tamper` applied to the redirect first.
void browse(const std::string& address, const std::function<std::string(std::string)>& tamper) {
    std::unique_ptr<CURL, void (*)(CURL*)> curl(curl_easy_init(), curl_easy_cleanup);
    curl_easy_setopt(curl.get(), CURLOPT_URL, address.c_str());
    curl_easy_setopt(
        curl.get(), CURLOPT_WRITEFUNCTION,
        +[](char*, std::size_t s, std::size_t n, void*) { return s * n; });
    curl_easy_perform(curl.get());
    char* location = nullptr;
    curl_easy_getinfo(curl.get(), CURLINFO_REDIRECT_URL, &location);
    const std::string redirect = tamper(location ? location : "");
    curl_easy_setopt(curl.get(), CURLOPT_URL, redirect.c_str());
    curl_easy_perform(curl.get());
}

class OAuthTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A file in a data directory of the test's own, never a real secret store.
        ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent", 1);
        ::setenv("XDG_DATA_HOME", data.path().c_str(), 1);
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
    }
    testing::TempDir data;
    LocalProvider provider;
};

TEST(OAuthUrlTest, PlainHttpOnlyOnLoopbackAndPkceAsRfc7636Shows) {
    const std::pair<const char*, bool> cases[] = {{"https://login.example.org/token", true},
                                                  {"http://127.0.0.1:8080/t", true},
                                                  {"http://localhost/t", true},
                                                  {"http://[::1]/t", true},
                                                  {"http://login.example.org/token", false},
                                                  {"http://127.0.0.1.example.org/", false},
                                                  {"ftp://127.0.0.1/t", false},
                                                  {"kein url", false}};
    for (const auto& [url, allowed] : cases) {
        std::string error;
        EXPECT_EQ(urlAllowed(url, &error), allowed) << url;
        EXPECT_EQ(error.empty(), allowed) << error;
    }
    std::string error;
    EXPECT_FALSE(postForm("http://login.example.org/token", {}, 1s, &error));
    EXPECT_THAT(error, HasSubstr("https://"));
    // RFC 7636, appendix B.
    EXPECT_EQ(pkceChallenge("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"),
              "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");
    EXPECT_EQ(pkceVerifier().size(), 43u);
}

TEST(OAuthHttpsTest, TheProvidersCertificateIsCheckedAgainstTheTrustStore) {
    const auto& certificates = testing::TestCertificates::get();
    // The certificate, whether the tests' CA is named by SSL_CERT_FILE, part of the error.
    const std::tuple<const testing::TestCertificates::Pair&, bool, const char*> cases[] = {
        {certificates.good(), true, ""},
        {certificates.good(), false, "Zertifikat"},
        {certificates.otherName(), true, "Zertifikat"},
        {certificates.expired(), true, "Zertifikat"}};
    for (const auto& [pair, trusted, expected] : cases) {
        LocalProvider provider({"--tls-cert", pair.cert, "--tls-key", pair.key});
        if (trusted)
            ::setenv("SSL_CERT_FILE", certificates.caFile().c_str(), 1);
        else
            ::unsetenv("SSL_CERT_FILE");
        std::string error;
        const auto reply = postForm(provider.base + "/stats", {}, 5s, &error);
        EXPECT_EQ(reply.has_value(), trusted && std::string(expected).empty()) << pair.cert;
        EXPECT_THAT(cp1252ToUtf8(error), HasSubstr(expected));
        ::unsetenv("SSL_CERT_FILE");
    }
}

// The user signs in while the program waits for the second poll, unless the row says not to.
TEST_F(OAuthTest, DevicePollingFollowsTheIntervalEachAnswerOfTheProviderAndItsLimit) {
    const struct {
        const char* client;
        std::vector<int> waits; // seconds asked of the waiter before the end
        const char* error;      // part of the message; empty: a token came
        bool approve = true;
        std::size_t cancelAt = 0; // the waiter cancels at this wait
        std::chrono::seconds limit = 600s;
    } cases[] = {
        {"schule", {1, 1}, ""},
        {"langsam", {1, 6}, ""},
        {"ablehnen", {1}, "Zustimmung wurde nicht erteilt"},
        {"ablauf", {1}, "Anmeldecode ist abgelaufen"},
        {"fehler", {1}, "server_error (down)"},
        {"kaputt", {1}, "keine lesbare Antwort geschickt (HTTP 200)"},
        {"stumm", {1}, "nicht innerhalb von 1 Sekunde geantwortet"},
        {"schule", {1, 1, 1}, "nicht innerhalb von 3 Sekunden abgeschlossen", false, 0, 3s},
        {"schule", {1}, "Die Anmeldung wurde abgebrochen.", false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.client + std::string(" ") + c.error);
        std::string error;
        const Grants grants(*providerFor(provider.settings(c.client), &error), 1s);
        const auto code = grants.startDevice(&error);
        ASSERT_TRUE(code) << error; // its address shown: the command line's OAuth test
        std::vector<int> waits;
        const auto result = grants.pollDevice(
            *code,
            [&](std::chrono::milliseconds time) {
                waits.push_back(static_cast<int>(time.count() / 1000));
                if (waits.size() == 2 && c.approve)
                    provider.post("/approve", {{"user_code", code->userCode}});
                return waits.size() != c.cancelAt;
            },
            c.limit);
        EXPECT_EQ(waits, c.waits);
        EXPECT_EQ(result.grant.has_value(), std::string(c.error).empty());
        EXPECT_THAT(cp1252ToUtf8(result.error), HasSubstr(c.error));
    }
}

// (A sign-in without an S256 challenge the provider refuses, which the first row would show.)
TEST_F(OAuthTest, BrowserSignInChecksStateAndVerifier) {
    const std::tuple<const char*, std::function<std::string(std::string)>, const char*> cases[] = {
        {"schule", [](std::string r) { return r; }, ""},
        {"schule",
         [](std::string r) {
             // Another first character, whatever the random state began with.
             char& first = r[r.find("state=") + 6];
             first = first == 'X' ? 'Y' : 'X';
             return r;
         },
         "anderer \"state\""},
        {"ablehnen", [](std::string r) { return r; }, "Zustimmung wurde nicht erteilt"},
    };
    for (const auto& [client, tamper, expected] : cases) {
        std::string error;
        const Grants grants(*providerFor(provider.settings(client), &error), 5s);
        RedirectListener listener;
        ASSERT_TRUE(listener.open(&error)) << error;
        std::thread browser;
        const auto result = grants.codeGrant(
            {listener.redirectUri(),
             [&](std::string* why) { return listener.await(20s, nullptr, why); }},
            [&](const std::string& address) { browser = std::thread(browse, address, tamper); });
        browser.join();
        EXPECT_EQ(result.grant.has_value(), std::string(expected).empty()) << expected;
        EXPECT_THAT(cp1252ToUtf8(result.error), HasSubstr(expected));
    }
    // The tampered redirect never reached the provider.
    EXPECT_EQ(provider.post("/stats")["codes"], 1);
}

// A sign-in without a browser on the screen takes the device grant and is stored for its
// account. (Its refresh and rotation, the file's rights, a revoked sign-in and secrets kept out
// of every output: the command line's OAuth test.)
TEST_F(OAuthTest, ASignInIsStoredForItsAccount) {
    const auto settings = provider.settings("schule");
    SignInOptions options;
    options.limit = 30s;
    const SignInEvents events = {[](const std::string&) {},
                                 [&](const std::string&, const std::string& code) {
                                     provider.post("/approve", {{"user_code", code}});
                                 }};
    ASSERT_EQ(signIn(settings, "konto@schule.example", options, events), "");
    EXPECT_TRUE(signedIn(settings, "konto@schule.example"));
    EXPECT_FALSE(signedIn(settings, "andere@schule.example"));
}

} // namespace
} // namespace tafelbot::oauth

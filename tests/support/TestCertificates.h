#pragma once

// The tests' own certificate authority and server certificates, made with the openssl command
// in a temporary directory once per test program (EC keys, so that it takes a moment only).

#include "support/TestFiles.h"

#include <string>

namespace tafelbot::testing {

class TestCertificates {
public:
    struct Pair {
        std::string cert;
        std::string key;
    };

    // The certificates of this test program; throws std::runtime_error with openssl's output
    // when they cannot be made.
    static const TestCertificates& get();

    // The CA that the tests trust (as extra CA file or through SSL_CERT_FILE).
    const std::string& caFile() const { return caFile_; }
    // Made out to localhost and 127.0.0.1 by the trusted CA.
    const Pair& good() const { return good_; }
    // Made out to another name ("anderer.test") by the trusted CA.
    const Pair& otherName() const { return otherName_; }
    // For localhost by the trusted CA, expired.
    const Pair& expired() const { return expired_; }
    // For localhost by a CA that nobody trusts.
    const Pair& unknownCa() const { return unknownCa_; }

private:
    TestCertificates();
    void run(const std::string& arguments) const;
    void makeCa(const std::string& name, const std::string& subject) const;
    Pair makeServer(const std::string& name, const std::string& ca, const std::string& altNames,
                    int days) const;

    TempDir dir_;
    std::string caFile_;
    Pair good_;
    Pair otherName_;
    Pair expired_;
    Pair unknownCa_;
};

} // namespace tafelbot::testing

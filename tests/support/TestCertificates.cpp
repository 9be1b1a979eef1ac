#include "support/TestCertificates.h"

#include <cstdlib>
#include <stdexcept>

namespace tafelbot::testing {

const TestCertificates& TestCertificates::get() {
    static const TestCertificates certificates;
    return certificates;
}

TestCertificates::TestCertificates() {
    makeCa("ca", "/CN=Tafelbot Test-CA");
    makeCa("fremd", "/CN=Unbekannte CA");
    caFile_ = dir_.file("ca.pem");
    const std::string local = "DNS:localhost,IP:127.0.0.1";
    good_ = makeServer("gut", "ca", local, 365);
    otherName_ = makeServer("anders", "ca", "DNS:anderer.test", 365);
    // Valid until a day before it was made.
    expired_ = makeServer("abgelaufen", "ca", local, -1);
    unknownCa_ = makeServer("fremdsigniert", "fremd", local, 365);
}

void TestCertificates::run(const std::string& arguments) const {
    const std::string log = dir_.file("openssl.log");
    const std::string command =
        "cd '" + dir_.path() + "' && openssl " + arguments + " >>'" + log + "' 2>&1";
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("openssl " + arguments + " failed:\n" + readFile(log));
}

void TestCertificates::makeCa(const std::string& name, const std::string& subject) const {
    run("req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout " + name +
        ".key -subj '" + subject + "' -days 3650 -addext basicConstraints=critical,CA:TRUE " +
        "-addext keyUsage=critical,keyCertSign,cRLSign -out " + name + ".pem");
}

TestCertificates::Pair TestCertificates::makeServer(const std::string& name, const std::string& ca,
                                                    const std::string& altNames, int days) const {
    writeFile(dir_.file(name + ".ext"), "basicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n"
                                        "subjectAltName=" +
                                            altNames + "\n");
    run("req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout " + name +
        ".key -subj /CN=" + name + " -out " + name + ".csr");
    run("x509 -req -in " + name + ".csr -CA " + ca + ".pem -CAkey " + ca +
        ".key -CAcreateserial -days " + std::to_string(days) + " -extfile " + name + ".ext -out " +
        name + ".pem");
    return {dir_.file(name + ".pem"), dir_.file(name + ".key")};
}

} // namespace tafelbot::testing

#include "support/SmtpTestServer.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

namespace tafelbot::testing {

SmtpTestServer::SmtpTestServer(const std::vector<std::string>& options)
    : mailDir_(dir_.file("mail")) {
    std::filesystem::create_directory(mailDir_);
    std::vector<std::string> args = {
        TAFELBOT_SYSTEM_PYTHON, TAFELBOT_SOURCE_DIR "/tests/integration/smtp_server.py", mailDir_};
    args.insert(args.end(), options.begin(), options.end());
    process_ = std::make_unique<ChildProcess>(args, dir_.file("server.log"));
    try {
        port_ = static_cast<std::uint16_t>(std::stoi(process_->firstLine()));
    } catch (const std::exception&) {
        process_.reset();
        throw std::runtime_error("SmtpTestServer did not start:\n" + log());
    }
}

std::vector<std::string> SmtpTestServer::messageFiles() const {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(mailDir_))
        if (entry.path().extension() == ".eml")
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

std::string SmtpTestServer::envelopeOf(const std::string& messageFile) const {
    return readFile(messageFile.substr(0, messageFile.size() - 4) + ".json");
}

std::string SmtpTestServer::log() const {
    try {
        return readFile(dir_.file("server.log"));
    } catch (const std::exception&) {
        return {};
    }
}

} // namespace tafelbot::testing

#pragma once

// Drives one SMTP client on its own loop request by request, as the send driver does, and
// records what it reports: "done <request> <code>" and "closed <error>" in the order they came.

#include "smtp/CustomSmtpClient.h"
#include "smtp/PollEventLoop.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tafelbot::testing {

using SmtpCall = void (TCustomSmtpClient::*)();

namespace calls {
inline constexpr SmtpCall Connect = &TCustomSmtpClient::Connect;
inline constexpr SmtpCall Helo = &TCustomSmtpClient::Helo;
inline constexpr SmtpCall Ehlo = &TCustomSmtpClient::Ehlo;
inline constexpr SmtpCall Auth = &TCustomSmtpClient::Auth;
inline constexpr SmtpCall MailFrom = &TCustomSmtpClient::MailFrom;
inline constexpr SmtpCall RcptTo = &TCustomSmtpClient::RcptTo;
inline constexpr SmtpCall Data = &TCustomSmtpClient::Data;
inline constexpr SmtpCall Quit = &TCustomSmtpClient::Quit;
inline constexpr SmtpCall Open = &TCustomSmtpClient::Open;
inline constexpr SmtpCall Mail = &TCustomSmtpClient::Mail;
} // namespace calls

template <class Client = TCustomSmtpClient>
struct SmtpSession {
    PollEventLoop loop;
    Client cli{loop};
    std::vector<std::string> events;
    int completions = 0;
    int lastCode = -1;

    template <class Server>
    explicit SmtpSession(const Server& server) {
        cli.Host = "127.0.0.1";
        cli.Port = server.portText();
        cli.SignOn = "client.test";
        cli.Username = "konto";
        cli.Password = "geheim";
        cli.OnRequestDone = [this](TCustomSmtpClient&, TSmtpRequest rq, std::uint16_t code) {
            events.push_back("done " + std::to_string(rq) + " " + std::to_string(code));
            ++completions;
            lastCode = code;
        };
        cli.OnSessionClosed = [this](TCustomSmtpClient&, int error) {
            events.push_back("closed " + std::to_string(error));
        };
    }

    // Issues the requests in turn, each once the one before completed, up to the first that
    // fails; the codes they completed with, -1 where none came in time.
    std::vector<int> run(const std::vector<SmtpCall>& requests) {
        std::vector<int> codes;
        for (SmtpCall call : requests) {
            const int before = completions;
            (cli.*call)();
            EXPECT_EQ(completions, before) << "OnRequestDone ran inside the request";
            const bool done =
                loop.runUntil([&] { return completions > before; }, std::chrono::seconds(10));
            codes.push_back(done ? lastCode : -1);
            if (codes.back() != 0)
                break;
        }
        return codes;
    }
};

// The text of the exception a call raises, or "no exception"; one of another type goes on.
template <class Exception = std::exception>
std::string thrownText(const std::function<void()>& call) {
    try {
        call();
    } catch (const Exception& e) {
        return e.what();
    }
    return "no exception";
}

} // namespace tafelbot::testing

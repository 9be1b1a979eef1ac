// A whole HTML mail through the client, the DATA pump and a peer on 127.0.0.1; what arrives
// must parse without defects in a real mail parser (Python's email package, run by
// tests/integration/check_mime.py) and decode back to the texts given.

#include "ScriptedServer.h"
#include "settings/Cp1252.h"
#include "smtp/HtmlSmtpCli.h"
#include "smtp/PollEventLoop.h"
#include "support/TestFiles.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace tafelbot {
namespace {

std::string utf8Text(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += cp1252ToUtf8(line) + "\n";
    return text;
}

TEST(HtmlSmtpCliServerTest, AnHtmlMailWithImageAndFileArrivesWholeAndParsesWithoutDefects) {
    testing::TempDir dir;
    const std::string subject = "Vertretungsplan f\xFCr Herrn M\xFCller, Stra\xDF"
                                "enbahnhaltestelle \xC4u\xDF"
                                "ere Gr\xFCnstra\xDF"
                                "e, Stand 05.12.2026";
    const std::vector<std::string> plain = {"Vertretungsplan f\xFCr Herrn M\xFCller",
                                            "",
                                            "Stunde:   3 = dritte",
                                            ".Punkt am Anfang",
                                            ".",
                                            "Tabulator\tund Leerzeichen am Ende ",
                                            std::string(300, '\xE4') + " lang"};
    const std::vector<std::string> html = {"<html><body><table>",
                                           "<tr><td>Gr\xFC\xDF"
                                           "e</td><td>a=b</td></tr>",
                                           std::string(1200, 'x') + "\xDF",
                                           "<img src=\"cid:IMAGE1\"></body></html>"};
    std::string imageBytes;
    for (int i = 0; i < 540; ++i)
        imageBytes += static_cast<char>(i * 31);
    testing::writeFile(dir.file("bild.gif"), imageBytes);
    testing::writeFile(dir.file("liste.txt"), "eins\r\nzwei\r\n");

    testing::ScriptedServer server;
    server.send("220 test ESMTP\r\n").expect("HELO").send("250 ok\r\n");
    server.expect("MAIL FROM:<sekretariat@schule.example>").send("250 ok\r\n");
    server.expect("RCPT TO:<mueller@schule.example>").send("250 ok\r\n");
    server.expect("DATA").send("354 go ahead\r\n").receiveMessage().send("250 queued\r\n");
    server.expect("QUIT").send("221 bye\r\n").close();
    server.start();

    PollEventLoop loop;
    THtmlSmtpCli client(loop);
    client.Host = "127.0.0.1";
    client.Port = server.portText();
    client.SignOn = "test";
    client.FromName = "sekretariat@schule.example";
    client.RcptName = {"mueller@schule.example"};
    client.HdrFrom = "Sekretariat <sekretariat@schule.example>";
    client.HdrTo = "Herr M\xFCller <mueller@schule.example>";
    client.HdrSubject = subject;
    client.PlainText = plain;
    client.HtmlText = html;
    client.SetEmailImages({dir.file("bild.gif")});
    client.SetEmailFiles({dir.file("liste.txt")});
    std::vector<std::pair<TSmtpRequest, int>> done;
    client.OnRequestDone = [&](TCustomSmtpClient&, TSmtpRequest request, std::uint16_t error) {
        done.emplace_back(request, error);
        if (error != 0 || request == smtpQuit)
            loop.quit();
        else if (request == smtpOpen)
            client.Mail();
        else if (request == smtpMail)
            client.Quit();
    };
    loop.startTimer(std::chrono::seconds(20), [&] {
        ADD_FAILURE() << "the session did not end";
        loop.quit();
    });
    client.Open();
    loop.run();
    ASSERT_TRUE(server.finish());
    EXPECT_EQ(server.mismatches(), std::vector<std::string>{});
    EXPECT_EQ(done, (std::vector<std::pair<TSmtpRequest, int>>{
                        {smtpOpen, 0}, {smtpMail, 0}, {smtpQuit, 0}}));

    // Every line starting with "." came with exactly one more.
    const std::string wire = server.message();
    EXPECT_NE(wire.find("\r\n..Punkt am Anfang\r\n"), std::string::npos);
    EXPECT_NE(wire.find("\r\n..\r\n"), std::string::npos);

    std::string mail = wire;
    for (auto pos = mail.find("\r\n.."); pos != std::string::npos;
         pos = mail.find("\r\n..", pos + 3))
        mail.erase(pos + 2, 1);
    testing::writeFile(dir.file("mail.eml"), mail);
    testing::writeFile(dir.file("plain.txt"), utf8Text(plain));
    testing::writeFile(dir.file("html.txt"), utf8Text(html));
    std::string command = std::string(TAFELBOT_SYSTEM_PYTHON) + " " + TAFELBOT_SOURCE_DIR +
                          "/tests/integration/check_mime.py " + dir.file("mail.eml") +
                          " --expect-plain " + dir.file("plain.txt") + " --expect-html " +
                          dir.file("html.txt") + " --expect-subject '" + cp1252ToUtf8(subject) +
                          "' > " + dir.file("report.json") + " 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << testing::readFile(dir.file("report.json"));
    std::string report = testing::readFile(dir.file("report.json"));
    EXPECT_NE(report.find("\"To\": \"Herr Müller <mueller@schule.example>\""), std::string::npos)
        << report;
    EXPECT_NE(report.find("\"content_id\": \"<IMAGE1>\""), std::string::npos) << report;
    EXPECT_NE(report.find("\"hex\": \"65696e730d0a7a7765690d0a\""), std::string::npos) << report;
}

} // namespace
} // namespace tafelbot

// A save of the settings file stopped at every step: killed there, or refused there as by a full
// disk. The file on disk is always the old or the new one whole, and a mail that went out while
// the file could not be written is kept in memory and written by the next save that succeeds.
#include "core/MainWorkflow.h"
#include "platform/Platform.h"
#include "settings/SettingsFile.h"
#include "smtp/PollEventLoop.h"
#include "support/FixedClock.h"
#include "support/RecordingUi.h"
#include "support/SmtpTestServer.h"
#include "support/TestFiles.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>

namespace tafelbot {
namespace {

using namespace std::chrono_literals;
using platform::SaveStep;

SaveStep stopAt = SaveStep::Write;
int refusal = 0; // 0: the process dies at the step

int stopHere(SaveStep step) {
    if (step != stopAt)
        return 0;
    if (refusal == 0)
        std::_Exit(3);
    return refusal;
}

struct HookGuard {
    HookGuard() { platform::setSaveStepHookForTesting(stopHere); }
    ~HookGuard() { platform::setSaveStepHookForTesting(nullptr); }
};

std::size_t filesIn(const std::string& dir) {
    auto entries = std::filesystem::directory_iterator(dir);
    return static_cast<std::size_t>(std::distance(begin(entries), end(entries)));
}

TEST(SaveFaults, ASaveKilledOrRefusedAtAnyStepLeavesTheOldOrTheNewFileWhole) {
    const std::string alt(70'000, 'a'); // larger than one write of a pipe or a page
    const std::string neu = "* Bisher gesendete eMails:\r\n" + std::string(90'000, 'n');
    for (SaveStep step : {SaveStep::Write, SaveStep::Flush, SaveStep::Close, SaveStep::Rename,
                          SaveStep::FlushFolder}) {
        SCOPED_TRACE(static_cast<int>(step));
        const bool ersetzt = step == SaveStep::FlushFolder; // the rename has happened
        testing::TempDir dir;
        const std::string pfad = dir.file("Tafelbot.ini");
        testing::writeFile(pfad, alt);
        stopAt = step;

        refusal = 0;
        EXPECT_EXIT(
            {
                HookGuard hook;
                platform::replaceFileAtomically(pfad, neu);
                std::_Exit(0);
            },
            ::testing::ExitedWithCode(3), "");
        EXPECT_EQ(testing::readFile(pfad), ersetzt ? neu : alt);

        for (int fehler : {ENOSPC, EIO, EROFS}) {
            std::filesystem::remove_all(dir.path()); // with what the killed save left
            std::filesystem::create_directory(dir.path());
            testing::writeFile(pfad, alt);
            refusal = fehler;
            std::string grund;
            HookGuard hook;
            EXPECT_EQ(platform::replaceFileAtomically(pfad, neu, &grund), ersetzt);
            EXPECT_EQ(testing::readFile(pfad), ersetzt ? neu : alt);
            EXPECT_EQ(filesIn(dir.path()), 1u) << "no temporary file is left";
            if (!ersetzt) {
                EXPECT_EQ(grund, std::strerror(fehler));
            }
        }
    }
}

TEST(SaveFaults, AMailRecordedWhileTheDiskWasFullIsWrittenByTheNextSave) {
    testing::FixedClock uhr{{2026, 12, 7, 6, 45, 0, 0, 1}};
    testing::SmtpTestServer server;
    testing::TempDir dir;
    testing::RecordingUi ui;
    PollEventLoop loop;
    MainWorkflow w{ui, dir.file("Tafelbot.ini")};
    w.attachEventLoop(loop);
    w.sitzungsZeitlimit = 20s;
    w.werte.AktDatum = "20261207";
    w.werte.Server.SmtpServer = "127.0.0.1";
    w.werte.Server.Port = server.portText();
    w.werte.Server.Absender = "buero@schule.test";
    w.werte.Server.Authentifizierung = 0;
    w.plan.Lehrer = {{true, "ANN", "Anders", "Anna", "anna@schule.test"},
                     {true, "BEN", "Berg", "Ben", "ben@schule.test"}};
    for (int i : {0, 1}) {
        TVZeile z;
        z.LehrerIndex = i;
        z.Vertreter = w.plan.Lehrer[static_cast<std::size_t>(i)].Langname;
        z.Stunde = "1";
        z.HatEMail = z.Senden = true;
        z.Schluessel = "20261207,1,D," + w.plan.Lehrer[static_cast<std::size_t>(i)].Kurzname +
                       ",\"5a\",R1,,,0";
        w.zeilen.Zeilen.push_back(z);
        w.zeilen.ZeilenFolge.push_back(i);
    }
    w.tabelle.uebergabe(2);
    ASSERT_TRUE(IniSchreiben(w.werte, w.iniPfad, ui));
    const std::string vorher = testing::readFile(w.iniPfad);
    auto sende = [&] {
        ui.answers = {true};
        w.sendeMarkierte();
        ASSERT_TRUE(loop.runUntil([&] { return w.versandRuht(); }, 30s));
    };

    stopAt = SaveStep::Write;
    refusal = ENOSPC;
    {
        HookGuard voll;
        sende();
    }
    ASSERT_EQ(server.messageFiles().size(), 1u) << "the run stops at the failed save";
    EXPECT_EQ(testing::readFile(w.iniPfad), vorher);
    EXPECT_EQ(w.werte.GesendeteMails.size(), 1u);

    sende(); // Ben now; the save writes Anna's record as well
    EXPECT_EQ(server.messageFiles().size(), 2u) << "Anna is not mailed again";
    const std::string nachher = testing::readFile(w.iniPfad);
    for (const char* kurz : {",ANN,", ",BEN,"})
        EXPECT_NE(nachher.find("20261207,1,D" + std::string(kurz) + "\"5a\",R1,,,0,202612070645"),
                  std::string::npos)
            << kurz;
}

} // namespace
} // namespace tafelbot

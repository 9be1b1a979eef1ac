// A save of the settings file stopped at every step: killed there, or refused there as by a full
// disk. The file on disk is always the old or the new one whole. (What the send run does with a
// save that fails: tests/core/SendingTest.cpp.)
#include "platform/Platform.h"
#include "support/TestFiles.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>

namespace tafelbot {
namespace {

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
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
                << "no temporary file is left";
            if (!ersetzt) {
                EXPECT_EQ(grund, std::strerror(fehler));
            }
        }
    }
}

} // namespace
} // namespace tafelbot

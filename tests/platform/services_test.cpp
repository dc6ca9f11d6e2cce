#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/instancelock.h"
#include "platform/mainqueue.h"
#include "platform/messagebox.h"
#include "platform/strconv.h"
#include "platform/thread.h"

namespace {

std::string UniqueLockName() {
    return "zr-test-" + std::to_string(getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

// Runs fn in a child process and gives its exit code.
int InChild(const std::function<int()>& fn) {
    const pid_t pid = fork();
    if (pid == 0) _exit(fn());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(InstanceLock, SecondProcessIsRefusedUntilTheFirstReleases) {
    const std::string name = UniqueLockName();
    auto tryInChild = [&] {
        return InChild([&] { return plat::InstanceLock(name).Acquire() ? 1 : 0; });
    };
    EXPECT_EQ(tryInChild(), 1) << "nobody holds it yet";
    plat::InstanceLock mine(name);
    ASSERT_TRUE(mine.Acquire());
    EXPECT_TRUE(mine.Acquire());
    EXPECT_EQ(tryInChild(), 0);
    mine.Release();
    EXPECT_EQ(tryInChild(), 1);
}

TEST(InstanceLock, IsFreedWhenTheHolderDiesAndTheNameCanBeOverridden) {
    const std::string name = UniqueLockName();
    // The child takes the lock and dies without releasing it.
    EXPECT_EQ(InChild([&] {
                  auto* leaked = new plat::InstanceLock(name);
                  return leaked->Acquire() ? 3 : 4;
              }),
              3);
    plat::InstanceLock after(name);
    EXPECT_TRUE(after.Acquire());

    const std::string other = name + "-override";
    setenv("SOLVANE_INSTANCE_NAME", other.c_str(), 1);
    plat::InstanceLock overridden(name);
    unsetenv("SOLVANE_INSTANCE_NAME");
    EXPECT_NE(overridden.Path(), after.Path());
    EXPECT_NE(overridden.Path().find(other), std::string::npos);
    EXPECT_TRUE(overridden.Acquire()) << "a different name is a different lock";
    plat::InstanceLock slashes("../x/y");
    EXPECT_EQ(slashes.Path().find("/x/"), std::string::npos) << "names stay one file name";
}

// "テスト" in Shift-JIS and "中文" in GBK.
const std::string kSjis = "\x83\x65\x83\x58\x83\x67";
const std::string kGbk = "\xD6\xD0\xCE\xC4";

TEST(MessageBox, HeadlessResponderLogsTheTextAsUtf8AndAnswersAtOnce) {
    std::vector<std::string> log;
    plat::HeadlessMessageResponder no(plat::MsgAnswer::No,
                                      [&](const std::string& s) { log.push_back(s); });
    plat::SetMessageResponder(&no);
    EXPECT_EQ(
        plat::ShowMessage(kGbk + "\n" + kGbk, kGbk, plat::CodePage::Gbk, plat::MsgButtons::YesNo),
        plat::MsgAnswer::No);
    // An answer the box does not offer falls back to its first button.
    EXPECT_EQ(plat::ShowMessage(kSjis, kSjis, plat::CodePage::ShiftJis), plat::MsgAnswer::Ok);
    plat::SetMessageResponder(nullptr);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "message box: 中文: 中文 中文");
    EXPECT_EQ(log[1], "message box: テスト: テスト");
}

TEST(MessageBox, TheAutomaticChoiceUnderTheDummyDriverNeverWaits) {
    ASSERT_STREQ(std::getenv("SDL_VIDEODRIVER"), "dummy");
    // Must return without anyone pressing a button.
    EXPECT_EQ(
        plat::ShowMessage("hello", "caption", plat::CodePage::ShiftJis, plat::MsgButtons::OkCancel),
        plat::MsgAnswer::Ok);
}

TEST(MessageBox, ButtonSetsKnowTheirAnswers) {
    using B = plat::MsgButtons;
    using A = plat::MsgAnswer;
    EXPECT_EQ(plat::DismissAnswer(B::Ok), A::Ok);
    EXPECT_EQ(plat::DismissAnswer(B::YesNo), A::No);
    EXPECT_EQ(plat::DismissAnswer(B::YesNoCancel), A::Cancel);
    EXPECT_TRUE(plat::Offers(B::YesNoCancel, A::Cancel));
    EXPECT_FALSE(plat::Offers(B::YesNo, A::Cancel));
    EXPECT_FALSE(plat::Offers(B::OkCancel, A::Yes));
}

TEST(StrConv, ConvertsLikeTheClassLibrary) {
    struct Case {
        const char* text;
        int32_t want;
    } cases[] = {
        {"0", 0},
        {"42", 42},
        {"  42", 42},
        {"+7", 7},
        {"-15", -15},
        {"$1F", 31},
        {"0x10", 16},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"$FFFFFFFF", -1},
        {"2147483648", -99},
        {"99999999999999999999", -99},
        {"", -99},
        {" ", -99},
        {"-", -99},
        {"42 ", -99},
        {"4x2", -99},
        {"\t1", -99},
        {"abc", -99},
        {"$", -99},
        {"0x", -99},
        {"$100000000", -99},
        {"1.5", -99},
    };
    for (const auto& c : cases)
        EXPECT_EQ(plat::StrToIntDef(c.text, -99), c.want) << '"' << c.text << '"';
    EXPECT_EQ(plat::IntToStr(INT32_MIN), "-2147483648");
    EXPECT_EQ(plat::IntToStr(500), "500");
}

}  // namespace

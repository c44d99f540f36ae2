// tests/rlib/rcrash_test.cpp - crash reports from real faults in a child process (the report line
// by line, appending, the context form, the feedback program, quiet crashes), the report names,
// and the stack walk over made-up frame chains.
#include "rcrash.h"
#include "rcrash_posix.h"

#include "probe_testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <regex>
#include <sys/mman.h>
#include <thread>

namespace {

const char* const exceptionSeparator =
    ">-------------------- Call stack -+-------------------------\r";
const char* const contextSeparator =
    ">-------------------- Call stack ---------------------------\r";
const std::regex frameLine("[^\t\r]+\t0x[0-9A-F]{8,16}\t0x[0-9A-F]{8,16}\r");

class CrashTest : public ProbeTest {
protected:
    std::string report() const { return dir + "/crashprobe.err"; }
    std::string frame(const ProbeRun& r, uint64_t address) const {
        return "crashprobe\t" + hex(r.value("base")) + "\t" + hex(address) + "\r";
    }
    // Checks one report of a fault of kind "read" or "divide" from line `at` on: the head line
    // (the exception, or the context text if given; " | ", the time), the separator, and the
    // frames that begin at the faulting instruction; returns the number of frame lines.
    size_t expectReport(const std::vector<std::string>& lines, size_t at, const ProbeRun& r,
                        const std::string& kind, size_t ownFrames = 5,
                        const std::string& context = "") {
        EXPECT_LT(at + 4, lines.size());
        if (at + 4 >= lines.size())
            return 0;
        const uint64_t insn = r.value(kind + "Insn");
        const std::string code = kind == "read" ? "C0000005" : "C0000094";
        const std::string head =
            (context.empty() ? ">Exception " + code + " at " + hex(insn) : ">" + context) + " | ";
        EXPECT_EQ(lines[at].substr(0, head.size()), head);
        EXPECT_TRUE(isTimeOfRun(lines[at].substr(head.size()), r))
            << lines[at]; // 24 characters and a bare LF
        EXPECT_EQ(lines[at + 1], context.empty() ? exceptionSeparator : contextSeparator);
        EXPECT_EQ(lines[at + 2], frame(r, insn));
        EXPECT_EQ(lines[at + 3], frame(r, r.value(kind + "Return")));
        size_t n = 0;
        while (at + 2 + n < lines.size() && lines[at + 2 + n][0] != '>') {
            EXPECT_TRUE(std::regex_match(lines[at + 2 + n], frameLine)) << lines[at + 2 + n];
            ++n;
        }
        // Then the probe's function that called, and (on an rThread) the thread's catch-all and
        // procedure: all in the executable.
        EXPECT_GE(n, ownFrames);
        for (size_t i = 2; i < std::min(n, ownFrames); ++i)
            EXPECT_EQ(lines[at + 2 + i].rfind("crashprobe\t" + hex(r.value("base")), 0), 0u);
        EXPECT_LE(n, 100u);
        return n;
    }
};

} // namespace

TEST_F(CrashTest, NullPointerReadInAThreadAppendsAReportAndEndsTheProcess) {
    const ProbeRun first = run("read");
    EXPECT_TRUE(first.abnormalEnd(SIGABRT)) << first.status; // the catch-all ended the process
    std::vector<std::string> text = lines(report());
    const size_t n = expectReport(text, 0, first, "read");
    EXPECT_EQ(text.size(), 2 + n);

    // A second crash appends its report; the first stays as it was.
    const ProbeRun second = run("divide");
    EXPECT_TRUE(second.abnormalEnd(SIGABRT));
    const std::vector<std::string> both = lines(report());
    ASSERT_GT(both.size(), text.size());
    EXPECT_TRUE(std::equal(text.begin(), text.end(), both.begin()));
    const size_t m = expectReport(both, text.size(), second, "divide");
    EXPECT_EQ(both.size(), text.size() + 2 + m);
    // The name came from the file name alone: the dot in the directory name was not taken.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                            std::filesystem::directory_iterator()),
              2);
}

TEST_F(CrashTest, ContextTextReplacesTheExceptionLine) {
    const ProbeRun r = run("context");
    EXPECT_TRUE(r.abnormalEnd(SIGABRT));
    const std::vector<std::string> text = lines(report());
    const size_t n = expectReport(text, 0, r, "read", 5, "Reading the save list");
    EXPECT_EQ(text.size(), 2 + n);
}

TEST_F(CrashTest, FeedbackProgramStartsOncePerReportWithTheReportPathAsItsOnlyArgument) {
    addFeedback();
    run("read");
    // The path holds blanks and a semicolon: through a shell it would split or run a command.
    const std::string expected = "1\t" + report();
    EXPECT_EQ(awaitLines(dir + "/feedback.txt", 1), std::vector<std::string>{expected});
    run("divide");
    EXPECT_EQ(awaitLines(dir + "/feedback.txt", 2), (std::vector<std::string>{expected, expected}));
    EXPECT_FALSE(std::filesystem::exists(dir + "/injected"));
    EXPECT_FALSE(std::filesystem::exists("injected"));
}

TEST_F(CrashTest, QuietCrashEndsOnlyTheThreadAndStartsNoFeedback) {
    addFeedback();
    const ProbeRun r = run("quiet");
    // Both faulting threads ended normally (not killed), each calling the end hook with 0, and
    // the process went on to exit by itself.
    EXPECT_TRUE(r.exitedWith(0)) << r.status << r.err;
    EXPECT_NE(r.out.find("alive 0 0 hooks 2 0 0\n"), std::string::npos) << r.out;
    const std::vector<std::string> text = lines(report());
    const size_t n = expectReport(text, 0, r, "read");
    const size_t m = expectReport(text, 2 + n, r, "divide");
    EXPECT_EQ(text.size(), 4 + n + m);
    usleep(200000);
    EXPECT_FALSE(std::filesystem::exists(dir + "/feedback.txt"));
}

TEST_F(CrashTest, ReportsWrittenAtOnceStayWhole) {
    const ProbeRun r = run("together");
    EXPECT_TRUE(r.exitedWith(0)) << r.status << r.err;
    const std::vector<std::string> text = lines(report());
    // Eight reports, none mixed into another.
    size_t reports = 0;
    for (size_t at = 0; at < text.size(); ++reports) {
        const bool divide = text[at].rfind(">Exception C0000094 ", 0) == 0;
        const size_t n = expectReport(text, at, r, divide ? "divide" : "read");
        ASSERT_GT(n, 0u) << at;
        at += 2 + n;
    }
    EXPECT_EQ(reports, 8u);
}

TEST_F(CrashTest, HandlerWithoutCatchAllReportsOnceThenTheFaultTakesItsDefaultAction) {
    const ProbeRun r = run("main");
    // The faulting instruction ran again without the handler: no second report.
    EXPECT_TRUE(r.abnormalEnd(SIGSEGV)) << r.status;
    const std::vector<std::string> text = lines(report());
    const size_t n = expectReport(text, 0, r, "read", 4);
    EXPECT_EQ(text.size(), 2 + n);
}

// A fault signal that another process sent (nothing to run again) still ends the process after
// its report.
TEST_F(CrashTest, SentFaultSignalIsReportedThenTakesItsDefaultAction) {
    const ProbeRun r = run("sent");
    EXPECT_TRUE(r.abnormalEnd(SIGSEGV)) << r.status;
    EXPECT_EQ(r.out.find("survived"), std::string::npos);
    const std::vector<std::string> text = lines(report());
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text[0].rfind(">Exception C0000005 at 0x", 0), 0u) << text[0];
}

// Removing the handler hands the thread back its former alternate signal stack, so no later
// signal can land on the unmapped one.
TEST(CrashHandler, RemovalRestoresTheFormerAlternateStack) {
    std::thread([] {
        stack_t before{}, during{}, after{};
        ASSERT_EQ(sigaltstack(nullptr, &before), 0);
        installCrashHandler(nullptr);
        ASSERT_EQ(sigaltstack(nullptr, &during), 0);
        EXPECT_EQ(during.ss_flags & SS_DISABLE, 0);
        EXPECT_NE(during.ss_sp, before.ss_sp);
        removeCrashHandler();
        ASSERT_EQ(sigaltstack(nullptr, &after), 0);
        EXPECT_EQ(after.ss_flags & SS_DISABLE, before.ss_flags & SS_DISABLE);
        if ((after.ss_flags & SS_DISABLE) == 0) {
            EXPECT_EQ(after.ss_sp, before.ss_sp);
        }
    }).join();
}

TEST_F(CrashTest, DeepChainIsCutAtOneHundredFrames) {
    const ProbeRun r = run("deep");
    EXPECT_TRUE(r.abnormalEnd(SIGABRT));
    const std::vector<std::string> text = lines(report());
    ASSERT_EQ(text.size(), 102u);
    // The faulting instruction, its caller, the call in the deepest level, then one return
    // address per level of the recursion.
    const std::string recursive = text[5];
    for (size_t i = 5; i < text.size(); ++i)
        EXPECT_EQ(text[i], recursive);
    EXPECT_NE(text[4], recursive);
    const uint64_t address =
        std::strtoull(recursive.substr(recursive.rfind("0x")).c_str(), nullptr, 16);
    EXPECT_GT(address, r.value("recurse"));
    EXPECT_LT(address, r.value("recurse") + 4096);
}

TEST(CrashName, ExtensionOfTheFileNameIsReplacedAndDirectoryDotsAreNeverTaken) {
    char out[64];
    ASSERT_TRUE(diagnosticFileName("/opt/game/Tool.exe", "err", out, sizeof out));
    EXPECT_STREQ(out, "/opt/game/Tool.err");
    ASSERT_TRUE(diagnosticFileName("/opt/Ver. 2./tarvex", "err", out, sizeof out));
    EXPECT_STREQ(out, "/opt/Ver. 2./tarvex.err");
    ASSERT_TRUE(diagnosticFileName("/a.b/c.d.e", "snp", out, sizeof out));
    EXPECT_STREQ(out, "/a.b/c.d.snp");
    ASSERT_TRUE(diagnosticFileName("tarvex", "err", out, sizeof out));
    EXPECT_STREQ(out, "tarvex.err");
    EXPECT_TRUE(diagnosticFileName("/x/abcd", "err", out, 12)); // 11 characters fit
    EXPECT_FALSE(diagnosticFileName("/x/abcde", "err", out, 12));
}

TEST(CrashText, NumbersTimesAndDurationsAreFormattedWithoutAllocating) {
    char buffer[128];
    rCrashShared::Text t(buffer, sizeof buffer);
    t.addHex(0xC0000005u, 8);
    t.addChar(' ');
    t.addHex(0x1F, 8);
    t.addChar(' ');
    t.addHex(0x7FFF12345678ull, 8);
    t.addChar(' ');
    t.addDuration(3725);
    t.addChar(' ');
    t.addDuration(0);
    t.addChar(' ');
    t.addDuration(59 * 3600 + 59);
    t.addChar(' ');
    t.addDecimal(-42);
    EXPECT_STREQ(buffer, "C0000005 0000001F 7FFF12345678 1:02:05 0:00:00 59:00:59 -42");

    struct tm when = {};
    when.tm_year = 103;
    when.tm_mon = 10;
    when.tm_mday = 9;
    when.tm_wday = 0;
    when.tm_hour = 14;
    when.tm_min = 16;
    when.tm_sec = 34;
    rCrashShared::Text a(buffer, sizeof buffer);
    a.addAsctime(when);
    EXPECT_STREQ(buffer, "Sun Nov 09 14:16:34 2003\n");

    char small[8];
    rCrashShared::Text cut(small, sizeof small);
    cut.add("0123456789");
    EXPECT_STREQ(small, "0123456");
    EXPECT_TRUE(cut.truncated());
}

namespace {

// A made-up stack: frames[i] is {caller's frame pointer, return address}, climbing upwards, in
// the first page of three; the second page is readable only, the third unreadable.
class WalkTest : public ::testing::Test {
protected:
    void SetUp() override {
        page = size_t(sysconf(_SC_PAGESIZE));
        memory = static_cast<char*>(
            mmap(nullptr, 3 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        ASSERT_NE(memory, MAP_FAILED);
        std::memset(memory, 0, 3 * page);
        ASSERT_EQ(mprotect(memory + page, page, PROT_READ), 0);
        ASSERT_EQ(mprotect(memory + 2 * page, page, PROT_NONE), 0);
    }
    void TearDown() override {
        munmap(memory, 3 * page);
        rCrashShared::forcePipeProbe(false);
    }
    uintptr_t* slot(size_t i) { return reinterpret_cast<uintptr_t*>(memory) + 2 * i; }
    // A chain of n frames; the last one's caller frame pointer is 0.
    void chain(size_t n) {
        for (size_t i = 0; i < n; ++i) {
            slot(i)[0] = i + 1 < n ? uintptr_t(slot(i + 1)) : 0;
            slot(i)[1] = 0x1000 + i;
        }
    }
    uint32_t walk(uintptr_t fp) { return walkStack(rCrashRegisters{0xABC, fp}, frames); }

    size_t page = 0;
    char* memory = nullptr;
    uintptr_t frames[crashMaxFrames];
};

} // namespace

TEST_F(WalkTest, ChainEndsAtTheFirstBadFramePointerAndNeverFaults) {
    for (bool pipeOnly : {false, true}) {
        rCrashShared::forcePipeProbe(pipeOnly);
        chain(5);
        ASSERT_EQ(walk(uintptr_t(slot(0))), 5u);
        EXPECT_EQ(frames[0], 0xABCu);
        for (uint32_t i = 1; i < 5; ++i)
            EXPECT_EQ(frames[i], 0x1000u + i - 1);
        EXPECT_EQ(frames[5], 0u); // the rest of the table is cleared

        // Not aligned, pointing downwards, not climbing, readable but not writable, unreadable.
        for (uintptr_t bad : {uintptr_t(slot(3)) + 3, uintptr_t(slot(0)), uintptr_t(slot(2)),
                              uintptr_t(memory + page), uintptr_t(memory + 2 * page)}) {
            chain(5);
            slot(2)[0] = bad;
            EXPECT_EQ(walk(uintptr_t(slot(0))), 3u) << std::hex << bad;
        }
        EXPECT_EQ(walk(uintptr_t(memory + 2 * page)), 1u); // the start itself unreadable
        EXPECT_EQ(walk(0), 1u);
        EXPECT_EQ(frames[0], 0xABCu);

        chain(150); // deeper than the table
        EXPECT_EQ(walk(uintptr_t(slot(0))), 100u);
        EXPECT_EQ(frames[99], 0x1000u + 98);
    }
}

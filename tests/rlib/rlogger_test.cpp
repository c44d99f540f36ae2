// tests/rlib/rlogger_test.cpp - the logger: where its file lies, every fixed line, the level
// rules, ignored codes, the hand-over of recorded errors, failures of the log file itself, a
// fault inside write, and lines from several threads.
#include "rlogger.h"
#include "rsystem.h"
#include "rthread.h"

#include "stream_testutil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// name in directory, with the system's separator.
std::string in(const std::string& directory, const std::string& name) {
    return (fs::path(directory) / name).string();
}
const std::string separator(1, char(fs::path::preferred_separator));

class LoggerTest : public StreamTest {
protected:
    void TearDown() override {
        setFaultDecider(nullptr);
        StreamTest::TearDown();
    }
    // The executable's file name with the extension "log".
    static std::string logName() {
        return fs::path(moduleFileName().text()).filename().replace_extension("log").string();
    }
    // The messages of the file's lines, each checked for the time stamp and CR LF.
    static std::vector<std::string> messages(const std::string& file) {
        static const std::regex line("\\d\\d\\.\\d\\d\\.\\d\\d \\d\\d:\\d\\d:\\d\\d (.*)\r");
        std::vector<std::string> result;
        std::istringstream in(readAll(file));
        std::string text;
        std::smatch m;
        while (std::getline(in, text)) {
            EXPECT_TRUE(std::regex_match(text, m, line)) << text;
            result.push_back(m[1]);
        }
        return result;
    }
    // The messages of the log in the test's directory.
    std::vector<std::string> logged() const { return messages(in(dir, logName())); }
    static std::string startLine() {
        return "Program started with PID " + std::to_string(processId());
    }
};

} // namespace

TEST_F(LoggerTest, LoggerBesideTheExecutableWritesItsStartAndFinishAndRemovesThePidFile) {
    rString pidName = moduleFileName();
    pidName.setExtension("pid");
    rString logPath = moduleFileName();
    logPath.setExtension("log");
    writeAll(pidName.text(), "1");
    const size_t before = readAll(logPath.text()).size();
    {
        rLogger logger(0, nullptr);
        EXPECT_EQ(currentLogger(), &logger);
        EXPECT_STREQ(logger.getName().text(), logPath.text());
    }
    EXPECT_EQ(currentLogger(), nullptr);
    EXPECT_FALSE(fs::exists(pidName.text()));
    const std::string appended = readAll(logPath.text()).substr(before);
    const std::string added = in(dir, "added.log");
    writeAll(added, appended);
    EXPECT_EQ(messages(added), (std::vector<std::string>{startLine(), "Program finished."}));
}

TEST_F(LoggerTest, GivenDirectoryIsCreatedAndTheLogIsAppendedTo) {
    const std::string nested = in(in(dir, "logs"), "deep");
    const std::string file = in(nested, logName());
    fs::create_directories(nested);
    writeAll(file, "earlier line\r\n");
    fs::remove_all(nested);
    {
        rLogger logger(0, nested.c_str());
        EXPECT_FALSE(logger.hasError());
    }
    EXPECT_EQ(messages(file), (std::vector<std::string>{startLine(), "Program finished."}));
    { rLogger logger(0, (nested + separator).c_str()); }
    EXPECT_EQ(messages(file).size(), 4u); // appended, never truncated

    // A relative directory lies below the executable's directory.
    const std::string relative = "rlogger-test-" + std::to_string(processId());
    { rLogger logger(0, relative.c_str()); }
    const fs::path below = fs::path(moduleFileName().text()).parent_path() / relative;
    EXPECT_EQ(messages((below / logName()).string()).size(), 2u);
    fs::remove_all(below);
}

TEST_F(LoggerTest, LevelsDecideWhichLinesAreWritten) {
    {
        rLogger logger(5, dir.c_str());
        EXPECT_EQ(logger.getLevel(), 5);
        logger.setLevel(5); // unchanged: nothing written
        logger.write(rString(""), 0);
        logger.write(rString("level six"), 6);
        logger.write(rString("level five"), 5);
        logText("through the process-wide logger", 3);
        rObject o;
        o.setError(erInsufMemory, nullptr, 64); // every recorded error reaches the logger
        o.setError(erFileEof, "end.dat", 0);    // except the end of a file
        o.setError(0x00000457, nullptr, 0);     // no group: the message number
        logger.setLevel(0);
        o.setError(erFileOpen, "x", 0); // level 0: errors are not logged
        logger.write(rString("level zero"), 0);
        logger.setLevel(-1);
        logger.write(rString("suppressed"), 0);
    } // "Program finished." is suppressed too
    rObject after;
    after.setError(erFileOpen, "x", 0); // no logger: nothing happens
    rObject memory(erInsufMemory, nullptr, 64);
    rString memoryText;
    EXPECT_EQ(logged(), (std::vector<std::string>{
                            startLine(), "Log level changed to 5.", "level five",
                            "through the process-wide logger", memory.errorText(memoryText), "1111",
                            "Log level changed to 0.", "level zero", "Log level changed to -1."}));
}

TEST_F(LoggerTest, IgnoredCodesStaySortedAndAreNeverLogged) {
    {
        rLogger logger(9, dir.c_str());
        EXPECT_TRUE(logger.isIgnored(erFileEof));
        for (uint32_t code :
             std::vector<uint32_t>{erThread, erArrayIndex, erFileIO, 0xFFFFFFFFu, 0u, erFileIO})
            logger.ignoreCode(code);
        const rArray<uint32_t>& codes = logger.ignoredCodes();
        const std::vector<uint32_t> expected = {0u,           erFileEof, erFileIO,   erFileIO,
                                                erArrayIndex, erThread,  0xFFFFFFFFu};
        ASSERT_EQ(codes.getCount(), expected.size());
        for (uint32_t i = 0; i < codes.getCount(); ++i)
            EXPECT_EQ(codes[i], expected[i]) << i;
        for (uint32_t code : expected)
            EXPECT_TRUE(logger.isIgnored(code));
        EXPECT_FALSE(logger.isIgnored(erFileWrite));
        EXPECT_FALSE(logger.isIgnored(1));

        rObject o;
        o.setError(erThread, "Start", 11);
        o.setError(erArrayIndex, nullptr, 3);
        o.setError(erFileWrite, "w", 0);
        logger.logError(&o, 9);
        logger.logError(&o, 10); // above the level
        logger.logError(nullptr, 0);
    }
    const std::vector<std::string> lines = logged();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[2], lines[3]); // the write error, recorded and then logged again
    EXPECT_EQ(lines[4], "Program finished.");
}

TEST_F(LoggerTest, SecondLoggerTakesOverAndTheFirstEndsWithoutAFinishLine) {
    const std::string first = in(in(dir, "one"), logName());
    const std::string second = in(in(dir, "two"), logName());
    auto* a = new rLogger(5, in(dir, "one").c_str());
    {
        rLogger b(5, in(dir, "two").c_str());
        EXPECT_EQ(currentLogger(), &b);
        delete a; // not the process-wide one any more
        EXPECT_EQ(currentLogger(), &b);
        logText("to the second", 0);
    }
    EXPECT_EQ(currentLogger(), nullptr);
    EXPECT_EQ(messages(first), (std::vector<std::string>{startLine(), "Log level changed to 5."}));
    EXPECT_EQ(messages(second), (std::vector<std::string>{startLine(), "Log level changed to 5.",
                                                          "to the second", "Program finished."}));

    // A logger without a file becomes the process-wide one only when there is none.
    {
        rLogger quiet;
        EXPECT_EQ(currentLogger(), &quiet);
        rLogger other;
        EXPECT_EQ(currentLogger(), &quiet);
        EXPECT_FALSE(other.isOpen());
    }
    EXPECT_EQ(currentLogger(), nullptr);
}

TEST_F(LoggerTest, FailingLogFileCausesNoStormOfErrorLines) {
    rLogger logger(5, dir.c_str());
    Faults::arm(FaultOp::write);
    for (int i = 0; i < 20; ++i)
        logger.write(rString("lost"), 0);
    rObject o;
    o.setError(erInsufMemory, nullptr, 1);
    // One write was tried; its failure, handed back to this logger, was dropped, and the
    // logger's sticky write error refuses the rest.
    EXPECT_EQ(Faults::count(FaultOp::write), 1);
    EXPECT_EQ(logger.errorCode(), erFileWrite);
    setFaultDecider(nullptr);
    EXPECT_EQ(logged(), (std::vector<std::string>{startLine(), "Log level changed to 5."}));

    // A log that could not be opened holds the open error and writes nothing.
    const std::string blocked = in(dir, "blocked");
    writeAll(blocked, "a file where a directory should be");
    rLogger broken(5, blocked.c_str());
    EXPECT_EQ(broken.errorCode(), erFileOpen);
    EXPECT_EQ(currentLogger(), &broken);
    broken.write(rString("nowhere"), 0);
    EXPECT_EQ(readAll(blocked), "a file where a directory should be");
}

namespace {
bool throwOnce(FaultOp op) {
    if (op == FaultOp::write) {
        setFaultDecider(nullptr);
        throw std::runtime_error("fault inside the write");
    }
    return false;
}
} // namespace

TEST_F(LoggerTest, FaultInsideWriteLosesOnlyThatLine) {
    {
        rLogger logger(5, dir.c_str());
        setFaultDecider(throwOnce);
        logger.write(rString("faulting line"), 0);
        EXPECT_EQ(currentLogger(), &logger);
        logger.write(rString("later line"), 0); // the thread's mark was reset
        // The lock was released: another thread gets it.
        rThread other;
        other.start([](void*) { logText("from another thread", 0); }, nullptr);
        other.stop(true);
    }
    EXPECT_EQ(logged(),
              (std::vector<std::string>{startLine(), "Log level changed to 5.", "later line",
                                        "from another thread", "Program finished."}));
}

TEST_F(LoggerTest, LinesFromSeveralThreadsStayWhole) {
    {
        rLogger logger(0, dir.c_str());
        rThread threads[4];
        for (rThread& t : threads)
            t.start(
                [](void*) {
                    for (int i = 0; i < 50; ++i)
                        logText("a line from a worker thread", 0);
                },
                nullptr);
        for (rThread& t : threads)
            t.stop(true);
    }
    const std::vector<std::string> lines = logged();
    ASSERT_EQ(lines.size(), 202u);
    for (size_t i = 1; i < 201; ++i)
        EXPECT_EQ(lines[i], "a line from a worker thread");
}

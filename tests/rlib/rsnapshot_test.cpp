// tests/rlib/rsnapshot_test.cpp - thread snapshots of a child process with three threads: every
// line's form, the marker of the calling thread, the times, and the frames of each thread.
#include "probe_testutil.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

namespace {

class SnapshotTest : public ProbeTest {};

struct Block {
    uint32_t id = 0;
    bool marked = false;
    uint64_t kernelSeconds = 0;
    uint64_t userSeconds = 0;
    std::vector<std::string> frames;
};

uint64_t seconds(const std::smatch& m, int first) {
    return std::stoull(m[first]) * 3600 + std::stoull(m[first + 1]) * 60 +
           std::stoull(m[first + 2]);
}

} // namespace

TEST_F(SnapshotTest, SnapshotListsEveryThreadWithTimesAndStacks) {
    const ProbeRun r = run("snapshot");
    ASSERT_TRUE(r.exitedWith(0)) << r.status << r.err;
    const std::vector<std::string> text = lines(dir + "/crashprobe.snp");
    const std::regex handle(">Thread handle : 0x([0-9A-F]{8}) (\\(\\*\\))?\r");
    const std::regex created(">Creation time : \\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d\r");
    const std::regex kernel(">Kernel   time : (\\d+):([0-5]\\d):([0-5]\\d)\r");
    const std::regex user(">User     time : (\\d+):([0-5]\\d):([0-5]\\d)\r");
    const std::regex frameLine("[^\t\r>]+\t0x[0-9A-F]{8,16}\t0x[0-9A-F]{8,16}\r");
    const std::set<uint32_t> expectedIds = {uint32_t(r.value("self")), uint32_t(r.value("idler")),
                                            uint32_t(r.value("burner"))};
    size_t at = 0;
    for (const char* reason : {"Two workers", "not passed"}) {
        ASSERT_LT(at + 4, text.size());
        EXPECT_EQ(text[at], ">" + std::string(66, '#') + "\r");
        const std::string stats = ">Threads stats ";
        EXPECT_EQ(text[at + 1].substr(0, stats.size()), stats);
        EXPECT_TRUE(isTimeOfRun(text[at + 1].substr(stats.size()), r))
            << text[at + 1]; // asctime: a bare LF ends the line
        EXPECT_EQ(text[at + 2], ">Reason: " + std::string(reason) + "\r");
        EXPECT_EQ(text[at + 3], ">Threads count : 3\r");
        at += 4;
        std::vector<Block> blocks;
        while (at < text.size() && text[at] != ">" + std::string(66, '#') + "\r") {
            ASSERT_LT(at + 5, text.size());
            EXPECT_EQ(text[at], ">" + std::string(66, '=') + "\r");
            Block b;
            std::smatch m;
            EXPECT_TRUE(std::regex_match(text[at + 1], m, handle)) << text[at + 1];
            b.id = uint32_t(std::stoul(m[1], nullptr, 16));
            b.marked = m[2].matched;
            ASSERT_TRUE(std::regex_match(text[at + 2], created)) << text[at + 2];
            // Created during the run: the system gives whole seconds since its start.
            struct tm when = {};
            strptime(text[at + 2].c_str() + 17, "%d.%m.%Y %H:%M:%S", &when);
            const time_t t = timegm(&when);
            EXPECT_GE(t, r.started - 2);
            EXPECT_LE(t, r.ended + 2);
            ASSERT_TRUE(std::regex_match(text[at + 3], m, kernel)) << text[at + 3];
            b.kernelSeconds = seconds(m, 1);
            ASSERT_TRUE(std::regex_match(text[at + 4], m, user)) << text[at + 4];
            b.userSeconds = seconds(m, 1);
            EXPECT_EQ(text[at + 5],
                      ">" + std::string(27, '-') + " Call stack " + std::string(27, '-') + "\r");
            at += 6;
            while (at < text.size() && text[at][0] != '>') {
                EXPECT_TRUE(std::regex_match(text[at], frameLine)) << text[at];
                b.frames.push_back(text[at++]);
            }
            blocks.push_back(b);
        }
        ASSERT_EQ(blocks.size(), 3u);
        std::set<uint32_t> ids;
        for (const Block& b : blocks) {
            ids.insert(b.id);
            EXPECT_EQ(b.marked, b.id == r.value("self"));
            EXPECT_FALSE(b.frames.empty()) << b.id; // every thread handed over its registers
            if (b.id == r.value("burner")) {        // it used at least 1.2 s of processor time
                EXPECT_GE(b.userSeconds + b.kernelSeconds, 1u);
            }
            if (b.id != r.value("self"))
                continue;
            // The caller's stack starts inside the snapshot function, then returns to the call.
            ASSERT_GE(b.frames.size(), 2u);
            const std::string& first = b.frames[0];
            const uint64_t pc = std::strtoull(first.substr(first.rfind("0x")).c_str(), nullptr, 16);
            EXPECT_GT(pc, r.value("snapshot"));
            EXPECT_LT(pc, r.value("snapshot") + 0x4000);
            EXPECT_EQ(b.frames[1], "crashprobe\t" + hex(r.value("base")) + "\t" +
                                       hex(r.value("snapshotReturn")) + "\r");
        }
        EXPECT_EQ(ids, expectedIds);
    }
    EXPECT_EQ(at, text.size());
}

// Tests of rLib/rtempfile: rFile::openTemp and rTempFile, their unique names in the per-process
// directory, the name lock's time-out, and the refusal of a per-process name that is not ours.
#include "rscratch.h"
#include "rsync.h"
#include "rtempfile.h"

#include "scratch_testutil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

// This test program's static objects: the temporary files need the process-wide name lock. (No
// scratch directory object: it would scan the real temporary directory before any test runs.)
rSharedLock tempNameLock;

class TempFileTest : public ScratchTest {};

TEST_F(TempFileTest, TempFilesGetUniqueNamesAndGoWithTheirObjects) {
    rScratchDirectory scratch;
    const std::string own = std::string(scratch.getPath().text()) + "/";
    auto first = std::make_unique<rTempFile>();
    auto second = std::make_unique<rTempFile>();
    const std::string a = first->getName().text();
    const std::string b = second->getName().text();
    EXPECT_NE(a, b);
    EXPECT_EQ(a.rfind(own, 0), 0u) << a;
    EXPECT_EQ(b.rfind(own, 0), 0u) << b;
    ASSERT_TRUE(first->isOpen() && second->isOpen());
    EXPECT_TRUE(exists(a) && exists(b));
    // Open read-write.
    ASSERT_TRUE(first->write("abc", 3));
    ASSERT_EQ(first->seek(0, 0), 0);
    char back[3] = {};
    EXPECT_TRUE(first->readExact(back, 3));
    EXPECT_EQ(std::string(back, 3), "abc");
    first.reset();
    EXPECT_FALSE(exists(a));
    EXPECT_TRUE(exists(b));
    second.reset();
    EXPECT_FALSE(exists(b));

    // In a directory of the caller's choice.
    const std::string chosen = tmp + "/chosen";
    ASSERT_EQ(mkdir(chosen.c_str(), 0700), 0);
    {
        rTempFile there(chosen.c_str(), 4096);
        EXPECT_EQ(std::string(there.getName().text()).rfind(chosen + "/", 0), 0u);
        EXPECT_EQ(there.bufferSize(), 4096u);
        EXPECT_TRUE(exists(there.getName().text()));
    }
    EXPECT_EQ(rmdir(chosen.c_str()), 0); // empty again
}

TEST_F(TempFileTest, OpenTempReplacesTheOpenFileWithANewEmptyOne) {
    rScratchDirectory scratch;
    const std::string earlier = tmp + "/earlier";
    rFile file;
    ASSERT_TRUE(file.open(earlier.c_str(), rFile::modeRewrite));
    ASSERT_TRUE(file.write("kept", 4));
    ASSERT_TRUE(file.openTemp());
    EXPECT_EQ(readAll(earlier), "kept"); // closed, with its bytes
    const std::string name = file.getName().text();
    EXPECT_EQ(name.rfind(std::string(scratch.getPath().text()) + "/", 0), 0u);
    EXPECT_EQ(file.tell(), 0);
    EXPECT_EQ(file.size(), 0);
    ASSERT_TRUE(file.write("new", 3));
    ASSERT_TRUE(file.close());
    EXPECT_EQ(readAll(name), "new"); // stays after closing, until the directory goes
    scratch.cleanup();
    EXPECT_FALSE(exists(name));
}

TEST_F(TempFileTest, ThreadsCreatingTempFilesAtOnceGetDistinctFiles) {
    rScratchDirectory scratch;
    constexpr int threads = 4, each = 25;
    std::vector<std::vector<std::string>> names(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            std::vector<std::unique_ptr<rTempFile>> files;
            for (int i = 0; i < each; ++i) {
                files.push_back(std::make_unique<rTempFile>());
                files.back()->write("x", 1);
                names[t].push_back(files.back()->getName().text());
            }
            for (auto& f : files)
                f->flush();
            // Every file still holds exactly its own byte: no two objects share a file.
            for (const std::string& n : names[t])
                if (readAll(n) != "x")
                    names[t].push_back("shared:" + n);
        });
    for (auto& w : workers)
        w.join();
    std::set<std::string> distinct;
    for (const auto& list : names)
        for (const std::string& n : list) {
            EXPECT_EQ(n.rfind("shared:", 0), std::string::npos) << n;
            distinct.insert(n);
        }
    EXPECT_EQ(distinct.size(), size_t(threads * each));
    for (const std::string& n : distinct)
        EXPECT_FALSE(exists(n)) << n;
}

TEST_F(TempFileTest, NameLockTimeOutLeavesTempFilesUnopened) {
    rScratchDirectory scratch;
    std::atomic<bool> held{false};
    std::atomic<bool> done{false};
    std::thread holder([&] {
        if (tempNameLock.lockWrite(0)) {
            held = true;
            while (!done)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            tempNameLock.unlockWrite();
        }
    });
    while (!held)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const auto start = std::chrono::steady_clock::now();
    // Both wait at once for the same 5000 ms.
    bool opened = true;
    uint32_t openTempError = 1;
    std::thread other([&] {
        rFile file;
        opened = file.openTemp();
        openTempError = file.errorCode();
    });
    {
        rTempFile temp;
        EXPECT_FALSE(temp.isOpen());
        EXPECT_FALSE(temp.hasError());
        EXPECT_FALSE(temp.write("x", 1) && temp.flush());
    }
    other.join();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(5000));
    EXPECT_FALSE(opened);
    EXPECT_EQ(openTempError, 0u); // a time-out stores nothing
    done = true;
    holder.join();
    rTempFile after;
    EXPECT_TRUE(after.isOpen());
}

TEST_F(TempFileTest, TempFilesRefuseAPlantedLinkAtThePerProcessName) {
    const std::string victim = tmp + "/victim";
    ASSERT_EQ(mkdir(victim.c_str(), 0700), 0);
    touch(victim + "/x.tmp", "keep");
    ASSERT_EQ(symlink(victim.c_str(), canonical(getpid()).c_str()), 0);
    {
        rScratchDirectory scratch;
        EXPECT_TRUE(scratch.getPath().isEmpty());
        rFile file;
        EXPECT_FALSE(file.openTemp());
        EXPECT_EQ(file.errorCode(), uint32_t(erFileOpen));
        EXPECT_EQ(std::string(file.errorSubject()).rfind(canonical(getpid()) + "/", 0), 0u);
        EXPECT_FALSE(file.deleteFile()); // keeps no name through the link
        rTempFile temp;
        EXPECT_FALSE(temp.isOpen());
        EXPECT_EQ(temp.errorCode(), uint32_t(erFileOpen));
    }
    EXPECT_EQ(readAll(victim + "/x.tmp"), "keep");
    EXPECT_TRUE(exists(canonical(getpid())));
    EXPECT_EQ(unlink((victim + "/x.tmp").c_str()), 0);
    EXPECT_EQ(rmdir(victim.c_str()), 0); // nothing else was written there
}

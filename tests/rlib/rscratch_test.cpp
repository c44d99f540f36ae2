// Tests of rLib/rscratch: the per-process scratch directory, the removal of directories left by
// ended processes, and the refusal of names at the process's own place that are not its own.
// Real processes: ended children, a running child, and the child program with static objects.
#include "../childrun.h"
#include "rscratch.h"
#include "rsystem.h"

#include "scratch_testutil.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Makes the directory belong to another user; false when this process may not.
bool giveAway(const std::string& path) {
    return chown(path.c_str(), 65534, 65534) == 0;
}

} // namespace

TEST_F(ScratchTest, StartRemovesOnlyTheCanonicalDirectoriesOfEndedProcesses) {
    const pid_t ended = endedProcess();
    const pid_t shortEnded = endedProcess();
    const pid_t fileEnded = endedProcess();
    Child running;
    ASSERT_TRUE(running.start());

    const std::string stale = canonical(ended);
    ASSERT_EQ(mkdir(stale.c_str(), 0700), 0);
    ASSERT_EQ(mkdir((stale + "/sub").c_str(), 0700), 0);
    touch(stale + "/sub/file.tmp");
    // No process can have an id this high: its directory counts as left behind.
    const std::string impossible = tmp + "/7ABCDEF1";
    ASSERT_EQ(mkdir(impossible.c_str(), 0700), 0);
    // Kept: a running process's directory, a short name, a lower-case name (only the canonical
    // form is removed), non-numbers, zero, a number beyond the range of process ids, and a plain
    // file named like a directory of an ended process.
    const std::string shortName = tmp + "/" + hex(unsigned(shortEnded), "%X");
    const std::string kept[] = {running.directory, shortName,       tmp + "/7abcdef0",
                                tmp + "/notes",    tmp + "/0",      tmp + "/00000000",
                                tmp + "/zz12",     tmp + "/-notes", tmp + "/FFFFFFFE"};
    for (const std::string& dir : kept)
        if (!isDirectory(dir)) {
            ASSERT_EQ(mkdir(dir.c_str(), 0700), 0) << dir;
        }
    touch(canonical(fileEnded));

    {
        rScratchDirectory scratch;
        EXPECT_FALSE(exists(stale));
        EXPECT_FALSE(exists(impossible));
        for (const std::string& dir : kept)
            EXPECT_TRUE(isDirectory(dir)) << dir;
        EXPECT_EQ(readAll(canonical(fileEnded)), "data");
        // The running process's own file is untouched too.
        EXPECT_TRUE(running.opened);
        EXPECT_TRUE(exists(running.file));
        EXPECT_EQ(rScratchDirectory::active(), &scratch);
        EXPECT_EQ(std::string(scratch.getPath().text()), canonical(getpid()));
    }
    EXPECT_EQ(rScratchDirectory::active(), nullptr);
    EXPECT_FALSE(exists(canonical(getpid())));
    EXPECT_TRUE(isDirectory(running.directory));
    EXPECT_EQ(running.finish(), 0);
    EXPECT_FALSE(exists(running.directory));
}

TEST_F(ScratchTest, OwnDirectoryIsPrivateAndGoesWithItsContents) {
    const mode_t saved = umask(0);
    const std::string own = canonical(getpid());
    const int descriptors = openDescriptorCount();
    {
        auto first = std::make_unique<rScratchDirectory>();
        ASSERT_EQ(std::string(first->getPath().text()), own);
        EXPECT_EQ(mode(own), 0700u);
        ASSERT_EQ(mkdir((own + "/deep").c_str(), 0777), 0);
        touch(own + "/deep/file");
        // A later instance takes over; the earlier one then removes nothing when destroyed.
        rScratchDirectory second;
        EXPECT_EQ(rScratchDirectory::active(), &second);
        first.reset();
        EXPECT_TRUE(exists(own + "/deep/file"));
        second.cleanup();
        EXPECT_FALSE(exists(own));
        EXPECT_EQ(rScratchDirectory::active(), nullptr);

        // Missing: a temporary name creates the directory again, privately.
        const std::string name = uniqueTempName().text();
        EXPECT_EQ(name.rfind(own + "/", 0), 0u);
        EXPECT_EQ(mode(own), 0700u);
        ASSERT_EQ(rmdir(own.c_str()), 0);

        // A directory of ours left with a wide mode (an earlier process of the same id) is used,
        // narrowed to 0700.
        ASSERT_EQ(mkdir(own.c_str(), 0777), 0);
        second.create();
        EXPECT_EQ(std::string(second.getPath().text()), own);
        EXPECT_EQ(mode(own), 0700u);
    }
    umask(saved);
    EXPECT_FALSE(exists(own));
    EXPECT_EQ(openDescriptorCount(),
              descriptors); // each check of the directory closes what it opened
}

TEST_F(ScratchTest, DirectoryGoesAtANormalExitAndAfterAnAbnormalEndAtTheNextStart) {
    Child first;
    ASSERT_TRUE(first.start());
    const std::string left = first.directory;
    const std::string leftFile = first.file;
    first.kill9();
    ASSERT_TRUE(exists(leftFile)); // nothing ran at its end
    Child second;
    ASSERT_TRUE(second.start());
    EXPECT_FALSE(exists(left));
    // Its own private directory, holding its temporary file, goes with the file at the exit.
    EXPECT_EQ(second.directory, canonical(second.pid));
    EXPECT_TRUE(isDirectory(second.directory));
    EXPECT_EQ(mode(second.directory), 0700u);
    EXPECT_TRUE(second.opened);
    EXPECT_EQ(second.file.rfind(second.directory + "/", 0), 0u) << second.file;
    EXPECT_TRUE(exists(second.file));
    EXPECT_EQ(second.finish(), 0);
    EXPECT_FALSE(exists(second.file));
    EXPECT_FALSE(exists(second.directory));
}

TEST_F(ScratchTest, StaleRemovalNeverFollowsALink) {
    const pid_t ended = endedProcess();
    const std::string target = tmp + "/target";
    ASSERT_EQ(mkdir(target.c_str(), 0700), 0);
    touch(target + "/precious");
    ASSERT_EQ(symlink(target.c_str(), canonical(ended).c_str()), 0);
    { rScratchDirectory scratch; }
    EXPECT_EQ(readAll(target + "/precious"), "data");
    EXPECT_TRUE(exists(canonical(ended))); // a link is not a directory of ours
}

TEST_F(ScratchTest, StaleRemovalLeavesOtherUsersDirectories) {
    const pid_t ended = endedProcess();
    const std::string stale = canonical(ended);
    ASSERT_EQ(mkdir(stale.c_str(), 0755), 0);
    touch(stale + "/theirs");
    if (!giveAway(stale) || geteuid() != 0)
        GTEST_SKIP() << "cannot give a directory to another user here";
    { rScratchDirectory scratch; }
    EXPECT_EQ(readAll(stale + "/theirs"), "data");
}

TEST_F(ScratchTest, PlantedLinkOrFileAtTheOwnNameIsNeitherUsedNorFollowed) {
    const std::string victim = tmp + "/victim";
    ASSERT_EQ(mkdir(victim.c_str(), 0700), 0);
    Child linked;
    ASSERT_TRUE(linked.start(
        [&](pid_t pid) { ASSERT_EQ(symlink(victim.c_str(), canonical(pid).c_str()), 0); }));
    EXPECT_EQ(linked.directory, "");
    EXPECT_FALSE(linked.opened);
    EXPECT_EQ(linked.error, unsigned(erFileOpen));
    EXPECT_EQ(linked.file, "");
    const std::string link = canonical(linked.pid);
    EXPECT_EQ(linked.finish(), 0);
    EXPECT_TRUE(exists(link));
    EXPECT_TRUE(isDirectory(victim));
    EXPECT_EQ(rmdir(victim.c_str()), 0); // still empty: nothing was written through the link

    Child blocked;
    std::string file;
    ASSERT_TRUE(blocked.start([&](pid_t pid) {
        file = canonical(pid);
        touch(file, "keep");
    }));
    EXPECT_FALSE(blocked.opened);
    EXPECT_EQ(blocked.error, unsigned(erFileOpen));
    EXPECT_EQ(blocked.finish(), 0);
    EXPECT_EQ(readAll(file), "keep");
}

TEST_F(ScratchTest, AnotherUsersDirectoryAtTheOwnNameIsNeitherUsedNorRemoved) {
    Child child;
    bool givenAway = false;
    std::string theirs;
    ASSERT_TRUE(child.start([&](pid_t pid) {
        theirs = canonical(pid);
        ASSERT_EQ(mkdir(theirs.c_str(), 0777), 0);
        chmod(theirs.c_str(), 0777);
        givenAway = geteuid() == 0 && giveAway(theirs);
    }));
    if (!givenAway) {
        child.finish();
        GTEST_SKIP() << "cannot give a directory to another user here";
    }
    EXPECT_EQ(child.directory, "");
    EXPECT_FALSE(child.opened);
    EXPECT_EQ(child.error, unsigned(erFileOpen));
    EXPECT_EQ(child.finish(), 0);
    EXPECT_TRUE(isDirectory(theirs));
    EXPECT_EQ(mode(theirs), 0777u); // not narrowed either
    struct stat st;
    ASSERT_EQ(lstat(theirs.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
}

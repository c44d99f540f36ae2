// tests/app/dialog_posix_test.cpp - the dialog's logic when writes fail, with faults injected
// through the POSIX call layer: the messages, and saves kept bold until written.
#include "dialogtest.h"
#include "rposix.h"

#include <cerrno>
#include <cstring>

namespace {

// A fault for the calls of one kind whose path holds faultPath (any path when it is empty).
rPosix::Op faultOp = rPosix::Op::rename;
std::string faultPath;
int faultErrno = 0;
int pathFault(rPosix::Op op, const char* path) {
    if (op != faultOp)
        return 0;
    return faultPath.empty() || (path != nullptr && std::strstr(path, faultPath.c_str()))
               ? faultErrno
               : 0;
}

// The hook is removed after each test, also after a failed assertion.
class DialogFaultTest : public DialogTest {
protected:
    void TearDown() override {
        rPosix::setFaultHook(nullptr);
        DialogTest::TearDown();
    }
};

TEST_F(DialogFaultTest, OkWritesChangedSavesOnlyAndAFailureKeepsTheDialogOpen) {
    const std::string before = bytesOf("save/P/Old/game.sav");
    ASSERT_TRUE(start());
    click(ModRows::installed, 0);
    dialog.OnRemove();
    rPosix::setFaultHook(
        [](rPosix::Op op, const char*) { return op == rPosix::Op::rename ? 13 : 0; });
    dialog.OnOK();
    EXPECT_EQ(view.ended, -1);
    EXPECT_EQ(view.errors, (Texts{"Error saving saves. May be share violation ?"}));
    rPosix::setFaultHook(nullptr);
    dialog.OnOK(); // the retry writes the save still marked
    EXPECT_EQ(view.ended, 1);
    EXPECT_EQ(bytesOf("save/P/New/game.sav").substr(gamegen::entriesOffset),
              "\x14Mods\\Gamma\x12Mods\\betaT");
    EXPECT_EQ(bytesOf("save/P/Old/game.sav"), before);
    EXPECT_EQ(bytesOf("save/P/Old/game.bak"), "<missing>");
}

TEST_F(DialogFaultTest, SavesWithUnwrittenEditsAreBoldUntilWritten) {
    ASSERT_TRUE(start());
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(view.choices[size_t(i)].bold) << i;
    SaveGame* first = saves.save(0);
    SaveGame* second = saves.save(1);
    editSave(second);
    EXPECT_TRUE(bold(second));
    editSave(first); // choosing another save keeps the mark of the edited one
    EXPECT_TRUE(bold(first) && bold(second));
    EXPECT_FALSE(bold(saves.save(2)));

    // The first is written, the second fails: only the second stays bold.
    faultOp = rPosix::Op::rename;
    faultPath = relativeDirectory(second);
    faultErrno = EACCES;
    rPosix::setFaultHook(pathFault);
    dialog.OnOK();
    EXPECT_EQ(view.ended, -1);
    EXPECT_FALSE(bold(first));
    EXPECT_TRUE(bold(second));
    EXPECT_EQ(view.details, (Texts{label(1) + ": permission denied."}));
    rPosix::setFaultHook(nullptr);
    dialog.OnOK();
    EXPECT_EQ(view.ended, 1);
    EXPECT_FALSE(bold(second));
}

TEST_F(DialogFaultTest, AFailedWriteNamesEachUnwrittenSaveWithItsReason) {
    ASSERT_TRUE(start());
    for (uint32_t i = 0; i < 3; ++i)
        editSave(saves.save(i));
    const std::string rest =
        "\n" + label(1) + ": not written yet, because writing stops at the first failure.\n" +
        label(2) + ": not written yet, because writing stops at the first failure.";
    const struct {
        rPosix::Op op;
        const char* path;
        int error;
        const char* words;
    } faults[] = {
        {rPosix::Op::rename, "", EACCES, "permission denied."},
        {rPosix::Op::write, "", ENOSPC, "the disk is full."},
        {rPosix::Op::open, ".new", EROFS, "the file system is read-only."},
        {rPosix::Op::sync, "", EIO, "the disk reported a read or write error."},
        {rPosix::Op::rename, "", EXDEV, nullptr},
    };
    rPosix::setFaultHook(pathFault);
    for (const auto& f : faults) {
        faultOp = f.op;
        faultPath = f.path;
        faultErrno = f.error;
        view.details.clear();
        dialog.OnOK();
        ASSERT_EQ(view.details.size(), 1u) << f.error;
        const std::string words = f.words != nullptr
                                      ? std::string(f.words)
                                      : "the system reported error " + std::to_string(f.error) +
                                            " (" + std::strerror(f.error) + ").";
        EXPECT_EQ(view.details[0], label(0) + ": " + words + rest);
    }
    EXPECT_EQ(view.errors, Texts(5, "Error saving saves. May be share violation ?"));
    rPosix::setFaultHook(nullptr);
    dialog.OnOK();
    EXPECT_EQ(view.ended, 1);
    for (uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(saves.save(i)->modified, 0u);
}

} // namespace

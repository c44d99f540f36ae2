// tests/app/dialog_posix_test.cpp - the dialog's logic when a write fails with an error number
// it has no words for, injected through the POSIX call layer.
#include "dialogtest.h"
#include "rposix.h"

#include <cerrno>
#include <cstring>

namespace {

TEST_F(DialogFaultTest, AnErrorWithoutWordsIsNamedByItsNumberAndTheSystemsText) {
    ASSERT_TRUE(start());
    editSave(saves.save(0));
    rPosix::setFaultHook(
        [](rPosix::Op op, const char*) { return op == rPosix::Op::rename ? EXDEV : 0; });
    dialog.OnOK();
    ASSERT_EQ(view.details.size(), 1u);
    EXPECT_EQ(view.details[0], label(0) + ": the system reported error " + std::to_string(EXDEV) +
                                   " (" + std::strerror(EXDEV) + ").");
    rPosix::setFaultHook(nullptr);
    dialog.OnOK();
    EXPECT_EQ(view.ended, 1);
}

} // namespace

// tests/app/writefault.h - makes the save writer's system calls fail through the platform's call
// layer, for the tests of what the dialog shows when a write fails.
#pragma once

#include <string>

namespace writefault {

// The steps of a write that can be made to fail.
enum class Step {
    create,  // creating a file (the new content is made in a file of its own beside the save)
    write,   // writing bytes
    flush,   // flushing them to the disk
    replace, // moving a file over another (the new content over the save)
    link,    // giving a file a second name (the backup made without copying)
    setTime, // setting a file's time (the new content gets the save's)
};

// Why they fail, each as the platform's own error code for it.
enum class Reason { denied, diskFull, readOnly, diskError };

// From now on the step fails for the reason when its file's name holds pathPart (code page
// 1251), or always when pathPart is empty; steps on an open file have no name. The first
// `allowed` such calls still succeed.
void failFrom(Step step, const std::string& pathPart, Reason reason, int allowed = 0);
// Every call runs again.
void stop();

} // namespace writefault

// rLib/rtempfile.cpp - temporary files: rFile::openTemp and rTempFile, whose names are chosen
// and files created under the process-wide tempNameLock.
#include "rtempfile.h"
#include "rscratch.h"
#include "rsync.h"
#include "rsystem.h"

#define R_MODULE "rLib/rtempfile"

namespace {
constexpr uint32_t nameLockTimeout = 5000;
} // namespace

bool rFile::openUnique(const char* directory) {
    const rString unique = uniqueTempName(directory, nullptr);
    if (directory != nullptr || rScratchPlatform::isOwnDirectory(scratchDirectoryName().text()))
        return open(unique.text(), modeRewrite);
    // The per-process name is taken by something that is not ours (a link, a file, another
    // user's directory): nothing is created through it. It fails as an unwritable directory
    // would, and the stream keeps no name there that a later removal could act on.
    close();
    clearError();
    name.clear();
    mode = modeRewrite;
    return rCHECK(false, erFileOpen, unique.text(), 0);
}

bool rFile::openTemp() {
    if (!tempNameLock.lockWrite(nameLockTimeout))
        return false;
    const bool opened = openUnique(nullptr);
    tempNameLock.unlockWrite();
    return opened;
}

rTempFile::rTempFile(const char* directory, uint32_t capacity) : rFile(-1, capacity) {
    // Created with the plain read-write mode: the destructor removes the file in any case.
    if (!tempNameLock.lockWrite(nameLockTimeout))
        return;
    openUnique(directory);
    tempNameLock.unlockWrite();
}

rTempFile::~rTempFile() {
    close();
    deleteFile();
}

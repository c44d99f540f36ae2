// rLib/rscratch.h - the per-process scratch directory below the temporary directory: created at
// start-up, removed with its contents at normal exit, and left-over directories of ended
// processes removed.
#pragma once

#include "rstring.h"

#include <cstdint>

// The directory is the temporary directory followed by the process id as eight upper-case
// hexadecimal digits. Since the temporary directory may be shared by several users, a name there
// counts as this process's directory only when it is a real directory (not a link) owned by the
// effective user; otherwise it is neither used nor removed.
class rScratchDirectory {
public:
    rScratchDirectory();  // create()
    ~rScratchDirectory(); // cleanup(), when this instance is the active one
    rScratchDirectory(const rScratchDirectory&) = delete;
    rScratchDirectory& operator=(const rScratchDirectory&) = delete;

    // Removes stale directories, then creates this process's own (mode 0700) and becomes the
    // active instance.
    void create();
    // Ends being the active instance, removes this process's directory with its contents, then
    // removes stale directories again.
    void cleanup();
    // This process's directory, without a trailing separator; empty before create() and when
    // the name is taken by something that is not ours.
    const rString& getPath() const { return path; }

    // The instance that created its directory, or null.
    static rScratchDirectory* active();
    // Removes the directory of every ended process found directly in the temporary directory:
    // names read as hexadecimal numbers, each removed in its eight-digit canonical form.
    static void removeStale();

private:
    rString path;
};

// The per-process directory's name for the current temporary directory (no trailing separator).
rString scratchDirectoryName();
// Creates the per-process directory when it is missing (mode 0700) and answers whether it can be
// used: a directory, not a link, owned by the effective user (its mode is then narrowed to 0700).
bool prepareScratchDirectory(const rString& directory);

// The platform's side (rscratch_posix.cpp).
namespace rScratchPlatform {
// The process counts as gone only when the system says no such process exists.
bool processGone(uint32_t id);
// A real directory (a link is not followed) owned by the effective user; with makePrivate, its
// mode is narrowed to 0700 (a directory whose mode cannot be narrowed does not count).
bool isOwnDirectory(const char* path, bool makePrivate = false);
// Creates the directory private to the user; false when it could not be made.
bool createPrivateDirectory(const char* path);
} // namespace rScratchPlatform

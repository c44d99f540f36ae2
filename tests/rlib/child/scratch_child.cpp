// tests/rlib/child/scratch_child.cpp - a small program with the library's static objects, for
// the scratch-directory tests: it makes a temporary file, reports its directory and the file on
// standard output, and ends normally when standard input closes or delivers a line.
#include "rscratch.h"
#include "rstream.h"
#include "rsync.h"

#include <cstdio>

// The program's static objects, in their order: the scratch directory, then the name lock.
rScratchDirectory scratchDirectory;
rSharedLock tempNameLock;

int main() {
    rFile file;
    const bool opened = file.openTemp();
    if (opened)
        file.write("scratch", 7); // stays open: the stream closes first, the directory goes last
    // Lines: own directory, temporary file, whether it opened, the stored error code.
    std::printf("%s\n%s\n%d\n%08X\n", scratchDirectory.getPath().text(), file.getName().text(),
                opened ? 1 : 0, unsigned(file.errorCode()));
    std::fflush(stdout);
    char line[16];
    if (std::fgets(line, sizeof line, stdin) == nullptr) {
        // End of input: ends normally as well.
    }
    return 0;
}

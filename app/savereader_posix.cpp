// app/savereader_posix.cpp - the POSIX side of reading a save: the kernel is told that the file
// is read in two small places, so that a cold read fetches those pages and not the whole file.
#include "savegame.h"

#include "rstream.h"

#include <fcntl.h>

void SaveGame::adviseSparseReading(const rFile& file) {
    const int descriptor = int(file.handle());
    if (descriptor >= 0)
        ::posix_fadvise(descriptor, 0, 0, POSIX_FADV_RANDOM); // only a hint: failure is harmless
}

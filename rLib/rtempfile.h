// rLib/rtempfile.h - rTempFile, a file stream on a new file with a unique name, removed again
// when the object is destroyed.
#pragma once

#include "rstream.h"

class rTempFile : public rFile {
public:
    // Opens a new, empty file read-write in directory (default: the per-process directory).
    // When the name lock is not obtained within 5000 ms the stream stays closed.
    explicit rTempFile(const char* directory = nullptr, uint32_t capacity = defaultCapacity);
    // Closes the file and removes it.
    ~rTempFile() override;
};

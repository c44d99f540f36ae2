// rLib/rlogger.h - rLogger: the process's time-stamped text log beside the executable, filtered by
// level and by ignored error codes, each line forced to the disk; the process-wide logger that
// receives every error an object records.
#pragma once

#include "rarray.h"
#include "rstream.h"
#include "rsync.h"

#include <atomic>
#include <cstdint>

class rLogger : public rFile {
public:
    // Opens no file; becomes the process-wide logger only when there is none yet.
    rLogger();
    // Opens (creating it) the executable's name with the extension "log", beside the executable
    // or in directory (created with its parents; a relative one lies below the executable's
    // directory), and becomes the process-wide logger.
    rLogger(int32_t level, const char* directory);
    ~rLogger() override;

    using rFile::write;
    // One time-stamped line, when level is not above the logger's and message is not empty.
    virtual void write(const rString& message, int32_t level);
    void setLevel(int32_t newLevel);
    int32_t getLevel() const { return level; }
    // Logs the error stored in object unless its code is ignored.
    void logError(rObject* object, int32_t level);
    void ignoreCode(uint32_t code);
    bool isIgnored(uint32_t code) const;
    const rArray<uint32_t>& ignoredCodes() const { return ignored; } // ascending

private:
    void becomeCurrent();

    std::atomic<uint32_t> writer{0}; // the thread writing a line now, 0 for none
    int32_t level = 0;
    rSharedLock lock;
    rArray<uint32_t> ignored;
};

// The process-wide logger, or null.
rLogger* currentLogger();
// On the process-wide logger, doing nothing without one.
void logText(const char* text, int32_t level);
void logObjectError(rObject* object, int32_t level);

// rLib/rlogger.cpp - the logger: file placement, the line filters, the guard against logging its
// own failures, and the hand-over of every recorded error.
#include "rlogger.h"
#include "rdatetime.h"
#include "rsystem.h"
#include "rthread.h"

#include <cxxabi.h>

#define R_MODULE "rLib/rlogger"

namespace {

constexpr uint32_t lockWait = 5000; // ms a line waits for the lock before it is dropped

std::atomic<rLogger*> current{nullptr};
rErrorHook formerHook = nullptr; // the error hook before a logger took it

void forwardError(rObject* object, int level) {
    logObjectError(object, level);
}

} // namespace

rLogger::rLogger() : rFile(-1, defaultCapacity) {
    if (current.load() == nullptr)
        becomeCurrent();
}

rLogger::rLogger(int32_t newLevel, const char* directory) : rFile(-1, defaultCapacity) {
    const rString module = moduleFileName();
    rString path = module;
    if (directory != nullptr) {
        path = directory;
        path.makeAbsolute(module.getDirectory().text());
        path.removeSeparator();
        makePath(path); // the result shows in the open below
        path.addSeparator();
        path += module.getFileName();
    }
    path.setExtension("log");
    // A logger whose file did not open holds the open error, and its lines are lost.
    if (open(path.text(), modeReadWrite))
        seek(0, 2);
    becomeCurrent();
    level = 0;
    rString started;
    rString::format(started, "Program started with PID %u", processId());
    write(started, 0);
    setLevel(newLevel);
    ignoreCode(erFileEof); // reaching the end of a file is never logged
}

rLogger::~rLogger() {
    if (current.load() == this) {
        write(rString("Program finished."), 0);
        current.store(nullptr);
        if (setErrorHook(formerHook) != forwardError)
            setErrorHook(forwardError); // another hook came after ours: it is not ours to drop
        formerHook = nullptr;
        rString pid = moduleFileName();
        pid.setExtension("pid");
        removeFile(pid.text());
    }
}

void rLogger::becomeCurrent() {
    const rErrorHook before = setErrorHook(forwardError);
    if (before != forwardError)
        formerHook = before;
    current.store(this);
}

void rLogger::write(const rString& message, int32_t messageLevel) {
    const uint32_t self = currentThreadId();
    bool locked = false;
    try {
        // A line of this very thread is being written: this is its own failure coming back.
        if (writer.load() == self || messageLevel > level || message.isEmpty())
            return;
        rDateTime stamp;
        stamp.setNow();
        rString line = stamp.formatAs("%d.%m.%y %H:%M:%S ");
        line += message;
        if (!lock.lockWrite(lockWait))
            return;
        locked = true;
        writer.store(self);
        writeLine(line.text());
        commit();
        writer.store(0);
    } catch (abi::__forced_unwind&) {
        // The thread is cancelled: the lock and the mark must not stay with it.
        if (locked)
            lock.unlockWrite();
        uint32_t mine = self;
        writer.compare_exchange_strong(mine, 0);
        throw;
    } catch (...) {
        if (locked)
            lock.unlockWrite();
        locked = false;
        // Still marked as the writer: when this logger is the process-wide one, the notice is
        // dropped here instead of failing again.
        logText("Exception at rLogger::write. Continue...", 5);
        // Then the mark goes, so that this thread's later lines are written.
        uint32_t mine = self;
        writer.compare_exchange_strong(mine, 0);
    }
    if (locked)
        lock.unlockWrite();
}

void rLogger::setLevel(int32_t newLevel) {
    if (newLevel == level)
        return;
    rString text;
    rString::format(text, "Log level changed to %d.", newLevel);
    write(text, 0);
    level = newLevel;
}

void rLogger::logError(rObject* object, int32_t messageLevel) {
    // A line that write would drop is not worth the error text (whose making might record an
    // error again).
    if (object == nullptr || isIgnored(object->errorCode()) || messageLevel > level ||
        writer.load() == currentThreadId())
        return;
    rString text;
    object->errorText(text, false);
    if (text.isEmpty())
        rString::format(text, "%u", errorMessage(object->errorCode()));
    write(text, messageLevel);
}

void rLogger::ignoreCode(uint32_t code) {
    uint32_t at = ignored.getCount();
    while (at > 0 && ignored[at - 1] > code)
        --at;
    ignored.insert(code, at); // the list stays in ascending order
}

bool rLogger::isIgnored(uint32_t code) const {
    uint32_t low = 0, high = ignored.getCount();
    while (low < high) {
        const uint32_t middle = low + (high - low) / 2;
        const uint32_t value = ignored[middle];
        if (value == code)
            return true;
        if (value < code)
            low = middle + 1;
        else
            high = middle;
    }
    return false;
}

rLogger* currentLogger() {
    return current.load();
}

void logText(const char* text, int32_t level) {
    if (rLogger* logger = current.load())
        logger->write(rString(text), level);
}

void logObjectError(rObject* object, int32_t level) {
    if (rLogger* logger = current.load())
        logger->logError(object, level);
}

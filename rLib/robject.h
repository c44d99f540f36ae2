// rLib/robject.h - the root object: error codes, sticky error state, checks, assertion reports,
// and the memory wrappers (with the optional block pool) that every library allocation uses.
#pragma once

#include <cstddef>
#include <cstdint>

class rStream;
class rString;

// Error codes: group (bits 31..24), level (23..16), message number (15..0).
enum : uint32_t {
    erFileIO = 0x010F2714,
    erFileEof = 0x010A2715,
    erFileWrite = 0x01142716,
    erFileSeek = 0x01192717,
    erFileClose = 0x011E2718,
    erFileOpen = 0x011E2719,
    erThread = 0x030A2722,
    erArrayIndex = 0x020A2725,
    erInsufMemory = 0x030A2726,
    erCancelled = 0x040A2727,
};

constexpr uint32_t errorGroup(uint32_t code) {
    return code >> 24;
}
constexpr uint32_t errorLevel(uint32_t code) {
    return (code >> 16) & 0xFF;
}
constexpr uint32_t errorMessage(uint32_t code) {
    return code & 0xFFFF;
}

class rObject {
public:
    rObject();
    rObject(uint32_t code, const char* subject, uint32_t value);
    // A copy starts with a clean error state; assignment leaves the error state alone.
    rObject(const rObject&);
    rObject& operator=(const rObject&) { return *this; }
    virtual ~rObject();

    // Writes the readable form of the stored error into out; clears the error when asked.
    virtual const char* errorText(rString& out, bool clear = false);
    // Stored form of the error state: code, value, subject (length-prefixed, empty for none).
    virtual bool load(rStream* cli);
    virtual bool store(rStream* cli);

    // Records a failed condition with the sticky-per-group rule; the result says whether the
    // caller may go on.
    bool check(bool ok, uint32_t code, const char* subject, uint32_t value);
    uint32_t setError(uint32_t code, const char* subject, uint32_t value);
    void clearError() { setError(0, nullptr, 0); }
    bool hasError() const { return code != 0; }
    uint32_t errorCode() const { return code; }
    const char* errorSubject() const { return subject; }
    uint32_t errorValue() const { return value; }

protected:
    // For load: stores the fields directly, without logging.
    void assignError(uint32_t newCode, const char* newSubject, uint32_t newValue);

private:
    uint32_t code = 0;
    char* subject = nullptr;
    uint32_t value = 0;
};

// Every error that setError records is handed to this hook at level 5 when one is installed (the
// process-wide logger installs itself here).
using rErrorHook = void (*)(rObject* object, int level);
rErrorHook setErrorHook(rErrorHook hook);

// Assertion reports: "Assertion `%s` failed at %s:%u.", at most 255 characters. A report never
// stops the caller; it is counted, kept as the thread's last report, handed to an installed hook,
// and printed on the error stream only in debug builds.
bool reportAssertion(const char* expression, const char* sourceFile, unsigned line);
using rAssertionHook = void (*)(const char* report);
rAssertionHook setAssertionHook(rAssertionHook hook);
const char* lastAssertionReport(); // this thread's last report, "" when none
uint32_t assertionCount();         // reports made by this thread
void resetAssertionReports();      // forgets this thread's reports

// Each source file defines R_MODULE (for example "rLib/rarray") before using these. Reports quote
// the expression text exactly as given: pass it literally with rASSERT_TEXT / rCHECK_TEXT, since
// clang-format respaces source expressions and would change what rASSERT / rCHECK stringize.
#define rASSERT(cond) ((cond) ? (void)0 : (void)::reportAssertion(#cond, R_MODULE, __LINE__))
#define rASSERT_TEXT(text, cond)                                                                   \
    ((cond) ? (void)0 : (void)::reportAssertion(text, R_MODULE, __LINE__))
// A check on this object whose failure is reported with the statement's text.
#define rCHECK(cond, code, subject, value)                                                         \
    (this->check((cond), (code), (subject), (value)) ||                                            \
     (::reportAssertion("check(" #cond "," #code "," #subject "," #value ")", R_MODULE, __LINE__), \
      false))
#define rCHECK_TEXT(text, cond, code, subject, value)                                              \
    (this->check((cond), (code), (subject), (value)) ||                                            \
     (::reportAssertion(text, R_MODULE, __LINE__), false))

// Memory wrappers: every library allocation goes through them.
void* memAlloc(size_t n);
void* memRealloc(void* block, size_t n);
void memFree(void* block);
char* memDup(const char* text);
// Test support: a hook asked before each request of memAlloc and memRealloc for n bytes; true
// makes the request fail as on an exhausted heap (memRealloc then keeps the block).
using rMemoryFaultHook = bool (*)(size_t n);
rMemoryFaultHook setMemoryFaultHook(rMemoryFaultHook hook);

// One storage block of equal-sized blocks, handed out in order and never taken back.
class rBlockPool {
public:
    rBlockPool(uint32_t blockCount, uint32_t blockSize, uint32_t minRequest);
    ~rBlockPool();
    rBlockPool(const rBlockPool&) = delete;
    rBlockPool& operator=(const rBlockPool&) = delete;

    bool takes(size_t n) const; // a block is left and n lies in this pool's range
    void* take(size_t n);       // null when the request is not taken
    bool owns(const void* block) const;
    uint32_t blockSize() const { return size; }
    uint32_t used() const { return next; }
    uint32_t highWater() const { return next; } // blocks are never returned

private:
    char* storage = nullptr;
    uint32_t blocks;
    uint32_t size;
    uint32_t minimum;
    uint32_t next = 0;
};

// The optional process-wide pool: at most one exists; constructing installs it for the wrappers.
class rMemoryPool {
public:
    rMemoryPool();
    ~rMemoryPool();
    rMemoryPool(const rMemoryPool&) = delete;
    rMemoryPool& operator=(const rMemoryPool&) = delete;

    static rMemoryPool* installed();
    void* alloc(size_t n);                // null when no pool takes n
    bool owns(const void* block) const;   // the block is one of ours
    void* realloc(void* block, size_t n); // block must be owned
    const rBlockPool& small() const { return smallPool; }
    const rBlockPool& large() const { return largePool; }

private:
    rBlockPool smallPool;
    rBlockPool largePool;
    bool active = false;
};

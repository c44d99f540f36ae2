// rLib/robject.cpp - the root object's error state, assertion reports and memory wrappers.
#include "robject.h"
#include "rresource.h"
#include "rstring.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#define R_MODULE "rLib/robject"

namespace {
std::atomic<rErrorHook> errorHook{nullptr};
std::atomic<rAssertionHook> assertionHook{nullptr};
std::atomic<rMemoryFaultHook> memoryFaultHook{nullptr};

bool memoryFails(size_t n) {
    const rMemoryFaultHook hook = memoryFaultHook.load(std::memory_order_relaxed);
    return hook != nullptr && hook(n);
}
thread_local char lastReport[256];
thread_local uint32_t reportCount = 0;
rMemoryPool* installedPool = nullptr;
} // namespace

rObject::rObject() = default;

rObject::rObject(uint32_t newCode, const char* newSubject, uint32_t newValue)
    : code(newCode), subject(newSubject != nullptr ? memDup(newSubject) : nullptr),
      value(newValue) {}

rObject::rObject(const rObject&) {}

rObject::~rObject() {
    memFree(subject);
}

bool rObject::check(bool ok, uint32_t newCode, const char* newSubject, uint32_t newValue) {
    const bool sameGroup = errorGroup(code) == errorGroup(newCode);
    if (ok) {
        if (!sameGroup)
            return true;
        if (errorLevel(code) < errorLevel(newCode)) {
            clearError();
            return true;
        }
        return false;
    }
    if (!sameGroup || errorLevel(code) <= errorLevel(newCode))
        setError(newCode, newSubject, newValue);
    return false;
}

uint32_t rObject::setError(uint32_t newCode, const char* newSubject, uint32_t newValue) {
    if (newSubject != subject) {
        char* copy = newSubject != nullptr ? memDup(newSubject) : nullptr;
        memFree(subject);
        subject = copy;
    }
    value = newValue;
    const uint32_t previous = code;
    code = newCode;
    if (newCode != 0) {
        if (rErrorHook hook = errorHook.load(std::memory_order_relaxed))
            hook(this, 5);
    }
    return previous;
}

void rObject::assignError(uint32_t newCode, const char* newSubject, uint32_t newValue) {
    char* copy = newSubject != nullptr && *newSubject != 0 ? memDup(newSubject) : nullptr;
    memFree(subject);
    subject = copy;
    code = newCode;
    value = newValue;
}

const char* rObject::errorText(rString& out, bool clear) {
    out.clear();
    if (code != 0 && errorGroup(code) != 0) {
        // An error without a subject takes its own template where the message has one; an empty
        // template counts as none.
        rString pattern;
        if ((subject == nullptr && pattern.loadString(rNoSubjectTemplate + errorMessage(code)) &&
             !pattern.isEmpty()) ||
            (pattern.loadString(errorMessage(code)) && !pattern.isEmpty()))
            rString::format(out, pattern.text(), subject != nullptr ? subject : "", value);
        else
            rString::format(out, "Unspecified error = %u", errorMessage(code));
    }
    if (clear)
        clearError();
    return out.text();
}

rErrorHook setErrorHook(rErrorHook hook) {
    return errorHook.exchange(hook);
}

bool reportAssertion(const char* expression, const char* sourceFile, unsigned line) {
    std::snprintf(lastReport, sizeof lastReport, "Assertion `%s` failed at %s:%u.",
                  expression != nullptr ? expression : "", sourceFile != nullptr ? sourceFile : "",
                  line);
    ++reportCount;
    if (rAssertionHook hook = assertionHook.load(std::memory_order_relaxed))
        hook(lastReport);
#ifndef NDEBUG
    std::fprintf(stderr, "%s\n", lastReport);
#endif
    return true;
}

rAssertionHook setAssertionHook(rAssertionHook hook) {
    return assertionHook.exchange(hook);
}
const char* lastAssertionReport() {
    return lastReport;
}
uint32_t assertionCount() {
    return reportCount;
}
void resetAssertionReports() {
    lastReport[0] = 0;
    reportCount = 0;
}

// Memory wrappers.

rMemoryFaultHook setMemoryFaultHook(rMemoryFaultHook hook) {
    return memoryFaultHook.exchange(hook);
}

void* memAlloc(size_t n) {
    if (n != 0 && memoryFails(n))
        return nullptr;
    if (installedPool != nullptr) {
        if (void* block = installedPool->alloc(n))
            return block;
    }
    if (n == 0)
        return nullptr;
    return std::malloc(n);
}

void* memRealloc(void* block, size_t n) {
    if (n == 0) {
        memFree(block);
        return nullptr;
    }
    if (memoryFails(n))
        return nullptr;
    if (installedPool != nullptr && installedPool->owns(block))
        return installedPool->realloc(block, n);
    return std::realloc(block, n);
}

void memFree(void* block) {
    if (block == nullptr)
        return;
    if (installedPool != nullptr && installedPool->owns(block))
        return;
    std::free(block);
}

char* memDup(const char* text) {
    const size_t n = text != nullptr ? std::strlen(text) + 1 : 1;
    char* copy = static_cast<char*>(memAlloc(n));
    if (copy == nullptr)
        return nullptr;
    if (text != nullptr)
        std::memcpy(copy, text, n);
    else
        copy[0] = 0;
    return copy;
}

// The block pools.

rBlockPool::rBlockPool(uint32_t blockCount, uint32_t blockSize, uint32_t minRequest)
    : blocks(blockCount), size(blockSize), minimum(minRequest) {
    storage = static_cast<char*>(std::malloc(size_t(blocks) * size));
    if (storage == nullptr)
        blocks = 0; // a pool whose storage failed takes no requests
}

rBlockPool::~rBlockPool() {
    std::free(storage);
}

bool rBlockPool::takes(size_t n) const {
    return next < blocks && n >= minimum && n <= size;
}

void* rBlockPool::take(size_t n) {
    if (!takes(n))
        return nullptr;
    return storage + size_t(next++) * size;
}

bool rBlockPool::owns(const void* block) const {
    if (storage == nullptr || block == nullptr)
        return false;
    const char* p = static_cast<const char*>(block);
    return p >= storage && p < storage + size_t(blocks) * size;
}

rMemoryPool::rMemoryPool() : smallPool(8, 8192, 1024), largePool(6, 65536, 32768) {
    if (installedPool == nullptr) {
        installedPool = this;
        active = true;
    }
}

rMemoryPool::~rMemoryPool() {
    if (active)
        installedPool = nullptr;
}

rMemoryPool* rMemoryPool::installed() {
    return installedPool;
}

void* rMemoryPool::alloc(size_t n) {
    if (void* block = smallPool.take(n))
        return block;
    return largePool.take(n);
}

bool rMemoryPool::owns(const void* block) const {
    return smallPool.owns(block) || largePool.owns(block);
}

void* rMemoryPool::realloc(void* block, size_t n) {
    const uint32_t oldSize = smallPool.owns(block) ? smallPool.blockSize() : largePool.blockSize();
    if (n <= oldSize)
        return block;
    void* moved = largePool.take(n);
    if (moved == nullptr)
        moved = std::malloc(n);
    if (moved != nullptr)
        std::memcpy(moved, block, oldSize);
    return moved;
}

// rLib/rarray.h - rArray, the growable block of plain values; rObjArray, the owning array of
// objects; rSortedObjArray, kept sorted by binary search.
#pragma once

#include "robject.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#pragma push_macro("R_MODULE")
#undef R_MODULE
#define R_MODULE "rLib/rarray"

// Elements are plain values (pointers, integers, characters): the array moves them byte-wise and
// never constructs, copies or destroys them. Sizes are checked so that no byte count wraps.
template <class T> class rArray : public rObject {
public:
    rArray() : rArray(10, 10) {}
    rArray(uint32_t initialLimit, uint32_t step) : delta(step) {
        if (initialLimit != 0 && setLimit(initialLimit))
            std::memset(static_cast<void*>(items), 0, size_t(limit) * sizeof(T));
    }
    rArray(const rArray&) = delete;
    rArray& operator=(const rArray&) = delete;
    ~rArray() override {
        memFree(items);
        items = nullptr;
        limit = 0;
    }

    uint32_t getCount() const { return count; }
    uint32_t getLimit() const { return limit; }
    uint32_t getDelta() const { return delta; }
    T* getItems() const { return items; }
    void setCount(uint32_t n) {
        rASSERT_TEXT("n<=limit", n <= limit);
        count = n <= limit ? n : limit;
    }

    // Reading at or beyond count reports and yields a zero element.
    T operator[](uint32_t index) const {
        rASSERT_TEXT("index<count", index < count);
        return index < count ? items[index] : T();
    }
    T get(int32_t index) const {
        rASSERT_TEXT("(index<count) && (index>=0)", index >= 0 && uint32_t(index) < count);
        return (index >= 0 && uint32_t(index) < count) ? items[index] : T();
    }

    // Resizes the block to exactly n elements. A failure (no memory, or a byte size beyond 32
    // bits) records erInsufMemory and keeps the old block with its elements.
    virtual bool setLimit(uint32_t n) {
        if (n == limit)
            return true;
        if (n == 0) {
            memFree(items);
            items = nullptr;
            limit = 0;
            count = 0;
            return true;
        }
        const uint64_t bytes = uint64_t(n) * sizeof(T);
        void* block = bytes <= 0xFFFFFFFFu ? memRealloc(items, size_t(bytes)) : nullptr;
        if (block == nullptr) {
            const uint32_t asked = bytes <= 0xFFFFFFFFu ? uint32_t(bytes) : 0xFFFFFFFFu;
            rCHECK_TEXT("check(items!=NULL,erInsufMemory,NULL,limit*sizeof(_T))", false,
                        erInsufMemory, nullptr, asked);
            return false;
        }
        items = static_cast<T*>(block);
        limit = n;
        if (count > limit)
            count = limit;
        return true;
    }

    virtual int add(T item) { return insert(item, count); }

    int insert(T item, uint32_t index) {
        if (!rCHECK_TEXT("check(index<=count,erArrayIndex,NULL,index)", index <= count,
                         erArrayIndex, nullptr, index))
            return 0;
        if (count >= limit && !grow(uint64_t(limit) + delta))
            return 0;
        if (items == nullptr || count >= limit)
            return 0;
        std::memmove(static_cast<void*>(items + index + 1), items + index,
                     size_t(count - index) * sizeof(T));
        items[index] = item;
        ++count;
        return 1;
    }

    // A source that overlaps this array's own block (in use or not) is copied aside first: the
    // growth may release the block and the tail move overwrites part of it.
    int insertItems(const T* source, uint32_t index, uint32_t n) {
        if (!rCHECK_TEXT("check(index<=count,erArrayIndex,NULL,index)", index <= count,
                         erArrayIndex, nullptr, index))
            return 0;
        if (n == 0)
            return 1;
        const uintptr_t from = reinterpret_cast<uintptr_t>(source);
        const uintptr_t block = reinterpret_cast<uintptr_t>(items);
        const bool inside = items != nullptr && from < block + size_t(limit) * sizeof(T) &&
                            from + uint64_t(n) * sizeof(T) > block;
        T* copy = nullptr;
        if (inside) {
            const uint64_t bytes = uint64_t(n) * sizeof(T);
            copy = bytes <= 0xFFFFFFFFu ? static_cast<T*>(memAlloc(size_t(bytes))) : nullptr;
            if (!rCHECK_TEXT("check(items!=NULL,erInsufMemory,NULL,limit*sizeof(_T))",
                             copy != nullptr, erInsufMemory, nullptr,
                             bytes <= 0xFFFFFFFFu ? uint32_t(bytes) : 0xFFFFFFFFu))
                return 0;
            std::memcpy(static_cast<void*>(copy), source, size_t(bytes));
            source = copy;
        }
        const int done = insertCopied(source, index, n);
        memFree(copy);
        return done;
    }

    void remove(uint32_t index) {
        if (!rCHECK_TEXT("check( (from<count) && (to<count),erArrayIndex,NULL,from)", index < count,
                         erArrayIndex, nullptr, index))
            return;
        std::memmove(static_cast<void*>(items + index), items + index + 1,
                     size_t(count - index - 1) * sizeof(T));
        --count;
    }

    void removeRange(int32_t from, int32_t to) {
        if (to < from)
            return;
        if (!rCHECK_TEXT("check( (from<count) && (to<count),erArrayIndex,NULL,from)",
                         uint32_t(from) < count && uint32_t(to) < count, erArrayIndex, nullptr,
                         uint32_t(from)))
            return;
        std::memmove(static_cast<void*>(items + from), items + to + 1,
                     size_t(count - uint32_t(to) - 1) * sizeof(T));
        count -= uint32_t(to - from + 1);
    }

    void clear() {
        count = 0;
        if (items != nullptr)
            std::memset(static_cast<void*>(items), 0, size_t(limit) * sizeof(T));
    }

    // Binary search over the elements in use; they must be sorted by the same comparison.
    T* search(T key, int (*compare)(const void*, const void*)) const {
        if (items == nullptr || count == 0)
            return nullptr;
        return static_cast<T*>(std::bsearch(&key, items, count, sizeof(T), compare));
    }
    void sort(int (*compare)(const void*, const void*)) {
        if (items != nullptr && count > 1)
            std::qsort(items, count, sizeof(T), compare);
    }

protected:
    // Grows to a limit given in 64 bits. A limit beyond 32 bits is a memory failure, and so is a
    // growth that adds nothing (a step of 0): both are recorded like a failed allocation.
    bool grow(uint64_t newLimit) {
        if (newLimit > 0xFFFFFFFFu || newLimit <= limit) {
            const uint64_t bytes = newLimit * sizeof(T);
            rCHECK_TEXT("check(items!=NULL,erInsufMemory,NULL,limit*sizeof(_T))", false,
                        erInsufMemory, nullptr,
                        bytes <= 0xFFFFFFFFu ? uint32_t(bytes) : 0xFFFFFFFFu);
            return false;
        }
        return setLimit(uint32_t(newLimit));
    }

    // Inserts n elements from a source outside the block, growing by the rule of insertItems.
    int insertCopied(const T* source, uint32_t index, uint32_t n) {
        const uint64_t needed = uint64_t(count) + n;
        if (needed > limit) {
            const uint64_t step = delta > needed ? uint64_t(delta) : needed;
            if (!grow(uint64_t(limit) + step))
                return 0;
        }
        if (items == nullptr || uint64_t(count) + n > limit)
            return 0;
        std::memmove(static_cast<void*>(items + index + n), items + index,
                     size_t(count - index) * sizeof(T));
        std::memcpy(static_cast<void*>(items + index), source, size_t(n) * sizeof(T));
        count += n;
        return 1;
    }

    uint32_t limit = 0;
    uint32_t count = 0;
    uint32_t delta = 10;
    T* items = nullptr;
};

// An array of objects that it owns: freeing an element deletes it.
class rObjArray : public rArray<rObject*> {
public:
    rObjArray() : rArray(10, 10) {}
    rObjArray(uint32_t initialLimit, uint32_t step) : rArray(initialLimit, step) {}
    ~rObjArray() override;

    bool load(rStream* cli) override;  // appends count, then each element's stored form
    bool store(rStream* cli) override; // writes count, then each element's stored form

    virtual void freeItem(rObject* item);
    virtual rObject* getAt(uint32_t index) const;
    virtual int32_t indexOf(const rObject* item) const;

    void deleteAt(uint32_t index);
    void removeItem(rObject* item);
    void deleteItem(rObject* item);
    void deleteAll();
};

// A sorted owning array; derived classes supply the key and its comparison.
class rSortedObjArray : public rObjArray {
public:
    explicit rSortedObjArray(bool allowDuplicates = false) : duplicates(allowDuplicates ? 1 : 0) {}

    virtual int32_t compareKeys(uint32_t a, uint32_t b) const = 0;
    virtual uint32_t getKey(const rObject* item) const = 0;

    int search(uint32_t key, uint32_t& position) const;
    int add(rObject* item) override;
    int32_t find(const rObject* item) const;

protected:
    uint32_t duplicates;
};

#pragma pop_macro("R_MODULE")

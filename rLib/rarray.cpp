// rLib/rarray.cpp - rObjArray, which owns and deletes its elements, and rSortedObjArray.
#include "rarray.h"

#define R_MODULE "rLib/rarray"

rObjArray::~rObjArray() {
    deleteAll();
}

void rObjArray::freeItem(rObject* item) {
    delete item;
}

rObject* rObjArray::getAt(uint32_t index) const {
    rASSERT_TEXT("index<count", index < count);
    return index < count ? items[index] : nullptr;
}

int32_t rObjArray::indexOf(const rObject* item) const {
    for (uint32_t i = 0; i < count; ++i)
        if (items[i] == item)
            return int32_t(i);
    return -1;
}

// An element is freed only once it has left the array: a removal refused by a stored error frees
// nothing, or the array would keep a deleted element.
void rObjArray::deleteAt(uint32_t index) {
    rObject* item = getAt(index);
    const uint32_t before = count;
    remove(index);
    if (count < before)
        freeItem(item);
}

void rObjArray::removeItem(rObject* item) {
    remove(uint32_t(indexOf(item)));
}

// An object that is not in the array is not the array's to keep: it is deleted all the same.
void rObjArray::deleteItem(rObject* item) {
    const int32_t index = indexOf(item);
    const uint32_t before = count;
    removeItem(item);
    if (index < 0 || count < before)
        freeItem(item);
}

void rObjArray::deleteAll() {
    for (uint32_t i = 0; i < count; ++i)
        freeItem(items[i]);
    clear();
}

int rSortedObjArray::search(uint32_t key, uint32_t& position) const {
    int32_t lo = 0;
    int32_t hi = int32_t(count) - 1;
    int found = 0;
    while (lo <= hi) {
        const int32_t mid = (lo + hi) >> 1;
        const int32_t c = compareKeys(getKey(items[mid]), key);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) {
                found = 1;
                if (duplicates == 0)
                    lo = mid;
            }
        }
    }
    position = uint32_t(lo);
    return found;
}

int rSortedObjArray::add(rObject* item) {
    uint32_t position = 0;
    const int found = search(getKey(item), position);
    if (found && duplicates == 0)
        return 0;
    return insert(item, position);
}

int32_t rSortedObjArray::find(const rObject* item) const {
    uint32_t position = 0;
    if (!search(getKey(item), position))
        return -1;
    if (duplicates != 0)
        while (position < count && items[position] != item)
            ++position;
    return position < count ? int32_t(position) : -1;
}

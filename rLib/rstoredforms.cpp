// rLib/rstoredforms.cpp - the stream forms of the library's values: an error state, an owning
// object array, a string and a date-time value.
#include "rarray.h"
#include "rdatetime.h"
#include "robject.h"
#include "rstream.h"
#include "rstring.h"

#define R_MODULE "rLib/rarray"

// Error state: code, value, then the subject as a length-prefixed string (empty for none).
bool rObject::store(rStream* cli) {
    if (cli == nullptr)
        return false;
    const bool codeOk = cli->writeInt(errorCode());
    const bool valueOk = cli->writeInt(errorValue());
    const bool subjectOk = cli->writeString(errorSubject() != nullptr ? errorSubject() : "");
    return codeOk && valueOk && subjectOk;
}

bool rObject::load(rStream* cli) {
    if (cli == nullptr)
        return false;
    uint32_t newCode = 0;
    if (!cli->readInt(newCode))
        return false;
    assignError(newCode, errorSubject(), errorValue());
    uint32_t newValue = 0;
    if (!cli->readInt(newValue))
        return false;
    assignError(newCode, errorSubject(), newValue);
    rString text;
    if (!cli->readString(text, 0))
        return false;
    assignError(newCode, text.isEmpty() ? nullptr : text.text(), newValue);
    return true;
}

// Owning array: the element count, then each element's own form. Loaded elements are plain
// error-state objects, appended to those already held.
bool rObjArray::store(rStream* cli) {
    rASSERT_TEXT("cli!=NULL", cli != nullptr);
    if (cli == nullptr)
        return false;
    cli->writeInt(count);
    for (uint32_t i = 0; i < count; ++i) {
        rObject* item = getAt(i);
        rObject blank;
        if (!(item != nullptr ? item : &blank)->store(cli))
            return false;
    }
    return true;
}

bool rObjArray::load(rStream* cli) {
    rASSERT_TEXT("cli!=NULL", cli != nullptr);
    if (cli == nullptr)
        return false;
    int32_t n = 0;
    if (!cli->readInt(n))
        return false;
    for (int32_t i = 0; i < n; ++i) {
        rObject* item = new rObject();
        if (!item->load(cli) || !add(item)) {
            delete item;
            return false;
        }
    }
    return true;
}

// String: its length, then its characters without the terminator.
bool rString::load(rStream* cli) {
    return cli != nullptr && cli->readString(*this, 0);
}

bool rString::store(rStream* cli) {
    return cli != nullptr && cli->writeString(*this);
}

// Date and time: the second count; the calendar fields follow when next read.
bool rDateTime::load(rStream* cli) {
    stale = 1;
    uint32_t count = 0;
    if (cli == nullptr || !cli->readInt(count))
        return false;
    seconds = count;
    return true;
}

bool rDateTime::store(rStream* cli) {
    return cli != nullptr && cli->writeInt(seconds);
}

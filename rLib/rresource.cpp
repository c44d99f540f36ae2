// rLib/rresource.cpp - the program's compiled-in resources: the message templates of the error
// codes, in blocks of 16 string ids, and the named binary resources.
#include "rresource.h"
#include "rstring.h"

#include <cstring>

namespace {
struct StringEntry {
    uint32_t id;
    const char* text;
};

// Each template takes the error's subject (%s) and value (%u), in that order; a template may
// leave the value out. An error without a subject uses the template at rNoSubjectTemplate + its
// message number, which begins with the empty subject.
constexpr StringEntry stringTable[] = {
    {10004, "Cannot read the file \"%s\"."},
    {10005, "Unexpected end of the file \"%s\"."},
    {10006, "Cannot write the file \"%s\"."},
    {10007, "Cannot seek in the file \"%s\" to offset %u."},
    {10008, "Cannot close the file \"%s\"."},
    {10009, "Cannot open the file \"%s\"."},
    {10018, "Thread operation \"%s\" failed (system error %u)."},
    {10021, "Index out of range in \"%s\": %u."},
    {10022, "Not enough memory for \"%s\": %u bytes requested."},
    {10023, "Operation \"%s\" cancelled."},
    {30004, "%sA stored text is too long to be read."},
    {30005, "%sUnexpected end of the data."},
    {30006, "%sCannot write the file."},
    {30007, "%sCannot seek to offset %u."},
    {30008, "%sCannot close the file."},
    {30009, "%sCannot open the file."},
    {30018, "%sA thread operation failed (system error %u)."},
    {30021, "%sIndex out of range: %u."},
    {30022, "%sNot enough memory: %u bytes requested."},
    {30023, "%sOperation cancelled."},
};

uint32_t blockOf(uint32_t id) {
    return id / 16 + 1;
}

struct BinaryEntry {
    uint32_t id;
    const char* group;
    const char* data;
};

constexpr char versionText[] = "Tarvex " TARVEX_VERSION;

constexpr BinaryEntry binaryTable[] = {
    {rVersionTextResource, "TEXT", versionText},
};

// Group names compare without regard to ASCII case.
bool sameGroup(const char* a, const char* b) {
    for (;; ++a, ++b) {
        if (foldUpper(static_cast<unsigned char>(*a)) != foldUpper(static_cast<unsigned char>(*b)))
            return false;
        if (*a == 0)
            return true;
    }
}
} // namespace

const char* findStringResource(uint32_t id) {
    for (const StringEntry& e : stringTable)
        if (e.id == id)
            return e.text;
    return nullptr;
}

// A block's size is that of its strings with their terminators, so any of them fits in it.
bool findStringBlock(uint32_t id, uint32_t* blockBytes) {
    uint32_t bytes = 0;
    bool found = false;
    for (const StringEntry& e : stringTable)
        if (blockOf(e.id) == blockOf(id)) {
            found = true;
            bytes += uint32_t(std::strlen(e.text)) + 1;
        }
    if (found && blockBytes != nullptr)
        *blockBytes = bytes;
    return found;
}

bool findResource(uint32_t id, const char* group, rResourceData& out) {
    if (group == nullptr)
        return false;
    for (const BinaryEntry& e : binaryTable)
        if (e.id == id && sameGroup(e.group, group)) {
            out.data = e.data;
            out.size = uint32_t(std::strlen(e.data));
            return true;
        }
    return false;
}

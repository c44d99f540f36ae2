// rLib/rresource.h - the program's compiled-in resources: a string table (ids grouped in blocks
// of 16, as the library's string loading expects) and named binary resources.
#pragma once

#include <cstdint>

// Added to a message number: the id of that message's template for an error without a subject,
// which reads without an empty name. It still takes the (empty) subject first.
constexpr uint32_t rNoSubjectTemplate = 20000;

// The string with this id, or null when the table has none.
const char* findStringResource(uint32_t id);
// Whether the block (id / 16 + 1) holding this id exists in the table, and its size in bytes.
bool findStringBlock(uint32_t id, uint32_t* blockBytes);

struct rResourceData {
    const void* data;
    uint32_t size;
};
// A binary resource by numeric id and group (type) name; false when absent.
bool findResource(uint32_t id, const char* group, rResourceData& out);
// The one binary resource the library itself carries: id 1 in group "TEXT", the program's name
// and version as plain text.
constexpr uint32_t rVersionTextResource = 1;

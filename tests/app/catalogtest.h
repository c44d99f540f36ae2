// tests/app/catalogtest.h - what the mod and save catalogue tests compare: each mod's stored name
// with its description, and the labels of the listed saves.
#pragma once

#include "savelist.h"

#include <map>
#include <string>
#include <vector>

inline std::map<std::string, std::string> catalogue(const ModList& mods) {
    std::map<std::string, std::string> out;
    for (uint32_t i = 0; i < mods.getCount(); ++i)
        out[mods.mod(i)->name.text()] = mods.mod(i)->description.text();
    return out;
}

inline std::vector<std::string> labels(const SaveList& list) {
    std::vector<std::string> out;
    for (uint32_t i = 0; i < list.getCount(); ++i)
        out.push_back(list.save(i)->label().text());
    return out;
}

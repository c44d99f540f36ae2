// rLib/rsystem.cpp - the portable part of the system module: temporary names, creating paths,
// removing files by pattern, the command-line parser, resources, versions, path validity and
// code-page conversion.
#include "rsystem.h"
#include "rcodepage.h"
#include "rdirscan.h"
#include "rresource.h"
#include "rscratch.h"
#include "rstream.h"

#include <cstdlib>
#include <cstring>

#define R_MODULE "rLib/rsystem"

rString uniqueTempName(const char* directory, const char* extension) {
    rString dir;
    if (directory != nullptr) {
        dir = directory;
    } else {
        dir = scratchDirectoryName();
        prepareScratchDirectory(dir); // created private to the user when missing
    }
    dir.addSeparator();
    rString name;
    do
        rString::format(name, "%s%08X%08X.%s", dir.text(), threadId(), ticks(),
                        extension != nullptr ? extension : "tmp");
    while (rSystemPlatform::exists(name.text()));
    return name;
}

bool makePath(const char* path) {
    rASSERT_TEXT("path!=NULL", path != nullptr);
    if (path == nullptr)
        return false;
    return makePath(rString(path));
}

bool makePath(const rString& path) {
    const char sep = path.getSeparator();
    const bool windows = !path.isUnixStyle();
    rString p(path);
    p.removeSeparator();
    if (rSystemPlatform::exists(p.text()))
        return rSystemPlatform::isDirectory(p.text()); // a file of that name is no directory
    p.addSeparator();
    const char* text = p.text();
    const uint32_t n = p.length();
    uint32_t i = 0;
    if (windows && n >= 2 && text[0] == '\\' && text[1] == '\\') {
        // \\server\share\ is not ours to create: start after the fourth backslash.
        uint32_t seen = 2;
        for (i = 2; i < n && seen < 4; ++i)
            if (text[i] == '\\')
                ++seen;
        if (seen < 4)
            return false;
    }
    for (; i < n; ++i) {
        if (text[i] != sep || i == 0 || (windows && text[i - 1] == ':'))
            continue;
        const rString part(text, i);
        if (!rSystemPlatform::exists(part.text()) && !rSystemPlatform::createDirectory(part.text()))
            return false;
    }
    return true;
}

bool removeFiles(const char* pattern) {
    if (pattern == nullptr)
        return true;
    rObjArray found;
    {
        rDirScan scan(pattern, rDirScan::modeFiles);
        while (scan.next())
            found.add(new rString(scan.currentPath()));
    }
    for (uint32_t i = 0; i < found.getCount(); ++i)
        removeFile(static_cast<rString*>(found.getAt(i))->text());
    return true;
}

// --- command line ---

rCommandLine::~rCommandLine() {
    release();
}

void rCommandLine::release() {
    for (uint32_t i = 0; i < argc; ++i)
        memFree(argv[i]);
    memFree(argv);
    argv = nullptr;
    argc = 0;
}

bool rCommandLine::parse(const char* text) {
    release();
    if (text == nullptr)
        text = "";
    // One pass counts, the second copies. The in-quote state belongs to one parse: an unclosed
    // quote never leaks into the next command line.
    uint32_t total = 0;
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1) {
            if (total == 0)
                return true;
            argv = static_cast<char**>(memAlloc(size_t(total) * sizeof(char*)));
            if (argv == nullptr)
                return false;
        }
        bool inQuote = false;
        uint32_t n = 0;
        const char* p = text;
        for (;;) {
            while (*p == ' ')
                ++p;
            if (*p == 0)
                break;
            const char* start = p;
            if (!inQuote && *p == '"') {
                ++start;
                inQuote = true;
            }
            const char* end;
            const char* close = inQuote ? std::strchr(start, '"') : nullptr;
            if (close != nullptr) {
                end = close + 1;
                inQuote = false;
            } else {
                end = start + std::strcspn(start, " ");
            }
            size_t length = size_t(end - start);
            if (length > 0 && start[length - 1] == '"')
                --length;
            if (length > 0) {
                if (pass == 1) {
                    char* copy = static_cast<char*>(memAlloc(length + 1));
                    if (copy == nullptr) {
                        argc = n;
                        release();
                        return false;
                    }
                    std::memcpy(copy, start, length);
                    copy[length] = 0;
                    argv[n] = copy;
                    argc = n + 1;
                }
                ++n;
            }
            p = end;
        }
        total = n;
    }
    return true;
}

static rCommandLine& processCommandLine() {
    static rCommandLine line;
    static const bool parsed = [] {
        rString text;
        rSystemPlatform::commandLineText(text);
        return line.parse(text.text());
    }();
    (void)parsed;
    rASSERT_TEXT("_argv", line.count() > 0);
    return line;
}

const char* argument(uint32_t i) {
    return processCommandLine().argument(i);
}
uint32_t argumentCount() {
    return processCommandLine().count();
}

// --- resources and versions ---

bool resourceToFile(uint32_t id, const char* resGroup, const char* filename) {
    rASSERT_TEXT("(resGroup!=NULL) && (filename!=NULL)",
                 resGroup != nullptr && filename != nullptr);
    if (resGroup == nullptr || filename == nullptr)
        return false;
    rResourceData data;
    if (!rSystemPlatform::programResource(id, resGroup, data))
        return false;
    rFile file(-1, 0x10000);
    if (!file.open(filename, rFile::modeRewrite))
        return false;
    const bool written = file.write(data.data, data.size);
    // The bytes reach the file only when the buffer is flushed: closing is part of the result.
    const bool closed = file.close();
    return written && closed;
}

void versionInfo(rString& version, rString& specialBuild, int32_t& privateBuild) {
    version.clear();
    specialBuild.clear();
    privateBuild = 0;
    rString product;
    if (rSystemPlatform::versionEntry("ProductVersion", product) && !product.isEmpty()) {
        char text[5] = {0, 0, 0, 0, 0};
        std::memcpy(text, product.text(), product.length() < 4 ? product.length() : 4);
        if (product.length() > 2 && text[1] == ',')
            text[1] = '.'; // "1,02" reads as 1.02
        version = text;
    }
    rString special;
    if (rSystemPlatform::versionEntry("SpecialBuild", special))
        specialBuild = special;
    rString build;
    if (rSystemPlatform::versionEntry("PrivateBuild", build))
        privateBuild = int32_t(std::atol(build.text()));
}

// --- paths ---

bool isValidPath(rString& path) {
    const rString base = workingDirectory();
    if (path.isEmpty())
        path = base; // an empty name stands for the working directory, as makeAbsolute gives
    else
        path.makeAbsolute(base.text());
    const bool windows = !path.isUnixStyle();
    for (const char* p = path.text(); *p != 0; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c < 32 || std::strchr(";,=+<>|[]", c) != nullptr || (windows && c == '/'))
            return false;
    }
    const rString directory = path.getDirectory();
    return !directory.isEmpty() && rSystemPlatform::isDirectory(directory.text());
}

// --- code pages ---

uint16_t* toWide(const char* text) {
    if (text == nullptr)
        return nullptr;
    const size_t n = std::strlen(text);
    uint16_t* wide = static_cast<uint16_t*>(memAlloc((n + 1) * sizeof(uint16_t)));
    if (wide == nullptr)
        return nullptr;
    for (size_t i = 0; i < n; ++i)
        wide[i] = cp1251ToUnicode(static_cast<unsigned char>(text[i]));
    wide[n] = 0;
    return wide;
}

char* toNarrow(const uint16_t* wide) {
    if (wide == nullptr)
        return nullptr;
    size_t n = 0;
    while (wide[n] != 0)
        ++n;
    char* text = static_cast<char*>(memAlloc(n + 1));
    if (text == nullptr)
        return nullptr;
    std::memset(text, 0, n + 1);
    size_t out = 0;
    for (size_t i = 0; i < n; ++i) {
        uint32_t c = wide[i];
        if (c >= 0xD800 && c < 0xDC00 && wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00u);
            ++i;
        }
        unsigned char b;
        if (!unicodeToCp1251(c, b))
            b = '?';
        text[out++] = char(b);
    }
    return text;
}

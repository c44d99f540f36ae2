// rLib/rsystem.h - operating-system services: well-known directories, temporary names, directory
// trees, file copy and move, the command line, resources, versions, free space, path validity,
// code-page conversion, process and thread ids, ticks and sleep.
#pragma once

#include "rarray.h"
#include "rstring.h"

#include <cstdint>

struct rResourceData;

// Directories. Results that name a directory end with a separator.
rString tempDirectory(); // $TMPDIR when it names a directory, else /tmp/
// The running executable; on Windows its short name where the long one has characters without
// a 1251 form, and empty where the short one has such characters too.
rString moduleFileName();
rString workingDirectory(); // the current directory
rString windowsDirectory(); // empty where the system has none
rString systemDirectory();  // empty where the system has none
// The path (no trailing separator) of the shell folder with this CSIDL number; false, with out
// unchanged, where the system has no shell folders or the folder's name has no 1251 form.
bool specialFolder(rString& out, int csidl);

// A file name that does not exist at the moment of the call: directory (default: the
// per-process directory below tempDirectory(), created when missing), then the thread id and
// the tick count as eight hexadecimal digits each, a dot and extension (default "tmp").
rString uniqueTempName(const char* directory = nullptr, const char* extension = nullptr);

// Creates a directory and its missing parents, in the path's own separator style (a
// Windows-style path may start with a \\server\share prefix).
bool makePath(const char* path);
bool makePath(const rString& path);
// Removes a directory with everything below it; symbolic links are removed, never followed.
// The result says whether the directory itself was removed.
bool removeTree(const char* path);
bool removeFiles(const char* pattern);           // every file matching the pattern; always true
bool removeFile(const char* path);               // a file (or link), never a directory
bool removeDirectory(const char* path);          // an empty directory
bool copyFile(const char* from, const char* to); // replaces to; keeps permission bits and time
bool moveFile(const char* from, const char* to); // fails when to exists

// A command line split into arguments: spaces separate, a token that starts with a double
// quote runs to the next double quote, and a double quote that ends a token is dropped.
class rCommandLine {
public:
    rCommandLine() = default;
    ~rCommandLine();
    rCommandLine(const rCommandLine&) = delete;
    rCommandLine& operator=(const rCommandLine&) = delete;

    bool parse(const char* text);
    uint32_t count() const { return argc; }
    const char* argument(uint32_t i) const { return i < argc ? argv[i] : nullptr; }

private:
    void release();
    char** argv = nullptr;
    uint32_t argc = 0;
};
// The process's own arguments (0 is the program), parsed on first use.
const char* argument(uint32_t i);
uint32_t argumentCount();

// Writes the program's resource (id, group) to filename: the executable's own resource where the
// system has them, else the one compiled into the library.
bool resourceToFile(uint32_t id, const char* resGroup, const char* filename);
// The shell's icon for a file (for a missing one, the icon of its extension), which the caller
// destroys; null where the system has no shell icons.
void* shellIcon(const char* path, bool small);
// The program's own version ("1.1"), special-build text and private-build number, from the
// executable's version resource where the system has them, else from the library's build.
void versionInfo(rString& version, rString& specialBuild, int32_t& privateBuild);

// Free bytes for an unprivileged user on the file system of an absolute path, at most
// 4294967295; 0 for a relative path or on failure.
uint32_t diskFreeSpace(const char* path);
// Makes path absolute, then: false when it contains a control character or one of ;,=+<>|[]
// (and '/' in a Windows-style string), or when the directory that would hold it does not exist.
bool isValidPath(rString& path);

// Code page 1251 to UTF-16 and back; results come from memAlloc, the caller frees them with
// memFree. toNarrow gives '?' for a character the code page lacks.
uint16_t* toWide(const char* text);
char* toNarrow(const uint16_t* wide);

uint32_t processId();
uint32_t threadId();
uint32_t ticks();          // milliseconds of the monotonic clock, wrapping at 32 bits
void sleepMs(uint32_t ms); // suspends the calling thread (sleep is the C library's name)

// The platform's side of the portable functions above (rsystem_posix.cpp).
namespace rSystemPlatform {
bool exists(const char* path);          // the name exists (a dangling link counts)
bool isDirectory(const char* path);     // a directory, after following links
bool createDirectory(const char* path); // created, or already a directory
bool commandLineText(rString& out);     // the process's command line as one text
// The program's resource by numeric id and group name; false when absent.
bool programResource(uint32_t id, const char* group, rResourceData& out);
// The text of the program's version entry name ("ProductVersion", "SpecialBuild",
// "PrivateBuild"); false when it has none.
bool versionEntry(const char* name, rString& out);
} // namespace rSystemPlatform

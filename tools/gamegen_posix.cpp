// tools/gamegen_posix.cpp - the generator's POSIX side: file times, temporary directories, links,
// removing trees and the time zone.
#include "gamegen.h"
#include "gamegen_platform.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace gamegen {

fs::path nativePath(const std::string& utf8) {
    return fs::path(utf8);
}

bool setModTime(const std::string& path, int64_t seconds, long nanoseconds, std::string* error) {
    struct timespec times[2];
    times[0].tv_sec = time_t(seconds);
    times[0].tv_nsec = nanoseconds;
    times[1] = times[0];
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
        if (error != nullptr)
            *error = "cannot set the time of " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool getModTime(const std::string& path, int64_t* seconds, long* nanoseconds) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return false;
    *seconds = int64_t(st.st_mtim.tv_sec);
    *nanoseconds = st.st_mtim.tv_nsec;
    return true;
}

std::string makeTempDirectory(const std::string& prefix) {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    if (base.back() != '/')
        base += '/';
    std::string pattern = base + prefix + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        return std::string();
    return pattern;
}

bool makeDirectoryLink(const std::string& target, const std::string& link) {
    return ::symlink(target.c_str(), link.c_str()) == 0;
}

void removeTree(const std::string& directory) {
    std::error_code ec;
    fs::remove_all(directory, ec); // remove_all removes links, never what they point to
}

char pathSeparator() {
    return '/';
}

void useUtcTimeZone() {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
}

} // namespace gamegen

// tools/gamegen_platform.h - the generator's file-system name for a UTF-8 path, given by its
// platform file (gamegen_posix.cpp or gamegen_win32.cpp).
#pragma once

#include <filesystem>
#include <string>

namespace gamegen {

// The path the file-system calls take for a UTF-8 name (bytes as they are on POSIX, UTF-16 on
// Windows).
std::filesystem::path nativePath(const std::string& utf8);

} // namespace gamegen

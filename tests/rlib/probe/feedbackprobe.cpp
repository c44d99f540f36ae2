// tests/rlib/probe/feedbackprobe.cpp - stands in for the feedback program: appends its argument
// count and first argument, one line per start, to feedback.txt beside itself.
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
    char exe[PATH_MAX + 1];
    const ssize_t n = readlink("/proc/self/exe", exe, PATH_MAX);
    exe[n > 0 ? n : 0] = 0;
    std::string dir(exe);
    dir.erase(dir.rfind('/') + 1);
    const std::string line = std::to_string(argc - 1) + "\t" + (argc > 1 ? argv[1] : "") + "\n";
    const int fd = open((dir + "feedback.txt").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd < 0)
        return 1;
    const bool ok = write(fd, line.data(), line.size()) == ssize_t(line.size());
    close(fd);
    return ok ? 0 : 1;
}

// tests/childrun.h - process-level checks for tests: a piece run in a child process with a time
// limit (a call that blocks fails the test instead of hanging the run), and the number of open
// descriptors (a leak shows as a growing count).
#pragma once

#include <csignal>
#include <dirent.h>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

// The exit code of body run in a child process; -1 when the child did not end within the
// given seconds (it is killed then), -2 when it ended otherwise than by exiting.
inline int exitCodeWithin(unsigned seconds, const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0)
        _exit(body());
    if (pid < 0)
        return -2;
    for (unsigned tick = 0; tick < seconds * 100; ++tick) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

// The descriptors this process has open, from /proc/self/fd (the listing's own not counted).
inline int openDescriptorCount() {
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr)
        return -1;
    int count = 0;
    while (const dirent* entry = readdir(dir))
        count += entry->d_name[0] != '.' ? 1 : 0;
    closedir(dir);
    return count - 1;
}

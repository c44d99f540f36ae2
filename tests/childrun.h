// tests/childrun.h - runs a piece of a test in a child process with a time limit, so that a call
// that blocks fails the test instead of hanging the run.
#pragma once

#include <csignal>
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

// ui/endrequests_posix.cpp - the end signals on POSIX: the handler writes one byte into a pipe,
// and the event loop, woken by the pipe, leaves all its loops.
#include "endrequests.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int endSignals[] = {SIGTERM, SIGHUP, SIGINT};
int endPipe[2] = {-1, -1};

void onEndSignal(int) {
    const int saved = errno;
    const char byte = 1;
    const ssize_t n = ::write(endPipe[1], &byte, 1); // a full pipe has a request already
    (void)n;
    errno = saved;
}

void setHandler(void (*handler)(int)) {
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : endSignals)
        sigaction(s, &action, nullptr);
}

} // namespace

struct EndRequests::Watch {
    explicit Watch(int descriptor) : notifier(descriptor, QSocketNotifier::Read) {}
    QSocketNotifier notifier;
};

EndRequests::EndRequests() {
    if (::pipe2(endPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // the signals keep their default action
    watch = std::make_unique<Watch>(endPipe[0]);
    QObject::connect(&watch->notifier, &QSocketNotifier::activated, [] {
        char bytes[16];
        while (::read(endPipe[0], bytes, sizeof bytes) > 0) {
        }
        QCoreApplication::exit(0);
    });
    setHandler(onEndSignal);
}

EndRequests::~EndRequests() {
    if (!watch)
        return;
    setHandler(SIG_DFL);
    watch.reset();
    ::close(endPipe[0]);
    ::close(endPipe[1]);
    endPipe[0] = endPipe[1] = -1;
}

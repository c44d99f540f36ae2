// ui/endrequests.h - ends the program normally when the session ends or the user interrupts it,
// as if the dialog were cancelled, so that the program's static objects are destroyed.
#pragma once

#include <memory>

class QSocketNotifier;

// While an object exists, SIGTERM, SIGHUP and SIGINT no longer kill the program: the signal is
// only recorded, and the event loop then leaves every dialog. Nothing being written is cut off,
// no change is saved, and the program ends through its normal exit (removing its scratch
// directory). Only one object may exist at a time.
class EndRequests {
public:
    EndRequests();
    ~EndRequests();
    EndRequests(const EndRequests&) = delete;
    EndRequests& operator=(const EndRequests&) = delete;

private:
    std::unique_ptr<QSocketNotifier> notifier;
};

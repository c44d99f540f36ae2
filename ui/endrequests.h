// ui/endrequests.h - ends the program normally when the session ends or the user interrupts it,
// as if the dialog were cancelled, so that the program's static objects are destroyed.
#pragma once

#include <memory>

// While an object exists, the requests to end (on POSIX SIGTERM, SIGHUP and SIGINT; on Windows
// the console's control events and the end of the session) no longer kill the program: the
// request is only recorded, and the event loop then leaves every dialog. Nothing being written
// is cut off, no change is saved, and the program ends through its normal exit (removing its
// scratch directory). Only one object may exist at a time.
class EndRequests {
public:
    EndRequests();
    ~EndRequests();
    EndRequests(const EndRequests&) = delete;
    EndRequests& operator=(const EndRequests&) = delete;

private:
    struct Watch; // the platform's means of passing a request to the event loop
    std::unique_ptr<Watch> watch;
};

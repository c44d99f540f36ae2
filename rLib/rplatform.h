// rLib/rplatform.h - facts about the platform the library is built for.
#pragma once

// Separator of a new rString: the platform's own.
#if defined(_WIN32)
constexpr char rDefaultSeparator = '\\';
#else
constexpr char rDefaultSeparator = '/';
#endif

// Whether stopping a thread after its granted time ends it wherever it runs (Windows terminates
// it), or only where it can be cancelled (POSIX: a thread that never reaches such a point is
// detached and left running).
#if defined(_WIN32)
constexpr bool rStopEndsAnyThread = true;
#else
constexpr bool rStopEndsAnyThread = false;
#endif

// rLib/rplatform.h - facts about the platform the library is built for.
#pragma once

// Separator of a new rString: the platform's own.
#if defined(_WIN32)
constexpr char rDefaultSeparator = '\\';
#else
constexpr char rDefaultSeparator = '/';
#endif

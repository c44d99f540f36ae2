// rLib/rsnapshot.h - the thread snapshot: every thread of the process with its times and call
// stack, appended to the executable's .snp file on request.
#pragma once

// Appends one snapshot headed by reason ("not passed" for none). Nothing is written when the file
// cannot be opened.
void writeThreadSnapshot(const char* reason);

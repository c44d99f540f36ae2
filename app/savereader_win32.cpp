// app/savereader_win32.cpp - the Windows side of reading a save: the system's cache reads the
// file's two small places without a hint of ours.
#include "savegame.h"

void SaveGame::adviseSparseReading(const rFile&) {}

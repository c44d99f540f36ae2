// rLib/rscratch.cpp - the per-process scratch directory: creating it, removing it at exit, and
// removing the directories that ended processes left behind.
#include "rscratch.h"
#include "rdirscan.h"
#include "rsystem.h"

#include <cstdlib>

namespace {
rScratchDirectory* activeInstance = nullptr;
} // namespace

rString scratchDirectoryName() {
    const rString temp = tempDirectory();
    rString name;
    name.setUnixStyle(temp.isUnixStyle());
    rString::format(name, "%s%08X", temp.text(), processId());
    return name;
}

bool prepareScratchDirectory(const rString& directory) {
    rString dir(directory);
    dir.removeSeparator();
    rScratchPlatform::createPrivateDirectory(dir.text()); // may exist already
    return rScratchPlatform::isOwnDirectory(dir.text(), true);
}

rScratchDirectory::rScratchDirectory() {
    create();
}

rScratchDirectory::~rScratchDirectory() {
    if (activeInstance == this)
        cleanup();
}

rScratchDirectory* rScratchDirectory::active() {
    return activeInstance;
}

void rScratchDirectory::create() {
    cleanup();
    const rString name = scratchDirectoryName();
    // A name taken by a link, a file or another user's directory is never ours: it is not
    // written to and not removed at exit.
    if (prepareScratchDirectory(name))
        path = name;
    else
        path.clear();
    activeInstance = this;
}

void rScratchDirectory::cleanup() {
    if (activeInstance == this)
        activeInstance = nullptr;
    if (!path.isEmpty() && rScratchPlatform::isOwnDirectory(path.text()))
        removeTree(path.text());
    removeStale();
}

void rScratchDirectory::removeStale() {
    rString base = tempDirectory();
    base.addSeparator();
    rArray<uint32_t> gone;
    {
        rString pattern(base);
        pattern += "*";
        rDirScan scan(pattern.text(), rDirScan::modeDirectories);
        while (scan.next()) {
            const unsigned long value = std::strtoul(scan.entry().name.text(), nullptr, 16);
            // 0 is no process; a value beyond the range of process ids would ask the system
            // about process groups instead, so it is never taken for an ended process.
            if (value == 0 || value > 0x7FFFFFFFul)
                continue;
            if (rScratchPlatform::processGone(uint32_t(value)))
                gone.add(uint32_t(value));
        }
    }
    for (uint32_t i = 0; i < gone.getCount(); ++i) {
        rString stale;
        stale.setUnixStyle(base.isUnixStyle());
        rString::format(stale, "%s%08X", base.text(), gone[i]);
        // Only a directory of our own: never another user's, never through a link.
        if (rScratchPlatform::isOwnDirectory(stale.text()))
            removeTree(stale.text());
    }
}

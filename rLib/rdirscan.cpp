// rLib/rdirscan.cpp - the portable part of directory enumeration: entries, the one-directory
// scanner and the depth-first walker.
#include "rdirscan.h"

#include <cstring>

#define R_MODULE "rLib/rdirscan"

rFileInfo::rFileInfo() : time(1901, 1, 1, 0, 0, 0) {}

void rFileInfo::reset() {
    kind = 0;
    access = 0;
    size = 0;
    time.reset();
    name.clear();
}

// --- rDirScan ---

rDirScan::rDirScan(const char* path, uint32_t scanMode, rFileSystem* fs) {
    clearError();
    info.reset();
    if (fs == nullptr) {
        fs = new rLocalFileSystem;
        ownsFileSystem = 1;
    }
    fileSystem = fs;
    const bool slash = (fileSystem->getFlags() & rFileSystem::slashSeparator) != 0;
    rString full;
    full.setUnixStyle(slash);
    full = path != nullptr ? path : ""; // assignment from text keeps the style
    pattern = full.getFileName();
    directory = full.getDirectory();
    directory.setUnixStyle(slash);
    const rString base = fileSystem->currentDirectory();
    if (directory.isEmpty())
        directory = base.text();
    else
        directory.makeAbsolute(base.text());
    directory.removeSeparator();
    info.name.setUnixStyle(slash);
    mode = scanMode;
    search = nullptr;
}

rDirScan::~rDirScan() {
    closeSearch();
    if (ownsFileSystem != 0)
        delete fileSystem;
    fileSystem = nullptr;
}

bool rDirScan::matchKind() {
    return ((mode & ~modeInvert) & info.kind) != 0;
}

bool rDirScan::next() {
    if (search == nullptr)
        search = fileSystem->findFirst(directory);
    if (search == nullptr)
        return false;
    while (fileSystem->findNext(search, &info))
        if (accept())
            return true;
    return false;
}

void rDirScan::closeSearch() {
    if (search != nullptr)
        fileSystem->findClose(search);
    search = nullptr;
}

bool rDirScan::accept() {
    const uint32_t known = info.kind;
    if (known == 0 && !fileSystem->getInfo(directory, search, &info))
        return false;
    if (!matchKind())
        return false;
    if (!matchName(info.name))
        return false;
    // The kind came with the listing: the details are fetched only for entries that passed,
    // and only when they are wanted.
    if (known != 0 && (mode & modeNamesOnly) == 0 && !fileSystem->getInfo(directory, search, &info))
        return false;
    if ((info.kind & rFileInfo::kindDirectory) != 0)
        info.name += directory.getSeparator();
    return true;
}

bool rDirScan::matchName(const rString& name) const {
    if (name == ".")
        return false;
    const bool caseSensitive = (fileSystem->getFlags() & rFileSystem::caseSensitive) != 0;
    const bool invert = (mode & modeInvert) != 0;
    const char* text = name.text();
    const char* masks = pattern.text();
    // A name without extension gets an empty one, so that "*.*" also matches it; a pattern
    // without wildcards is taken literally.
    if (std::strchr(text, '.') == nullptr && std::strpbrk(masks, "*#?") != nullptr) {
        rString dotted(name);
        dotted += '.';
        return dotted.matches(masks, caseSensitive, invert) != 0;
    }
    return name.matches(masks, caseSensitive, invert) != 0;
}

rString rDirScan::currentPath() const {
    rString path(directory);
    path.addSeparator();
    path += info.name;
    return path;
}

// --- rFileWalker ---

struct rFileWalker::Node {
    explicit Node(Node* up) : parent(up) {}
    rObjArray paths; // rString: subdirectories queued while this node's directory was searched
    Node* parent;
};

rFileWalker::rFileWalker(const char* path, uint32_t scanMode, rFileSystem* fs)
    : rDirScan(path, scanMode, fs), current(new Node(nullptr)) {}

rFileWalker::~rFileWalker() {
    while (current != nullptr) {
        Node* up = current->parent;
        delete current;
        current = up;
    }
}

bool rFileWalker::matchKind() {
    if ((info.kind & rFileInfo::kindDirectory) != 0) {
        if (info.name == "." || info.name == "..")
            return false;
        current->paths.add(new rString(currentPath())); // the name has no separator yet
    }
    return rDirScan::matchKind();
}

bool rFileWalker::next() {
    if (!started) {
        started = true;
        search = fileSystem->findFirst(directory);
        if (search != nullptr)
            enter(search);
    }
    while (!rDirScan::next())
        if (!descend())
            return false;
    return true;
}

bool rFileWalker::descend() {
    for (;;) {
        while (current->paths.getCount() == 0) {
            if (current->parent == nullptr)
                return false;
            Node* done = current;
            current = current->parent;
            delete done;
            current->paths.deleteAt(0); // the directory just finished
        }
        closeSearch();
        directory = *static_cast<rString*>(current->paths.getAt(0));
        search = fileSystem->findFirst(directory);
        if (search != nullptr && !enter(search)) {
            // Entered before through another name: a link loop or a second link.
            ++revisited;
            closeSearch();
            current->paths.deleteAt(0);
            continue;
        }
        current = new Node(current);
        return true;
    }
}

static uint32_t slotOf(const rDirectoryId& id, uint32_t mask) {
    uint64_t h = id.device * 0x9E3779B97F4A7C15ull ^ id.inode * 0xC2B2AE3D27D4EB4Full;
    h ^= h >> 29;
    return uint32_t(h) & mask;
}

bool rFileWalker::enter(const rSearch* found) {
    rDirectoryId id{};
    if (!fileSystem->directoryId(found, id))
        return true; // this file system cannot tell directories apart: trust it to have no loops
    uint32_t size = entered.getLimit();
    if ((enteredCount + 1) * 2 > size) {
        // Grow to twice the size and place the known directories again.
        const uint32_t newSize = size < 64 ? 64 : size * 2;
        rArray<rDirectoryId> grown(newSize, newSize);
        if (grown.getLimit() != newSize)
            return true; // no memory: walk on without the guard rather than stop
        rDirectoryId* slots = grown.getItems();
        for (uint32_t i = 0; i < size; ++i) {
            const rDirectoryId& old = entered.getItems()[i];
            if (old.used == 0)
                continue;
            uint32_t s = slotOf(old, newSize - 1);
            while (slots[s].used != 0)
                s = (s + 1) & (newSize - 1);
            slots[s] = old;
        }
        entered.setLimit(newSize);
        if (entered.getLimit() != newSize)
            return true;
        std::memcpy(static_cast<void*>(entered.getItems()), slots, newSize * sizeof(rDirectoryId));
        size = newSize;
    }
    rDirectoryId* slots = entered.getItems();
    uint32_t s = slotOf(id, size - 1);
    while (slots[s].used != 0) {
        if (slots[s].device == id.device && slots[s].inode == id.inode)
            return false;
        s = (s + 1) & (size - 1);
    }
    id.used = 1;
    slots[s] = id;
    ++enteredCount;
    return true;
}

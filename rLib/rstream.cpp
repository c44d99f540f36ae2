// rLib/rstream.cpp - rStream: the buffer rules shared by every stream device, and the typed,
// line and string forms and the stream-to-stream copies built on them.
#include "rstream.h"

#include <cstring>

#define R_MODULE "rLib/rstream"

namespace {
constexpr uint32_t copyBlock = 4096;
// Strings arrive in pieces of this size, so that a corrupted length costs no more memory than
// the data actually present.
constexpr uint32_t stringChunk = 0x10000;
} // namespace

rStream::rStream(uint32_t size) {
    setBufferSize(size);
    index = fill = 0;
    position = 0;
    dirty = 0;
}

rStream::~rStream() {
    if (owned())
        memFree(buffer);
}

bool rStream::setBufferSize(uint32_t size) {
    if (dirty)
        flush(-1);
    if (available() > 0)
        deviceSeek(position, 0); // drop the read-ahead: the device returns to the position
    index = fill = 0;
    flags &= ~resyncDevice;
    void* block = memRealloc(owned() ? buffer : nullptr, size);
    if (block == nullptr && size != 0 && owned())
        memFree(buffer); // a failed resize does not leave the old block behind
    buffer = static_cast<char*>(block);
    capacity = size;
    const bool ok = rCHECK(buffer != nullptr || size == 0, erInsufMemory, nullptr, capacity);
    if (buffer == nullptr)
        capacity = 0;
    flags = buffer != nullptr ? flags | ownsBuffer : flags & ~ownsBuffer;
    return ok;
}

void rStream::setUnixLines(bool on) {
    flags = on ? flags | unixLines : flags & ~unixLines;
}

int64_t rStream::deviceSeek(int64_t, int) {
    return 0;
}

bool rStream::deviceFill() {
    // No device: there is never data, which is the end of the data.
    index = fill = 0;
    return rCHECK(false, erFileEof, nullptr, 0);
}

bool rStream::resync() {
    if ((flags & resyncDevice) == 0)
        return true;
    flags &= ~resyncDevice;
    return deviceSeek(position - index, 0) >= 0;
}

bool rStream::flush(int32_t) {
    if (!dirty)
        return !hasError();
    const bool ok = resync();
    dirty = 0;
    index = fill = 0; // there is no device: the bytes go nowhere
    return ok && !hasError();
}

uint32_t rStream::read(void* dst, uint32_t n) {
    if (dirty)
        flush(-1);
    if (n == 0)
        return 0;
    std::memset(dst, 0, n);
    const bool own = owned();
    if (!own) {
        // Unbuffered: the caller's block serves as the buffer for this call only.
        buffer = static_cast<char*>(dst);
        capacity = n;
        index = fill = 0;
    }
    if (available() <= 0 && !hasError()) {
        deviceFill();
        if (available() <= 0 && !hasError())
            rCHECK(false, erFileEof, nullptr, 0);
    }
    uint32_t k = 0;
    if (!hasError()) {
        k = available() < int64_t(n) ? uint32_t(available()) : n;
        if (own) {
            std::memcpy(dst, buffer + index, k);
            index += k;
        }
        position += k;
    }
    if (!own) {
        buffer = nullptr;
        capacity = 0;
        index = fill = 0;
    }
    return k;
}

bool rStream::readExact(void* dst, uint32_t n) {
    char* p = static_cast<char*>(dst);
    while (n > 0) {
        const uint32_t k = read(p, n);
        if (hasError() || k == 0)
            return false;
        p += k;
        n -= k;
    }
    return true;
}

bool rStream::write(const void* src, uint32_t n) {
    if (hasError())
        return false;
    if (n == 0)
        return true;
    const char* p = static_cast<const char*>(src);
    if (!owned()) {
        // Unbuffered: the caller's block goes to the device at once.
        buffer = const_cast<char*>(p);
        capacity = index = n;
        fill = 0;
        position += n;
        dirty = 1;
        flush(-1);
        buffer = nullptr;
        capacity = index = fill = 0;
        dirty = 0;
        return !hasError();
    }
    while (n > capacity) {
        if (!write(p, capacity))
            return false;
        p += capacity;
        n -= capacity;
    }
    if (!dirty && !startWriting())
        return false;
    if (capacity - index < n)
        flush(int32_t(n - (capacity - index)));
    // A flush that did not empty the buffer leaves no room: nothing is copied past its end.
    if (hasError() || !rCHECK(capacity - index >= n, erFileWrite, nullptr, 0))
        return false;
    std::memcpy(buffer + index, p, n);
    index += n;
    position += n;
    dirty = 1;
    return true;
}

bool rStream::startWriting() {
    // The device stands after the read-ahead; it goes back to the logical position, and the
    // read bytes are dropped, so that a flush writes only what was written (never a byte put
    // back by unget, never read bytes again).
    if (available() != 0 && deviceSeek(position, 0) < 0)
        return false;
    index = fill = 0;
    flags &= ~resyncDevice;
    return true;
}

int64_t rStream::seek(int64_t offset, int origin) {
    if (dirty) {
        // A failed flush is not covered up by the seek that follows it.
        if (!flush(-1))
            return -1;
    } else if (owned() && origin == 1) {
        if ((offset >= 0 && offset <= available()) ||
            (offset < 0 && int64_t(index) + offset >= 0)) {
            position += offset;
            index = uint32_t(int64_t(index) + offset);
            flags |= resyncDevice;
            return position;
        }
        offset -= available(); // the device stands that far ahead
    } else if (owned() && origin == 0) {
        if ((offset >= position && offset - position <= available()) ||
            (offset < position && position - offset <= int64_t(index))) {
            index = uint32_t(int64_t(index) + (offset - position));
            position = offset;
            flags |= resyncDevice;
            return offset;
        }
    }
    // A failed device seek leaves the buffer as it was, in step with the device.
    const int64_t r = deviceSeek(offset, origin);
    if (r >= 0) {
        index = fill = 0;
        flags &= ~resyncDevice;
        position = r;
    }
    return r;
}

int64_t rStream::size() {
    const int64_t p = tell();
    const int64_t s = seek(0, 2);
    seek(p, 0);
    return s;
}

void rStream::unget(char byte) {
    // Only read bytes can be taken back in the buffer: written ones must still reach the device.
    if (index > 0 && owned() && !dirty) {
        --position;
        buffer[--index] = byte;
    } else {
        seek(-1, 1);
    }
}

bool rStream::close() {
    const bool ok = dirty ? flush(-1) : true;
    index = fill = 0;
    dirty = 0;
    position = 0;
    flags &= ~resyncDevice;
    clearError();
    return ok;
}

bool rStream::writeEndOfLine() {
    bool ok = true;
    if (!isUnixLines())
        ok = writeByte(13);
    return writeByte(10) && ok;
}

bool rStream::writeLine(const char* text) {
    const uint32_t n = text != nullptr ? uint32_t(std::strlen(text)) : 0;
    const bool ok = write(text, n);
    return writeEndOfLine() && ok;
}

bool rStream::writeInt(uint32_t v) {
    const unsigned char bytes[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16),
                                    uint8_t(v >> 24)};
    return write(bytes, 4);
}

bool rStream::readInt(uint32_t& v) {
    unsigned char bytes[4];
    const bool ok = readExact(bytes, 4);
    v = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
        uint32_t(bytes[3]) << 24;
    return ok;
}

bool rStream::readInt(int32_t& v) {
    uint32_t u = 0;
    const bool ok = readInt(u);
    v = int32_t(u);
    return ok;
}

bool rStream::writeString(const char* text) {
    const uint32_t n = text != nullptr ? uint32_t(std::strlen(text)) : 0;
    const bool ok = writeInt(n);
    return write(text, n) && ok;
}

bool rStream::writeString(const rString& str) {
    const bool ok = writeInt(str.length());
    return write(str.text(), str.length()) && ok;
}

bool rStream::growString(rString& str, uint64_t needed) {
    if (needed <= str.getLimit())
        return true;
    uint64_t limit = uint64_t(str.getLimit()) * 2;
    if (limit < needed)
        limit = needed;
    if (limit > 0xFFFFFFFFu)
        limit = needed;
    if (needed > 0xFFFFFFFFu || !str.setLimit(uint32_t(limit))) {
        str.clearError();
        rCHECK(false, erInsufMemory, nullptr,
               uint32_t(needed > 0xFFFFFFFFu ? 0xFFFFFFFFu : needed));
        return false;
    }
    return true;
}

bool rStream::readString(rString& str, uint32_t max) {
    str.clear();
    uint32_t length = 0;
    if (!readInt(length))
        return false;
    if (!rCHECK(max == 0 || length < max, erFileIO, nullptr, length))
        return false;
    uint32_t got = 0;
    while (got < length) {
        const uint32_t chunk = length - got < stringChunk ? length - got : stringChunk;
        if (!growString(str, uint64_t(got) + chunk + 1))
            break;
        const bool ok = readExact(str.getItems() + got, chunk);
        if (!ok)
            break;
        got += chunk;
        str.getItems()[got] = 0;
        str.setCount(got + 1);
    }
    // A failed read may have written part of a chunk past the terminator: nothing of it stays.
    if (hasError()) {
        str.clear();
        return false;
    }
    return true;
}

char* rStream::readString() {
    rString text;
    if (!readString(text, 0))
        return nullptr;
    const uint32_t n = text.length() + 1;
    char* block = static_cast<char*>(memAlloc(n));
    if (!rCHECK(block != nullptr, erInsufMemory, nullptr, n))
        return nullptr;
    std::memcpy(block, text.text(), n);
    return block;
}

bool rStream::readLine(rString& str, uint32_t max) {
    str.clear();
    char c = 0;
    while (!hasError()) {
        if (owned() && !dirty && available() > 0) {
            // Take the run of ordinary bytes straight from the buffer.
            const char* p = buffer + index;
            const uint32_t avail = uint32_t(available());
            // The run ends at the first LF or NUL, whichever comes first.
            const void* lf = std::memchr(p, 10, avail);
            const size_t end = lf != nullptr ? size_t(static_cast<const char*>(lf) - p) : avail;
            const uint32_t k = uint32_t(strnlen(p, end));
            uint32_t take = k;
            bool tooLong = false;
            if (max != 0 && uint64_t(str.length()) + k > max) {
                take = max - str.length() + 1; // the byte past the limit is read and kept
                tooLong = true;
            }
            if (take > 0 && !str.insertItems(p, str.getCount() - 1, take)) {
                str.clearError();
                rCHECK(false, erInsufMemory, nullptr, take);
                break;
            }
            index += take;
            position += take;
            if (tooLong) {
                rCHECK(false, erFileIO, nullptr, 0);
                break;
            }
            if (take == avail)
                continue;
            c = p[take];
            ++index;
            ++position;
        } else {
            c = 0;
            readExact(&c, 1);
            if (hasError())
                break;
            if (c != 0 && c != 10) {
                str += c;
                rCHECK(max == 0 || str.length() <= max, erFileIO, nullptr, 0);
                continue;
            }
        }
        if (c == 10 && !isUnixLines() && str.length() > 0 && str.text()[str.length() - 1] == 13)
            str.truncate(str.length() - 1);
        break;
    }
    return !hasError();
}

bool rStream::copyFrom(rStream& source, int64_t count, rProgress* progress) {
    char* block = static_cast<char*>(memAlloc(copyBlock));
    if (!rCHECK(block != nullptr, erInsufMemory, nullptr, copyBlock))
        return false;
    const bool toEnd = count < 0;
    while (!hasError() && (toEnd || count > 0)) {
        const uint32_t chunk =
            toEnd || count > int64_t(copyBlock) - 1 ? copyBlock : uint32_t(count);
        const uint32_t k = source.read(block, chunk);
        if (progress != nullptr && progress->notify(this, progressCopied, k, 0, 1) == 0) {
            flush(-1);
            setError(erCancelled, nullptr, 0);
            break;
        }
        if (!hasError() && source.hasError()) {
            setError(source.errorCode(), source.errorSubject(), source.errorValue());
            source.clearError();
        }
        if (k > 0)
            write(block, k);
        if (!toEnd)
            count -= k;
    }
    memFree(block);
    if (toEnd && errorCode() == erFileEof)
        clearError();
    return !hasError();
}

bool rStream::copyTo(rStream& destination, int64_t count, rProgress* progress) {
    char* block = static_cast<char*>(memAlloc(copyBlock));
    if (!rCHECK(block != nullptr, erInsufMemory, nullptr, copyBlock))
        return false;
    const bool toEnd = count < 0;
    while (!hasError() && (toEnd || count > 0)) {
        const uint32_t chunk =
            toEnd || count > int64_t(copyBlock) - 1 ? copyBlock : uint32_t(count);
        const uint32_t k = read(block, chunk);
        if (k == 0)
            continue; // the end of the data (or a failure) is now stored and ends the loop
        destination.write(block, k);
        if (progress != nullptr && progress->notify(this, progressCopied, k, 0, 1) == 0) {
            setError(erCancelled, nullptr, 0);
            break;
        }
        if (!hasError() && destination.hasError())
            setError(destination.errorCode(), destination.errorSubject(), destination.errorValue());
        if (!toEnd)
            count -= k;
    }
    memFree(block);
    // Running out of data is the expected end only when copying to the end.
    if (toEnd && errorCode() == erFileEof)
        clearError();
    return !hasError();
}

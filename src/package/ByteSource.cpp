#include "package/ByteSource.h"

#include <cstring>

#include "common/Errors.h"

void ByteSource::RequireRange(int64_t offset, uint64_t count) const {
    const int64_t length = Length();
    if (offset < 0 || offset > length || static_cast<uint64_t>(length - offset) < count)
        throw DamagedInput("a read of " + std::to_string(count) + " bytes at " +
                               std::to_string(offset) + " runs past the end (" +
                               std::to_string(length) + " bytes)",
                           Name());
}

std::string ByteSource::ReadAt(int64_t offset, size_t count) const {
    RequireRange(offset, count);
    std::string bytes(count, '\0');
    ReadAt(offset, bytes.data(), count);
    return bytes;
}

void MemorySource::ReadAt(int64_t offset, char* buffer, size_t count) const {
    RequireRange(offset, count);
    if (count != 0) std::memcpy(buffer, bytes_.data() + offset, count);
}

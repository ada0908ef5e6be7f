#include "package/FileMoves.h"

#include <algorithm>
#include <vector>

bool MoveFileData(BinaryFile& source, int64_t length, int64_t sourceOffset, int64_t destOffset,
                  BinaryFile* destination, int mode, int64_t blockSize) {
    BinaryFile& target = destination ? *destination : source;
    const bool sameFile = target.SameFileAs(source);
    if (length <= 0 || (sameFile && sourceOffset == destOffset)) return true;
    if (blockSize <= 0) blockSize = kMoveBlockSize;
    std::vector<char> buffer(static_cast<size_t>(std::min(blockSize, length)));

    if (sameFile && destOffset > sourceOffset) {
        // Copy to a higher offset from the last block to the first, so that
        // bytes of an overlapping source are read before they are overwritten.
        for (int64_t left = length; left > 0;) {
            const int64_t chunk = std::min(blockSize, left);
            left -= chunk;
            source.ReadAt(sourceOffset + left, buffer.data(), static_cast<size_t>(chunk));
            target.WriteAt(destOffset + left, buffer.data(), static_cast<size_t>(chunk));
        }
    } else {
        for (int64_t done = 0; done < length;) {
            const int64_t chunk = std::min(blockSize, length - done);
            source.ReadAt(sourceOffset + done, buffer.data(), static_cast<size_t>(chunk));
            target.WriteAt(destOffset + done, buffer.data(), static_cast<size_t>(chunk));
            done += chunk;
        }
    }

    if (mode == 2 && sameFile) {
        // Zero the part of the source range that the copy left behind.
        const int64_t sourceEnd = sourceOffset + length;
        const int64_t destEnd = destOffset + length;
        if (destOffset > sourceOffset)
            ClearData(source, sourceOffset, std::min(destOffset, sourceEnd) - sourceOffset,
                      blockSize);
        else
            ClearData(source, std::max(destEnd, sourceOffset),
                      sourceEnd - std::max(destEnd, sourceOffset), blockSize);
    }
    return true;
}

bool ClearData(BinaryFile& file, int64_t offset, int64_t length, int64_t blockSize) {
    if (length <= 0) return true;
    if (blockSize <= 0) blockSize = kMoveBlockSize;
    const std::vector<char> zeros(static_cast<size_t>(std::min(blockSize, length)), '\0');
    for (int64_t done = 0; done < length;) {
        const int64_t chunk = std::min(blockSize, length - done);
        file.WriteAt(offset + done, zeros.data(), static_cast<size_t>(chunk));
        done += chunk;
    }
    return true;
}

// Moving and clearing file data in bounded blocks, for the package writer.
#pragma once

#include <cstdint>

#include "package/BinaryFile.h"
#include "package/PackageFormat.h"

// Copies length bytes from sourceOffset of source to destOffset of destination
// (nullptr, or source itself, means the same file), in blocks of at most
// blockSize bytes. Within one
// file a copy to a higher offset runs from the last block to the first, so
// overlapping ranges are copied correctly. Mode 0 and 1 copy; mode 2 copies
// within one file and then zero-fills the part of the source range that the
// copy did not overwrite. Returns true; file errors throw.
bool MoveFileData(BinaryFile& source, int64_t length, int64_t sourceOffset, int64_t destOffset,
                  BinaryFile* destination = nullptr, int mode = 0,
                  int64_t blockSize = kMoveBlockSize);

// Writes length zero bytes from offset, in blocks of at most blockSize bytes.
// Returns true; file errors throw.
bool ClearData(BinaryFile& file, int64_t offset, int64_t length,
               int64_t blockSize = kMoveBlockSize);

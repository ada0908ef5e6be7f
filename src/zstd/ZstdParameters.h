// The one choice of zstd parameters for entries, shared by the compressor
// and the decoder: level 19 for size, and a window of at most 16 MB, so that
// decoding any entry needs a bounded amount of memory; the compressor's
// search tables are bounded too.
#pragma once

// Level 19: about 4-8 MB/s when building, with the decoder as fast as at
// any level. Levels 20-22 gain little on setup-sized files and need larger
// windows.
inline constexpr int kZstdLevel = 19;
// 2^24 = 16 MB, twice level 19's own window: about 3 % fewer bytes on a
// large file or tree of real files (126 MB of documentation and libraries:
// 54.9 instead of 56.5 MB), for 8 MB more memory when installing one. The
// decoder refuses frames that ask for more.
inline constexpr int kZstdWindowLog = 24;
// Level 19 searches a large input with a 64 MB chain table and a 16 MB hash
// table, about 100 MB per compressor; capped at 16 MB and 8 MB when two
// compressors run at once, a save with two workers stays within 128 MB, for
// about 1 % more bytes on files of 8 MB and more (smaller inputs get smaller
// tables anyway, unchanged). A lone compressor keeps the level's tables, and
// so does one for an item of 32 MB or more, which the save then codes alone.
inline constexpr int kZstdChainLogMax = 22;
inline constexpr int kZstdHashLogMax = 21;

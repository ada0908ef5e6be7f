// A project file's bytes as stored contents, wherever they lie: still in the
// setup the project was read from, packed in memory, as the user gave them,
// or in a file on disk. Read in pieces through Stored(), they are never held
// whole; a file still in the setup is checked against the setup's checksum
// as it is read.
#pragma once

#include <optional>
#include <string>

#include "common/Sha256.h"
#include "package/BinaryFile.h"
#include "package/EntryPieces.h"
#include "project/Project.h"

class ProjectFileBytes {
  public:
    // source: where the project's packed files lie. Throws KaveloError when
    // the setup changed since it was read, IoError when a file on disk
    // cannot be opened.
    ProjectFileBytes(const StoredIn& source, const ProjectFile& file);
    ProjectFileBytes(const ProjectFileBytes&) = delete;
    ProjectFileBytes& operator=(const ProjectFileBytes&) = delete;

    StoredContents& Stored() { return stored_; }
    // Once every stored byte was read, in order: throws DamagedInput when
    // they differ from the setup's checksum.
    void CheckDigest();

  private:
    void Hash(uint64_t at, const char* data, size_t n);

    StoredContents stored_;
    std::optional<BinaryFile> opened_;
    std::string digest_; // expected, empty when there is none to check
    std::string setupPath_;
    Sha256 hash_;
    uint64_t next_ = 0;
    bool inOrder_ = true;
};

// The contents of file in pieces of at most 1 MB, in bounded memory. Throws
// DamagedInput for a damaged stream or a checksum that differs, and the
// errors above.
void ReadProjectFile(const StoredIn& source, const ProjectFile& file, const ContentPieces& out);

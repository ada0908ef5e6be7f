// What the kavelo commands share: messages on standard error, each line
// prefixed "kavelo: "; files read and written whole, "-" being standard input
// or output; texts read from Linux files; the setup a command names; and the
// lock a command holds while it changes a setup.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/Host.h"
#include "common/WholeFile.h"
#include "package/BinaryFile.h"

class Module1;

// Prints "kavelo: what" (control characters escaped) on standard error and
// returns kExitFailure.
int Fail(const std::string& what);
// Prints "kavelo: what" on standard error: something the user should know.
void Note(const std::string& what);

// The tool's host: each line of a message on standard error after "kavelo: ".
class CliHost : public Host {
  public:
    void ShowError(const std::string& text) override;
};

// The one project of the run, with the tool's host.
Module1& Session();

// The bytes of the file at path, or of standard input for "-", at most
// maxSize of them. On failure prints "kavelo: PATH: reason" and returns false.
bool ReadInputFile(const std::string& path, std::string& bytes, uint64_t maxSize = kNoSizeLimit);
// Writes bytes to the file at path, or to standard output for "-". A file is
// replaced whole (AtomicFile), keeping the mode of the one it replaces; a
// device or a pipe is written as it is. On failure prints "kavelo: PATH:
// reason" and returns false.
bool WriteOutputFile(const std::string& path, const std::string& bytes);

// Where an output named path goes: the file a link names, with the mode of
// the file there (0666 less the umask for a new one); Special for a device or
// pipe, which is written in place. Throws IoError for a folder.
struct OutputTarget {
    std::string Path;
    mode_t Mode;
    bool Special;
};
OutputTarget OutputTargetFor(const std::string& path);

// A text read from a file as the project holds its texts: a UTF-8 byte-order
// mark dropped, and every line feed that no carriage return precedes made a
// CR LF.
std::string ProjectText(std::string_view fileBytes);

// The path of the setup a command names: as given when it exists, else the
// first existing of NAME.run and NAME.exe (as the startup dialog opens it).
std::string SetupPathFor(const std::string& given);

// Opens the setup named by given (standard input for "-") into the session's
// project to be read; false, the message printed, when it cannot be opened.
bool OpenSetupForReading(const std::string& given);
// The size of the runtime in front of the package that OpenSetupForReading
// opened last (the package's offset); -1 when it is not known.
int64_t OpenedRuntimeSize();

// A change of a setup. The setup's lock is held from opening until the save
// has put the new file in place, so two writers never lose each other's work;
// a second writer waits a few seconds and then fails, naming the holder.
class SetupChange {
  public:
    // Takes the lock for the setup given names and opens it.
    bool Open(const std::string& given);
    // Takes the lock for a setup about to be made at path.
    bool Lock(const std::string& path);
    // Saves the session's project into its path.
    bool Save();
};

// A file that carries a package (list, extract), or standard input's bytes
// for "-".
class PackageInput {
  public:
    PackageInput();
    ~PackageInput();
    // Opens the file given names; false, the message printed, when it cannot.
    bool Open(const std::string& given);
    const ByteSource& Source() const { return *source_; }
    // The path, or "standard input".
    const std::string& Shown() const { return shown_; }

  private:
    BinaryFile file_;
    std::string bytes_;
    std::unique_ptr<ByteSource> memory_;
    const ByteSource* source_ = nullptr;
    std::string shown_;
};

// What the core throws. Each error keeps its reason as a sentence of its own
// and the path of the file concerned apart, so that the operation that owns
// the message (saving, opening) can show its own text with the reason on a
// line beneath it. Nothing else is thrown for bad input or a failing system.
#pragma once

#include <stdexcept>
#include <string>

class KaveloError : public std::runtime_error {
  public:
    explicit KaveloError(std::string reason, std::string path = {});
    // Why it failed, without the path: "No space left on device".
    const std::string& Reason() const { return reason_; }
    // The file concerned; empty when there is none.
    const std::string& Path() const { return path_; }
    // Where in a larger input it happened (a script line), shown first;
    // empty when nothing says. Set by a caller on its way out, then rethrown.
    const std::string& Context() const { return context_; }
    void SetContext(std::string context);
    const char* what() const noexcept override { return what_.c_str(); }

  private:
    std::string reason_;
    std::string path_;
    std::string context_;
    std::string what_;
};

// Input that does not hold together: a package, record or stream that is cut
// short or damaged, counts or offsets past the end of the bytes that exist.
class DamagedInput : public KaveloError {
  public:
    using KaveloError::KaveloError;
};

// The decompressor's own error: a walk of the code tree reached a dead end.
// Number 10, source "DecompressHuffman", with the decompressor's own text.
class HuffmanError : public DamagedInput {
  public:
    HuffmanError();
    int Number() const { return 10; }
    const char* Source() const { return "DecompressHuffman"; }
};

// The package writer's name conflict (policy "raise error"): number 1.
class NameConflict : public KaveloError {
  public:
    explicit NameConflict(const std::string& name);
    int Number() const { return 1; }
};

// A call to the system failed; the reason is the system's text for errno.
class IoError : public KaveloError {
  public:
    IoError(int code, std::string path);
    // With what was being done: "cannot write: No space left on device".
    IoError(int code, std::string path, const std::string& doing);
    int Code() const { return code_; }

  private:
    int code_;
};

// A request the core cannot carry out as given (too many items, a value that
// does not fit a package): a fault of the caller or of the data it passes.
class InvalidRequest : public KaveloError {
  public:
    using KaveloError::KaveloError;
};

// The installer will not act on a path: it lies outside the folders an
// installation may write to, a link or a file stands where a folder must be,
// another user owns it or may write it, or another installation holds it.
class Refused : public KaveloError {
  public:
    using KaveloError::KaveloError;
};

// The user stopped an operation under way (Ctrl-C, a Cancel button).
class Cancelled : public KaveloError {
  public:
    Cancelled();
};

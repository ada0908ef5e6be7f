// kavelo compress / decompress: the raw compressed stream.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <cstring>
#include <stdexcept>
#include <string_view>

#include "CliIo.h"
#include "CommandLine.h"
#include "common/AtomicFile.h"
#include "common/FileDescriptor.h"
#include "huffman/Huffman.h"

namespace {

// The input file mapped into memory: the codec reads the page cache directly,
// which saves a copy of the whole file and the faults of a fresh buffer.
class MappedInput {
  public:
    ~MappedInput() {
        if (data_) munmap(data_, size_);
    }
    bool Open(const std::string& path) {
        if (path == "-") return ReadInputFile(path, copy_) && (view_ = copy_, true);
        const FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd.IsOpen()) return Fail(path + ": " + std::strerror(errno)), false;
        struct stat st {};
        if (fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
            // Pipes and devices are read the ordinary way.
            return ReadInputFile(path, copy_) && (view_ = copy_, true);
        }
        size_ = static_cast<size_t>(st.st_size);
        if (size_ > 0) {
            void* p = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd.Get(), 0);
            if (p == MAP_FAILED) return Fail(path + ": " + std::strerror(errno)), false;
            data_ = p;
            view_ = std::string_view(static_cast<const char*>(p), size_);
        }
        return true;
    }
    std::string_view View() const { return view_; }

  private:
    void* data_ = nullptr;
    size_t size_ = 0;
    std::string copy_;
    std::string_view view_;
};

// Writes a codec's result to a file while the codec still makes it: the codec
// thread tells which leading bytes are final, a second thread writes them.
// The result is written to a temporary file beside OUT (AtomicFile) and put
// in its place only when complete, so a damaged input never destroys an
// existing OUT; "-" is standard output, and a device or pipe is written as it
// is, as the codec goes.
class BackgroundWriter {
  public:
    explicit BackgroundWriter(std::string path) : path_(std::move(path)) {
        try {
            if (path_ == "-") {
                direct_.Reset(::dup(STDOUT_FILENO));
                if (!direct_.IsOpen()) throw IoError(errno, "standard output");
            } else if (const OutputTarget target = OutputTargetFor(path_); target.Special) {
                direct_.Reset(::open(target.Path.c_str(), O_WRONLY | O_CLOEXEC));
                if (!direct_.IsOpen()) throw IoError(errno, path_);
            } else {
                file_.emplace(target.Path);
                mode_ = target.Mode;
            }
            fd_ = file_ ? file_->Fd() : direct_.Get();
            thread_ = std::thread([this] { Loop(); });
        } catch (const KaveloError& e) {
            error_ = e.what();
        }
    }
    ~BackgroundWriter() { Stop(); }

    // Called by the codec: bytes [0, count) at data are final.
    void Finished(const char* data, size_t count) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            data_ = data;
            ready_ = count;
        }
        wake_.notify_one();
    }

    // After the codec returned result: writes what is left and puts the file
    // in place. False (message printed) on any error.
    bool Complete(const std::string& result) {
        Stop();
        if (error_.empty()) WriteAll(result.data() + written_, result.size() - written_);
        try {
            if (error_.empty() && file_) file_->Commit(mode_);
            if (error_.empty() && !file_ && direct_.Close() != 0)
                throw IoError(errno, path_, "cannot write");
        } catch (const KaveloError& e) {
            error_ = e.what();
        }
        if (!error_.empty()) return Fail(error_), false;
        return true;
    }

  private:
    void Loop() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stop_ || ready_ >= written_ + kChunk; });
            if (stop_) return;
            const char* from = data_ + written_;
            const size_t count = ready_ - written_;
            lock.unlock();
            const bool ok = WriteAll(from, count);
            lock.lock();
            if (!ok) return;
            written_ += count;
        }
    }

    // Stops the thread once its current write is done; the codec's buffer is
    // not read after this.
    void Stop() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_one();
        if (thread_.joinable()) thread_.join();
    }

    bool WriteAll(const char* data, size_t count) {
        while (count > 0) {
            const ssize_t n = write(fd_, data, count);
            if (n < 0) {
                if (errno == EINTR) continue;
                error_ = path_ + ": cannot write: " + std::strerror(errno);
                return false;
            }
            data += n;
            count -= static_cast<size_t>(n);
        }
        return true;
    }

    static constexpr size_t kChunk = size_t{1} << 20;
    std::string path_;
    std::optional<AtomicFile> file_; // a file replaced whole
    FileDescriptor direct_;          // standard output, a device or a pipe
    mode_t mode_ = 0;
    int fd_ = -1;       // the one of the two written to
    std::string error_; // written by one thread at a time: the writer, then after Stop the caller
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    const char* data_ = nullptr;
    size_t ready_ = 0;
    size_t written_ = 0;
    bool stop_ = false;
};

int RunCompress(const Invocation& call) {
    const std::vector<std::string>& args = call.Operands();
    MappedInput input;
    if (!input.Open(args[0])) return kExitFailure;
    if (input.View().size() == 1) return Fail(args[0] + ": a single byte has no compressed form");
    // The result is declared first so it outlives the writer thread reading it.
    std::string stream;
    BackgroundWriter writer(args[1]);
    try {
        CompressHuffmanStreaming(input.View(), stream, [&](const char* data, size_t count) {
            writer.Finished(data, count);
        });
    } catch (const KaveloError& e) {
        return Fail(args[0] + ": " + e.what());
    }
    return writer.Complete(stream) ? kExitOk : kExitFailure;
}

int RunDecompress(const Invocation& call) {
    const std::vector<std::string>& args = call.Operands();
    MappedInput input;
    if (!input.Open(args[0])) return kExitFailure;
    std::string bytes;
    BackgroundWriter writer(args[1]);
    try {
        DecompressHuffmanStreaming(input.View(), bytes, [&](const char* data, size_t count) {
            writer.Finished(data, count);
        });
    } catch (const HuffmanError& e) {
        return Fail(args[0] + ": damaged stream: error " + std::to_string(e.Number()) + " (" +
                    e.Source() + "): " + e.what());
    } catch (const DamagedInput& e) {
        // Cut short, or tables larger than the format allows.
        return Fail(args[0] + ": damaged stream: " + e.what());
    }
    return writer.Complete(bytes) ? kExitOk : kExitFailure;
}

const CommandRegistrar kCompress({10,
                                  "compress",
                                  "IN OUT",
                                  2,
                                  2,
                                  {},
                                  "compress file IN into the raw Huffman stream OUT",
                                  &RunCompress});
const CommandRegistrar kDecompress({11,
                                    "decompress",
                                    "IN OUT",
                                    2,
                                    2,
                                    {},
                                    "decompress the raw Huffman stream IN into OUT",
                                    &RunDecompress});

} // namespace

// kavelo compress / decompress: the raw compressed stream.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string_view>

#include "Commands.h"
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
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return Fail(path + ": " + std::strerror(errno)), false;
        struct stat st {};
        if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            close(fd);
            // Pipes and devices are read the ordinary way.
            return ReadWholeFile(path, copy_) && (view_ = copy_, true);
        }
        size_ = static_cast<size_t>(st.st_size);
        if (size_ > 0) {
            void* p = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
            if (p == MAP_FAILED) {
                close(fd);
                return Fail(path + ": " + std::strerror(errno)), false;
            }
            data_ = p;
            view_ = std::string_view(static_cast<const char*>(p), size_);
        }
        close(fd);
        return true;
    }
    std::string_view View() const { return view_; }

private:
    void* data_ = nullptr;
    size_t size_ = 0;
    std::string copy_;
    std::string_view view_;
};

int Usage(const char* name) {
    return Fail(std::string("usage: kavelo ") + name + " IN OUT");
}

int RunCompress(const std::vector<std::string>& args) {
    if (args.size() != 2) return Usage("compress");
    MappedInput input;
    if (!input.Open(args[0])) return 1;
    const std::string_view bytes = input.View();
    std::string stream;
    try {
        stream = CompressHuffman(bytes);
    } catch (const std::exception& e) {
        return Fail(args[0] + ": " + e.what());
    }
    if (bytes.size() == 1) return Fail(args[0] + ": a single byte has no compressed form");
    return WriteWholeFile(args[1], stream) ? 0 : 1;
}

int RunDecompress(const std::vector<std::string>& args) {
    if (args.size() != 2) return Usage("decompress");
    MappedInput input;
    if (!input.Open(args[0])) return 1;
    std::string bytes;
    try {
        bytes = DecompressHuffman(input.View());
    } catch (const HuffmanError& e) {
        return Fail(args[0] + ": damaged stream: error " + std::to_string(e.Number()) + " (" +
                    e.Source() + "): " + e.what());
    } catch (const std::out_of_range& e) {
        // Cut short, or tables larger than the format allows.
        return Fail(args[0] + ": damaged stream: " + e.what());
    }
    return WriteWholeFile(args[1], bytes) ? 0 : 1;
}

const CommandRegistrar compress({10, "compress", "IN OUT",
                                 "compress file IN into the raw Huffman stream OUT", RunCompress});
const CommandRegistrar decompress({11, "decompress", "IN OUT",
                                   "decompress the raw Huffman stream IN into OUT", RunDecompress});

} // namespace

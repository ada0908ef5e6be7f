// The installer's record files on fuzzed bytes: the first byte chooses the
// journal (even) or the manifest (odd), the rest is the file. A file that
// does not read must end in DamagedInput; one that reads must write back to
// text that reads to the same records (anything else aborts).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/Errors.h"
#include "install/Journal.h"
#include "install/Manifest.h"

namespace {

std::string JournalText(const std::vector<JournalRecord>& records) {
    std::string text = "kavelo-journal\t1\n";
    for (const JournalRecord& r : records)
        text += JournalLine(r);
    return text;
}

void JournalRoundTrip(const std::string& text) {
    const std::string again = JournalText(ReadJournal(text, "journal"));
    if (JournalText(ReadJournal(again, "journal")) != again) std::abort();
}

void ManifestRoundTrip(const std::string& text) {
    const std::string again = ManifestText(ReadManifest(text, "manifest"));
    if (ManifestText(ReadManifest(again, "manifest")) != again) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    try {
        if (data[0] % 2 == 0)
            JournalRoundTrip(text);
        else
            ManifestRoundTrip(text);
    } catch (const DamagedInput&) {
    }
    return 0;
}

#include "install/Manifest.h"

#include <charconv>
#include <cstdio>
#include <chrono>

#include "common/Errors.h"

namespace {

constexpr std::string_view kHeader = "kavelo-manifest";

bool ReadNumber(const std::string& text, uint64_t& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

std::optional<Place> ReadPlace(const RootTable& roots, const std::string& root,
                               const std::string& relative) {
    uint64_t n = 0;
    if (!ReadNumber(root, n) || !roots.Has(static_cast<int>(n)) || n > 1000) return std::nullopt;
    return Place{static_cast<int>(n), relative};
}

// One line of the manifest into manifest; false when it does not read.
bool ReadManifestLine(const std::vector<std::string>& f, Manifest& manifest) {
    const std::string& kind = f[0];
    if (kind == "caption" && f.size() == 2) {
        manifest.Caption = f[1];
    } else if (kind == "installed" && f.size() == 2) {
        manifest.Installed = f[1];
    } else if (kind == "root" && f.size() == 3) {
        uint64_t n = 0;
        if (!ReadNumber(f[1], n) || n != manifest.Roots.Folders().size() || f[2].empty() ||
            f[2][0] != '/')
            return false;
        manifest.Roots.Add(f[2]);
    } else if (kind == "folder" && f.size() == 3) {
        const auto where = ReadPlace(manifest.Roots, f[1], f[2]);
        if (!where) return false;
        manifest.Folders.push_back(*where);
    } else if ((kind == "file" && f.size() == 6) || (kind == "launcher" && f.size() == 5)) {
        ManifestFile file;
        const auto where = ReadPlace(manifest.Roots, f[1], f[2]);
        if (!where || where->Relative.empty() || !ReadNumber(f[3], file.Size) || f[4].size() != 64)
            return false;
        file.Where = *where;
        file.Sha256 = f[4];
        file.Launcher = kind == "launcher";
        if (!file.Launcher) file.Version = f[5];
        manifest.Files.push_back(std::move(file));
    }
    return true;
}

// The number a version part begins with (without leading zeros) and the rest.
std::pair<std::string, std::string> SplitPart(const std::string& part) {
    size_t digits = 0;
    while (digits < part.size() && part[digits] >= '0' && part[digits] <= '9')
        ++digits;
    std::string number = part.substr(0, digits);
    number.erase(0, number.find_first_not_of('0') == std::string::npos
                        ? number.size()
                        : number.find_first_not_of('0'));
    return {number, part.substr(digits)};
}

std::vector<std::string> VersionParts(const std::string& version) {
    std::vector<std::string> parts;
    const size_t first = version.find_first_not_of(' ');
    if (first == std::string::npos) return parts;
    const std::string trimmed = version.substr(first, version.find_last_not_of(' ') - first + 1);
    size_t from = 0;
    for (;;) {
        const size_t dot = trimmed.find('.', from);
        parts.push_back(trimmed.substr(from, dot - from));
        if (dot == std::string::npos) break;
        from = dot + 1;
    }
    return parts;
}

} // namespace

const ManifestFile* Manifest::Find(const Place& where) const {
    for (const ManifestFile& f : Files)
        if (f.Where == where) return &f;
    return nullptr;
}

std::string ManifestText(const Manifest& manifest) {
    std::string text = RecordLine({std::string(kHeader), "1"});
    text += RecordLine({"caption", manifest.Caption});
    text += RecordLine({"installed", manifest.Installed});
    const auto& roots = manifest.Roots.Folders();
    for (size_t i = 0; i < roots.size(); ++i)
        text += RecordLine({"root", std::to_string(i), roots[i]});
    for (const Place& folder : manifest.Folders)
        text += RecordLine({"folder", std::to_string(folder.Root), folder.Relative});
    for (const ManifestFile& f : manifest.Files) {
        std::vector<std::string> fields = {f.Launcher ? "launcher" : "file",
                                           std::to_string(f.Where.Root), f.Where.Relative,
                                           std::to_string(f.Size), f.Sha256};
        if (!f.Launcher) fields.push_back(f.Version);
        text += RecordLine(fields);
    }
    return text;
}

Manifest ReadManifest(std::string_view text, const std::string& path) {
    Manifest manifest;
    size_t from = 0;
    int lineNumber = 0;
    while (from < text.size()) {
        size_t end = text.find('\n', from);
        if (end == std::string_view::npos) end = text.size();
        const std::string line(text.substr(from, end - from));
        from = end + 1;
        ++lineNumber;
        const auto fields = ReadRecordLine(line);
        if (lineNumber == 1) {
            if (!fields || fields->size() != 2 || (*fields)[0] != kHeader)
                throw DamagedInput("not a manifest of an installation", path);
            continue;
        }
        if (!fields || !ReadManifestLine(*fields, manifest))
            throw DamagedInput("line " + std::to_string(lineNumber) + " does not read", path);
    }
    if (lineNumber == 0) throw DamagedInput("the manifest is empty", path);
    return manifest;
}

int CompareVersions(const std::string& a, const std::string& b) {
    const std::vector<std::string> pa = VersionParts(a);
    const std::vector<std::string> pb = VersionParts(b);
    for (size_t i = 0; i < std::max(pa.size(), pb.size()); ++i) {
        const auto [na, ra] = SplitPart(i < pa.size() ? pa[i] : std::string());
        const auto [nb, rb] = SplitPart(i < pb.size() ? pb[i] : std::string());
        if (na.size() != nb.size()) return na.size() < nb.size() ? -1 : 1;
        if (const int c = na.compare(nb)) return c < 0 ? -1 : 1;
        if (const int c = ra.compare(rb)) return c < 0 ? -1 : 1;
    }
    return 0;
}

std::string UtcNow() {
    // Worked out from the clock by calendar arithmetic: gmtime and strftime
    // read the time zone, which in the static runtime brings the zone file
    // parser and scanf along (about 80 KB).
    using namespace std::chrono;
    const auto now = floor<seconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss time{now - day};
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text;
}

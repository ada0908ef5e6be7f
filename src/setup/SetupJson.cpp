// The JSON forms of the setup reports (kavelo only; the setup runtime
// prints the text forms).
#include "setup/SetupReport.h"

#include "setup/JsonText.h"

std::string InfoJson(const SetupSummary& s) {
    std::string out = "{";
    for (size_t i = 0; i < s.Lines.size(); ++i)
        out += JsonString(kSetupLineKeys[i]) + ": " + JsonString(s.Lines[i]) + ", ";
    out += "\"picture\": " + std::to_string(s.PictureSize);
    out += ", \"script\": " + std::to_string(s.ScriptSize);
    out += ", \"strings\": " + std::to_string(s.StringsSize);
    out += ", \"files\": " + std::to_string(s.FileCount);
    out += ", \"runtime\": " + std::to_string(s.RuntimeSize);
    out += ", \"compression\": " + JsonString(std::string(CodecName(s.Codec)));
    return out + "}\n";
}

std::string ListJson(const std::vector<DirectoryEntry>& entries, int64_t P) {
    std::string out = "{\"package\": " + std::to_string(P) + ", \"entries\": [";
    for (size_t k = 0; k < entries.size(); ++k) {
        const DirectoryEntry& e = entries[k];
        out += k ? ", " : "";
        out += "{\"index\": " + std::to_string(k) + ", \"name\": " + JsonString(e.Name);
        out += ", \"flags\": " + std::to_string(e.Flags);
        out += ", \"stored\": " + std::to_string(e.StoredSize);
        out += ", \"size\": " + std::to_string(e.Size);
        out += ", \"offset\": " + std::to_string(e.Offset);
        out += ", \"compressed\": " + std::string(e.Compressed() ? "true" : "false");
        out += ", \"form\": " + JsonString(std::string(StoredForm(e.Flags))) + "}";
    }
    return out + "]}\n";
}

#include "project/NewProject.h"

#include "common/Errors.h"
#include "common/TextLines.h"
#include "package/PackageReader.h"
#include "res/BuiltInFiles.h"

namespace {

// The template's picture, read once: every new project and every opening
// starts from it.
struct TemplatePicture {
    std::optional<EntryRecord> Packed;
    std::string Bytes;
};

const TemplatePicture& Picture() {
    static const TemplatePicture picture = [] {
        TemplatePicture p;
        const std::string entry = LoadResFile("picture.bmp", "FILE");
        if (entry.empty()) return p;
        try {
            EntryRecord record = DecodeEntryRecord(entry);
            p.Bytes = ExtractEntry(record);
            p.Packed = std::move(record);
        } catch (const DamagedInput&) {
            // A template that cannot be read gives the empty value.
            p = {};
        }
        return p;
    }();
    return picture;
}

} // namespace

void NewProject(SetupProject& project, bool withSample) {
    project.Files.clear();
    project.Codec = EntryCodec::Huffman;
    project.PicturePacked = Picture().Packed;
    project.Picture = Picture().Bytes;
    project.ScriptText = LoadResFile("script.txt", "FILE");
    project.StringsText = LoadResFile("strings.txt", "FILE");
    SplitLines(project.SetupLines, LoadResFile("setup.txt", "FILE"), "\r\n");
    if (withSample)
        project.AddFile({"myapp.exe", DecodeEntryRecord(LoadResFile("MYAPP.EXE", "FILE"))});
}

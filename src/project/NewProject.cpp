// A new project from the built-in template.
#include <cstdint>

#include "project/Project.h"
#include "package/PackageReader.h"
#include "res/StringTable.h"

void NewProject(bool withSample) {
    gProject.FileCount = 0;
    for (std::string& slot : gProject.Files)
        slot.clear();
    gProject.Packed.fill(false);

    gProject.PicturePacked = LoadResFile("picture.bmp", "FILE");
    gProject.Picture.clear();
    if (!gProject.PicturePacked.empty()) {
        try {
            int64_t size = 0;
            gProject.Picture = ExtractEntry(gProject.PicturePacked, size);
        } catch (const std::exception&) {
            // A template that cannot be read gives the empty value.
            gProject.PicturePacked.clear();
        }
    }
    gProject.ScriptText = LoadResFile("script.txt", "FILE");
    gProject.StringsText = LoadResFile("strings.txt", "FILE");
    SplitLines(gProject.SetupLines, LoadResFile("setup.txt", "FILE"), "\r\n");

    if (withSample) AddFile("myapp.exe", LoadResFile("MYAPP.EXE", "FILE"), true);
}

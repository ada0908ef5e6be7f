// The file dialogs through their answering function: open versus save,
// overwrite prompt, name filters and the default suffix from the first
// pattern, the chosen path as UTF-8 bytes and the empty string on cancel.
#include "ui/FileDialogs.h"

#include "ui/Dialogs.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using namespace std::string_literals;

// Answers every dialog with answer and keeps the last request.
class DialogSeam : public Dialogs {
  public:
    explicit DialogSeam(QString answer) : answer_(std::move(answer)) {}
    QString FileDialog(const FileDialogRequest& request) override {
        last = request;
        return answer_;
    }

    std::optional<FileDialogRequest> last;

  private:
    QString answer_;
};

const std::string kSetupFilter = "Kavelo setup files (*.exe)\0*.exe"s;

TEST(FileDialogs, FlagsChooseOpenOrSave) {
    struct Case {
        uint32_t flags;
        bool open;
        bool confirmOverwrite;
    };
    const Case cases[] = {
        {0x81004, true, false}, {0x80006, false, true}, {0x80004, false, false},
        {0, false, false},      {0x81006, false, true}, // anything but the open value saves
    };
    for (const Case& c : cases) {
        DialogSeam seam(QStringLiteral("/tmp/x.exe"));
        ShowFileDialog(seam, nullptr, kSetupFilter, c.flags, "Load setup...");
        ASSERT_TRUE(seam.last) << c.flags;
        EXPECT_EQ(seam.last->open, c.open) << c.flags;
        EXPECT_EQ(seam.last->confirmOverwrite, c.confirmOverwrite) << c.flags;
        EXPECT_EQ(seam.last->title, QStringLiteral("Load setup...")) << c.flags;
    }
}

TEST(FileDialogs, FiltersAndDefaultSuffixFromThePairs) {
    struct Case {
        std::string filter;
        QStringList nameFilters;
        QString suffix;
    };
    const Case cases[] = {
        {kSetupFilter, {"Kavelo setup files (*.exe)"}, "exe"},
        {kSetupFilter + '\0', {"Kavelo setup files (*.exe)"}, "exe"},
        {"128x320 pixel picture (*.bmp)\0*.bmp\0"s, {"128x320 pixel picture (*.bmp)"}, "bmp"},
        {"Pictures\0*.bmp;*.dib\0All files\0*.*\0"s,
         {"Pictures (*.bmp *.dib)", "All files (*.*)"},
         "bmp"},
        {"Kavelo setup files (*.exe)"s, {}, ""}, // no NUL: no pattern, no suffix
        {"Anything\0\0"s, {}, ""},               // empty first pattern
        {"All files\0*.*\0"s, {"All files (*.*)"}, ""},
        {"\0*.txt\0"s, {"*.txt (*.txt)"}, "txt"},
        {"Readme\0readme.txt\0"s, {"Readme (readme.txt)"}, ""},
        {""s, {}, ""},
    };
    for (const Case& c : cases) {
        DialogSeam seam(QString{});
        ShowFileDialog(seam, nullptr, c.filter, kFileDialogSave, "t");
        ASSERT_TRUE(seam.last);
        EXPECT_EQ(seam.last->nameFilters, c.nameFilters) << c.filter;
        EXPECT_EQ(seam.last->defaultSuffix, c.suffix) << c.filter;
    }
}

TEST(FileDialogs, ResultIsThePathOrEmptyOnCancel) {
    {
        DialogSeam seam(QString{});
        EXPECT_EQ(ShowFileDialog(seam, nullptr, kSetupFilter, kFileDialogOpen, "t"), "");
    }
    {
        DialogSeam seam(QStringLiteral(u"/home/jürgen/My Setups/demo.exe"));
        EXPECT_EQ(ShowFileDialog(seam, nullptr, kSetupFilter, kFileDialogOpen, "t", "/home"),
                  "/home/j\xC3\xBCrgen/My Setups/demo.exe");
        EXPECT_EQ(seam.last->initialDir, QStringLiteral("/home"));
    }
}

} // namespace

// The command table. An editor window joins it by naming its factory,
// MakeEditorWindow<frmGen> and so on, in place of nullptr (and including its
// header); nothing else in the main window changes.
#include "app/MakerCommands.h"

namespace {

const std::array<MakerCommand, kMakerCommandCount> kCommands{{
    {231, 280, 200, &RunState::GenOpen, nullptr},      // frmGen
    {232, 281, 201, &RunState::ScreenOpen, nullptr},   // frmScreen
    {233, 282, 202, &RunState::FileListOpen, nullptr}, // frmFile
    {234, 283, 203, &RunState::EditorOpen, nullptr},   // frmEditor
    {235, 284, 204, &RunState::TestOpen, nullptr},     // frmTest
    {236, 285, 205, nullptr, nullptr},                 // create and test the setup
}};

} // namespace

const std::array<MakerCommand, kMakerCommandCount>& MakerCommands() {
    return kCommands;
}

// The command table: the five editor windows by their factories, and
// "Create & test setup", which the main window runs itself.
#include "app/MakerCommands.h"

#include "ui/frmEditor.h"
#include "ui/frmFile.h"
#include "ui/frmGen.h"
#include "ui/frmScreen.h"
#include "ui/frmTest.h"

namespace {

const std::array<MakerCommand, kMakerCommandCount> kCommands{{
    {231, 280, 200, &RunState::GenOpen, MakeEditorWindow<frmGen>},
    {232, 281, 201, &RunState::ScreenOpen, MakeEditorWindow<frmScreen>},
    {233, 282, 202, &RunState::FileListOpen, MakeEditorWindow<frmFile>},
    {234, 283, 203, &RunState::EditorOpen, MakeEditorWindow<frmEditor>},
    {235, 284, 204, &RunState::TestOpen, MakeEditorWindow<frmTest>},
    {236, 285, 205, nullptr, nullptr}, // create and test the setup
}};

} // namespace

const std::array<MakerCommand, kMakerCommandCount>& MakerCommands() {
    return kCommands;
}

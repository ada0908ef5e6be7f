// Typing in the script editor with the test window open: one keystroke, the
// text stored in the project, the component panel rebuilt (and, with the
// argument 1, everything repainted). The peer is the core's share of the same
// work: splitting the numbered texts and loading the panel model.
#include <benchmark/benchmark.h>

#include "BenchScripts.h"
#include "common/TextLines.h"
#include "project/Session.h"
#include "script/ComponentPanel.h"
#include "ui/ProjectEvents.h"
#include "ui/frmEditor.h"
#include "ui/frmTest.h"
#include "ui/qkScriptSetupA.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QTextBlock>

#include <array>
#include <memory>
#include <string>

namespace {

std::string LargeStrings() {
    std::string strings;
    for (int n = 1; n <= kMaxStrings; ++n)
        strings += "Component text number " + std::to_string(n) + "\r\n";
    return strings;
}

// The main window's area with the test window and the editor open on a
// project, the cursor at the start or the end of one line of one of the
// editor's boxes.
struct Session {
    Session(bool large, int box, int line, bool atStart) : events(module) {
        module.NewProject(true);
        if (large) {
            module.Project.ScriptText = bench_scripts::LargeComponentScript();
            module.Project.StringsText = LargeStrings();
        }
        area.resize(1200, 800);
        area.show();
        test = new frmTest(events);
        area.addSubWindow(test);
        test->show();
        editor = new frmEditor(events);
        area.addSubWindow(editor);
        editor->show();
        QApplication::processEvents();
        typedInto = editor->eText[static_cast<size_t>(box)];
        QTextCursor cursor(typedInto->document()->findBlockByNumber(line));
        if (!atStart) cursor.movePosition(QTextCursor::EndOfBlock);
        typedInto->setTextCursor(cursor);
        typedInto->setFocus();
        QObject::connect(&events, &ProjectEvents::ScriptChanged, [this] { ++changes; });
    }
    ~Session() { delete editor, delete test; }

    // One key: a letter, then Backspace, so the text keeps its size.
    void Keystroke() {
        const bool letter = (keys++ % 2) == 0;
        const int key = letter ? Qt::Key_X : Qt::Key_Backspace;
        const QString text = letter ? QStringLiteral("x") : QString();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(typedInto, &press);
        QApplication::sendEvent(typedInto, &release);
    }

    StderrHost host;
    Module1 module{host};
    ProjectEvents events;
    QMdiArea area;
    frmTest* test = nullptr;
    frmEditor* editor = nullptr;
    QPlainTextEdit* typedInto = nullptr;
    long keys = 0;
    long changes = 0;
};

// Arguments: 0 the template, 1 the 2,000-line script; the box typed into
// (0 script, 1 numbered texts), its line, 1 to type at the start of the line
// (else at its end); with paint 1 the keystroke ends when the windows have
// repainted.
void BM_Keystroke(benchmark::State& state) {
    const bool large = state.range(0) == 1;
    Session session(large, static_cast<int>(state.range(1)), static_cast<int>(state.range(2)),
                    state.range(3) == 1);
    const bool paint = state.range(4) == 1;
    for (auto _ : state) {
        session.Keystroke();
        if (paint) QApplication::processEvents();
    }
    if (session.keys % 2 == 1) session.Keystroke(); // the text as it was
    if (session.changes != session.keys)
        state.SkipWithError("a keystroke did not change the project's text");
    const ScriptPanelModel& model = session.test->qkScriptSetupA1->Model();
    if (model.ElementCount() != (large ? 64 : 1))
        state.SkipWithError("the panel was not built from the typed text");
}
// The template: typing in a caption (text 2). The large script: typing in a
// caption (text 1); in a comment line in the middle of the script; before
// the first entry's keyword, which turns it into an unknown line and back, so
// that every key destroys or creates a control and moves the IDs and texts
// of all entries after it.
BENCHMARK(BM_Keystroke)
    ->ArgNames({"large", "box", "line", "start", "paint"})
    ->Args({0, 1, 1, 0, 0})
    ->Args({0, 1, 1, 0, 1})
    ->Args({1, 1, 0, 0, 0})
    ->Args({1, 1, 0, 0, 1})
    ->Args({1, 0, 1000, 0, 0})
    ->Args({1, 0, 1000, 0, 1})
    ->Args({1, 0, 2, 1, 0})
    ->Args({1, 0, 2, 1, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The core's share of a keystroke: the numbered texts split into their slots
// and the panel model loaded, without widgets.
void BM_ModelOnly(benchmark::State& state) {
    Module1 module;
    module.NewProject(true);
    const std::string script =
        state.range(0) == 1 ? bench_scripts::LargeComponentScript() : module.Project.ScriptText;
    const std::string strings = state.range(0) == 1 ? LargeStrings() : module.Project.StringsText;
    std::array<std::string, kMaxStrings> texts;
    ScriptPanelModel model;
    for (auto _ : state) {
        SplitLines(texts, strings, "\r\n");
        benchmark::DoNotOptimize(model.LoadScript(script, texts, kMaxStrings));
    }
}
BENCHMARK(BM_ModelOnly)
    ->ArgName("large")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// The script languages at the sizes the editor meets: the panel is rebuilt on
// every keystroke, the simulation runs on each Install, guards on every guard
// line of it.
#include <benchmark/benchmark.h>

#include <array>
#include <string>

#include "common/TextLines.h"
#include "script/InstallSimulator.h"
#include "script/ComponentPanel.h"
#include "script/GuardEvaluator.h"

#include "BenchScripts.h"

namespace {

// 1,000 lines: a guard before every three commands.
std::string LargeInstallScript() {
    std::string s = "[Install]\r\n";
    for (int i = 0; i < 250; ++i) {
        const std::string n = std::to_string(i % 64 + 1);
        s += "{val(" + n + ")=1 and not val(" + std::to_string((i * 5) % 64 + 1) +
             ")=0 or val(3)>2}\r\n";
        s += "Copy myapp.exe,1,Sub" + n + ",MyApp" + n + ".exe,ADQS 4,,1.0\r\n";
        s += "Del ,1,..\\Old,old" + n + ".log          // old log\r\n";
        s += "Link myapp.exe,99,D:\\Apps,,S 4,,,-x\r\n";
    }
    return s;
}

void BM_LoadScript(benchmark::State& state) {
    const std::string script = bench_scripts::LargeComponentScript();
    std::array<std::string, kMaxStrings> strings;
    for (int i = 0; i < kMaxStrings; ++i)
        strings[static_cast<size_t>(i)] = "Component text number " + std::to_string(i + 1);
    ScriptPanelModel panel;
    for (auto _ : state) {
        const bool loaded = panel.LoadScript(script, strings, kMaxStrings);
        benchmark::DoNotOptimize(loaded);
    }
    if (panel.ElementCount() != 64) state.SkipWithError("expected 64 elements");
}
BENCHMARK(BM_LoadScript)->Unit(benchmark::kMicrosecond);

void BM_SimulateInstall(benchmark::State& state) {
    const std::string script = LargeInstallScript();
    const InstallSource source{
        script, "Components to install:\r\nMy Application\r\n\r\nStart My Application\r\n",
        [](const std::string& name) { return name == "myapp.exe"; }};
    std::string selection(64, '\0');
    for (size_t i = 0; i < selection.size(); i += 2)
        selection[i] = '\x01';
    for (auto _ : state)
        benchmark::DoNotOptimize(SimulateInstall(source, selection).size());
}
BENCHMARK(BM_SimulateInstall)->Unit(benchmark::kMicrosecond);

void BM_EvaluateCondition200(benchmark::State& state) {
    const std::string piece = " or (12>=3 and (2<>2 xor 1) eqv not (007=7))";
    std::string guard = "(1=1 and not 0)";
    while (guard.size() + piece.size() <= 200)
        guard += piece;
    guard.resize(200, ' ');
    for (auto _ : state)
        benchmark::DoNotOptimize(EvaluateCondition(guard));
}
BENCHMARK(BM_EvaluateCondition200)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

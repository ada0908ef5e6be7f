// kavelomaker, the editor: --version and --help without a display, then the
// application with the startup dialog or the setup named on the command line.
#include <QApplication>

#include <cstdio>
#include <exception>

#include "app/CommandLine.h"
#include "app/GuiYield.h"
#include "app/MakerApp.h"
#include "app/StartupProbe.h"
#include "res/ProgramVersion.h"

namespace {

std::vector<std::string> ArgumentsOf(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    return arguments;
}

// Printing needs no display, so it comes before the application is made.
bool PrintsAndExits(const CommandLine& line) {
    if (line.What == CommandLine::Action::Version) {
        std::printf("%s\n", VersionLine().c_str());
        return true;
    }
    if (line.What == CommandLine::Action::Help) {
        std::fputs(UsageText().c_str(), stdout);
        return true;
    }
    return false;
}

int Run(int argc, char** argv) {
    if (PrintsAndExits(ParseCommandLine(ArgumentsOf(argc, argv)))) return 0;
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("kavelomaker"));
    // Qt has taken its own options out of argv; the path stays byte for byte.
    const CommandLine line = ParseCommandLine(ArgumentsOf(argc, argv));
    if (line.What == CommandLine::Action::Error) {
        std::fprintf(stderr, "kavelomaker: %s\n%s", line.Error.c_str(), UsageText().c_str());
        return 2;
    }
    InstallGuiYield();
    InstallStartupProbe();
    MakerApp maker;
    maker.Start(line.Path);
    return app.exec();
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kavelomaker: %s\n", e.what());
        return 1;
    }
}

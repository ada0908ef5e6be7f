#include "app/MakerMain.h"

#include <QApplication>

#include <cstdio>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/MakerApp.h"
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

} // namespace

int RunKaveloMaker(int argc, char** argv, const std::function<void()>& beforeStart) {
    if (PrintsAndExits(ParseCommandLine(ArgumentsOf(argc, argv)))) return 0;
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("kavelomaker"));
    // Qt has taken its own options out of argv; the path stays byte for byte.
    const CommandLine line = ParseCommandLine(ArgumentsOf(argc, argv));
    if (line.What == CommandLine::Action::Error) {
        std::fprintf(stderr, "kavelomaker: %s\n%s", line.Error.c_str(), UsageText().c_str());
        return 2;
    }
    if (beforeStart) beforeStart();
    MakerApp maker;
    maker.Start(line.Path);
    return app.exec();
}

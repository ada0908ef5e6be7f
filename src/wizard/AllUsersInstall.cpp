#include "wizard/AllUsersInstall.h"

#include <QEventLoop>
#include <QProcess>
#include <QStringList>

#include <algorithm>

AllUsersInstall::AllUsersInstall(QString elevator, QString setup)
    : elevator_(std::move(elevator)), setup_(std::move(setup)) {}

QStringList AllUsersInstall::Arguments(const QString& folder, const std::string& selection) const {
    // Every element's value, so that the root installation gets exactly the
    // wizard's selection.
    QStringList select;
    for (size_t i = 0; i < selection.size(); ++i)
        select << QStringLiteral("%1=%2").arg(i + 1).arg(static_cast<unsigned char>(selection[i]));
    return {setup_,           QStringLiteral("--unattended"),     QStringLiteral("--dir"),
            folder,           QStringLiteral("--accept-license"), QStringLiteral("--select"),
            select.join(u',')};
}

AllUsersOutcome
AllUsersInstall::Run(const QString& folder, const std::string& selection, size_t steps,
                     const std::function<void(double, const QString&)>& progress) const {
    QProcess process;
    process.setProgram(elevator_);
    process.setArguments(Arguments(folder, selection));
    size_t seen = 0;
    QString errors;
    QObject::connect(&process, &QProcess::readyReadStandardOutput, [&] {
        while (process.canReadLine()) {
            const QString line = QString::fromUtf8(process.readLine()).trimmed();
            // The unattended mode prints each step it carries out indented.
            if (line.isEmpty()) continue;
            seen += 1;
            progress(steps ? std::min(1.0, static_cast<double>(seen) / steps) : 1.0, line);
        }
    });
    QObject::connect(&process, &QProcess::readyReadStandardError,
                     [&] { errors += QString::fromUtf8(process.readAllStandardError()); });
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) loop.quit();
    });
    process.start();
    if (process.state() != QProcess::NotRunning || process.error() != QProcess::FailedToStart)
        loop.exec();
    AllUsersOutcome outcome;
    if (process.exitStatus() != QProcess::NormalExit ||
        process.error() == QProcess::FailedToStart) {
        outcome.Text = QObject::tr("%1 could not be started. Nothing was changed.").arg(elevator_);
        return outcome;
    }
    outcome.Status = process.exitCode();
    // pkexec: 126 when the password was not given, 127 when not authorised.
    if (outcome.Status == 126 || outcome.Status == 127) {
        outcome.Text = QObject::tr("Installing for all users was not authorised. Nothing was "
                                   "changed.");
        outcome.Status = 4;
    } else if (outcome.Status != 0) {
        outcome.Text = QObject::tr("The installation for all users failed:\n%1")
                           .arg(errors.trimmed().right(600));
    }
    return outcome;
}

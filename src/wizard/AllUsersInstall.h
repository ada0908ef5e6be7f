// Installing for all users from the graphical wizard: the setup runs itself
// unattended as root through pkexec, with the folder and the components the
// wizard chose, and its output moves the wizard's progress bar.
#pragma once

#include <QString>

#include <functional>
#include <string>

struct AllUsersOutcome {
    int Status = 1; // the setup's exit status (1 when it could not be started)
    QString Text;   // what went wrong, for the finish page; empty on success
};

class AllUsersInstall {
  public:
    // elevator: pkexec's path; setup: the setup file.
    AllUsersInstall(QString elevator, QString setup);

    // The pkexec command line for an installation into folder with the
    // 64-character selection.
    QStringList Arguments(const QString& folder, const std::string& selection) const;

    // Runs it and waits, keeping the window painted; progress gets the part
    // done (steps seen of steps) and the step's line.
    AllUsersOutcome Run(const QString& folder, const std::string& selection, size_t steps,
                        const std::function<void(double, const QString&)>& progress) const;

  private:
    QString elevator_;
    QString setup_;
};

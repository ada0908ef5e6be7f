// What the editor tests share: a temporary folder that holds the program's
// stand-in path and its runtime data file, message boxes and file dialogs
// answered without blocking, and a clean settings store per test.
#pragma once

#include <gtest/gtest.h>

#include <QSettings>
#include <QString>
#include <QTemporaryDir>

#include <string>
#include <vector>

#include "AnsweringDialogs.h"
#include "TestHost.h"
#include "app/MakerHost.h"
#include "project/SaveSetup.h"
#include "project/Session.h"
#include "ui/ProjectEvents.h"

class AppTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(settings_.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_.path());
    }

    // The windows and the host of events ask the answering dialogs.
    void Answer(ProjectEvents& events) { events.SetDialogs(answers); }

    // The runtime every save copies: the data file beside the program.
    void UseRuntime(const std::string& bytes) { WriteFile(dir / "kavelomaker.dat", bytes); }
    // Saves of module find their runtime beside a program in dir, as the
    // editor finds its data file beside itself.
    void Prepare(Module1& module) { module.Saving.ProgramPath = dir / "kavelomaker"; }
    // No data file and no built-in copy: saving in module shows string 34.
    void RemoveRuntime(Module1& module) {
        std::remove((dir / "kavelomaker.dat").c_str());
        module.Saving.BuiltInRuntime = std::string();
    }
    // A stand-in setup runtime: a shell script that writes its arguments,
    // one per line, into record, sleeps, and ends before the package bytes.
    void UseRecordingRuntime(const std::string& record, const char* sleepSeconds = "0") {
        UseRuntime("#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > '" + record + "'\nsleep " +
                   sleepSeconds + "\nexit 0\n");
    }

    TempDir dir;
    AnsweringDialogs answers;
    std::vector<std::string>& messages = answers.messages;
    std::vector<FileDialogRequest>& dialogs = answers.fileRequests;
    QString& dialogAnswer = answers.fileAnswer; // what every file dialog returns; empty cancels

  private:
    QTemporaryDir settings_;
};

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

#include "TestHost.h"
#include "app/MakerHost.h"
#include "project/SaveSetup.h"
#include "project/Session.h"
#include "ui/FileDialogs.h"

class AppTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(settings_.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_.path());
        previousMessages_ = SetMessageBoxAnswer(
            [this](QWidget*, const QString& text) { messages.push_back(text.toStdString()); });
        previousDialog_ = SetFileDialogAnswer([this](const FileDialogRequest& request) {
            dialogs.push_back(request);
            return dialogAnswer;
        });
    }
    void TearDown() override {
        SetMessageBoxAnswer(previousMessages_);
        SetFileDialogAnswer(previousDialog_);
    }

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
    std::vector<std::string> messages;
    std::vector<FileDialogRequest> dialogs;
    QString dialogAnswer; // what every file dialog returns; empty cancels

  private:
    QTemporaryDir settings_;
    MessageBoxAnswer previousMessages_;
    FileDialogAnswer previousDialog_;
};

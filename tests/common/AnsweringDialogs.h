// Dialogs that answer at once, for the editor's tests: every request is kept,
// file dialogs and input boxes give the answer set beforehand (empty
// cancels), messages are kept as text and questions get questionAnswer.
#pragma once

#include <QString>

#include <string>
#include <vector>

#include "ui/Dialogs.h"

class AnsweringDialogs : public Dialogs {
  public:
    QString FileDialog(const FileDialogRequest& request) override {
        fileRequests.push_back(request);
        return fileAnswer;
    }
    QString Input(const InputBoxRequest& request) override {
        inputRequests.push_back(request);
        return inputAnswer;
    }
    void Message(QWidget*, const QString& text) override { messages.push_back(text.toStdString()); }
    bool Question(QWidget*, const QString& text) override {
        questions.push_back(text.toStdString());
        return questionAnswer;
    }

    QString fileAnswer;  // several paths one per line
    QString inputAnswer; // the input box's text
    bool questionAnswer = false;
    std::vector<FileDialogRequest> fileRequests;
    std::vector<InputBoxRequest> inputRequests;
    std::vector<std::string> messages;
    std::vector<std::string> questions;
};

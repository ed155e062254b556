#pragma once
#include "platform/Dialogs.h"
#include "platform/Shell.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

// Answers the programs' modal questions from a script and records every question, so that no
// test ever blocks on a window. A question with no scripted answer is recorded as unexpected
// and answered with Cancel (or OK for a box that has only OK).
class ScriptedDialogs : public IDialogs {
public:
    struct Call {
        QString Kind; // "MessageBox", "ShowMessage", "OpenFile", "SaveFile", "SelectFolder", "InputQuery", "PrintSetup"
        QString Text;
        QString Caption;
        unsigned Flags = 0;
        TFileDialogRequest Request;
    };
    // One scripted answer: for message boxes the button, for the others whether the user
    // confirmed and the value chosen (a file name, a folder, a typed text).
    struct Answer {
        QString Kind;
        int Button = IDOK;
        bool Confirm = false;
        QString Value;
        std::function<void()> Action; // runs while the question is open (e.g. to press a key)
    };

    ScriptedDialogs();
    ~ScriptedDialogs() override;

    void AnswerMessage(int button, std::function<void()> action = {});
    void AnswerOpen(const QString& fileName);   // empty = cancel
    void AnswerSave(const QString& fileName);   // empty = cancel
    void AnswerFolder(const QString& folder);   // empty = cancel
    void AnswerInput(const QString& value, bool confirm = true);
    void AnswerPrint(bool confirm, const QString& pdfFile = {}); // a file: print to it as PDF

    std::vector<Call> Calls;
    QStringList Unexpected;
    std::deque<Answer> Script;

    int MessageBox(const QString& text, const QString& caption, unsigned flags) override;
    void ShowMessage(const QString& text) override;
    bool OpenFile(TFileDialogRequest& request) override;
    bool SaveFile(TFileDialogRequest& request) override;
    bool SelectFolder(const QString& caption, QString& folder) override;
    bool InputQuery(const QString& caption, const QString& prompt, QString& value) override;
    bool PrintSetup(QPrinter& printer) override;

    // Texts of the message boxes and messages shown, in order.
    QStringList Messages() const;

private:
    bool next(const QString& kind, Answer& answer);
    IDialogs* previous_;
};

// Records help, URL and process calls instead of running them.
class RecordingShell : public IShell {
public:
    RecordingShell();
    ~RecordingShell() override;
    struct Call {
        QString What;
        QString Program;
        QStringList Arguments;
        int Command = 0;
        long Data = 0;
    };
    std::vector<Call> Calls;
    bool StartResult = true;
    std::function<void(const QString&, const QStringList&)> OnRun; // runs in place of the child

    void HtmlHelp(const QString& file, int command, long data) override;
    bool OpenUrl(const QString& url) override;
    bool RunAndWait(const QString& program, const QStringList& arguments) override;
    bool StartDetached(const QString& program, const QStringList& arguments) override;

private:
    IShell* previous_;
};

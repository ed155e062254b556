#include "ScriptedDialogs.h"

#include <QPrinter>

ScriptedDialogs::ScriptedDialogs() : previous_(SetDialogs(this)) {}
ScriptedDialogs::~ScriptedDialogs() { SetDialogs(previous_); }

void ScriptedDialogs::AnswerMessage(int button, std::function<void()> action)
{
    Script.push_back({"MessageBox", button, true, {}, std::move(action)});
}
void ScriptedDialogs::AnswerOpen(const QString& fileName) { Script.push_back({"OpenFile", IDOK, !fileName.isEmpty(), fileName, {}}); }
void ScriptedDialogs::AnswerSave(const QString& fileName) { Script.push_back({"SaveFile", IDOK, !fileName.isEmpty(), fileName, {}}); }
void ScriptedDialogs::AnswerFolder(const QString& folder) { Script.push_back({"SelectFolder", IDOK, !folder.isEmpty(), folder, {}}); }
void ScriptedDialogs::AnswerInput(const QString& value, bool confirm) { Script.push_back({"InputQuery", IDOK, confirm, value, {}}); }
void ScriptedDialogs::AnswerPrint(bool confirm, const QString& pdfFile) { Script.push_back({"PrintSetup", IDOK, confirm, pdfFile, {}}); }

bool ScriptedDialogs::next(const QString& kind, Answer& answer)
{
    if (Script.empty() || Script.front().Kind != kind) {
        Unexpected << kind + (Calls.empty() ? QString() : ": " + Calls.back().Text);
        return false;
    }
    answer = Script.front();
    Script.pop_front();
    if (answer.Action)
        answer.Action();
    return true;
}

int ScriptedDialogs::MessageBox(const QString& text, const QString& caption, unsigned flags)
{
    Calls.push_back({"MessageBox", text, caption, flags, {}});
    Answer a;
    if (!next("MessageBox", a))
        return (flags & 0x0F) == MB_OK ? IDOK : IDCANCEL;
    return a.Button;
}

void ScriptedDialogs::ShowMessage(const QString& text)
{
    // A plain message has only OK: it needs no script.
    Calls.push_back({"ShowMessage", text, {}, 0, {}});
}

bool ScriptedDialogs::OpenFile(TFileDialogRequest& request)
{
    Calls.push_back({"OpenFile", request.FileName, request.Title, 0, request});
    Answer a;
    if (!next("OpenFile", a) || !a.Confirm)
        return false;
    request.FileName = WithDefaultExt(a.Value, request.DefaultExt);
    return true;
}

bool ScriptedDialogs::SaveFile(TFileDialogRequest& request)
{
    Calls.push_back({"SaveFile", request.FileName, request.Title, 0, request});
    Answer a;
    if (!next("SaveFile", a) || !a.Confirm)
        return false;
    request.FileName = WithDefaultExt(a.Value, request.DefaultExt);
    return true;
}

bool ScriptedDialogs::SelectFolder(const QString& caption, QString& folder)
{
    Calls.push_back({"SelectFolder", folder, caption, 0, {}});
    Answer a;
    if (!next("SelectFolder", a) || !a.Confirm)
        return false;
    folder = a.Value;
    return true;
}

bool ScriptedDialogs::InputQuery(const QString& caption, const QString& prompt, QString& value)
{
    Calls.push_back({"InputQuery", prompt, caption, 0, {}});
    Answer a;
    if (!next("InputQuery", a) || !a.Confirm)
        return false;
    value = a.Value;
    return true;
}

bool ScriptedDialogs::PrintSetup(QPrinter& printer)
{
    Calls.push_back({"PrintSetup", {}, {}, 0, {}});
    Answer a;
    if (!next("PrintSetup", a) || !a.Confirm)
        return false;
    if (!a.Value.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(a.Value);
    }
    return true;
}

QStringList ScriptedDialogs::Messages() const
{
    QStringList out;
    for (const Call& c : Calls)
        if (c.Kind == "MessageBox" || c.Kind == "ShowMessage")
            out << c.Text;
    return out;
}

RecordingShell::RecordingShell() : previous_(SetShell(this)) {}
RecordingShell::~RecordingShell() { SetShell(previous_); }

void RecordingShell::HtmlHelp(const QString& file, int command, long data)
{
    Calls.push_back({"HtmlHelp", file, {}, command, data});
}
bool RecordingShell::OpenUrl(const QString& url)
{
    Calls.push_back({"OpenUrl", url, {}, 0, 0});
    return true;
}
bool RecordingShell::RunAndWait(const QString& program, const QStringList& arguments)
{
    Calls.push_back({"RunAndWait", program, arguments, 0, 0});
    if (StartResult && OnRun)
        OnRun(program, arguments);
    return StartResult;
}
bool RecordingShell::StartDetached(const QString& program, const QStringList& arguments)
{
    Calls.push_back({"StartDetached", program, arguments, 0, 0});
    return StartResult;
}

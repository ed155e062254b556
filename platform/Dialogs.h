#pragma once
class QInputDialog;
class QPrinter;
class QWidget;
#include <QString>
#include <QStringList>
#include <memory>

// Message-box flags and answers keep their Windows values, so code reads as the user sees it.
enum : unsigned {
    MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_YESNOCANCEL = 0x3, MB_YESNO = 0x4,
    MB_ICONERROR = 0x10, MB_ICONQUESTION = 0x20, MB_ICONWARNING = 0x30, MB_ICONINFORMATION = 0x40,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// The settings of an open or save dialog and, on return, the chosen file.
struct TFileDialogRequest {
    QString Title;
    QString DefaultExt;   // without the dot; added to a name typed without extension
    QString Filter;       // "Description (*.ext)|*.ext|..."
    QString FileName;     // proposed name in, chosen name out
    QString InitialDir;
    bool OverwritePrompt = false;
};

// Every modal question the programs ask goes through one of these, so that tests can answer
// from a script and never block on a window.
class IDialogs {
public:
    virtual ~IDialogs() = default;
    virtual int MessageBox(const QString& text, const QString& caption, unsigned flags) = 0;
    virtual void ShowMessage(const QString& text) = 0;
    virtual bool OpenFile(TFileDialogRequest& request) = 0;
    virtual bool SaveFile(TFileDialogRequest& request) = 0;
    virtual bool SelectFolder(const QString& caption, QString& folder) = 0;
    virtual bool InputQuery(const QString& caption, const QString& prompt, QString& value) = 0;
    // Lets the user choose and set up the printer; the choices are made on the printer given.
    virtual bool PrintSetup(QPrinter& printer) = 0;
};

IDialogs& Dialogs();
// Installs another responder (tests); nullptr restores the real dialogs. Returns the previous one.
IDialogs* SetDialogs(IDialogs* dialogs);

// The real dialogs over Qt.
class TQtDialogs : public IDialogs {
public:
    int MessageBox(const QString& text, const QString& caption, unsigned flags) override;
    void ShowMessage(const QString& text) override;
    bool OpenFile(TFileDialogRequest& request) override;
    bool SaveFile(TFileDialogRequest& request) override;
    bool SelectFolder(const QString& caption, QString& folder) override;
    bool InputQuery(const QString& caption, const QString& prompt, QString& value) override;
    bool PrintSetup(QPrinter& printer) override;
};

// "Setup file (*.ini)|*.ini" into the Qt filter form "Setup file (*.ini)": the caption with the
// filter's own patterns in its parentheses.
QString QtFilter(const QString& filter);
// The chosen name with the default extension added when it was typed without one.
QString WithDefaultExt(const QString& fileName, const QString& defaultExt);

// The input box of InputQuery: the prompt over a text box pre-filled with the value. The caller
// owns it together with the parent, if one is given.
QInputDialog* NewInputBox(QWidget* parent, const QString& caption, const QString& prompt, const QString& value);

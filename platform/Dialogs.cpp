#include "Dialogs.h"

#include "Application.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPointer>
#include <QPrinter>

static TQtDialogs qtDialogs;
static IDialogs* current = &qtDialogs;

IDialogs& Dialogs() { return *current; }

IDialogs* SetDialogs(IDialogs* dialogs)
{
    IDialogs* previous = current;
    current = dialogs ? dialogs : &qtDialogs;
    return previous;
}

QString QtFilter(const QString& filter)
{
    const QStringList parts = filter.split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        // Qt takes the patterns from the parentheses of the caption: those of the filter go
        // there, whatever the caption shows ("(*.txt,*.bin)" would match no file).
        QString name = parts[i];
        const qsizetype open = name.lastIndexOf('(');
        if (open >= 0)
            name = name.left(open).trimmed();
        out << name + " (" + patterns + ")";
    }
    return out.join(";;");
}

QString WithDefaultExt(const QString& fileName, const QString& defaultExt)
{
    if (fileName.isEmpty() || defaultExt.isEmpty())
        return fileName;
    return QFileInfo(fileName).suffix().isEmpty() ? fileName + "." + defaultExt : fileName;
}

int TQtDialogs::MessageBox(const QString& text, const QString& caption, unsigned flags)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(caption);
    box.setText(text);
    switch (flags & 0xF0) {
    case MB_ICONERROR: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    switch (flags & 0x0F) {
    case MB_OKCANCEL: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MB_YESNOCANCEL: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel); break;
    case MB_YESNO: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    default: box.setStandardButtons(QMessageBox::Ok); break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok: return IDOK;
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    default: return IDCANCEL;
    }
}

void TQtDialogs::ShowMessage(const QString& text)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(Application->Title);
    box.setText(text);
    box.exec();
}

static bool runFileDialog(TFileDialogRequest& r, QFileDialog::AcceptMode mode)
{
    QFileDialog dlg(QApplication::activeWindow(), r.Title, r.InitialDir, QtFilter(r.Filter));
    dlg.setAcceptMode(mode);
    dlg.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dlg.setDefaultSuffix(r.DefaultExt);
    if (!r.OverwritePrompt)
        dlg.setOption(QFileDialog::DontConfirmOverwrite);
    if (!r.FileName.isEmpty())
        dlg.selectFile(r.FileName);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return false;
    r.FileName = WithDefaultExt(dlg.selectedFiles().first(), r.DefaultExt);
    return true;
}

bool TQtDialogs::OpenFile(TFileDialogRequest& request) { return runFileDialog(request, QFileDialog::AcceptOpen); }
bool TQtDialogs::SaveFile(TFileDialogRequest& request) { return runFileDialog(request, QFileDialog::AcceptSave); }

bool TQtDialogs::SelectFolder(const QString& caption, QString& folder)
{
    const QString chosen = QFileDialog::getExistingDirectory(QApplication::activeWindow(), caption, folder);
    if (chosen.isEmpty())
        return false;
    folder = chosen;
    return true;
}

QInputDialog* NewInputBox(QWidget* parent, const QString& caption, const QString& prompt, const QString& value)
{
    auto* box = new QInputDialog(parent);
    box->setWindowTitle(caption);
    box->setLabelText(prompt);
    box->setInputMode(QInputDialog::TextInput);
    box->setTextValue(value);
    // The window manager writes the title in its title font, often bold, between the window's
    // icon and its buttons, and cuts it when the window is narrower: the title is the question.
    QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
    titleFont.setBold(true);
    const QFontMetrics metrics(titleFont);
    const int titleBarSquare = metrics.height() + 12; // an icon or a button
    // The dialog's own layout sets its least size from its parts when it is shown: the text
    // box carries the width.
    if (auto* text = box->findChild<QLineEdit*>())
        text->setMinimumWidth(metrics.horizontalAdvance(caption) + 4 * titleBarSquare);
    return box;
}

bool TQtDialogs::InputQuery(const QString& caption, const QString& prompt, QString& value)
{
    // The box belongs to its parent too: when the parent goes while the box is open, Qt deletes
    // the box with it, so it is watched rather than owned.
    const QPointer<QInputDialog> box = NewInputBox(QApplication::activeWindow(), caption, prompt, value);
    const bool accepted = box->exec() == QDialog::Accepted;
    if (!box)
        return false;
    if (accepted)
        value = box->textValue();
    delete box;
    return accepted;
}

bool TQtDialogs::PrintSetup(QPrinter& printer)
{
    QPrintDialog dlg(&printer, QApplication::activeWindow());
    return dlg.exec() == QDialog::Accepted;
}

#pragma once
#include "platform/Version.h"

#include <QDialog>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class TImage;

// The about box: program name, version, operating system, the comment lines of the version
// record and the maker's mail and web links. Created for each showing and destroyed after it.
class TAboutBoxFrm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBoxFrm(QWidget* owner, const TVersionRecord& version = ProgramVersion());

    QFrame* Panel1 = nullptr;
    TImage* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* Copyright = nullptr; // the maker line under the version
    QPlainTextEdit* Memo1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label4 = nullptr;
    TImage* Image1 = nullptr;
    QLabel* WindowsLbl = nullptr;
    QPushButton* BitBtn1 = nullptr;

    void FormCreate(QObject* sender);
    void Label3Click(QObject* sender);
    void Label4Click(QObject* sender);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TVersionRecord version_;
};

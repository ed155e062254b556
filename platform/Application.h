#pragma once
#include <QString>
#include <exception>

// What the programs need of the application object, the message loop and the screen cursor.
class TApplication {
public:
    QString Title;
    QString HelpFile;

    // Folder of the executable, with its trailing separator.
    static QString ExeDir();
    // Tests put the program's folder elsewhere (programs started next to it); empty restores it.
    static void SetExeDir(const QString& dir);

    // Lets pending window messages run; never blocks longer than waitMs for a new event.
    static void ProcessMessages(int waitMs = 0);

    // Shows an error with the application's title and the error icon (the rule of ErrorText).
    void ShowException(const std::exception& e) const;
    void ShowMessageError(const QString& message) const;
};

extern TApplication* Application;

// The shown text of an error: a full stop is added when the last character sorts after ".".
QString ErrorText(const QString& message);

// Plain sleep that holds the thread.
void Sleep(int ms);
void MessageBeep();

// The hourglass while a command exchange or block download runs.
enum class TCursor { crDefault, crHourGlass };
void SetScreenCursor(TCursor c);
TCursor ScreenCursor();

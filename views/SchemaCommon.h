#pragma once
// What the two cable-connection views share: the output assignment, the window parts built
// over the front-panel picture, the bitmap save and the printout.
#include "FrontPanel.h"
#include "platform/Controls.h"

#include <QString>
#include <QWidget>
#include <vector>

class QFrame;
class QLabel;
class QPrinter;
class QPushButton;

namespace Schema {

// Which cable output each electrode takes and which electrode each output carries, for
// electrodes 0..size-1 (A, B, P1...) of which the first inUse are placed: output 1 takes the
// largest position. Outputs are numbered from 1; 0 means "not placed".
struct Connections {
    std::vector<int> OutputOf;     // per electrode
    std::vector<int> ElectrodeOf;  // per output - 1: the electrode whose spacing it shows
    std::vector<QString> PlugOf;   // per output - 1: "A", "B", "1"...; blank when unassigned
};
Connections Assign(const float* positions, int size, int inUse);

// "A", "B", then the potential electrode's number.
QString PlugText(int electrode);

// The printout's place on the page: the window's image at the printer's resolution (the
// screen's 96 pixels per inch scaled to the printer's), shrunk in proportion when that would
// not fit the printable area, and set at its top left.
QRect FitOnPage(QSize image, int printerDpi, QRect printable);

// The window parts of a cable view; the two forms differ only in their numbers.
class TCableForm : public QWidget {
    Q_OBJECT
public:
    TCableForm(QWidget* owner, FrontPanel::Model model, const QString& caption, bool toolWindow);

    // --- controls
    TImage* Image1 = nullptr;
    QLabel* CA = nullptr;
    QLabel* CB = nullptr;
    std::vector<QLabel*> P;          // P1...: the sockets of the potential electrodes
    QFrame* Panel1 = nullptr;
    QLabel* SetupSTxt = nullptr;
    QLabel* StaticText1 = nullptr;   // "Cable spacing"
    std::vector<QLabel*> L;          // L1...: spacing of the electrode on each output
    QLabel* StaticText2 = nullptr;   // plug row title
    std::vector<QLabel*> pp;         // pp1...: plug of the electrode on each output
    QLabel* OutputTitle = nullptr;   // "Cable output"
    std::vector<QLabel*> Outputs;    // the output numbers 1...
    QFrame* Shape1 = nullptr;
    QFrame* Shape2 = nullptr;
    QPushButton* BitBtn1 = nullptr;  // Close
    QPushButton* SaveBtn = nullptr;
    QPushButton* PrintBtn = nullptr;

    // Why the front-panel picture could not be shown (empty when it is shown).
    QString PictureError;

    // --- handlers
    void BitBtn1Click(QObject* sender);
    void SaveBtnClick(QObject* sender);
    void PrintBtnClick(QObject* sender);

    // Shows the view without blocking its caller; a view already open, minimised or behind
    // other windows, comes back to the screen in front, with the content just filled.
    void ShowInFront();

    // The window's client area as the bitmap that "Save as..." stores and "Print" prints.
    QImage ClientImage();
    // Stores the client area as a Windows bitmap file; raises an error when it cannot.
    void SaveBitmap(const QString& fileName);
    // Prints the client area on an open printer; raises an error when it cannot.
    void PrintOn(QPrinter& printer);

protected:
    // Fills the sockets, spacings and plugs from an assignment over `size` positions.
    void Show(const float* positions, int size, int inUse, const QString& setupName);
    void showEvent(QShowEvent* event) override;

private:
    bool placed_ = false;
};

} // namespace Schema

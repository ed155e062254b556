#include "SchemaCommon.h"

#include "platform/Application.h"
#include "platform/Dialogs.h"
#include "platform/Dispatch.h"
#include "platform/Exception.h"
#include "platform/NumberFormat.h"
#include "views/LayoutTable.h"

#include <QBuffer>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QStyle>
#include <algorithm>

namespace Schema {

QString PlugText(int electrode)
{
    return electrode == 0 ? "A" : electrode == 1 ? "B" : QString::number(electrode - 1);
}

Connections Assign(const float* p, int size, int inUse)
{
    const int n = std::clamp(inUse, 0, size);
    Connections c;
    c.OutputOf.assign(size, 0);
    c.ElectrodeOf.resize(size);
    for (int k = 0; k < size; ++k)
        c.ElectrodeOf[k] = k;
    c.PlugOf.assign(size, QString());
    for (int i = 0; i < n; ++i) {
        int count = 0;
        for (int j = 0; j < n; ++j)
            if (p[i] >= p[j])
                ++count;
        const int output = n + 1 - count;
        // A position that is not a number counts no electrode, itself included: it has no
        // place on the cable and must not reach past the outputs.
        if (output < 1 || output > n)
            continue;
        c.OutputOf[i] = output;
        c.ElectrodeOf[output - 1] = i;
        c.PlugOf[output - 1] = PlugText(i);
    }
    return c;
}

QRect FitOnPage(QSize image, int printerDpi, QRect printable)
{
    constexpr double screenDpi = 96;
    double scale = printerDpi / screenDpi;
    if (image.width() * scale > printable.width())
        scale = printable.width() / double(image.width());
    if (image.height() * scale > printable.height())
        scale = printable.height() / double(image.height());
    return QRect(printable.topLeft(), QSize(int(image.width() * scale), int(image.height() * scale)));
}

namespace {

QFont formFont(int px = 11, bool bold = false)
{
    QFont f = LayoutTable::FormFont();
    f.setPixelSize(px);
    f.setBold(bold);
    return f;
}

QLabel* label(QWidget* parent, const QString& name, QRect r, const QString& text, QColor ink,
              QColor ground = QColor(), bool sunken = false)
{
    QLabel* l = sunken ? new TStaticText(parent) : new QLabel(parent);
    l->setObjectName(name);
    l->setGeometry(r);
    l->setTextFormat(Qt::PlainText);
    l->setText(text);
    l->setAlignment(Qt::AlignCenter);
    LayoutTable::SetColours(l, ink, ground);
    if (sunken)
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    return l;
}

QFrame* bar(QWidget* parent, const QString& name, QRect r)
{
    auto* f = new QFrame(parent);
    f->setObjectName(name);
    f->setGeometry(r);
    // A rounded bar in dark blue (red 6, green 71, blue 111).
    f->setStyleSheet("QFrame#" + name + " { background: rgb(6, 71, 111); border-radius: 8px; }");
    return f;
}

// Where the parts of a view stand; the two views differ only in these numbers.
struct ViewGeometry {
    int SocketWidth;  // of an output number over its socket
    int PanelX;       // the panel's left; it spans the window less that on both sides
    int TitleWidth;   // of the row titles
    int FirstColumn;  // left of output 1's column
    int Pitch;        // from one output's column to the next
    // The spacings in two lines, odd outputs above, each cell centred on its column and as
    // wide as two: a position with sign and five digits is wider than one column of the
    // 23-output view.
    bool Staggered;
};

constexpr ViewGeometry Geometry10{52, 8, 104, 116, 65, false};
constexpr ViewGeometry Geometry20{44, 4, 78, 88, 39, true};

constexpr int SpacingBand = 32;         // the bar behind a one-line spacing row
constexpr int StaggeredBand = 52;       // ... and behind two lines
constexpr int StaggeredLine = 21;       // height of a spacing cell in two lines

} // namespace

TCableForm::TCableForm(QWidget* owner, FrontPanel::Model model, const QString& caption, bool toolWindow)
    : QWidget(owner, toolWindow ? Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                                : Qt::Window)
{
    const FrontPanel::Sockets& sockets = FrontPanel::Layout(model);
    const int size = static_cast<int>(sockets.Centre.size());
    const bool wide = model == FrontPanel::Model::Channels20;
    const ViewGeometry& g = wide ? Geometry20 : Geometry10;
    setWindowTitle(caption);
    setFont(formFont());
    setFixedSize(sockets.Size);

    Image1 = new TImage(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(rect());
    Image1->setScaledContents(true);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->SetPicture(QPixmap::fromImage(FrontPanel::Picture(model, &PictureError)));

    // The output numbers stand on the sockets.
    for (int i = 0; i < size; ++i) {
        const QPoint c = sockets.Centre[i];
        const int w = g.SocketWidth;
        const QString name = i == 0 ? "CA" : i == 1 ? "CB" : "P" + QString::number(i - 1);
        QLabel* s = label(this, name, QRect(c.x() - w / 2, c.y() - 16, w, 32), PlugText(i), QColor(0, 255, 0));
        s->setFont(formFont(24, true));
        s->setAttribute(Qt::WA_TranslucentBackground);
        if (i == 0)
            CA = s;
        else if (i == 1)
            CB = s;
        else
            P.push_back(s);
    }

    // The rows below the spacings move down by the height the second line of spacings takes.
    const int band = g.Staggered ? StaggeredBand : SpacingBand;
    const int below = band - SpacingBand;
    const int width = sockets.Size.width();
    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(g.PanelX, 436, width - 2 * g.PanelX, 142 + below);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setAutoFillBackground(true);

    const int cellW = g.Pitch - 4;
    SetupSTxt = label(Panel1, "SetupSTxt", {8, 6, 480, 20}, "", Qt::black, Qt::white, true);
    SetupSTxt->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Shape1 = bar(Panel1, "Shape1", {4, 32, Panel1->width() - 8, band});
    // Beside the first line of spacings, or beside the second when output 1 takes the first.
    StaticText1 = label(Panel1, "StaticText1", {8, g.Staggered ? 60 : 38, g.TitleWidth, 20}, "Cable spacing",
                        QColor(0, 255, 0));
    StaticText2 = label(Panel1, "StaticText2", {8, 74 + below, g.TitleWidth, 20}, wide ? "Plug" : "Varnok plug",
                        Qt::blue, Qt::white);
    Shape2 = bar(Panel1, "Shape2", {4, 104 + below, Panel1->width() - 8, 32});
    OutputTitle = label(Panel1, wide ? "Label25" : "Label14", {8, 110 + below, g.TitleWidth, 20}, "Cable output",
                        QColor(0, 255, 0), Qt::black);
    for (int k = 1; k <= size; ++k) {
        const int x = g.FirstColumn + (k - 1) * g.Pitch;
        const QString n = QString::number(k);
        QRect spacing(x, 36, cellW, 24);
        if (g.Staggered) {
            const int spacingW = 2 * g.Pitch - 6;
            spacing = QRect(x + cellW / 2 - spacingW / 2, k % 2 ? 35 : 35 + StaggeredLine + 2, spacingW, StaggeredLine);
        }
        L.push_back(label(Panel1, "L" + n, spacing, "", QColor(0, 255, 0), QColor(), true));
        pp.push_back(label(Panel1, "pp" + n, {x, 72 + below, cellW, 22}, "nc", Qt::blue, Qt::white));
        Outputs.push_back(label(Panel1, "Label" + n, {x, 108 + below, cellW, 24}, n, QColor(0, 255, 0), Qt::black));
    }

    auto button = [this](const QString& name, const QString& text, QStyle::StandardPixmap glyph, int x) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setGeometry(x, height() - 52, 104, 34);
        b->setIcon(style()->standardIcon(glyph));
        return b;
    };
    SaveBtn = button("SaveBtn", "Save as...", QStyle::SP_DialogSaveButton, width - 344);
    PrintBtn = button("PrintBtn", "Print", QStyle::SP_FileDialogDetailedView, width - 232);
    BitBtn1 = button("BitBtn1", "Close", QStyle::SP_DialogCancelButton, width - 120);
    BitBtn1->setShortcut(QKeySequence(Qt::Key_Escape)); // the cancel button answers Escape
    connect(BitBtn1, &QPushButton::clicked, this, [this] { Dispatch([this] { BitBtn1Click(BitBtn1); }); });
    connect(SaveBtn, &QPushButton::clicked, this, [this] { Dispatch([this] { SaveBtnClick(SaveBtn); }); });
    connect(PrintBtn, &QPushButton::clicked, this, [this] { Dispatch([this] { PrintBtnClick(PrintBtn); }); });
}

void TCableForm::Show(const float* positions, int size, int inUse, const QString& setupName)
{
    SetupSTxt->setText(setupName);
    const Connections c = Assign(positions, size, inUse);
    for (int i = 0; i < size; ++i) {
        QLabel* socket = i == 0 ? CA : i == 1 ? CB : P[i - 2];
        socket->setText(QString::number(c.OutputOf[i]));
    }
    for (int k = 0; k < size; ++k) {
        L[k]->setText(FormatFloat("#0.##", positions[c.ElectrodeOf[k]]));
        pp[k]->setText(c.PlugOf[k]);
    }
}

void TCableForm::showEvent(QShowEvent* event)
{
    // Centred on the window that owns it (or the screen) when first shown.
    if (!placed_) {
        placed_ = true;
        QRect around;
        if (QWidget* owner = parentWidget())
            around = owner->window()->frameGeometry();
        else if (QScreen* screen = QGuiApplication::primaryScreen())
            around = screen->availableGeometry();
        if (around.isValid())
            move(around.center() - rect().center());
    }
    QWidget::showEvent(event);
}

void TCableForm::ShowInFront()
{
    // Clearing the minimised state alone keeps a maximised view maximised.
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void TCableForm::BitBtn1Click(QObject*) { close(); }

QImage TCableForm::ClientImage() { return grab(rect()).toImage(); }

void TCableForm::SaveBitmap(const QString& fileName)
{
    const QImage image = ClientImage().convertToFormat(QImage::Format_RGB888);
    QSaveFile out(fileName);
    if (image.isNull() || !out.open(QIODevice::WriteOnly) || !image.save(&out, "BMP") || !out.commit())
        throw Exception(QString("Cannot create file \"%1\". %2").arg(fileName, out.errorString()));
}

void TCableForm::SaveBtnClick(QObject*)
{
    TFileDialogRequest request;
    request.DefaultExt = "bmp";
    request.Filter = "Bmp file (*.bmp)|*.bmp";
    if (!Dialogs().SaveFile(request))
        return;
    SaveBitmap(WithDefaultExt(request.FileName, request.DefaultExt));
}

void TCableForm::PrintOn(QPrinter& printer)
{
    const QImage image = ClientImage();
    QPainter painter;
    if (image.isNull() || !painter.begin(&printer))
        throw Exception("Printing failed: the printer cannot be opened");
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    painter.drawImage(FitOnPage(image.size(), printer.resolution(), QRect(QPoint(0, 0), page.size())), image);
    if (!painter.end())
        throw Exception("Printing failed");
}

void TCableForm::PrintBtnClick(QObject*)
{
    // Whatever the user sets in the dialog (printer, page, a file to print to) is what prints.
    QPrinter printer(QPrinter::HighResolution);
    if (!Dialogs().PrintSetup(printer))
        return;
    PrintOn(printer);
}

} // namespace Schema

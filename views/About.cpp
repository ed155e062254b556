// The about box: a tool window of 506 x 295 pixels; a bevelled panel with the program picture
// on the left, name, version, maker line, comments and links on the right, the icon top right;
// the operating system under the panel beside OK.
#include "About.h"

#include "Glyphs.h"
#include "platform/Application.h"
#include "platform/Controls.h"
#include "platform/Shell.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

// The program picture: the emblem standing over a water-and-section ground.
QPixmap programPicture(int width, int height)
{
    QPixmap pixmap(width, height);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient ground(0, 0, 0, height);
    ground.setColorAt(0, QColor(210, 235, 250));
    ground.setColorAt(0.45, QColor(90, 160, 220));
    ground.setColorAt(1, QColor(120, 70, 40));
    p.fillRect(pixmap.rect(), ground);
    const int size = width - 24;
    p.drawPixmap((width - size) / 2, 16, Glyphs::Emblem(size));
    p.setPen(QColor(255, 255, 255));
    QFont font = p.font();
    font.setPixelSize(20);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRect(0, height - 44, width, 32), Qt::AlignCenter, QStringLiteral("Quorel"));
    p.end();
    return pixmap;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, QRect bounds)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(bounds);
    return l;
}

// A clickable address: underlined blue text under a hand cursor.
void makeLink(QLabel* l, QObject* filter)
{
    QFont f = l->font();
    f.setUnderline(true);
    l->setFont(f);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, QColor(0, 0, 255));
    l->setPalette(p);
    l->setCursor(Qt::PointingHandCursor);
    l->installEventFilter(filter);
}

} // namespace

TAboutBoxFrm::TAboutBoxFrm(QWidget* owner, const TVersionRecord& version) : QDialog(owner), version_(version)
{
    setObjectName("AboutBoxFrm");
    setWindowTitle("About");
    setWindowFlags(windowFlags() | Qt::Tool);
    setFixedSize(506, 295);

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(2);
    Panel1->setGeometry(8, 8, 490, 238);

    ProgramIcon = new TImage(Panel1);
    ProgramIcon->setObjectName("ProgramIcon");
    ProgramIcon->setGeometry(10, 25, 140, 188);
    ProgramIcon->SetPicture(programPicture(140, 188));

    ProductName = label(Panel1, "ProductName", QString(), {164, 12, 270, 32});
    QFont big = ProductName->font();
    big.setPixelSize(24);
    big.setBold(true);
    ProductName->setFont(big);
    Version = label(Panel1, "Version", QString(), {164, 48, 270, 16});
    Copyright = label(Panel1, "Copyright", QString(), {164, 68, 270, 16});

    Memo1 = new QPlainTextEdit(Panel1);
    Memo1->setObjectName("Memo1");
    Memo1->setGeometry(164, 92, 316, 84);
    Memo1->setReadOnly(true);
    Memo1->setFrameStyle(QFrame::NoFrame);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setFocusPolicy(Qt::NoFocus);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette face = Memo1->palette();
    face.setColor(QPalette::Base, palette().color(QPalette::Button));
    Memo1->setPalette(face);

    Label1 = label(Panel1, "Label1", "E-mail : ", {164, 186, 50, 16});
    Label3 = label(Panel1, "Label3", QString(), {220, 186, 260, 16});
    Label2 = label(Panel1, "Label2", "Web :", {164, 208, 50, 16});
    Label4 = label(Panel1, "Label4", QString(), {220, 208, 260, 16});
    makeLink(Label3, this);
    makeLink(Label4, this);

    Image1 = new TImage(Panel1);
    Image1->setObjectName("Image1");
    Image1->setGeometry(448, 10, 32, 32);

    WindowsLbl = label(this, "WindowsLbl", QString(), {8, 260, 390, 20});

    BitBtn1 = new QPushButton("OK", this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setGeometry(418, 256, 80, 28);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    FormCreate(this);
}

void TAboutBoxFrm::FormCreate(QObject*)
{
    // The operating system stands where the Windows family stood.
    WindowsLbl->setText(OperatingSystemName());
    Version->setText(VersionText(version_));
    ProductName->setText(Application->Title);
    Copyright->setText(version_.Company);
    const QIcon icon = windowIcon().isNull() ? Glyphs::ProgramIcon() : windowIcon();
    Image1->SetPicture(icon.pixmap(32, 32));
    Memo1->clear();
    for (const QString& line : version_.Comments)
        Memo1->appendPlainText(line);
    Label3->setText(version_.SupportMail);
    Label4->setText(version_.WebPage);
}

// The desktop opens the mail program or the browser; when there is none nothing happens.
void TAboutBoxFrm::Label3Click(QObject*)
{
    Shell().OpenUrl("mailto:" + version_.SupportMail);
}

void TAboutBoxFrm::Label4Click(QObject*)
{
    Shell().OpenUrl(Label4->text());
}

bool TAboutBoxFrm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == Label3) {
            Label3Click(Label3);
            return true;
        }
        if (watched == Label4) {
            Label4Click(Label4);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

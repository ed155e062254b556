#include "Controls.h"
#include "MinimizeName.h"

#include <QBitmap>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>
#include <algorithm>
#include <climits>

void ShowBoxText(QLineEdit* box, const QString& text)
{
    box->setText(text);
    box->setCursorPosition(0);
}

TStatusLine::TStatusLine(QWidget* parent) : QLabel(parent) {}

QStringList TStatusLine::ShownLines() const
{
    const QRect area = contentsRect();
    const int lines = std::max(1, area.height() / fontMetrics().lineSpacing());
    return MinimizeMessage(text(), fontMetrics(), area.width(), lines);
}

void TStatusLine::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawFrame(&painter);
    style()->drawItemText(&painter, contentsRect(), int(alignment() & ~Qt::TextWordWrap), palette(), isEnabled(),
                          ShownLines().join('\n'), foregroundRole());
}

bool TStatusLine::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QLabel::event(event);
    // Only a shortened message has more to show.
    const QStringList whole = MinimizeMessage(text(), fontMetrics(), contentsRect().width(), INT_MAX);
    if (ShownLines() != whole)
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text(), this);
    else
        QToolTip::hideText();
    return true;
}

TImage::TImage(QWidget* parent) : QLabel(parent) { setAlignment(Qt::AlignCenter); }

void TImage::SetPicture(const QPixmap& picture)
{
    picture_ = picture;
    if (picture.isNull()) {
        clear();
    } else if (transparent_) {
        QPixmap shown = picture;
        const QColor ground = picture.toImage().pixelColor(0, picture.height() - 1);
        shown.setMask(picture.createMaskFromColor(ground, Qt::MaskInColor));
        setPixmap(shown);
    } else {
        setPixmap(picture);
    }
    update();
}

void TImage::SetTransparent(bool transparent)
{
    transparent_ = transparent;
    SetPicture(picture_);
}

void TImage::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (isEnabled() && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

TStaticText::TStaticText(QWidget* parent) : QLabel(parent) {}
TStaticText::TStaticText(const QString& text, QWidget* parent) : QLabel(text, parent) {}

TAnimate::TAnimate(QWidget* parent) : QWidget(parent)
{
    timer_.setInterval(100);
    connect(&timer_, &QTimer::timeout, this, [this] {
        const int last = StopFrame >= 0 ? std::min<int>(StopFrame, static_cast<int>(Frames.size()) - 1)
                                        : static_cast<int>(Frames.size()) - 1;
        frame_ = frame_ >= last ? 0 : frame_ + 1;
        update();
    });
}

void TAnimate::SetActive(bool active)
{
    if (active && !Frames.empty()) {
        frame_ = 0;
        timer_.start();
    } else {
        timer_.stop();
    }
    update();
}

void TAnimate::paintEvent(QPaintEvent*)
{
    if (Frames.empty() || frame_ >= static_cast<int>(Frames.size()))
        return;
    QPainter p(this);
    const QPixmap& f = Frames[static_cast<size_t>(frame_)];
    p.drawPixmap((width() - f.width()) / 2, (height() - f.height()) / 2, f);
}

QPixmap TImageList::GetBitmap(int index) const
{
    if (index < 0 || index >= Count())
        return QPixmap();
    return Images[static_cast<size_t>(index)];
}

#pragma once
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <vector>

class QLineEdit;

// Puts a value into an edit box so that the box shows its start. A box too narrow for its
// text shows the part around the cursor, which setText leaves at the end: "-1000.00" would
// read as "1000.00".
void ShowBoxText(QLineEdit* box, const QString& text);

// A picture control: shows a pixmap, can be clicked.
class TImage : public QLabel {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);
    void SetPicture(const QPixmap& picture); // a null pixmap clears it
    QPixmap Picture() const { return picture_; }
    // Transparent: the colour of the picture's bottom-left pixel is not drawn.
    void SetTransparent(bool transparent);
    bool Transparent() const { return transparent_; }
signals:
    void clicked();
protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
private:
    QPixmap picture_;
    bool transparent_ = false;
};

// A static text with a border (sunken when asked); used for value displays and warnings.
class TStaticText : public QLabel {
    Q_OBJECT
public:
    explicit TStaticText(QWidget* parent = nullptr);
    TStaticText(const QString& text, QWidget* parent);
};

// A status line of fixed size: a message too long for it is shortened (MinimizeMessage) to
// what its lines hold, and the whole message shows when the pointer rests on it. text() is
// always the whole message.
class TStatusLine : public QLabel {
    Q_OBJECT
public:
    explicit TStatusLine(QWidget* parent = nullptr);
    // The lines as painted: as many as the height holds.
    QStringList ShownLines() const;
protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
};

// A small animation that loops over its frames while active, up to StopFrame.
class TAnimate : public QWidget {
    Q_OBJECT
public:
    explicit TAnimate(QWidget* parent = nullptr);
    std::vector<QPixmap> Frames;
    int StopFrame = -1; // last frame played, -1 = all
    void SetActive(bool active);
    bool Active() const { return timer_.isActive(); }
    int CurrentFrame() const { return frame_; }
protected:
    void paintEvent(QPaintEvent* event) override;
private:
    QTimer timer_;
    int frame_ = 0;
};

// A fixed list of pictures of one size.
class TImageList {
public:
    TImageList(int width, int height) : Width(width), Height(height) {}
    const int Width, Height;
    std::vector<QPixmap> Images;
    int Count() const { return static_cast<int>(Images.size()); }
    QPixmap GetBitmap(int index) const;
};

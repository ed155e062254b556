#pragma once
#include <QImage>
#include <QPoint>
#include <QSize>
#include <vector>

// The instrument's front panel behind the cable-connection views. The drawing and the places
// of its sockets come from one table, so the output numbers always sit on their sockets.
// The pictures the programs show are JPEGs made once from these drawings
// (tools/front-panel) and compiled in; the drawings themselves serve that tool and the tests.
namespace FrontPanel {

enum class Model { Channels10, Channels20 };

struct Sockets {
    QSize Size;                 // the picture, which is also the view's client area
    int Radius;                 // of one socket
    std::vector<QPoint> Centre; // A, B, then P1, P2...: 13 or 23 sockets
};

const Sockets& Layout(Model model);

// The panel drawn in code.
QImage Draw(Model model);

// The compiled-in JPEG of the panel decoded with libjpeg; when it cannot be decoded, a plain
// ground of the panel's size (and the reason in *error).
QImage Picture(Model model, QString* error = nullptr);
// The same from given JPEG bytes.
QImage PictureFrom(const QByteArray& jpeg, Model model, QString* error = nullptr);

// The JPEG bytes compiled into the program (empty when the build found none).
QByteArray JpegData(Model model);

} // namespace FrontPanel

#pragma once
#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <vector>

// Every picture the programs show, drawn by our own painting code so that no image file has
// to ship with them. Sizes are in pixels; pictures are drawn on a transparent ground unless
// said otherwise.
namespace Glyphs {

// The program's emblem: a towed electrode cable over a coloured resistivity section.
QPixmap Emblem(int size = 32);
QIcon ProgramIcon(); // the emblem at 16, 32 and 48 pixels

// The power button: a dark red power symbol when up, an empty grey face when disabled, a
// bright red symbol when down.
QIcon PowerButton(int size = 32);

QPixmap OpenFolder(int size = 22);     // a folder with a magnifying glass
QPixmap ModifyDocument(int size = 22); // a document with a red cross and a pointing hand
QPixmap GlobeSection(int size = 24);   // a globe beside a coloured section
QPixmap Lamp(bool on, int size = 16);  // red when off, green when on
// The frames shown while the program looks for the instrument: a magnifying glass sweeping
// over a computer.
std::vector<QPixmap> ConnectingFrames(int width = 44, int height = 24);
QPixmap Gear(int size = 16);          // golden gear
QPixmap HelpMark(int size = 16);      // blue question mark
QPixmap WrenchGear(int size = 16);    // a wrench across a gear
QPixmap EyeRuler(int size = 16);      // an eye over a ruler
QPixmap SteppedArrow(int size = 16);  // an arrow pointing right with a step in its shaft
QPixmap Play(int size = 16);
QPixmap Pause(int size = 16);
QPixmap Stop(int size = 16);
QPixmap MarkButton(int size = 24);    // blue round button
QIcon Tick(int size = 16);            // green tick, greyed when disabled

// The link-port pictures, 47 x 15 on an opaque magenta ground that a picture control shows
// as transparent: 0 USB plug crossed out, 1 USB plug, 2..5 COM1..COM4, 6 wireless serial.
inline constexpr int PortPictureCount = 7;
inline constexpr int PortPictureWidth = 47;
inline constexpr int PortPictureHeight = 15;
inline const QColor PortGround{255, 0, 255};
QPixmap PortPicture(int index);

} // namespace Glyphs

#include "GraphTypes.h"
#include <QGuiApplication>
#include <QPalette>

namespace {
std::uint32_t ToColorRef(const QColor& c)
{
    return std::uint32_t(c.red()) | std::uint32_t(c.green()) << 8 | std::uint32_t(c.blue()) << 16;
}
} // namespace

std::uint32_t GetSysColor(int index)
{
    const QPalette pal = QGuiApplication::palette();
    switch (index) {
    case 0: return ToColorRef(pal.color(QPalette::Button));                    // scroll bar
    case 1: return ToColorRef(pal.color(QPalette::Dark));                      // desktop
    case 2: case 27: return ToColorRef(pal.color(QPalette::Highlight));        // active caption
    case 3: case 28: return ToColorRef(pal.color(QPalette::Mid));              // inactive caption
    case 4: case 30: return ToColorRef(pal.color(QPalette::Window));           // menu
    case 5: return ToColorRef(pal.color(QPalette::Base));                      // window
    case 6: return ToColorRef(pal.color(QPalette::Shadow));                    // window frame
    case 7: return ToColorRef(pal.color(QPalette::WindowText));                // menu text
    case 8: return ToColorRef(pal.color(QPalette::Text));                      // window text
    case 9: return ToColorRef(pal.color(QPalette::HighlightedText));           // caption text
    case 10: case 11: return ToColorRef(pal.color(QPalette::Button));          // borders
    case 12: return ToColorRef(pal.color(QPalette::Mid));                      // app workspace
    case 13: case 29: return ToColorRef(pal.color(QPalette::Highlight));
    case 14: return ToColorRef(pal.color(QPalette::HighlightedText));
    case 15: return ToColorRef(pal.color(QPalette::Button));                   // button face
    case 16: return ToColorRef(pal.color(QPalette::Dark));                     // button shadow
    case 17: return ToColorRef(pal.color(QPalette::Disabled, QPalette::Text)); // grey text
    case 18: return ToColorRef(pal.color(QPalette::ButtonText));
    case 19: return ToColorRef(pal.color(QPalette::Disabled, QPalette::WindowText));
    case 20: return ToColorRef(pal.color(QPalette::Light));                    // button highlight
    case 21: return ToColorRef(pal.color(QPalette::Shadow));                   // 3D dark shadow
    case 22: return ToColorRef(pal.color(QPalette::Midlight));                 // 3D light
    case 23: return ToColorRef(pal.color(QPalette::ToolTipText));
    case 24: return ToColorRef(pal.color(QPalette::ToolTipBase));
    case 26: return ToColorRef(pal.color(QPalette::Link));                     // hot light
    default: return 0;
    }
}

std::uint32_t ColorToRGB(TColor color)
{
    if (color < 0)
        return GetSysColor(color & 0xFF);
    return static_cast<std::uint32_t>(color);
}

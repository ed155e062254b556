#include "GraphEngine.h"
#include <QApplication>
#include <QSize>
#include <QStyle>
#include <algorithm>
#include <unordered_map>

// Handles count up and are never reused, so a stale handle never reaches a newer window or bitmap.
namespace {
std::unordered_map<TWindowHandle, IMessageTarget*>& Windows()
{
    static std::unordered_map<TWindowHandle, IMessageTarget*> windows;
    return windows;
}
std::unordered_map<std::int32_t, QImage*>& Bitmaps()
{
    static std::unordered_map<std::int32_t, QImage*> bitmaps;
    return bitmaps;
}
std::int32_t nextWindow = 0x20000;
std::int32_t nextBitmap = 0x30000;
} // namespace

TWindowHandle RegisterWindow(IMessageTarget* target)
{
    const TWindowHandle h = ++nextWindow;
    Windows()[h] = target;
    return h;
}

void UnregisterWindow(TWindowHandle window) { Windows().erase(window); }

std::intptr_t SendMessageTo(TWindowHandle window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam)
{
    const auto it = Windows().find(window);
    return it == Windows().end() ? 0 : it->second->WindowProc(msg, wParam, lParam);
}

std::int32_t RegisterBitmap(QImage* image)
{
    const std::int32_t h = ++nextBitmap;
    Bitmaps()[h] = image;
    return h;
}

void ReleaseBitmap(std::int32_t handle) { Bitmaps().erase(handle); }

QImage* BitmapFromHandle(std::int32_t handle)
{
    const auto it = Bitmaps().find(handle);
    return it == Bitmaps().end() ? nullptr : it->second;
}

int ScrollBarExtent() { return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent); }

QSize ClientSizeOf(QSize window, bool horzBar, bool vertBar)
{
    const int extent = ScrollBarExtent();
    return QSize(std::max(0, window.width() - (vertBar ? extent : 0)), std::max(0, window.height() - (horzBar ? extent : 0)));
}

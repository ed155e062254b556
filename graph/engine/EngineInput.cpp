// What our engine does with the input that its control forwards: hot spots under a press, the
// zoom frame and the zoom, scrolling of a zoomed graph, and the notifications of each.
#include "GraphRender.h"
#include "PEEngine.h"
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

constexpr std::int32_t kBarMax = 100; // scroll bars run from 1 to kBarMax
constexpr int kMinZoomPixels = 4;
constexpr std::int32_t kWheelNotch = 120; // the wheel distance of one notch, one line

QPointF ToPixel(const TGraphLayout& l, double x, double y)
{
    return {l.Left + (x - l.XMin) / (l.XMax - l.XMin) * (l.Right - l.Left),
            l.Top + (l.YMax - y) / (l.YMax - l.YMin) * (l.Bottom - l.Top)};
}

double XOf(const TGraphLayout& l, double px) { return l.XMin + (px - l.Left) / (l.Right - l.Left) * (l.XMax - l.XMin); }
double YOf(const TGraphLayout& l, double py) { return l.YMin + (l.Bottom - py) / (l.Bottom - l.Top) * (l.YMax - l.YMin); }

double DistanceToSegment(QPointF p, QPointF a, QPointF b)
{
    const QPointF d = b - a;
    const double len2 = d.x() * d.x() + d.y() * d.y();
    const double t = len2 > 0 ? std::clamp(((p - a).x() * d.x() + (p - a).y() * d.y()) / len2, 0.0, 1.0) : 0.0;
    const QPointF q = a + t * d - p;
    return std::hypot(q.x(), q.y());
}

void Write(TGraphObject& o, std::int32_t id, const void* value) { o.WriteScalar(*FindEngineProperty(id), value); }

// The hot spot under a pixel, by the kinds the properties allow: a data point, then the line of a
// subset, then the plotting area; outside it the axis numbers.
THotSpotRecord FindHotSpot(const TGraphObject& o, QPoint at, TGraphPointRecord& point)
{
    THotSpotRecord hs{};
    const TGraphLayout& l = o.Layout;
    if (!l.Valid)
        return hs;
    const int size = o.Int(PEP::HotSpotSize);
    const double reach = size == sgLargeHotSpots ? 9 : size == sgMediumHotSpots ? 6 : 4;
    const QPointF p(at.x() + 0.5, at.y() + 0.5);
    const bool inside = p.x() >= l.Left && p.x() <= l.Right && p.y() >= l.Top && p.y() <= l.Bottom;
    const double nullX = o.Double(PEP::NullDataValueX), nullY = o.Double(PEP::NullDataValueY);
    auto missing = [&](double x, double y) { return x == nullX || y == nullY || !std::isfinite(x) || !std::isfinite(y); };
    if (inside && o.Int(PEP::AllowDataHotSpots)) {
        double best = reach;
        for (int s = 0; s < o.Subsets(); ++s)
            for (int q = 0; q < o.Points(); ++q) {
                if (missing(o.X(s, q), o.Y(s, q)))
                    continue;
                const QPointF d = ToPixel(l, o.X(s, q), o.Y(s, q)) - p;
                const double dist = std::hypot(d.x(), d.y());
                if (dist <= best) {
                    best = dist;
                    hs.Type = 5;
                    hs.First = s;
                    hs.Second = q;
                }
            }
        if (hs.Type)
            return hs;
    }
    if (inside && o.Int(PEP::AllowSubsetHotSpots)) {
        for (int s = 0; s < o.Subsets() && !hs.Type; ++s) {
            int last = -1;
            for (int q = 0; q < o.Points(); ++q) {
                if (missing(o.X(s, q), o.Y(s, q)))
                    continue;
                if (last >= 0 && DistanceToSegment(p, ToPixel(l, o.X(s, last), o.Y(s, last)),
                                                   ToPixel(l, o.X(s, q), o.Y(s, q))) <= reach) {
                    hs.Type = 1;
                    hs.First = s;
                    break;
                }
                last = q;
            }
        }
        if (hs.Type)
            return hs;
    }
    if (inside && o.Int(PEP::AllowGraphHotSpots)) {
        hs.Type = 3;
        point = TGraphPointRecord{0, 0, XOf(l, p.x()), YOf(l, p.y())};
        return hs;
    }
    if (o.Int(PEP::AllowAxisHotSpots)) {
        const bool xOnTop = o.Int(PEP::XAxisOnTop);
        if (p.y() >= l.Top && p.y() <= l.Bottom && p.x() < l.Left && p.x() >= l.Left - 60) {
            hs.Type = 17; // the left Y axis: axis 0, not the right one
            hs.First = 0;
            hs.Second = 0;
        } else if (p.x() >= l.Left && p.x() <= l.Right
                   && (xOnTop ? p.y() < l.Top && p.y() >= l.Top - 30 : p.y() > l.Bottom && p.y() <= l.Bottom + 30)) {
            hs.Type = 18;
            hs.First = xOnTop ? 1 : 0;
        }
    }
    return hs;
}

bool ZoomsHorizontally(const TGraphObject& o)
{
    const int z = o.Int(PEP::AllowZooming);
    return z == sgHorzZooming || z == sgHorzPlusVertZooming;
}
bool ZoomsVertically(const TGraphObject& o)
{
    const int z = o.Int(PEP::AllowZooming);
    return z == sgVertZooming || z == sgHorzPlusVertZooming;
}

} // namespace

void TPEEngine::Notify(TEngineHandle h, std::uint16_t code)
{
    if (TGraphObject* o = Object(h))
        SendMessageTo(o->Int(PEP_NOTIFYWINDOW), WM_COMMAND, std::uintptr_t(code) << 16, h);
}

void TPEEngine::Repaint(TEngineHandle h)
{
    if (TGraphObject* o = Object(h))
        SendMessageTo(o->Int(PEP_NOTIFYWINDOW), PEWM_INVALIDATERECT, 0, 0);
}

void TPEEngine::Press(TEngineHandle h, TGraphObject& o, std::uintptr_t keys, QPoint at, bool dblClick)
{
    const TPoint pixel{at.x(), at.y()};
    Write(o, PEP_HOTSPOTPIXEL, &pixel);
    TGraphPointRecord point{};
    THotSpotRecord hs = FindHotSpot(o, at, point);
    hs.Rect[0] = at.x();
    hs.Rect[1] = at.y();
    hs.Rect[2] = at.x() + 1;
    hs.Rect[3] = at.y() + 1;
    Write(o, PEP_HOTSPOT, &hs);
    Write(o, PEP_GRAPHPOINT, &point);
    if (hs.Type == 5 && o.Int(PEP::CursorMode) != sgNoCursor) {
        Notify(h, PEWN_PRECURSORMOVE);
        if (!Object(h))
            return; // a handler may have ended the object
        o.WriteScalar(*FindEngineProperty(PEP::CursorSubset), &hs.First);
        o.WriteScalar(*FindEngineProperty(PEP::CursorPoint), &hs.Second);
        Notify(h, PEWN_CURSORMOVED);
        return;
    }
    const TGraphLayout& l = o.Layout;
    const bool inside = l.Valid && at.x() >= l.Left && at.x() < l.Right && at.y() >= l.Top && at.y() < l.Bottom;
    if (!dblClick && inside && (ZoomsHorizontally(o) || ZoomsVertically(o)) && !(keys & (MK_SHIFT | MK_CONTROL))) {
        o.Ui.Dragging = true;
        o.Ui.DragStart = o.Ui.DragNow = at;
    }
}

void TPEEngine::EndZoomFrame(TEngineHandle h, TGraphObject& o)
{
    o.Ui.Dragging = false;
    const TGraphLayout& l = o.Layout;
    const QRect frame = QRect(o.Ui.DragStart, o.Ui.DragNow).normalized();
    const bool horz = ZoomsHorizontally(o) && frame.width() >= kMinZoomPixels;
    const bool vert = ZoomsVertically(o) && frame.height() >= kMinZoomPixels;
    if (!horz && !vert) {
        Repaint(h); // the frame goes
        return;
    }
    if (!o.Int(PEP::ZoomMode))
        o.Ui.Full = l;
    const TGraphLayout& full = o.Ui.Full;
    const double x0 = horz ? XOf(l, std::max<double>(frame.left(), l.Left)) : full.XMin;
    const double x1 = horz ? XOf(l, std::min<double>(frame.right() + 1, l.Right)) : full.XMax;
    const double y0 = vert ? YOf(l, std::min<double>(frame.bottom() + 1, l.Bottom)) : full.YMin;
    const double y1 = vert ? YOf(l, std::max<double>(frame.top(), l.Top)) : full.YMax;
    for (auto [id, v] : {std::pair{PEP::ZoomMinX, x0}, {PEP::ZoomMaxX, x1}, {PEP::ZoomMinY, y0}, {PEP::ZoomMaxY, y1}})
        Write(o, id, &v);
    const std::int32_t one = 1;
    Write(o, PEP::ZoomMode, &one);
    o.Ui.HorzBar = horz && o.Int(PEP::ScrollingHorzZoom);
    o.Ui.VertBar = vert && o.Int(PEP::ScrollingVertZoom);
    auto position = [](double lo, double span, double fullLo, double fullSpan, bool reversed) {
        const double room = fullSpan - span;
        double f = room > 0 ? (lo - fullLo) / room : 0;
        if (reversed)
            f = 1 - f;
        return std::int32_t(std::lround(1 + std::clamp(f, 0.0, 1.0) * (kBarMax - 1)));
    };
    o.Ui.HorzPos = position(x0, x1 - x0, full.XMin, full.XMax - full.XMin, false);
    o.Ui.VertPos = position(y0, y1 - y0, full.YMin, full.YMax - full.YMin, true); // the top first
    Rebuild(o);
    Notify(h, PEWN_ZOOMIN);
    Notify(h, PEWN_PARAMUPDATE);
    Repaint(h);
}

void TPEEngine::UndoZoom(TEngineHandle h, TGraphObject& o)
{
    o.Ui.Dragging = false;
    if (!o.Int(PEP::ZoomMode))
        return;
    const std::int32_t zero = 0;
    Write(o, PEP::ZoomMode, &zero);
    o.Ui.HorzBar = o.Ui.VertBar = false;
    Rebuild(o);
    Notify(h, PEWN_ZOOMOUT);
    Notify(h, PEWN_PARAMUPDATE);
    Repaint(h);
}

void TPEEngine::ApplyScroll(TGraphObject& o)
{
    const TGraphLayout& full = o.Ui.Full;
    auto place = [](std::int32_t pos, double fullLo, double fullSpan, double span, bool reversed) {
        double f = double(pos - 1) / (kBarMax - 1);
        if (reversed)
            f = 1 - f;
        return fullLo + f * std::max(0.0, fullSpan - span);
    };
    if (o.Ui.HorzBar) {
        const double span = o.Double(PEP::ZoomMaxX) - o.Double(PEP::ZoomMinX);
        const double lo = place(o.Ui.HorzPos, full.XMin, full.XMax - full.XMin, span, false), hi = lo + span;
        Write(o, PEP::ZoomMinX, &lo);
        Write(o, PEP::ZoomMaxX, &hi);
    }
    if (o.Ui.VertBar) {
        const double span = o.Double(PEP::ZoomMaxY) - o.Double(PEP::ZoomMinY);
        const double lo = place(o.Ui.VertPos, full.YMin, full.YMax - full.YMin, span, true), hi = lo + span;
        Write(o, PEP::ZoomMinY, &lo);
        Write(o, PEP::ZoomMaxY, &hi);
    }
}

void TPEEngine::Scroll(TEngineHandle h, TGraphObject& o, bool vertical, std::uint32_t code, std::int32_t pos)
{
    if (!(vertical ? o.Ui.VertBar : o.Ui.HorzBar) || code == SB_ENDSCROLL)
        return;
    std::int32_t& current = vertical ? o.Ui.VertPos : o.Ui.HorzPos;
    std::int32_t next = current;
    switch (code) {
    case SB_LINEUP: next -= 1; break;
    case SB_LINEDOWN: next += 1; break;
    case SB_PAGEUP: next -= 10; break;
    case SB_PAGEDOWN: next += 10; break;
    case SB_THUMBPOSITION: case SB_THUMBTRACK: next = pos; break;
    case SB_TOP: next = 1; break;
    case SB_BOTTOM: next = kBarMax; break;
    default: return;
    }
    ScrollTo(h, o, vertical, code, next);
}

void TPEEngine::ScrollTo(TEngineHandle h, TGraphObject& o, bool vertical, std::uint32_t code, std::int32_t next)
{
    std::int32_t& current = vertical ? o.Ui.VertPos : o.Ui.HorzPos;
    next = std::clamp(next, 1, kBarMax);
    if (next == current)
        return;
    Notify(h, vertical ? PEWN_PREVSCROLL : PEWN_PREHSCROLL);
    if (Object(h) != &o)
        return;
    current = next;
    ApplyScroll(o);
    Rebuild(o);
    // A handler asked for a grid number while the image was drawn may have ended the object.
    const TGraphObject* alive = Object(h);
    if (!alive)
        return;
    SendMessageTo(alive->Int(PEP_NOTIFYWINDOW), vertical ? WM_VSCROLL : WM_HSCROLL,
                  code | std::uintptr_t(std::uint16_t(vertical ? alive->Ui.VertPos : alive->Ui.HorzPos)) << 16, h);
    Repaint(h);
}

std::intptr_t TPEEngine::SendMessage(TEngineHandle h, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam)
{
    TGraphObject* o = Object(h);
    if (!o)
        return 0;
    const QPoint at(std::int16_t(lParam & 0xFFFF), std::int16_t(lParam >> 16 & 0xFFFF));
    switch (msg) {
    case WM_LBUTTONDOWN: Press(h, *o, wParam, at, false); break;
    case WM_LBUTTONDBLCLK: Press(h, *o, wParam, at, true); break;
    case WM_MOUSEMOVE:
        if (o->Ui.Dragging) {
            if (wParam & MK_LBUTTON)
                o->Ui.DragNow = at;
            else
                o->Ui.Dragging = false;
            Repaint(h);
        }
        break;
    case WM_LBUTTONUP:
        if (o->Ui.Dragging) {
            o->Ui.DragNow = at;
            EndZoomFrame(h, *o);
        }
        break;
    case WM_RBUTTONDOWN:
        if (o->Int(PEP::AllowPopup))
            Notify(h, PEWN_POPUPMENU);
        break;
    case WM_COMMAND:
        if ((wParam & 0xFFFF) == PECMD_UNDOZOOM)
            UndoZoom(h, *o);
        break;
    case WM_HSCROLL:
    case WM_VSCROLL:
        Scroll(h, *o, msg == WM_VSCROLL, std::uint32_t(wParam & 0xFFFF), std::int32_t(wParam >> 16 & 0xFFFF));
        break;
    case WM_MOUSEWHEEL: {
        const int function = o->Int(PEP::MouseWheelFunction);
        if (function == sgMouseWheelDisabled)
            break;
        // A line for each full notch: the small steps of a touchpad add up to one, and a turn
        // back forgets what the other way had gathered.
        const std::int16_t delta = std::int16_t(wParam >> 16 & 0xFFFF);
        std::int32_t& rest = o->Ui.WheelRest;
        if ((rest < 0 && delta > 0) || (rest > 0 && delta < 0))
            rest = 0;
        rest += delta;
        const std::int32_t lines = rest / kWheelNotch;
        rest -= lines * kWheelNotch;
        const bool vertical = function == sgMouseWheelVertScroll;
        if (lines != 0 && (vertical ? o->Ui.VertBar : o->Ui.HorzBar))
            ScrollTo(h, *o, vertical, lines > 0 ? SB_LINEUP : SB_LINEDOWN,
                     (vertical ? o->Ui.VertPos : o->Ui.HorzPos) - lines);
        break;
    }
    default: break;
    }
    return 0;
}

void TPEEngine::FinalPaint(TEngineHandle h, QPainter* dc, std::int32_t)
{
    TGraphObject* o = Object(h);
    if (!o || !dc || !o->Ui.Dragging)
        return;
    const QRect frame = QRect(o->Ui.DragStart, o->Ui.DragNow).normalized();
    dc->save();
    if (o->Int(PEP::ZoomStyle) == sgRO2NOT) {
        dc->setCompositionMode(QPainter::RasterOp_NotDestination);
        dc->fillRect(frame, Qt::black);
    } else {
        dc->setPen(QPen(Qt::black, 1, Qt::DotLine));
        dc->setBrush(Qt::NoBrush);
        dc->drawRect(frame);
    }
    dc->restore();
}

void TPEEngine::GetScrollRange(TEngineHandle h, int bar, std::int32_t* min, std::int32_t* max)
{
    TGraphObject* o = Object(h);
    const bool on = o && (bar == SB_VERT ? o->Ui.VertBar : o->Ui.HorzBar);
    if (min) *min = on ? 1 : 0;
    if (max) *max = on ? kBarMax : 0;
}

std::int32_t TPEEngine::GetScrollPos(TEngineHandle h, int bar)
{
    TGraphObject* o = Object(h);
    if (!o)
        return 0;
    return bar == SB_VERT ? (o->Ui.VertBar ? o->Ui.VertPos : 0) : (o->Ui.HorzBar ? o->Ui.HorzPos : 0);
}

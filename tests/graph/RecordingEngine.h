#pragma once
#include "graph/engine/EngineProperties.h"
#include "graph/engine/PEEngine.h"
#include "support/TestApp.h"
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

// One call that reached the engine: its number, handle and arguments, with any value passed by
// address copied at the time of the call (as many bytes as the engine reads for that id).
struct TEngineCall {
    int Ordinal = 0;
    TEngineHandle Handle = 0;
    std::int32_t Id = 0, I = 0, J = 0;
    std::vector<std::int64_t> Args;
    std::vector<std::uint8_t> Bytes;
    std::string Text;
};

// Our engine with every call written down before it runs, so that tests see exactly what the
// control asks of the engine while the engine still behaves as it should.
class TRecordingEngine : public TPEEngine {
public:
    std::vector<TEngineCall> Calls;
    bool FailCreateFromObject = false; // the re-creation as a child window fails
    bool FailCreate = false;           // no object at all
    bool ThrowOnGetMeta = false;       // a paint that fails half way
    bool PassMessages = true;          // false: window messages are only written down
    bool ScriptedScroll = false;       // the engine window's scroll bars as the test sets them
    std::int32_t ScrollRange[2][2] = {}, ScrollPosition[2] = {};

    std::vector<int> Ordinals() const
    {
        std::vector<int> out;
        for (const auto& c : Calls)
            out.push_back(c.Ordinal);
        return out;
    }
    const TEngineCall* Last(int ordinal) const
    {
        for (auto it = Calls.rbegin(); it != Calls.rend(); ++it)
            if (it->Ordinal == ordinal)
                return &*it;
        return nullptr;
    }
    void Clear() { Calls.clear(); }

    TEngineHandle Create(std::int32_t kindOrSource, std::int32_t reserved, const TRect* rect, TWindowHandle parent,
                         std::int32_t controlId) override
    {
        TEngineCall c = Rec(19, 0, {kindOrSource, reserved, parent, controlId});
        if (rect)
            c.Args.insert(c.Args.end(), {rect->Left, rect->Top, rect->Right, rect->Bottom});
        Calls.push_back(c);
        if (FailCreate || (FailCreateFromObject && Object(kindOrSource)))
            return 0;
        return TPEEngine::Create(kindOrSource, reserved, rect, parent, controlId);
    }
    void Destroy(TEngineHandle h) override { Push(20, h); TPEEngine::Destroy(h); }
    void Reinitialize(TEngineHandle h) override { Push(33, h); TPEEngine::Reinitialize(h); }
    void ResetImage(TEngineHandle h, std::int32_t a, std::int32_t b) override
    {
        Push(24, h, {a, b});
        TPEEngine::ResetImage(h, a, b);
    }
    const QImage* GetMeta(TEngineHandle h) override
    {
        Push(23, h);
        if (ThrowOnGetMeta)
            throw std::runtime_error("image lost");
        return TPEEngine::GetMeta(h);
    }
    void PrepareMemDC(TEngineHandle h, QPainter* a, QPainter* b, const TRect* r) override
    {
        Push(71, h);
        TPEEngine::PrepareMemDC(h, a, b, r);
    }
    void ResetCacheBmp(TEngineHandle h) override { Push(41, h); TPEEngine::ResetCacheBmp(h); }
    void FinalPaint(TEngineHandle h, QPainter* dc, std::int32_t r) override { Push(2, h, {r}); TPEEngine::FinalPaint(h, dc, r); }

    void SetV(TEngineHandle h, std::int32_t id, const void* v, std::int32_t count) override
    {
        TEngineCall c = Rec(3, h, {count});
        c.Id = id;
        CopyValue(c, id, v);
        Calls.push_back(c);
        TPEEngine::SetV(h, id, v, count);
    }
    void GetV(TEngineHandle h, std::int32_t id, void* b) override { PushId(4, h, id); TPEEngine::GetV(h, id, b); }
    void SetVCell(TEngineHandle h, std::int32_t id, std::int32_t i, const void* v) override
    {
        TEngineCall c = Rec(5, h);
        c.Id = id;
        c.I = i;
        CopyValue(c, id, v);
        Calls.push_back(c);
        TPEEngine::SetVCell(h, id, i, v);
    }
    void GetVCell(TEngineHandle h, std::int32_t id, std::int32_t i, void* b) override
    {
        PushId(6, h, id, i);
        TPEEngine::GetVCell(h, id, i, b);
    }
    void SetInt(TEngineHandle h, std::int32_t id, std::int32_t v) override
    {
        PushId(7, h, id, 0, 0, {v});
        TPEEngine::SetInt(h, id, v);
    }
    std::int32_t GetInt(TEngineHandle h, std::int32_t id) override
    {
        PushId(8, h, id);
        return TPEEngine::GetInt(h, id);
    }
    void SetSz(TEngineHandle h, std::int32_t id, const char* t) override
    {
        TEngineCall c = Rec(9, h);
        c.Id = id;
        c.Text.assign(t, strnlen(t, 256));
        Calls.push_back(c);
        TPEEngine::SetSz(h, id, t);
    }
    void GetSz(TEngineHandle h, std::int32_t id, char* b) override { PushId(10, h, id); TPEEngine::GetSz(h, id, b); }
    void SetVCellEx(TEngineHandle h, std::int32_t id, std::int32_t i, std::int32_t j, const void* v) override
    {
        TEngineCall c = Rec(50, h);
        c.Id = id;
        c.I = i;
        c.J = j;
        CopyValue(c, id, v);
        Calls.push_back(c);
        TPEEngine::SetVCellEx(h, id, i, j, v);
    }
    void GetVCellEx(TEngineHandle h, std::int32_t id, std::int32_t i, std::int32_t j, void* b) override
    {
        PushId(51, h, id, i, j);
        TPEEngine::GetVCellEx(h, id, i, j, b);
    }

    void Customize(TEngineHandle h) override { Push(25, h); }
    void ExportDialog(TEngineHandle h) override { Push(26, h); }
    void Maximize(TEngineHandle h) override { Push(27, h); }
    void TextExportDialog(TEngineHandle h, std::int32_t o, const char* f) override { PushText(28, h, f, {o}); }
    void PrintDialog(TEngineHandle h, std::int32_t flag, const TActionPair* p) override { PushPair(29, h, p, {flag}); }
    void ColorDialog(TEngineHandle h) override { Push(30, h); }
    void FontDialog(TEngineHandle h) override { Push(31, h); }
    void PopupMenu(TEngineHandle h, const TActionPair* p) override { PushPair(32, h, p); }
    void ReinitCustoms(TEngineHandle h) override { Push(34, h); }
    void MetaToClip(TEngineHandle h, const TActionPair* p) override { PushPair(36, h, p); }
    void MetaToFile(TEngineHandle h, const TActionPair* p, const char* f) override { PushPair(37, h, p, {}, f); }
    void BmpToClip(TEngineHandle h, const TActionPair* p) override { PushPair(38, h, p); }
    void BmpToFile(TEngineHandle h, const TActionPair* p, const char* f) override
    {
        PushPair(39, h, p, {}, f);
        TPEEngine::BmpToFile(h, p, f);
    }
    void OleToClip(TEngineHandle h, const TActionPair* p) override { PushPair(40, h, p); }
    void PrintGraph(TEngineHandle h, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t o) override
    {
        Push(48, h, {a, b, c, o});
    }
    void Reset(TEngineHandle h) override { Push(54, h); }
    void JpegToClip(TEngineHandle h, const TActionPair* p) override { PushPair(56, h, p); }
    void JpegToFile(TEngineHandle h, const TActionPair* p, const char* f) override { PushPair(57, h, p, {}, f); }
    void PngToFile(TEngineHandle h, const TActionPair* p, const char* f) override
    {
        PushPair(67, h, p, {}, f);
        TPEEngine::PngToFile(h, p, f);
    }
    void PngToClip(TEngineHandle h, const TActionPair* p) override { PushPair(70, h, p); }

    // Window calls get numbers of their own above the engine's.
    static constexpr int SendMessageCall = 1000, ShowWindowCall = 1001, MoveWindowCall = 1002,
                         ScrollRangeCall = 1003, ScrollPosCall = 1004;
    std::intptr_t SendMessage(TEngineHandle h, std::uint32_t m, std::uintptr_t w, std::intptr_t l) override
    {
        Push(SendMessageCall, h, {std::int64_t(m), std::int64_t(w), std::int64_t(l)});
        return PassMessages ? TPEEngine::SendMessage(h, m, w, l) : 0;
    }
    void GetScrollRange(TEngineHandle h, int bar, std::int32_t* min, std::int32_t* max) override
    {
        Push(ScrollRangeCall, h, {bar});
        if (!ScriptedScroll)
            return TPEEngine::GetScrollRange(h, bar, min, max);
        *min = ScrollRange[bar][0];
        *max = ScrollRange[bar][1];
    }
    std::int32_t GetScrollPos(TEngineHandle h, int bar) override
    {
        Push(ScrollPosCall, h, {bar});
        return ScriptedScroll ? ScrollPosition[bar] : TPEEngine::GetScrollPos(h, bar);
    }
    // The window messages the engine received, as (message, wParam, lParam).
    std::vector<std::vector<std::int64_t>> Messages() const
    {
        std::vector<std::vector<std::int64_t>> out;
        for (const auto& c : Calls)
            if (c.Ordinal == SendMessageCall)
                out.push_back(c.Args);
        return out;
    }
    void ShowWindow(TEngineHandle h, bool v) override { Push(ShowWindowCall, h, {v}); TPEEngine::ShowWindow(h, v); }
    void MoveWindow(TEngineHandle h, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t hh, bool r) override
    {
        Push(MoveWindowCall, h, {x, y, w, hh, r});
        TPEEngine::MoveWindow(h, x, y, w, hh, r);
    }

private:
    static TEngineCall Rec(int ordinal, TEngineHandle h, std::vector<std::int64_t> args = {})
    {
        TEngineCall c;
        c.Ordinal = ordinal;
        c.Handle = h;
        c.Args = std::move(args);
        return c;
    }
    void Push(int ordinal, TEngineHandle h, std::vector<std::int64_t> args = {})
    {
        Calls.push_back(Rec(ordinal, h, std::move(args)));
    }
    void PushId(int ordinal, TEngineHandle h, std::int32_t id, std::int32_t i = 0, std::int32_t j = 0,
                std::vector<std::int64_t> args = {})
    {
        TEngineCall c = Rec(ordinal, h, std::move(args));
        c.Id = id;
        c.I = i;
        c.J = j;
        Calls.push_back(c);
    }
    void PushText(int ordinal, TEngineHandle h, const char* text, std::vector<std::int64_t> args = {})
    {
        TEngineCall c = Rec(ordinal, h, std::move(args));
        if (text)
            c.Text.assign(text, strnlen(text, 256));
        Calls.push_back(c);
    }
    void PushPair(int ordinal, TEngineHandle h, const TActionPair* p, std::vector<std::int64_t> args = {},
                  const char* text = nullptr)
    {
        if (p)
            args.insert(args.end(), {p->First, p->Second});
        PushText(ordinal, h, text, std::move(args));
    }
    static void CopyValue(TEngineCall& c, std::int32_t id, const void* v)
    {
        const TEngineProperty* p = FindEngineProperty(id);
        if (!p || !v)
            return;
        if (p->Kind == TValueKind::Text) {
            const char* s = static_cast<const char*>(v);
            c.Text.assign(s, strnlen(s, 256));
            return;
        }
        const std::size_t n = p->Kind == TValueKind::Double ? 8 : p->Kind == TValueKind::Record ? p->RecordSize : 4;
        const auto* b = static_cast<const std::uint8_t*>(v);
        c.Bytes.assign(b, b + n);
    }
};

// The application, made before any widget member of a fixture.
struct TQtApp {
    TQtApp() { TestApp(); }
};

// Installs an engine for the life of a test.
class TEngineScope {
public:
    explicit TEngineScope(IGraphEngine& engine) : previous_(SetGraphEngine(&engine)) {}
    ~TEngineScope() { SetGraphEngine(previous_ == &OwnGraphEngine() ? nullptr : previous_); }
private:
    IGraphEngine* previous_;
};

#include "RecordingEngine.h"
#include "graph/Pesgvcl.h"
#include "support/TestApp.h"
#include <QApplication>
#include <QPalette>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <type_traits>

namespace {

using P = TPESGraphProperties;
enum TShapeTag { S, I1, I2, I2RAW, RO, RO2 };
enum TAccess { PUBLISHED, PUBLIC };

// A value of each type that no engine object starts with.
template <class T>
T Sample()
{
    if constexpr (std::is_same_v<T, bool>) return true;
    else if constexpr (std::is_same_v<T, std::int32_t>) return 123456789;
    else if constexpr (std::is_same_v<T, TColor>) return TColor(0x123456);
    else if constexpr (std::is_same_v<T, double>) return 1234.5;
    else if constexpr (std::is_same_v<T, float>) return 2.5f;
    else if constexpr (std::is_same_v<T, QString>) return QStringLiteral("Sample text");
    else return T(1); // the second value of an enumeration
}

// What the engine must receive for the sample: the 32-bit integer, or the bytes, or the text.
template <class T>
void ExpectSent(const TEngineCall& call)
{
    const T v = Sample<T>();
    if constexpr (std::is_same_v<T, double> || std::is_same_v<T, float>) {
        ASSERT_EQ(call.Bytes.size(), sizeof(T));
        T got;
        std::memcpy(&got, call.Bytes.data(), sizeof(T));
        EXPECT_EQ(got, v);
    } else if constexpr (std::is_same_v<T, QString>) {
        EXPECT_EQ(call.Text, v.toStdString());
    } else {
        std::int32_t expected = std::int32_t(v);
        if constexpr (TEngineCodes<T>::Remapped)
            expected = TEngineCodes<T>::Codes[1];
        std::int32_t got;
        if (call.Ordinal == 7) {
            got = std::int32_t(call.Args.at(0));
        } else {
            ASSERT_EQ(call.Bytes.size(), 4u);
            std::memcpy(&got, call.Bytes.data(), 4);
        }
        EXPECT_EQ(got, expected);
    }
}

template <class T>
constexpr int ScalarSet()
{
    if constexpr (std::is_same_v<T, double> || std::is_same_v<T, float>) return 3;
    else if constexpr (std::is_same_v<T, QString>) return 9;
    else return 7;
}

template <class T> constexpr bool IsInt32Kind = !std::is_same_v<T, double> && !std::is_same_v<T, float> && !std::is_same_v<T, QString>;

// One row of the catalogue: set the sample and read it back through the control.
struct TCase {
    const char* Name;
    std::int32_t Id;
    TShapeTag Shape;
    bool Redraw;
    TAccess Access;
    bool Enumeration;
    int SetOrdinal, GetOrdinal;
    int ValueBytes; // what the control passes by address (0 for texts)
    std::function<void(PESGraph&)> Set;
    std::function<void(const TEngineCall&)> CheckSent;
    std::function<bool(PESGraph&)> ReadsBack;
};

template <class T>
int BytesOf() { return std::is_same_v<T, QString> ? 0 : std::is_same_v<T, double> ? 8 : 4; }

// Indices inside the data (2 subsets by 3 points) and the table (2 rows by 3 columns).
constexpr std::int32_t kI = 1, kJ = 2;

template <class T>
TCase Case(const char* name, std::int32_t id, TShapeTag shape, bool redraw, TAccess access, T (P::*get)(), void (P::*set)(T))
{
    return {name, id, shape, redraw, access, std::is_enum_v<T> && !std::is_same_v<T, TColor>, ScalarSet<T>(),
            ScalarSet<T>() + 1, BytesOf<T>(),
            [set](PESGraph& g) { (g.*set)(Sample<T>()); }, &ExpectSent<T>,
            [get](PESGraph& g) { return (g.*get)() == Sample<T>(); }};
}
template <class T>
TCase Case(const char* name, std::int32_t id, TShapeTag shape, bool redraw, TAccess access, T (P::*get)(std::int32_t),
           void (P::*set)(std::int32_t, T))
{
    return {name, id, shape, redraw, access, std::is_enum_v<T> && !std::is_same_v<T, TColor>, 5, 6, BytesOf<T>(),
            [set](PESGraph& g) { (g.*set)(kI, Sample<T>()); }, &ExpectSent<T>,
            [get](PESGraph& g) { return (g.*get)(kI) == Sample<T>(); }};
}
template <class T>
TCase Case(const char* name, std::int32_t id, TShapeTag shape, bool redraw, TAccess access,
           T (P::*get)(std::int32_t, std::int32_t), void (P::*set)(std::int32_t, std::int32_t, T))
{
    return {name, id, shape, redraw, access, std::is_enum_v<T> && !std::is_same_v<T, TColor>, 50, 51, BytesOf<T>(),
            [set](PESGraph& g) { (g.*set)(kI, kJ, Sample<T>()); }, &ExpectSent<T>,
            [get](PESGraph& g) { return (g.*get)(kI, kJ) == Sample<T>(); }};
}
template <class T>
TCase Case(const char* name, std::int32_t id, TShapeTag shape, bool redraw, TAccess access, T (P::*)())
{
    return {name, id, shape, redraw, access, false, 0, ScalarSet<T>() + 1, BytesOf<T>(), {}, {}, {}};
}
template <class T>
TCase Case(const char* name, std::int32_t id, TShapeTag shape, bool redraw, TAccess access, T (P::*)(std::int32_t, std::int32_t))
{
    return {name, id, shape, redraw, access, false, 0, 6, BytesOf<T>(), {}, {}, {}};
}

#define PE_ACCESSORS_S(name) &P::Get##name, &P::Set##name
#define PE_ACCESSORS_I1(name) &P::Get##name, &P::Set##name
#define PE_ACCESSORS_I2(name) &P::Get##name, &P::Set##name
#define PE_ACCESSORS_I2RAW(name) &P::Get##name, &P::Set##name
#define PE_ACCESSORS_RO(name) &P::Get##name
#define PE_ACCESSORS_RO2(name) &P::Get##name

const std::vector<TCase>& Catalogue()
{
    static const std::vector<TCase> cases = {
#define PE_PROP(name, type, id, shape, redraw, access) \
        Case<type>(#name, id, shape, redraw, access, PE_ACCESSORS_##shape(name)),
#include "graph/PropertyCatalogue.def"
#undef PE_PROP
    };
    return cases;
}

class PropertyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g.SetSubsets(2);
        g.SetPoints(3);
        g.SetTARows(2);
        g.SetTAColumns(3);
        engine.Clear();
    }
    TQtApp app;
    TRecordingEngine engine;
    TEngineScope scope{engine};
    PESGraph g;
};

TEST_F(PropertyTest, CatalogueHasEveryPropertyOnce)
{
    const auto& cases = Catalogue();
    EXPECT_EQ(cases.size(), 490u);
    std::set<std::int32_t> ids;
    std::set<std::string> names;
    int published = 0, accessors = 0, redraw = 0, readOnly = 0;
    for (const auto& c : cases) {
        ids.insert(c.Id);
        names.insert(c.Name);
        EXPECT_GE(c.Id, 2100);
        EXPECT_LE(c.Id, 3698);
        published += c.Access == PUBLISHED;
        redraw += c.Redraw;
        const bool ro = c.Shape == RO || c.Shape == RO2;
        readOnly += ro;
        accessors += ro ? 1 : 2;
        if (c.Access == PUBLISHED) {
            EXPECT_EQ(c.Shape, S) << c.Name;
        }
    }
    EXPECT_EQ(ids.size(), 490u);
    EXPECT_EQ(names.size(), 490u);
    EXPECT_EQ(published, 264);
    EXPECT_EQ(readOnly, 4);
    EXPECT_EQ(accessors, 976);
    EXPECT_EQ(redraw, 208);

    int enums = 0;
#define PE_ENUM(name, ...) ++enums;
#include "graph/GraphEnums.def"
#undef PE_ENUM
    EXPECT_EQ(enums, 63);
}

TEST_F(PropertyTest, EverySetterSendsItsIdAndValueAndEveryGetterReadsItBack)
{
    for (const auto& c : Catalogue()) {
        SCOPED_TRACE(c.Name);
        // The engine reads exactly as many bytes as the control passes.
        const TEngineProperty* ep = FindEngineProperty(c.Id);
        ASSERT_NE(ep, nullptr);
        const int engineBytes = ep->Kind == TValueKind::Text ? 0 : ep->Kind == TValueKind::Double ? 8 : 4;
        EXPECT_EQ(engineBytes, c.ValueBytes);
        if (!c.Set) {
            engine.Clear();
            continue;
        }
        engine.Clear();
        c.Set(g);
        ASSERT_EQ(engine.Calls.size(), 1u);
        const TEngineCall& call = engine.Calls[0];
        EXPECT_EQ(call.Ordinal, c.SetOrdinal);
        EXPECT_EQ(call.Id, c.Id);
        EXPECT_EQ(call.Handle, g.GethObject());
        if (c.Shape != S) {
            EXPECT_EQ(call.I, kI);
            EXPECT_EQ(call.J, c.Shape == I1 ? 0 : kJ);
        } else if (c.SetOrdinal == 3) {
            EXPECT_EQ(call.Args.at(0), 0); // scalar count
        }
        c.CheckSent(call);
        engine.Clear();
        EXPECT_TRUE(c.ReadsBack(g));
        ASSERT_EQ(engine.Calls.size(), 1u);
        EXPECT_EQ(engine.Calls[0].Ordinal, c.GetOrdinal);
        EXPECT_EQ(engine.Calls[0].Id, c.Id);
    }
}

TEST_F(PropertyTest, RedrawMarksFollowTheCatalogueWhileDesigning)
{
    for (const auto& c : Catalogue()) {
        if (!c.Set)
            continue;
        SCOPED_TRACE(c.Name);
        PESGraph designed;
        designed.SetDesigning(true);
        designed.HandleNeeded();
        engine.Clear();
        c.Set(designed);
        const bool redrew = engine.Calls.size() == 3 && engine.Calls[1].Ordinal == 33 && engine.Calls[2].Ordinal == 24;
        EXPECT_EQ(redrew, c.Redraw);
        if (!c.Redraw) {
            EXPECT_EQ(engine.Calls.size(), 1u);
        }
    }
}

TEST_F(PropertyTest, ReadOnlyPropertiesReadTheirIds)
{
    g.GetPainting();
    EXPECT_EQ(engine.Last(8)->Id, 2916);
    g.GetObjectType();
    EXPECT_EQ(engine.Last(8)->Id, 2100);
    g.GetDialogResult();
    EXPECT_EQ(engine.Last(8)->Id, 2981);
    g.GetBestFitCoeffs(2, 3);
    EXPECT_EQ(engine.Last(6)->Id, 3058);
    EXPECT_EQ(engine.Last(6)->I, 23);
}

TEST_F(PropertyTest, RemappedEnumerationsSendTheirEngineCodes)
{
    g.SetPlottingMethod(sgContourColors);
    EXPECT_EQ(engine.Last(7)->Id, 3090);
    EXPECT_EQ(engine.Last(7)->Args[0], 24);
    EXPECT_EQ(g.GetPlottingMethod(), sgContourColors);
    engine.SetInt(g.GethObject(), 3090, 5);
    EXPECT_EQ(g.GetPlottingMethod(), sgLine);

    g.SetPlottingMethodII(sgStep2);
    EXPECT_EQ(engine.Last(7)->Args[0], 21);

    g.SetTALocation(sgOutsideAxis2);
    EXPECT_EQ(engine.Last(7)->Id, 2961);
    EXPECT_EQ(engine.Last(7)->Args[0], 202);
    engine.SetInt(g.GethObject(), 2961, 103);
    EXPECT_EQ(g.GetTALocation(), sgInsideAxis3);
    engine.SetInt(g.GethObject(), 2961, 106);
    EXPECT_EQ(g.GetTALocation(), sgTopCenterDesk);
    g.SetTALocation(sgInsideOverlap3);
    EXPECT_EQ(engine.Last(7)->Args[0], 0);
}

TEST_F(PropertyTest, BooleansAndEnumerationsReadTheLowByte)
{
    engine.SetInt(g.GethObject(), PEP::MainTitleBold, 256);
    EXPECT_FALSE(g.GetMainTitleBold());
    engine.SetInt(g.GethObject(), PEP::ViewingStyle, 256);
    EXPECT_EQ(g.GetViewingStyle(), sgColor);
    engine.SetInt(g.GethObject(), PEP::Subsets, 256);
    EXPECT_EQ(g.GetSubsets(), 256);
}

TEST_F(PropertyTest, ColoursPassAsRedLowAndSystemColoursResolveExceptForPointColors)
{
    g.SetDeskColor(TColor(0x00E3DFE0));
    EXPECT_EQ(engine.Last(7)->Args[0], 0x00E3DFE0);
    const QColor face = QApplication::palette().color(QPalette::Button);
    const std::int32_t faceRef = face.red() | face.green() << 8 | face.blue() << 16;
    g.SetDeskColor(clBtnFace);
    EXPECT_EQ(engine.Last(7)->Args[0], faceRef);
    EXPECT_EQ(g.GetDeskColor(), TColor(faceRef));

    g.SetSubsetColors(4, clBtnFace);
    std::int32_t sent;
    std::memcpy(&sent, engine.Last(5)->Bytes.data(), 4);
    EXPECT_EQ(sent, faceRef);
    g.SetTAColor(1, 1, clBtnFace);
    std::memcpy(&sent, engine.Last(50)->Bytes.data(), 4);
    EXPECT_EQ(sent, faceRef);
    g.SetPointColors(1, 1, clBtnFace);
    std::memcpy(&sent, engine.Last(50)->Bytes.data(), 4);
    EXPECT_EQ(std::uint32_t(sent), 0x8000000Fu);
}

TEST_F(PropertyTest, TextsAreCutToWhatTheEngineKeeps)
{
    g.SetMainTitle("");
    EXPECT_EQ(engine.Last(9)->Text, "");
    EXPECT_EQ(g.GetMainTitle(), "");

    g.SetMainTitle(QString(300, 'x'));
    EXPECT_EQ(engine.Last(9)->Text.size(), 255u);
    EXPECT_EQ(g.GetMainTitle(), QString(255, 'x'));
    // A two-byte character that would straddle the limit is left out whole.
    g.SetSubsetLabels(0, QString(254, 'x') + QChar(0xE9) + "tail");
    EXPECT_EQ(g.GetSubsetLabels(0), QString(254, 'x'));

    // A returned text stays as it was when the next getter runs.
    g.SetSubTitle("second");
    const QString first = g.GetMainTitle();
    const QString second = g.GetSubTitle();
    EXPECT_EQ(first, QString(255, 'x'));
    EXPECT_EQ(second, "second");
}

TEST_F(PropertyTest, IndicesOutsideTheDataAreIgnored)
{
    g.SetXData(0, 0, 4.0f);
    g.SetXData(2, 0, 9.0f);  // subset beyond Subsets
    g.SetXData(0, 3, 9.0f);  // point beyond Points
    g.SetXData(-1, 0, 9.0f);
    g.SetSubsetColors(-1, clRed);
    EXPECT_EQ(g.GetXData(0, 0), 4.0f);
    EXPECT_EQ(g.GetXData(2, 0), 4.0f); // nothing read: the buffer keeps the last value
    EXPECT_EQ(g.GetXData(0, 3), 4.0f);
    g.SetTAText(5, 0, "outside");
    EXPECT_EQ(g.GetTAText(0, 0), "");
    EXPECT_EQ(g.GetTAText(5, 0), "");

    // Fewer points keep what is left; more points start at zero.
    g.SetXData(1, 2, 7.0f);
    g.SetPoints(2);
    g.SetPoints(3);
    EXPECT_EQ(g.GetXData(0, 0), 4.0f);
    EXPECT_EQ(g.GetXData(1, 2), 0.0f);
}

} // namespace

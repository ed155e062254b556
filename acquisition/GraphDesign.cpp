#include "GraphDesign.h"

#include "graph/Pesgvcl.h"

#include <map>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

namespace Acquisition {

namespace {

// One stored value: a number (booleans, enumerations, colours, integers and fractions alike)
// or a text.
struct DesignValue {
    const char* Name;
    double Number = 0;
    const char* Text = nullptr;
};
DesignValue N(const char* name, double number) { return {name, number, nullptr}; }
DesignValue T(const char* name, const char* text) { return {name, 0, text}; }

// The colour value 1: next to black, so that the engine draws it rather than taking its own.
constexpr double NearBlack = 1;

std::vector<DesignValue> commonValues()
{
    return {
        // Colours.
        N("GraphForeColor", clSilver), N("GraphBackColor", clWhite), N("DeskColor", 14933984),
        N("TextColor", clBlack), N("ShadowColor", clGray), N("XAxisColor", NearBlack),
        N("TXAxisColor", NearBlack), N("BoxPlotColor", clBlack), N("BarBorderColor", clBlack),
        N("HatchBackColor", clBlack), N("DeskGradientStyle", sgNoGradient), N("GraphGradientStyle", sgNoGradient),
        N("DeskBmpStyle", sgNoBmp), N("GraphBmpStyle", sgNoBmp), N("DeskGradientStart", clBlack),
        N("DeskGradientEnd", clBlack), N("GraphGradientStart", clBlack), N("GraphGradientEnd", clBlack),
        N("PngTransparentColor", clWhite),
        // Style.
        N("ViewingStyle", sgColor), N("QuickStyle", sgNoStyle), N("BorderTypes", sgInset),
        N("SimplePointLegend", false), N("Subsets", 1), N("PrepareImages", false),
        N("BitmapGradientMode", false), N("MonoWithSymbols", false),
        // Fonts.
        N("FontSize", sgMedium), T("MainTitleFont", "Times New Roman"), T("SubTitleFont", "Times New Roman"),
        T("LabelFont", "Arial"), N("MainTitleBold", false), N("MainTitleItalic", false),
        N("MainTitleUnderline", false), N("SubTitleBold", false), N("SubTitleItalic", false),
        N("SubTitleUnderline", false), N("LabelBold", false), N("LabelItalic", false),
        N("LabelUnderline", false), N("FixedFonts", false), N("FontSizeGlobalCntl", 1),
        N("FontSizeLegendCntl", 1), N("FontSizeMSCntl", 1), N("FontSizeMBCntl", 1), N("FontSizeGNCntl", 1),
        N("FontSizeCPCntl", 1), N("FontSizeALCntl", 1),
        // Axes and grid.
        N("XAxisScaleControl", sgLinear), N("YAxisScaleControl", sgLinear), N("RYAxisScaleControl", sgLinear),
        N("TXAxisScaleControl", sgLinear), N("ManualScaleControlX", sgAutoScale),
        N("ManualScaleControlY", sgAutoScale), N("ManualScaleControlRY", sgAutoScale),
        N("ManualScaleControlTX", sgAutoScale), N("ManualScaleControlZ", sgAutoScale),
        N("ShowXAxis", sgGridPlusAxisLabels), N("ShowYAxis", sgGridPlusAxisLabels),
        N("ShowRYAxis", sgGridPlusAxisLabels), N("ShowTXAxis", sgGridPlusAxisLabels),
        N("ShowTickMarkX", sgTicksInside), N("ShowTickMarkY", sgTicksInside), N("ShowTickMarkRY", sgTicksInside),
        N("ShowTickMarkTX", sgTicksInside), N("TickStyle", sgMatchGridStyle), N("GridLineControl", sgYPlusXAxis),
        N("GridInFront", false), N("XAxisOnTop", true), N("YAxisOnRight", false), N("ForceRightYAxis", false),
        N("ForceTopXAxis", false), N("InvertedRYAxis", false), N("InvertedXAxis", false),
        N("InvertedTXAxis", false), N("XAxisLongTicks", false), N("YAxisLongTicks", false),
        N("RYAxisLongTicks", false), N("TXAxisLongTicks", false), T("RYAxisLabel", "Right Y Axis #1"),
        T("TXAxisLabel", "Top X Axis"), N("ManualYAxisLine", 10), N("ManualRYAxisTick", 1),
        N("ManualRYAxisLine", 1), N("ManualTXAxisTick", 1), N("ManualTXAxisLine", 1),
        N("ManualXAxisTicknLine", false), N("ManualYAxisTicknLine", false), N("ManualRYAxisTicknLine", false),
        N("ManualTXAxisTicknLine", false), N("MultiAxesSeparators", sgNoSeparator),
        N("NoGridLineMultiples", false), N("LogScaleExpLabels", true), N("LogTickThreshold", 7),
        N("SpecialScalingY", sgNoSpecialScaling), N("SpecialScalingRY", sgNoSpecialScaling),
        N("AutoMinMaxPadding", 5), N("NegativeFromXAxis", true), N("XAxisVertNumbering", false),
        N("VertOrient90Degrees", false),
        // Data and plotting.
        N("ScrollingSubsets", 0), N("NoScrollingSubsetControl", false), N("GraphDataLabels", false),
        N("AllowDataLabels", sgDataValues), N("MarkDataPoints", false), N("NullDataGaps", false),
        N("LineGapThreshold", 1e37), N("VBoundaryTypes", sgNone), T("UpperBoundText", "Upper"),
        T("LowerBoundText", "Lower"), N("ManualMaxZ", 100), N("ContourLineLabelDensity", 0),
        N("AllowContourLines", false), N("AllowContourColors", false), N("SpecialDateTimeMode", false),
        N("PlottingMethodII", sgLine2), N("SpecificPlotMode", sgNormal), N("SpecificPlotModeColor", false),
        N("AllowBubble", false), N("AllowBestFitCurve", false), N("AllowStick", false), N("AllowBar", false),
        N("AllowPoint", false), N("AllowArea", false), N("AllowBestFitLine", false), N("AllowRibbon", false),
        N("BubbleSize", sgMediumBubbles), N("PointSize", sgMediumPoints), N("MinimumPointSize", sgNoMPS),
        N("CurveGranularity", sgMediumLines), N("SymbolFrequency", sgEightPercent), N("ThreeDThreshold", 100),
        N("NoHiddenLinesInArea", false),
        // User interface.
        N("AllowUserInterface", sgAllInterface), N("AllowPopup", false), N("CursorMode", sgNoCursor),
        N("CursorPromptTracking", false), N("CursorPageAmount", 20), N("AllowCoordPrompting", false),
        N("ZoomStyle", sgFramed), N("ZoomInterfaceOnly", sgNormalZooming), N("ScrollingHorzZoom", false),
        N("ScrollingVertZoom", false), N("ZoomMaxRY", 100), N("FocalRect", false), N("AllowPage1", false),
        N("AllowFontPage", false), N("AllowColorPage", false), N("AllowStylePage", false),
        N("AllowAxisPage", false), N("ModalDialogs", false), N("ModelessOnTop", false),
        N("ModelessAutoClose", false), N("NoCustomParms", true), N("DefOrientation", sgLandscape),
        N("PrintStyleControl", sgPrintCurrentStyle),
        // Hot spots and annotations.
        N("AllowSubsetHotSpots", false), N("AllowGraphHotSpots", false), N("AllowDataHotSpots", false),
        N("AllowTitleHotSpots", false), N("AllowSubTitleHotSpots", false), N("AllowBottomTitleHotSpots", false),
        N("AllowAxisLabelHotSpots", false), N("AllowAxisHotSpots", false), N("AllowGridNumberHotSpotsX", false),
        N("AllowGridNumberHotSpotsY", false), N("AllowGraphAnnotHotSpots", false),
        N("AllowXAxisAnnotHotSpots", false), N("AllowYAxisAnnotHotSpots", false),
        N("AllowHorzLineAnnotHotSpots", false), N("AllowVertLineAnnotHotSpots", false),
        N("HotSpotSize", sgSmallHotSpots), N("DataHotSpotLimit", 900000), N("ShowAnnotations", false),
        N("ShowGraphAnnotations", false), N("ShowXAxisAnnotations", false), N("ShowYAxisAnnotations", false),
        N("ShowHorzLineAnnotations", false), N("ShowVertLineAnnotations", false),
        N("AllowAnnotationControl", false), N("AnnotationsInFront", true), N("GraphAnnotationTextSize", 75),
        N("AxesAnnotationTextSize", 75), N("LineAnnotationTextSize", 75),
        // Export and images.
        N("AllowOleExport", false), N("NoRandomPointsToExport", false), N("PngIsTransparent", false),
        N("PngIsInterlaced", true), N("ImageAdjustRight", 0), N("ImageAdjustTop", 0),
        N("ImageAdjustBottom", 100),
        // Limits and help.
        N("HourGlassThreshold", 10000), T("HelpFileName", "pegraphs.hlp"), N("NoHelp", false),
    };
}

std::vector<DesignValue> pseudoSectionValues()
{
    return {
        T("MainTitle", "Main Title"), T("SubTitle", "Sub Title"), T("XAxisLabel", "mid point (m)"),
        T("YAxisLabel", "report point  (m)"), N("Points", 4), N("DataPrecision", sgOneDecimal),
        N("MaxDataPrecision", 2), N("NullDataValueX", -999999), N("NullDataValueY", -999999),
        N("PlottingMethod", sgContourLines), N("AllowLine", false), N("AllowSpline", false),
        N("AllowPointsPlusLine", false), N("AllowPointsPlusSpline", false), N("AllowStep", true),
        N("DataShadows", sgNo3D), N("BestFitDegree", sgDegree3), N("BestFitFix", true),
        N("InvertedYAxis", false), N("GridStyle", sgDot), N("TickColor", clSilver), N("YAxisColor", NearBlack),
        N("RYAxisColor", NearBlack), N("ManualMinY", 70), N("ManualMaxY", 180), N("ManualMinRY", 70),
        N("ManualMaxRY", 180), N("ManualMinX", 4.25), N("ManualMaxX", 130.75), N("ManualMinTX", 4.25),
        N("ManualMaxTX", 130.75), N("ManualXAxisTick", 2), N("ManualXAxisLine", 10), N("ManualYAxisTick", 2),
        N("LegendLocation", sgLegendTop), N("ShowLegend", true), N("SimpleLineLegend", false),
        N("AllowCustomization", true), N("AllowExporting", true), N("AllowMaximization", true),
        N("AllowPlotCustomization", true), N("AllowZooming", sgHorzPlusVertZooming),
        N("CursorPromptStyle", sgNoPrompt), N("MouseCursorControl", true), N("ThreeDDialogs", false),
        N("AllowPage2", true), N("AllowSubsetsPage", false), N("AllowJpegOutput", true),
        N("FontSizeTitleCntl", 1), N("ImageAdjustLeft", 0), N("LogicalLimit", 10010),
    };
}

std::vector<DesignValue> profileValues()
{
    return {
        T("MainTitle", "Sounder"), T("SubTitle", " "), T("XAxisLabel", "Distance (m)"),
        T("YAxisLabel", "Depth (m)"), N("Points", 2), N("DataPrecision", sgThreeDecimals),
        N("MaxDataPrecision", 3), N("PlottingMethod", sgSpline), N("AllowLine", true), N("AllowSpline", true),
        N("AllowPointsPlusLine", true), N("AllowPointsPlusSpline", true), N("AllowStep", false),
        N("DataShadows", sgWithShadows), N("BestFitDegree", sgDegree2), N("BestFitFix", false),
        N("InvertedYAxis", true), N("GridStyle", sgThin), N("TickColor", NearBlack), N("YAxisColor", clBlack),
        N("RYAxisColor", clBlack), N("ManualMinY", 97.5), N("ManualMaxY", 152.5), N("ManualMinRY", 97.5),
        N("ManualMaxRY", 152.5), N("ManualMinX", 9.25), N("ManualMaxX", 25.75), N("ManualMinTX", 9.25),
        N("ManualMaxTX", 25.75), N("ManualXAxisTick", 0.5), N("ManualXAxisLine", 2), N("ManualYAxisTick", 5),
        N("LegendLocation", sgLegendLeft), N("ShowLegend", false), N("SimpleLineLegend", true),
        N("AllowCustomization", false), N("AllowExporting", false), N("AllowMaximization", false),
        N("AllowPlotCustomization", false), N("AllowZooming", sgNoZooming), N("CursorPromptStyle", sgYValue),
        N("MouseCursorControl", false), N("ThreeDDialogs", true), N("AllowPage2", false),
        N("AllowSubsetsPage", true), N("AllowJpegOutput", false), N("FontSizeTitleCntl", 0.9),
        N("ImageAdjustLeft", 300), T("BottomMargin", "12"), N("LogicalLimit", 5000),
    };
}

using DesignTable = std::map<std::string, DesignValue>;

DesignTable tableOf(const std::vector<DesignValue>& own)
{
    DesignTable table;
    for (const DesignValue& v : commonValues())
        table[v.Name] = v;
    for (const DesignValue& v : own)
        table[v.Name] = v;
    return table;
}

template <class T>
T valueAs(const DesignValue& v)
{
    if constexpr (std::is_same_v<T, QString>)
        return QString::fromUtf8(v.Text ? v.Text : "");
    else if constexpr (std::is_same_v<T, bool>)
        return v.Number != 0;
    else if constexpr (std::is_floating_point_v<T>)
        return static_cast<T>(v.Number);
    else
        return static_cast<T>(static_cast<std::int64_t>(v.Number));
}

// A stored window holds no fraction of 0 and no empty text: those keep the engine's own value.
bool stored(const DesignValue& v) { return v.Text ? *v.Text != 0 : true; }
bool storedNumber(const DesignValue& v) { return v.Number != 0; }

// Writes the table's values through the setters of the published properties, in the
// catalogue's order, as loading a stored window does.
void load(PESGraph& graph, const DesignTable& table)
{
#define PE_LOAD_PUBLISHED_S(name, type)                                                                      \
    if (const auto it = table.find(#name); it != table.end() && stored(it->second)                          \
        && (!std::is_floating_point_v<type> || storedNumber(it->second)))                                   \
        graph.Set##name(valueAs<type>(it->second));
#define PE_LOAD_PUBLISHED_I1(name, type)
#define PE_LOAD_PUBLISHED_I2(name, type)
#define PE_LOAD_PUBLISHED_I2RAW(name, type)
#define PE_LOAD_PUBLISHED_RO(name, type)
#define PE_LOAD_PUBLISHED_RO2(name, type)
#define PE_LOAD_PUBLIC_S(name, type)
#define PE_LOAD_PUBLIC_I1(name, type)
#define PE_LOAD_PUBLIC_I2(name, type)
#define PE_LOAD_PUBLIC_I2RAW(name, type)
#define PE_LOAD_PUBLIC_RO(name, type)
#define PE_LOAD_PUBLIC_RO2(name, type)
#define PE_PROP(name, type, id, shape, redraw, access) PE_LOAD_##access##_##shape(name, type)
#include "graph/PropertyCatalogue.def"
#undef PE_PROP
    graph.Loaded();
}

std::set<std::string> publishedNames()
{
    std::set<std::string> names;
#define PE_NAME_PUBLISHED(name) names.insert(#name);
#define PE_NAME_PUBLIC(name)
#define PE_PROP(name, type, id, shape, redraw, access) PE_NAME_##access(name)
#include "graph/PropertyCatalogue.def"
#undef PE_PROP
    return names;
}

} // namespace

void LoadPseudoSectionDesign(PESGraph& graph) { load(graph, tableOf(pseudoSectionValues())); }

void LoadProfileDesign(PESGraph& graph) { load(graph, tableOf(profileValues())); }

QStringList UnknownDesignNames()
{
    const std::set<std::string> published = publishedNames();
    QStringList unknown;
    for (auto values : {&commonValues, &pseudoSectionValues, &profileValues})
        for (const DesignValue& v : values())
            if (!published.count(v.Name))
                unknown << QString::fromUtf8(v.Name);
    return unknown;
}

} // namespace Acquisition

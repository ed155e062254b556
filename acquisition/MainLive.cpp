// The value displays and the two live graphs of a survey: the survey loop calls these where the
// displays follow it; the rest are the window's handlers of the display keys, "Apply" and the
// two scroll boxes.
#include "Main.h"

#include "LiveGraph.h"
#include "acquisition/setup/SetupFile.h"
#include "graph/Pesgvcl.h"
#include "graph/engine/GraphEngine.h"
#include "platform/NumberFormat.h"
#include "views/LayoutTable.h"

#include <QCheckBox>
#include <QFrame>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QToolButton>

namespace Acquisition {

namespace {

// Engine properties of the profile that append its newest point: first its distance, then its
// value, whose write adds the point.
constexpr int32_t ProfileNextX = 3658;
constexpr int32_t ProfileNextY = 3276;

void writeProfileValue(PESGraph& graph, int32_t id, float value)
{
    GraphEngine().SetV(graph.GethObject(), id, &value, 1);
}

} // namespace

void TMainFrm::DisplayReset()
{
    DistanceLblx->setText(FormatFloat("#.00", 0));
    NewRefLblx->setText(FormatFloat("#.00", 0));
    InLblx->setText(CurrentText(Workspace, ModelTagFound));
    for (TStaticText* v : VLblx)
        v->setText(FormatFloat("#.00", 0));
    // A survey that ended on a sentence without depth must not hand its cue to the next one.
    ShowDepthCue(false);
}

void TMainFrm::ShowDepthCue(bool noDepth)
{
    LayoutTable::SetColours(SounderLblx, SounderLblx->palette().color(QPalette::WindowText),
                            noDepth ? QColor(0x80, 0, 0) : QColor(Qt::black));
}

void TMainFrm::DipoleDisplayLayout()
{
    const DipoleLayout layout = DipoleLayoutOf(ChannelCount, SwitchEnabled);
    for (int k = 2; k <= 10; ++k)
        VLblx[static_cast<size_t>(k - 1)]->setVisible(layout.Visible[static_cast<size_t>(k - 1)]);
    SwitchRB->setChecked(SwitchEnabled != 0);
    PanelV11_20->hide();
    PanelP11_22->hide();
    if (layout.SecondSetShown) {
        PanelV11_20->show();
        PanelP11_22->show();
        for (int k = 12; k <= 20; ++k)
            VLblx[static_cast<size_t>(k - 1)]->setVisible(layout.Visible[static_cast<size_t>(k - 1)]);
    }
}

void TMainFrm::GraphSetUp()
{
    int32_t points = DefaultGraphPoints;
    if (SetupIni) {
        const int32_t read = SetupIni->ReadInteger(Setup::Parameters, "GraphPoints", DefaultGraphPoints);
        SetupIni->WriteInteger(Setup::Parameters, "GraphPoints", read);
        points = LimitGraphPoints(read);
    }
    Survey.GraphPoints = points;
    Survey.RhoMax = RhoMaxStart;
    Survey.RhoMin = RhoMinStart;
    // Ohm.m until the first cycle chooses, so that a survey whose first cycle fails still draws,
    // under a title that says so rather than the unit of an earlier survey.
    const PseudoSectionUnit metre = OhmMetreUnit();
    Survey.RhoUnitFactor = metre.Factor;
    Survey.SectionFilled = false;
    Survey.GraphValues.fill(0);
    Survey.GraphPositions.fill(0);

    PESGraph& g1 = *PESGraph1;
    g1.SetPEactions(sgResetImage);
    g1.SetSubsets(ChannelCount);
    g1.SetPoints(points);
    g1.SetContourStyleLegend(true);
    g1.SetGraphDataLabels(false);
    g1.SetBorderTypes(sgInset);
    g1.SetDataShadows(sgNo3D);
    g1.SetAllowContourColors(true);
    g1.SetAllowContourLines(true);
    g1.SetPlottingMethod(sgContourColors);
    g1.SetLegendLocation(sgLegendLeft);
    g1.SetGridInFront(true);
    g1.SetGridLineControl(sgYPlusXAxis);
    g1.SetZoomStyle(sgFramed);
    g1.SetInvertedYAxis(true);
    g1.SetAllowLine(false);
    g1.SetAllowPoint(false);
    g1.SetAllowBar(false);
    g1.SetAllowArea(false);
    g1.SetAllowSpline(false);
    g1.SetAllowPointsPlusLine(false);
    g1.SetAllowPointsPlusSpline(false);
    g1.SetAllowBestFitCurve(false);
    g1.SetAllowBestFitLine(false);
    g1.SetAllowStick(false);
    g1.SetMainTitle(metre.Title);
    g1.SetSubTitle("");
    g1.SetAutoMinMaxPadding(1);
    g1.SetAllowZooming(sgNoZooming);
    g1.SetFontSize(sgSmall);
    g1.SetFixedFonts(true);
    g1.SetAllowAxisPage(false);
    g1.SetAllowStylePage(false);
    g1.SetAllowSubsetsPage(false);
    g1.SetScrollingVertZoom(false);
    g1.SetScrollingHorzZoom(false);
    for (int32_t s = 0; s < ChannelCount; ++s)
        for (int32_t p = 0; p < points; ++p) {
            g1.SetYData(s, p, PointDepths[static_cast<size_t>(s)]);
            g1.SetXData(s, p, 0);
        }
    g1.SetDeskColor(clBtnFace);
    g1.SetPEactions(sgReinitialize);

    PESGraph& g2 = *PESGraph2;
    g2.SetContourStyleLegend(true);
    g2.SetGraphDataLabels(false);
    g2.SetBorderTypes(sgInset);
    g2.SetDataShadows(sgNo3D);
    g2.SetLegendLocation(sgLegendLeft);
    g2.SetGridInFront(true);
    g2.SetGridLineControl(sgYPlusXAxis);
    g2.SetSubsetColors(0, clBlue);
    g2.SetZoomStyle(sgFramed);
    if (SounderCB->isChecked()) {
        g2.SetInvertedYAxis(true);
        g2.SetYAxisLabel("Depth (m)");
    } else {
        g2.SetInvertedYAxis(false);
        g2.SetYAxisLabel("Altitude (m)");
    }
    g2.SetSubsets(1);
    g2.SetPoints(points);
    for (int32_t p = 0; p < points; ++p) {
        g2.SetYData(0, p, 0);
        g2.SetXData(0, p, 0);
    }
    g2.SetSubTitle("");
    g2.SetAutoMinMaxPadding(1);
    g2.SetAllowZooming(sgNoZooming);
    g2.SetFontSize(sgSmall);
    g2.SetFixedFonts(true);
    g2.SetAllowAxisPage(false);
    g2.SetAllowStylePage(false);
    g2.SetAllowSubsetsPage(false);
    g2.SetScrollingVertZoom(false);
    g2.SetScrollingHorzZoom(false);
    g2.SetPEactions(sgReinitAndReset);
    g2.SetDeskColor(clBtnFace);
    g2.SetPEactions(sgReinitialize);
}

void TMainFrm::CycleDisplay()
{
    if (Survey.CycleIndex == 0) {
        const PseudoSectionUnit unit = ChooseRhoUnit(Workspace, GeometricFactors[0]);
        Survey.RhoUnitFactor = unit.Factor;
        PESGraph1->SetMainTitle(unit.Title);
    }
    InLblx->setText(CurrentText(Workspace, ModelTagFound));
    const auto texts = DipoleValueTexts(Workspace, GeometricFactors, DisplayRho);
    for (size_t k = 0; k < texts.size(); ++k)
        VLblx[k]->setText(texts[k]);
    DistanceLblx->setText(FormatFloat("#.00", Survey.Track.Trip));
    NewRefLblx->setText(FormatFloat("#.00", Survey.Track.TotalDistance));
}

void TMainFrm::GraphUpdate(int q)
{
    const size_t c = static_cast<size_t>(q);
    const DipoleRecord& record = DipoleRecords[c];
    const ScaleSettings scale{AutoScale, ScaleMin, ScaleMax};
    float g = GraphValueOf(record.Rho, record.In, Survey.RhoUnitFactor);
    g = TrackGraphValue(g, Survey.RhoMax, Survey.RhoMin, scale);
    Survey.GraphValues[c] = g;
    Survey.GraphPositions[c] =
        GraphPositionOf(AddDistanceChk->isChecked(), Survey.Track.TotalDistance, Survey.CycleIndex, MeasurePoints[c]);
    if (!VisibleRB->isChecked())
        return;
    try {
        PESGraph& g1 = *PESGraph1;
        const int32_t points = Survey.GraphPoints;
        const float x = Survey.GraphPositions[c];
        // The first stored cycle that reaches the section fills its rows, also when cycle 0
        // was lost or the graph was enabled later: a shift would keep the set-up's columns at 0
        // with an earlier survey's values.
        if (Survey.SectionFilled) {
            for (int32_t p = 1; p < points; ++p) {
                if (scale.AutoScale == 0) {
                    const float z = g1.GetZData(q, p);
                    const float kept = ShiftedZ(z, scale);
                    if (!(kept == z))
                        g1.SetZData(q, p, kept);
                }
                g1.SetZData(q, p - 1, g1.GetZData(q, p));
                g1.SetXData(q, p - 1, g1.GetXData(q, p));
            }
            g1.SetZData(q, points - 1, g);
            g1.SetXData(q, points - 1, x);
        } else {
            for (int32_t p = 0; p < points; ++p) {
                g1.SetZData(q, p, g);
                g1.SetXData(q, p, x);
            }
        }
    } catch (...) {
        // One channel's row is given up; the others are still drawn.
    }
}

void TMainFrm::GraphUpdateEnd()
{
    try {
        if (VisibleRB->isChecked()) {
            Survey.SectionFilled = true;
            const double band = RoundZRange(Survey.RhoMax, Survey.RhoMin);
            PESGraph1->SetManualZAxisLine(band);
            ApplyColourScale();
        }
        if (VisibleRB->isChecked()) {
            PESGraph1->show();
            writeProfileValue(*PESGraph2, ProfileNextX, Survey.Track.TotalDistance);
            if (AcquisitionMode & 0xA0) {
                writeProfileValue(*PESGraph2, ProfileNextY, -SounderDepth);
                SounderLblx->setText(FormatFloat("#.0", SounderDepth));
                SounderLblx->show();
            } else {
                writeProfileValue(*PESGraph2, ProfileNextY, Survey.Track.GpsAltitude);
                AltitudeLblx->setText(FormatFloat("#.0", Survey.Track.GpsAltitude));
                AltitudeLblx->setVisible(GpsConnectedCB->isChecked());
            }
            PESGraph2->SetPEactions(sgReinitAndReset);
            PESGraph2->setVisible(GpsConnectedCB->isChecked());
        }
    } catch (...) {
        // The rest of this step waits for the next stored cycle; the cycle itself goes on.
    }
}

void TMainFrm::ApplyColourScale()
{
    try {
        const ColourScale scale = BuildColourScale(SMin->value(), SMax->value());
        SMin->setValue(scale.SMin);
        SMax->setValue(scale.SMax);
        for (int k = 0; k < ColourScaleEntries; ++k)
            PESGraph1->SetSubsetColors(k, static_cast<TColor>(scale.Colours[static_cast<size_t>(k)]));
        PESGraph1->SetPEactions(sgReinitAndReset);
    } catch (...) {
        // The section keeps its colours.
    }
}

void TMainFrm::BitBtn7Click(QObject*) { ApplyColourScale(); }

void TMainFrm::ShowVpClick(QObject*)
{
    DisplayRho = 0;
    ShowVp->setChecked(true);
}

void TMainFrm::ShowRhoClick(QObject*)
{
    DisplayRho = 1;
    ShowRho->setChecked(true);
}

void TMainFrm::ScrollBox1CanResize(QObject*, int&, int&, bool&)
{
    ScrollBox2->verticalScrollBar()->setValue(ScrollBox1->verticalScrollBar()->value());
}

void TMainFrm::ScrollBox2CanResize(QObject*, int&, int&, bool&)
{
    ScrollBox1->verticalScrollBar()->setValue(ScrollBox2->verticalScrollBar()->value());
}

} // namespace Acquisition

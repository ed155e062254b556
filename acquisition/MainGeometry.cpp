#include "Main.h"

#include "Geometry.h"
#include "platform/Dialogs.h"

namespace Acquisition {

static_assert(WorkspaceSize == std::tuple_size_v<WorkspaceArray>);

void TMainFrm::ComputeCableDistances() { ComputeDistances(Workspace, CableSet::First); }

void TMainFrm::ComputeCable2Distances() { ComputeDistances(Workspace, CableSet::Second); }

double TMainFrm::GeometricFactor(int index) { return GeometricFactorOf(ReadDistances(Workspace, index)); }

double TMainFrm::MeasurePointX(int index) { return MeasurePointOf(ChannelElectrodes(Workspace, index)); }

double TMainFrm::ArrayAsymmetry(int index) { return AsymmetryOf(ChannelElectrodes(Workspace, index)); }

double TMainFrm::PseudoDepth(int index)
{
    const std::optional<float> depth = PseudoDepthOf(ReadDistances(Workspace, index), ArrayAsymmetry(index));
    if (!depth) {
        // The caller stores the negated depth, so a bad point shows as 1 m in the graph.
        Dialogs().ShowMessage("Report point error Bad data");
        return -1.0;
    }
    return *depth;
}

} // namespace Acquisition

#include "Portvirt.h"

#include "Varnokpro.h"
#include "platform/Application.h"

TPortVirt* ActivePort = nullptr;

TPortVirt::~TPortVirt() = default;

void TPortVirt::SetLinkOption(int) {}

void TPortVirt::Wait(int seconds) { Sleep(seconds * 1000); }

void TPortVirt::PutBlock(const uint8_t* data, int count)
{
    for (int i = 0; i < count; ++i)
        PutCom(data[i]);
}

uint16_t TPortVirt::Checksum(const uint8_t* data, uint32_t count)
{
    uint16_t sum = 0;
    for (uint32_t i = 0; i < count; ++i)
        sum = static_cast<uint16_t>(sum + data[i]);
    return sum;
}

bool TPortVirt::XbtCLoad()
{
    if (GetState() <= 0)
        throw Exception(PortErrXbtCload);
    return false; // the framed download comes with the protocol
}

int TPortVirt::LoadBuffer(void* destination, int destinationSize)
{
    XbtCLoad();
    if (!destination || !Buffer || destinationSize <= 0)
        return 0;
    const int n = std::min<int>(destinationSize, static_cast<int>(Buffer->size()));
    std::memcpy(destination, Buffer->constData(), static_cast<size_t>(n));
    return n;
}

void SendEscape()
{
    if (ActivePort)
        ActivePort->SetCmd(CmdEscape, 2000);
}

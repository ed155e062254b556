#include "InstrumentCodec.h"

#include <cstring>

namespace Instrument {

namespace {
int16_t s16(const char* p)
{
    return static_cast<int16_t>(static_cast<uint8_t>(p[0]) | (static_cast<uint8_t>(p[1]) << 8));
}
} // namespace

std::optional<uint8_t> DecodeCommand(uint8_t command, uint8_t complement)
{
    if (static_cast<uint8_t>(command ^ 0xFF) != complement)
        return std::nullopt;
    return command;
}

bool DecodeParameterBlock(const QByteArray& bytes, TSurveyProgram& program)
{
    if (bytes.size() != 8)
        return false;
    std::memcpy(&program.TxVoltage, bytes.constData(), 4);
    program.PulseTime = static_cast<uint16_t>(s16(bytes.constData() + 4));
    program.Delay = static_cast<uint16_t>(s16(bytes.constData() + 6));
    return true;
}

int16_t DecodeSwitchWord(const QByteArray& bytes) { return bytes.size() == 2 ? s16(bytes.constData()) : 0; }

bool DecodeSwitchTable(const QByteArray& bytes, std::array<int16_t, 13>& table)
{
    if (bytes.size() != 26)
        return false;
    for (int i = 0; i < 13; ++i)
        table[i] = s16(bytes.constData() + 2 * i);
    return true;
}

uint16_t DecodeFrameNumber(const QByteArray& bytes)
{
    return bytes.size() == 2 ? static_cast<uint16_t>(s16(bytes.constData())) : 0;
}

uint16_t FrameChecksum(uint16_t length, const QByteArray& data)
{
    uint16_t sum = static_cast<uint16_t>((length & 0xFF) + (length >> 8));
    for (char c : data)
        sum = static_cast<uint16_t>(sum + static_cast<uint8_t>(c));
    return sum;
}

uint32_t HostFrameLength(uint16_t lengthWord, uint32_t remaining)
{
    uint32_t length = lengthWord >> 6;
    if (length > 528)
        length = remaining >= 528 ? 528 : remaining;
    return length;
}

QByteArray EncodeFrame(uint16_t number, const QByteArray& data, std::optional<uint16_t> lengthWord, uint16_t checksumXor)
{
    const auto length = static_cast<uint16_t>(data.size());
    QByteArray out = Le16(number) + Le16(lengthWord.value_or(static_cast<uint16_t>(length << 6)));
    if (length == 0)
        return out; // the end marker carries neither data nor checksum
    out += data;
    out += Le16(static_cast<uint16_t>(FrameChecksum(length, data) ^ checksumXor));
    return out;
}

QByteArray Le16(uint16_t value)
{
    QByteArray b(2, 0);
    b[0] = static_cast<char>(value & 0xFF);
    b[1] = static_cast<char>(value >> 8);
    return b;
}

QByteArray Le32(uint32_t value)
{
    QByteArray b(4, 0);
    for (int i = 0; i < 4; ++i)
        b[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return b;
}

QByteArray Floats(const std::vector<float>& values)
{
    QByteArray b(static_cast<qsizetype>(values.size() * 4), 0);
    if (!values.empty())
        std::memcpy(b.data(), values.data(), values.size() * 4);
    return b;
}

QByteArray EncodeSentence(const QByteArray& sentence)
{
    return Le32(static_cast<uint32_t>(sentence.size())) + sentence;
}

QByteArray NmeaSentence(const QByteArray& body)
{
    uint8_t sum = 0;
    for (char c : body)
        sum ^= static_cast<uint8_t>(c);
    return "$" + body + "*" + QByteArray::number(sum, 16).rightJustified(2, '0').toUpper();
}

} // namespace Instrument

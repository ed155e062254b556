#include "acquisition/setup/SetupFile.h"
#include "platform/NumberFormat.h"
#include "support/TestApp.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

QString writeIni(const TempDir& dir, const QByteArray& text)
{
    const QString path = dir.File("setup.ini");
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(text);
    return path;
}

TEST(SetupFile, FractionalValuesThatNoFloatHoldsGiveTheDefault)
{
    SetDecimalSeparator('.');
    TempDir dir;
    const TIniFile ini(writeIni(dir, "[Parameters]\r\nA=1E39\r\nB=-3.5E38\r\nC=3.4E38\r\nD=1E-50\r\nE=0.3\r\nF=abc\r\n"));
    EXPECT_EQ(Setup::ReadFloat32(ini, "Parameters", "A", 7), 7.0f);
    EXPECT_EQ(Setup::ReadFloat32(ini, "Parameters", "B", 7), 7.0f);
    EXPECT_EQ(Setup::ReadFloat32(ini, "Parameters", "C", 7), 3.4e38f);
    EXPECT_EQ(Setup::ReadFloat32(ini, "Parameters", "D", 7), 0.0f); // underflow is a value, not an error
    EXPECT_EQ(Setup::ReadFloat32(ini, "Parameters", "E", 7), 0.3f);
    EXPECT_EQ(Setup::ReadFloat32(ini, "Parameters", "F", 7), 7.0f);
}

TEST(SetupFile, SixteenBitValuesKeepTheLowBits)
{
    TempDir dir;
    const TIniFile ini(writeIni(dir, "[Parameters]\r\nRemoteTime=70000\r\nNeg=-1\r\nHex=$1E\r\nBad=3.5\r\n"));
    EXPECT_EQ(Setup::ReadUInt16(ini, "Parameters", "RemoteTime", 25), 4464);
    EXPECT_EQ(Setup::ReadUInt16(ini, "Parameters", "Neg", 25), 65535);
    EXPECT_EQ(Setup::ReadInt16(ini, "Parameters", "Neg", 25), -1);
    EXPECT_EQ(Setup::ReadUInt16(ini, "Parameters", "Hex", 25), 30);
    EXPECT_EQ(Setup::ReadUInt16(ini, "Parameters", "Bad", 25), 25);
}

TEST(SetupFile, PositionKeysInWriteOrderWithTheirDefaults)
{
    const auto& keys = Setup::PositionKeys();
    EXPECT_EQ(keys[0].Name, "ComSpacingA");
    EXPECT_EQ(keys[1].Name, "ComSpacingB");
    EXPECT_EQ(keys[2].Name, "ComSpacing1");
    EXPECT_EQ(keys[12].Name, "ComSpacing11");
    EXPECT_EQ(keys[13].Name, "ComSpacingAY");
    EXPECT_EQ(keys[25].Name, "ComSpacing11Y");
    EXPECT_EQ(keys[26].Name, "ComSpacing2A");
    EXPECT_EQ(keys[28].Name, "ComSpacing21");
    EXPECT_EQ(keys[38].Name, "ComSpacing211");
    EXPECT_EQ(keys[39].Name, "ComSpacing2AY");
    EXPECT_EQ(keys[51].Name, "ComSpacing211Y");
    for (int k = 1; k <= 11; ++k)
        EXPECT_EQ(keys[1 + k].Default, 2.0f * k + 2) << "P" << k;
    EXPECT_EQ(keys[0].Default, 0.0f);
    EXPECT_EQ(keys[1].Default, 2.0f);
    EXPECT_EQ(keys[26].Default, 0.0f);
    EXPECT_EQ(keys[27].Default, 2.0f);
    EXPECT_EQ(keys[28].Default, 0.0f);
    // Workspace: x of set 1 at 124, y at 144, x of set 2 at 157, y at 177.
    EXPECT_EQ(keys[0].WorkspaceIndex, 124);
    EXPECT_EQ(keys[13].WorkspaceIndex, 144);
    EXPECT_EQ(keys[26].WorkspaceIndex, 157);
    EXPECT_EQ(keys[39].WorkspaceIndex, 177);
    EXPECT_EQ(keys[51].WorkspaceIndex, 189);
}

} // namespace

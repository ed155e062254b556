#pragma once
// A Quorel main window of its own for each test, with the registry stand-in, the command line
// and the one link-port object of the program reset around it.
#include "acquisition/Main.h"
#include "link/Portvirt.h"
#include "platform/CommandLine.h"
#include "platform/NumberFormat.h"
#include "platform/Registry.h"
#include "support/ScriptedDialogs.h"
#include "support/TestApp.h"

#include <QFile>
#include <gtest/gtest.h>
#include <memory>

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        SetDecimalSeparator('.');
        TRegistry::SetStoreFile(dir.File("registry.ini"));
        SetCommandLine({"Quorel"});
        DropWindow();
    }
    void TearDown() override
    {
        DropWindow();
        TRegistry::SetStoreFile(QString());
    }
    // A new window and no port object, as a new run of the program has.
    void DropWindow()
    {
        frm.reset();
        delete ActivePort;
        ActivePort = nullptr;
    }
    Acquisition::TMainFrm& NewWindow()
    {
        frm = std::make_unique<Acquisition::TMainFrm>();
        return *frm;
    }
    // Writes a file in the test's folder and returns its path.
    QString WriteFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.File(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }
    void Remember(const QString& setupPath)
    {
        TRegistry().WriteString(QString(Acquisition::RegistryKey) + Acquisition::RegistrySubKey,
                                Acquisition::RegistryValue, setupPath);
    }
    QString Remembered()
    {
        QString v;
        TRegistry().ReadString(QString(Acquisition::RegistryKey) + Acquisition::RegistrySubKey,
                               Acquisition::RegistryValue, v);
        return v;
    }

    TempDir dir;
    ScriptedDialogs dialogs;
    RecordingShell shell;
    std::unique_ptr<Acquisition::TMainFrm> frm;
};

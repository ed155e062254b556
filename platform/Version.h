#pragma once
#include <QString>
#include <QStringList>
#include <cstdint>

// The version record of a program: what a version resource holds on other systems.
struct TVersionRecord {
    uint16_t Major = 0, Minor = 0, Release = 0, Build = 0;
    QStringList Comments; // one line per language of the record
    QString Company;
    QString SupportMail;
    QString WebPage;
};

// The record compiled into this program.
TVersionRecord ProgramVersion();

// "Vmm.nn.rr": the first three parts, at least two digits each; the build is not shown.
QString VersionText(const TVersionRecord& version);

// The name of the operating system the program runs on (distribution and release where known).
QString OperatingSystemName();

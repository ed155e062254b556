#pragma once
#include <QString>
#include "Exception.h"

// The per-user store that stands in for the registry: keys are paths like
// "\SOFTWARE\Orvo Vivurererod\Initialisation\Quorel", values are strings.
class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

class TRegistry {
public:
    // Throws ERegistryException when the store cannot be read.
    bool ReadString(const QString& key, const QString& name, QString& value);
    // Throws ERegistryException when the value cannot be stored.
    void WriteString(const QString& key, const QString& name, const QString& value);

    // Tests point the store at a file of their own; empty restores the per-user file.
    static void SetStoreFile(const QString& path);
    static QString StoreFile();
};

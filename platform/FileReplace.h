#pragma once
#include <QByteArray>
#include <QString>

// Replaces a file's whole content at once: through a new file beside it and a rename, or,
// when no new file can be made beside it (a writable file in a folder that is not), in place.
// A file that exists but cannot be read is never replaced, and data that cannot be written is
// never a reason to fall back. False when the content could not be stored.
bool ReplaceFileContent(const QString& path, const QByteArray& data);

#pragma once

#include "ClipExportJob.h"

#include <QByteArray>
#include <QString>

class QTextStream;

// The manifest beside an exported clip: what was asked, what each file holds, where it came
// from, who exported it, and each file's SHA-256 in the format of `sha256sum` (every other
// line starts with "#", which `sha256sum -c` skips), so that anyone can check that nothing
// was altered.
class ExportManifest
{
public:
    static QString fileName(const QString &baseName);
    // Writes "<folder>/<manifest>.part" for the result's files, each hashed from its ".part".
    // Returns the path written, or an empty string with *error set.
    static QString write(const ClipExportJob &job, const ClipExportResult &result, QString *error);
    // Hex SHA-256 of a file; empty when it cannot be read.
    static QByteArray sha256(const QString &path);
    // Checks every file listed in a manifest against its hash. Prints "intact" and returns 0,
    // or prints each file changed or missing and returns 1.
    static int verify(const QString &manifestPath, QTextStream &out);
};

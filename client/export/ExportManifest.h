#pragma once

#include "ClipExportJob.h"

#include <QByteArray>
#include <QString>

// The manifest beside an exported clip: what was asked, what each file holds, where it came
// from, who exported it, and each file's SHA-256 in the format of `sha256sum` (every other
// line starts with "#", which `sha256sum -c` skips), so that anyone can check that nothing
// was altered; ManifestVerifier checks it, with its signature.
class ExportManifest
{
public:
    static QString fileName(const QString &baseName);
    // "# Bookmark: 2026-12-10 08:41:07 (UTC) by NAME: NOTE", on one line.
    static QString bookmarkLine(const ClipBookmark &bookmark);
    // Writes "<folder>/<manifest>.part" for the result's files, each hashed from its ".part".
    // Returns the path written, or an empty string with *error set.
    static QString write(const ClipExportJob &job, const ClipExportResult &result, QString *error);
    // Hex SHA-256 of a file; empty when it cannot be read.
    static QByteArray sha256(const QString &path);
};

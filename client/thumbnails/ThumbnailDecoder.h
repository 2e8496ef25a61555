#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

class KeyframeIndex;

// Decodes one keyframe of a recording (its bytes as the file holds them) into a small picture
// of the given width, its shape kept. Runs on any thread; a null image, with the reason in
// error, for bytes that do not decode.
class ThumbnailDecoder
{
public:
    static QImage decode(const KeyframeIndex &index, const QByteArray &keyframe, int width,
                         QString *error);
};

#pragma once

// Shared by the image fuzz targets: a Qt application for the image-format plugins, and a
// size filter so the fuzzer spends its time on parsing rather than on decoding pictures of
// a hundred megapixels (which are legal, but only slow and large).

#include <QBuffer>
#include <QCoreApplication>
#include <QImageReader>

namespace skysail::fuzz {

inline void EnsureApplication()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = { name, nullptr };
    static QCoreApplication app(argc, argv);
}

inline bool ClaimsAHugePicture(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const QSize size = QImageReader(&buffer).size();
    return size.isValid() && qint64(size.width()) * size.height() > 4'000'000;
}

} // namespace skysail::fuzz

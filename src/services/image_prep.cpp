#include "services/image_prep.h"

#include "services/image_codecs.h"
#include "settings/watermark_state.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <cstring>

namespace skysail {

namespace {

using codecs::BmpLayout;

// Any picture as a 24-bit BMP: JPEG through TurboJPEG straight into the BMP rows, the rest
// (and what TurboJPEG cannot take: CMYK, odd markers) through Qt's readers.
QByteArray ToBmp24(const QByteArray& bytes)
{
    if (codecs::LooksLikeJpeg(bytes)) {
        bool refused = false;
        QByteArray bmp = codecs::DecodeJpegToBmp(bytes, refused);
        if (!bmp.isEmpty() || refused)
            return bmp;
    }
    return codecs::ImageToBmp24(codecs::DecodeWithQt(bytes));
}

QImage ToPicture(const QByteArray& source)
{
    if (const auto bmp = codecs::ReadBmp24Layout(source))
        return codecs::BmpToImage(source, *bmp);
    return codecs::DecodeWithQt(source);
}

QByteArray EncodeBmp(const QByteArray& source, bool)
{
    return codecs::ImageToBmp24(ToPicture(source));
}

// The hot lane: a 24-bit BMP is encoded straight from its rows, anything else is brought to
// that layout first; no intermediate picture either way.
QByteArray EncodeJpeg(const QByteArray& source, bool)
{
    QByteArray converted;
    auto layout = codecs::ReadBmp24Layout(source);
    const QByteArray* bmp = &source;
    if (!layout) {
        converted = ToBmp24(source);
        layout = codecs::ReadBmp24Layout(converted);
        bmp = &converted;
    }
    if (!layout)
        return {};
    return codecs::EncodeJpegFromBgr(reinterpret_cast<const uchar*>(bmp->constData()) + layout->dataStart,
        layout->width, layout->height, layout->rowSize);
}

QImage MaybeFlattened(const QByteArray& source, bool flatten)
{
    const QImage picture = ToPicture(source);
    return flatten ? codecs::Flattened(picture) : picture;
}

QByteArray EncodeGif(const QByteArray& source, bool flatten)
{
    return codecs::EncodeGif(MaybeFlattened(source, flatten));
}

QByteArray EncodeTiff(const QByteArray& source, bool flatten)
{
    return codecs::EncodeWithQt(MaybeFlattened(source, flatten), "tiff");
}

QByteArray EncodePng(const QByteArray& source, bool flatten)
{
    return codecs::EncodeWithQt(MaybeFlattened(source, flatten), "png");
}

struct Encoder
{
    int mode;
    const char* clsid;
    const char* extension;
    QByteArray (*encode)(const QByteArray& source, bool flatten);
};

constexpr std::array kEncoders {
    Encoder { kModeBmp, "{557CF400-1A04-11D3-9A73-0000F81EF32E}", ".bmp", EncodeBmp },
    Encoder { kModeJpeg, "{557CF401-1A04-11D3-9A73-0000F81EF32E}", ".jpg", EncodeJpeg },
    Encoder { kModeGif, "{557CF402-1A04-11D3-9A73-0000F81EF32E}", ".gif", EncodeGif },
    Encoder { kModeTiff, "{557CF405-1A04-11D3-9A73-0000F81EF32E}", ".tiff", EncodeTiff },
    Encoder { kModePng, "{557CF406-1A04-11D3-9A73-0000F81EF32E}", ".png", EncodePng },
};

const Encoder* EncoderForMode(int mode)
{
    const auto found
        = std::find_if(kEncoders.begin(), kEncoders.end(), [mode](const Encoder& e) { return e.mode == mode; });
    return found == kEncoders.end() ? nullptr : &*found;
}

// The stamping itself, on the image's own bytes (both layouts already checked). Works on one
// mark row at a time, so the cost follows the mark's size, not the image's.
void StampInPlace(uchar* image, const BmpLayout& imageLayout, const uchar* mark, const BmpLayout& markLayout,
    std::optional<int> leftArg, std::optional<int> topArg, std::optional<int> keyArg)
{
    const qint64 key = keyArg.value_or(kWhiteKey);
    const qint64 imageWidth = imageLayout.width;
    const qint64 imageHeight = imageLayout.height;
    qint64 width = markLayout.width;
    qint64 height = markLayout.height;
    const qint64 left = std::max<qint64>(0, leftArg ? qint64(*leftArg) : imageWidth - width - 20);
    const qint64 top = std::max<qint64>(0, topArg ? qint64(*topArg) : imageHeight - height - 20);
    height = std::min(height, imageHeight);
    width = std::min(width, imageWidth);
    if (imageWidth - left - width < 0)
        width = imageWidth - left;
    if (imageHeight - top - height < 0)
        height = imageHeight - top;

    for (qint64 row = 0; row < height; ++row) {
        const uchar* from = mark + markLayout.dataEnd - (row + 1) * markLayout.rowSize;
        uchar* to = image + imageLayout.dataEnd - (top + row + 1) * imageLayout.rowSize + 3 * left;
        for (qint64 column = 0; column < width; ++column, from += 3, to += 3) {
            const qint64 colour = from[2] + 256 * from[1] + 65536 * qint64(from[0]);
            if (colour != key)
                std::memcpy(to, from, 3);
        }
    }
}

bool WriteWhole(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

} // namespace

void CheckImage(QByteArray& bytes)
{
    if (bytes.startsWith("BM") && codecs::BmpBitsPerPixel(bytes) == 24)
        return;
    bytes = ToBmp24(bytes);
}

QByteArray OverlayWatermark(const QByteArray& image, const QByteArray& mark, std::optional<int> left,
    std::optional<int> top, std::optional<int> key)
{
    const auto imageLayout = codecs::ReadBmp24Layout(image);
    const auto markLayout = codecs::ReadBmp24Layout(mark);
    if (!imageLayout || !markLayout)
        return {};
    QByteArray out(image.constData(), image.size());
    StampInPlace(reinterpret_cast<uchar*>(out.data()), *imageLayout, reinterpret_cast<const uchar*>(mark.constData()),
        *markLayout, left, top, key);
    return out;
}

bool ConvertImage(const QByteArray& source, int mode, QByteArray& output, const ConvertOptions& options)
{
    const Encoder* encoder = EncoderForMode(mode);
    if (source.size() < 3 || !encoder || EncoderClsid(QString::fromLatin1(encoder->clsid)).isNull())
        return false;
    QByteArray encoded = encoder->encode(source, options.flatten);
    if (encoded.isEmpty())
        return false;
    if (!options.fileName.trimmed().isEmpty()) {
        const QString extension = QString::fromLatin1(encoder->extension);
        QString path = options.fileName;
        if (!path.endsWith(extension, Qt::CaseInsensitive))
            path += extension;
        // A file that cannot be written is a failure like any other, not a silent success.
        if (!WriteWhole(path, encoded))
            return false;
    }
    output = std::move(encoded);
    return true;
}

bool ConvertImage(const QByteArray& source, int mode, const ConvertOptions& options)
{
    QByteArray unused;
    return ConvertImage(source, mode, unused, options);
}

QUuid EncoderClsid(const QString& text)
{
    return QUuid::fromString(text);
}

QString PrepareForUpload(QByteArray& image, const QByteArray& watermarkPicture)
{
    CheckImage(image);
    // A 24-bit BMP passes the check unread; one whose headers disagree with its length is as
    // broken as bytes that do not decode, and must not go out as an empty upload.
    const auto imageLayout = codecs::ReadBmp24Layout(image);
    if (!imageLayout) {
        image.clear();
        return kEmptyImageError;
    }
    // The watermark file is taken as found at start, so it may be a picture of another format
    // or depth: bring it to the stamp's layout rather than lose the upload over it. A mark that
    // is no picture at all stamps nothing. The stamp goes into the BMP that CheckImage made, so
    // a 12-megapixel photo is not copied a second time.
    QByteArray mark = watermarkPicture;
    auto markLayout = codecs::ReadBmp24Layout(mark);
    if (!markLayout) {
        CheckImage(mark);
        markLayout = codecs::ReadBmp24Layout(mark);
    }
    if (markLayout) {
        StampInPlace(reinterpret_cast<uchar*>(image.data()), *imageLayout,
            reinterpret_cast<const uchar*>(mark.constData()), *markLayout, {}, {}, {});
    }
    ConvertImage(image, kModeJpeg, image);
    return {};
}

QByteArray BuiltInWatermark()
{
    QFile file(QStringLiteral(":/default_watermark.png"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray EnsureDefaultWatermark(const SettingsFolder& folder)
{
    QByteArray picture = BuiltInWatermark();
    CheckImage(picture);
    SetWatermarkPicture(picture);
    WriteWhole(folder.WatermarkPath(), picture);
    return picture;
}

} // namespace skysail

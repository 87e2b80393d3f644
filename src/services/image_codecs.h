#pragma once

// The codecs behind image preparation (private to services/): the 24-bit BMP layout, TurboJPEG
// straight to and from that layout, Qt's readers and writers for the other formats, giflib for
// GIF. Everything returns empty bytes or a null picture on failure.

#include <QByteArray>
#include <QImage>

#include <optional>

namespace skysail::codecs {

inline constexpr qint64 kBmpHeaderSize = 54; // file header (14) + BITMAPINFOHEADER (40)

// Bytes per pixel row: three per pixel, padded to a multiple of four.
inline constexpr qint64 BmpRowSize(qint64 width)
{
    return 3 * width + width % 4;
}

// Where the pixels of a 24-bit bottom-up BMP are, once its header fields have been checked
// against its length.
struct BmpLayout
{
    qint64 dataStart = 0;
    qint64 width = 0;
    qint64 height = 0;
    qint64 rowSize = 0;
    qint64 dataEnd = 0; // dataStart + rowSize × height, never past the end of the bytes
};

// The 16-bit bits-per-pixel field at offset 28; 0 when the bytes are too short to hold it.
int BmpBitsPerPixel(const QByteArray& bytes);
// The layout of a 24-bit BMP with positive width and height whose pixel rows lie inside the
// bytes and after the headers; nothing otherwise.
std::optional<BmpLayout> ReadBmp24Layout(const QByteArray& bytes);
// A 24-bit bottom-up BMP of the given size with its headers written and the pixel bytes
// uninitialised (the caller fills every row, padding included). Empty when too large.
QByteArray NewBmp24(qint64 width, qint64 height);

bool LooksLikeJpeg(const QByteArray& bytes);

// JPEG to 24-bit BMP, decoded straight into the BMP's rows. Empty when TurboJPEG cannot
// decode it or it is larger than the pixel cap; `refused` then says whether it was the cap
// (no other decoder should try).
QByteArray DecodeJpegToBmp(const QByteArray& jpeg, bool& refused);
// JPEG (quality 75, 4:2:0) straight from bottom-up BGR rows. Empty on failure.
QByteArray EncodeJpegFromBgr(const uchar* bottomRow, qint64 width, qint64 height, qint64 rowSize);

// Any picture Qt reads among BMP, PNG, JPEG, GIF (first frame), WebP and TIFF, within the
// pixel cap. Null otherwise.
QImage DecodeWithQt(const QByteArray& bytes);
// The picture as a 24-bit BMP, transparency laid on white.
QByteArray ImageToBmp24(const QImage& image);
// The pixels of a checked 24-bit BMP as a picture.
QImage BmpToImage(const QByteArray& bmp, const BmpLayout& layout);
// The picture with transparency laid on white.
QImage Flattened(const QImage& image);

// Through Qt's writers ("png", "tiff"). Empty on failure.
QByteArray EncodeWithQt(const QImage& image, const char* format);
// An 8-bit GIF made with giflib's quantiser; transparent pixels (alpha below half) get a
// colour of their own unless the picture was flattened. Empty on failure.
QByteArray EncodeGif(const QImage& image);

} // namespace skysail::codecs

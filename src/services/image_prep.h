#pragma once

#include "settings/settings_folder.h"

#include <QByteArray>
#include <QString>
#include <QUuid>

#include <optional>

namespace skysail {

// The answer of PrepareForUpload for bytes that are no picture; the client returns it as its
// row text without sending anything.
inline const QString kEmptyImageError = QStringLiteral("检测到空字节，图片有误！");

// Pictures larger than this are refused before their pixels are allocated: well above any
// camera (the largest sensors give about 150 megapixels), well below what a forged header
// could ask for.
inline constexpr qint64 kMaxImagePixels = 200'000'000;

// The key colour of the watermark: mark pixels of this colour (red + 256 × green +
// 65536 × blue) are left out.
inline constexpr int kWhiteKey = 0xFFFFFF;

// Output formats of ConvertImage.
inline constexpr int kModeBmp = 1;
inline constexpr int kModeJpeg = 2;
inline constexpr int kModeGif = 3;
inline constexpr int kModeTiff = 4;
inline constexpr int kModePng = 5;

// Leaves a BMP with 24 bits per pixel as it is and turns any other picture (JPEG, PNG, GIF,
// WebP, TIFF, other BMP depths) into a 24-bit bottom-up BMP: transparency laid on white, the
// first frame of an animation. Bytes that do not decode, empty bytes and pictures above
// kMaxImagePixels become empty bytes.
void CheckImage(QByteArray& bytes);

// A copy of `image` with the pixels of `mark` stamped in, both 24-bit BMPs; mark pixels of
// the key colour (white when not given) are skipped. By default the mark sits 20 pixels from
// the right and bottom edges; left and top count from the image's top-left corner, negative
// values become 0, and the mark is clipped to the image. Empty bytes when either picture is
// not a 24-bit bottom-up BMP whose headers agree with its length.
QByteArray OverlayWatermark(const QByteArray& image, const QByteArray& mark, std::optional<int> left = {},
    std::optional<int> top = {}, std::optional<int> key = {});

struct ConvertOptions
{
    // When not blank, the encoded bytes are also written to this file; the mode's extension
    // (".jpg", ".png", ...) is appended unless the name already ends in it, in any case.
    QString fileName;
    // Lay a transparent picture on white first (BMP and JPEG output always are).
    bool flatten = false;
};

// Re-encodes `source` as BMP (24-bit), JPEG (quality 75, 4:2:0), GIF (256 colours), TIFF or
// PNG, by mode 1 to 5. True and `output` replaced when it worked; false with `output` and the
// file left as they were when the source is shorter than 3 bytes, does not decode, the mode
// is none of the five, or the file cannot be written. `source` and `output` may be the same.
bool ConvertImage(const QByteArray& source, int mode, QByteArray& output, const ConvertOptions& options = {});
bool ConvertImage(const QByteArray& source, int mode, const ConvertOptions& options = {});

// The class identifier in `text` ("{557CF401-1A04-11D3-9A73-0000F81EF32E}"); null when the
// text is not one. Encoders are known by these identifiers, one per mode.
QUuid EncoderClsid(const QString& text);

// Watermarks an upload: CheckImage, the mark stamped in the bottom-right corner, re-encoded
// as JPEG. Empty text when done (the image then holds the JPEG, or the stamped BMP when the
// encoder failed, or nothing when the mark was no 24-bit BMP), else kEmptyImageError with the
// image left empty. Takes the watermark picture as a parameter so callers pass their snapshot.
QString PrepareForUpload(QByteArray& image, const QByteArray& watermarkPicture);

// The built-in default watermark, a 273 × 80 PNG compiled into the program.
QByteArray BuiltInWatermark();

// Start-up, when the watermark file was missing or empty: the built-in picture through
// CheckImage becomes the program-wide WatermarkPicture and the folder's watermark file
// (replaced whole; a failed write is silent). Returns the picture.
QByteArray EnsureDefaultWatermark(const SettingsFolder& folder);

} // namespace skysail

// PrepareForUpload of a 12-megapixel photo with the default watermark, next to its floor:
// for a JPEG a bare TurboJPEG decode to BGR plus encode of the same picture, for a PNG Qt's
// decode plus the same JPEG encode. Prints the time ratios, then the peak memory above the
// start of one PrepareForUpload, against the size of the picture's 24-bit BMP.
//
//   image_prep_bench [--write-sample=stamped.jpg] [--benchmark_repetitions=5 ...]
//
// --write-sample keeps the prepared photo, to look at the watermark as an upload shows it.
#include "services/image_prep.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QImageWriter>

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

// Gradients, a few soft shapes and sensor-like noise: compresses about as a photo does.
QImage PhotoLikePicture()
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    std::mt19937 random(12345);
    std::normal_distribution<double> noise(0.0, 6.0);
    for (int y = 0; y < kHeight; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            const double dx = x - 2600.0;
            const double dy = y - 1200.0;
            const double sun = dx * dx + dy * dy < 500.0 * 500.0 ? 60.0 : 0.0;
            const double wave = 30.0 * std::sin(x / 97.0) * std::cos(y / 131.0);
            const double r = 70 + 120.0 * y / kHeight + sun + wave + noise(random);
            const double g = 110 + 60.0 * x / kWidth + sun * 0.8 - wave + noise(random);
            const double b = 180 - 100.0 * y / kHeight + wave * 0.5 + noise(random);
            row[x] = qRgb(std::clamp(int(r), 0, 255), std::clamp(int(g), 0, 255), std::clamp(int(b), 0, 255));
        }
    }
    return image;
}

QByteArray EncodeJpeg(const QImage& image, int quality)
{
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, image.constBits(), image.width(), int(image.bytesPerLine()), image.height(), TJPF_BGRX, &jpeg,
        &size, TJSAMP_420, quality, 0);
    QByteArray bytes(reinterpret_cast<const char*>(jpeg), qsizetype(size));
    tjFree(jpeg);
    tjDestroy(handle);
    return bytes;
}

QByteArray EncodePng(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return bytes;
}

struct Inputs
{
    QByteArray jpeg;
    QByteArray png;
    QByteArray mark;
};

Inputs& TheInputs()
{
    static Inputs inputs = [] {
        const QImage photo = PhotoLikePicture();
        Inputs made { EncodeJpeg(photo, 90), EncodePng(photo), skysail::BuiltInWatermark() };
        skysail::CheckImage(made.mark);
        return made;
    }();
    return inputs;
}

void EncodeFromBgr(const unsigned char* pixels, int width, int pitch, int height, int format, int flags)
{
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, pixels, width, pitch, height, format, &jpeg, &size, TJSAMP_420, 75, flags);
    benchmark::DoNotOptimize(jpeg);
    tjFree(jpeg);
    tjDestroy(handle);
}

void BM_FloorJpeg(benchmark::State& state)
{
    const QByteArray& jpeg = TheInputs().jpeg;
    const auto* source = reinterpret_cast<const unsigned char*>(jpeg.constData());
    for (auto _ : state) {
        tjhandle handle = tjInitDecompress();
        int width = 0, height = 0, subsampling = 0, colourSpace = 0;
        tjDecompressHeader3(handle, source, jpeg.size(), &width, &height, &subsampling, &colourSpace);
        const int pitch = (3 * width + 3) / 4 * 4;
        std::unique_ptr<unsigned char[]> bgr(new unsigned char[size_t(pitch) * height]);
        tjDecompress2(handle, source, jpeg.size(), bgr.get(), width, pitch, height, TJPF_BGR, TJFLAG_BOTTOMUP);
        tjDestroy(handle);
        EncodeFromBgr(bgr.get(), width, pitch, height, TJPF_BGR, TJFLAG_BOTTOMUP);
    }
}

void BM_PrepareJpeg(benchmark::State& state)
{
    for (auto _ : state) {
        QByteArray image = TheInputs().jpeg;
        const QString error = skysail::PrepareForUpload(image, TheInputs().mark);
        if (!error.isEmpty() || !image.startsWith("\xFF\xD8"))
            state.SkipWithError("PrepareForUpload failed");
        benchmark::DoNotOptimize(image);
    }
}

void BM_FloorPng(benchmark::State& state)
{
    for (auto _ : state) {
        const QImage image = QImage::fromData(TheInputs().png, "PNG");
        EncodeFromBgr(image.constBits(), image.width(), int(image.bytesPerLine()), image.height(), TJPF_BGRX, 0);
    }
}

void BM_PreparePng(benchmark::State& state)
{
    for (auto _ : state) {
        QByteArray image = TheInputs().png;
        const QString error = skysail::PrepareForUpload(image, TheInputs().mark);
        if (!error.isEmpty() || !image.startsWith("\xFF\xD8"))
            state.SkipWithError("PrepareForUpload failed");
        benchmark::DoNotOptimize(image);
    }
}

BENCHMARK(BM_FloorJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PrepareJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FloorPng)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PreparePng)->Unit(benchmark::kMillisecond)->UseRealTime();

// Keeps the fastest time of each benchmark (the repetitions' minimum is the least noisy).
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue; // aggregates are left to the console; the ratio takes the best run
            const double ms = run.GetAdjustedRealTime();
            auto [it, inserted] = m_best.emplace(run.run_name.function_name, ms);
            if (!inserted)
                it->second = std::min(it->second, ms);
        }
    }

    void PrintRatio(const char* label, const std::string& measured, const std::string& floor) const
    {
        const auto m = m_best.find(measured);
        const auto f = m_best.find(floor);
        if (m != m_best.end() && f != m_best.end())
            std::printf(
                "%s: %.1f ms against a floor of %.1f ms = %.2fx\n", label, m->second, f->second, m->second / f->second);
    }

private:
    std::map<std::string, double> m_best;
};

// Linux: kilobytes of a /proc/self/status field.
long StatusKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').first().toLong();
    }
    return -1;
}

void PrintPeakMemory(const char* label, const QByteArray& input)
{
    QByteArray warmUp = input; // loads what a first call loads, so only the work itself is counted
    skysail::PrepareForUpload(warmUp, TheInputs().mark);
    warmUp.clear();
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (!clear.open(QIODevice::WriteOnly) || clear.write("5") != 1) {
        std::printf("%s: peak memory not measurable here\n", label);
        return;
    }
    clear.close(); // resets VmHWM to the current resident size
    const long start = StatusKb("VmRSS:");
    QByteArray image = input;
    skysail::PrepareForUpload(image, TheInputs().mark);
    const long peak = StatusKb("VmHWM:");
    const double bmpKb = (54.0 + 3.0 * kWidth * kHeight) / 1024.0;
    std::printf("%s: peak %.1f MB above the start = %.2fx the BMP (%.1f MB)\n", label, (peak - start) / 1024.0,
        (peak - start) / bmpKb, bmpKb / 1024.0);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    const Inputs& inputs = TheInputs();
    const QString sampleFlag = QStringLiteral("--write-sample=");
    for (const QString& argument : QCoreApplication::arguments()) {
        if (!argument.startsWith(sampleFlag))
            continue;
        QByteArray sample = inputs.jpeg;
        skysail::PrepareForUpload(sample, inputs.mark);
        QFile file(argument.mid(sampleFlag.size()));
        if (file.open(QIODevice::WriteOnly))
            file.write(sample);
    }
    std::printf("inputs: JPEG %.1f MB, PNG %.1f MB, %d x %d\n", inputs.jpeg.size() / 1e6, inputs.png.size() / 1e6,
        kWidth, kHeight);
    // Memory first, before the benchmarks leave freed blocks in the heap.
    PrintPeakMemory("JPEG", inputs.jpeg);
    PrintPeakMemory("PNG", inputs.png);

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::fflush(stdout);
    std::printf("\n");
    reporter.PrintRatio("JPEG", "BM_PrepareJpeg", "BM_FloorJpeg");
    reporter.PrintRatio("PNG", "BM_PreparePng", "BM_FloorPng");
    benchmark::Shutdown();
    return 0;
}

#include "tests/support/SparseWav.h"

#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QtEndian>

#include <sys/stat.h>

#include <cmath>
#include <numbers>

namespace {

// Room the signal, the outputs of a test and the file system's own needs
// take at most; the silence takes none.
constexpr qint64 NeededRoom = 256LL << 20;
// More than this allocated means the file system wrote the silence out.
constexpr qint64 MostAllocated = 64LL << 20;

template <typename T> void put(QByteArray& bytes, T value) {
    const T little = qToLittleEndian(value);
    bytes.append(reinterpret_cast<const char*>(&little), sizeof little);
}

QByteArray header(int rate, std::int64_t frames) {
    constexpr std::uint16_t Channels = 1;
    constexpr std::uint16_t Bytes = 2;
    const auto data = static_cast<std::uint64_t>(frames) * Bytes;
    QByteArray h;
    h.append("RF64");
    put<std::uint32_t>(h, 0xffffffffu); // the real sizes are in ds64
    h.append("WAVE");
    h.append("ds64");
    put<std::uint32_t>(h, 28);
    put<std::uint64_t>(h, 4 + (8 + 28) + (8 + 16) + 8 + data); // RIFF size
    put<std::uint64_t>(h, data);
    put<std::uint64_t>(h, static_cast<std::uint64_t>(frames));
    put<std::uint32_t>(h, 0); // no table of other chunk sizes
    h.append("fmt ");
    put<std::uint32_t>(h, 16);
    put<std::uint16_t>(h, 1); // PCM
    put<std::uint16_t>(h, Channels);
    put<std::uint32_t>(h, static_cast<std::uint32_t>(rate));
    put<std::uint32_t>(h, static_cast<std::uint32_t>(rate) * Channels * Bytes);
    put<std::uint16_t>(h, Channels * Bytes);
    put<std::uint16_t>(h, 16);
    h.append("data");
    put<std::uint32_t>(h, 0xffffffffu);
    return h;
}

} // namespace

QString SparseWav::write(const QString& path) const {
    const QStorageInfo storage(QFileInfo(path).absolutePath());
    if (storage.bytesAvailable() < NeededRoom)
        return QStringLiteral("%1 has %2 MB free, less than the %3 MB needed")
            .arg(storage.rootPath())
            .arg(storage.bytesAvailable() >> 20)
            .arg(NeededRoom >> 20);
    const QByteArray head = header(rate, frames);
    QByteArray audio;
    for (const std::int16_t sample : signal)
        put(audio, sample);
    QString problem;
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return file.errorString();
        // Growing the file leaves a hole the file system reads as zeros.
        if (file.write(head) != head.size() || !file.resize(head.size() + frames * 2) ||
            !file.seek(head.size() + signalAt * 2) || file.write(audio) != audio.size() ||
            !file.flush())
            problem = file.errorString();
    }
    struct stat status {};
    if (problem.isEmpty() && ::stat(QFile::encodeName(path).constData(), &status) == 0 &&
        static_cast<qint64>(status.st_blocks) * 512 > MostAllocated)
        problem = QStringLiteral("the file system allocates the silence of a sparse file");
    if (!problem.isEmpty())
        QFile::remove(path);
    return problem;
}

std::vector<std::int16_t> SparseWav::Cosine(int rate, double seconds, double frequency,
                                            double amplitude) {
    std::vector<std::int16_t> samples(static_cast<size_t>(std::lround(seconds * rate)));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(std::lround(
            amplitude * 32767.0 *
            std::cos(2.0 * std::numbers::pi * frequency * static_cast<double>(i) / rate)));
    return samples;
}

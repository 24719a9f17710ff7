#include "engine/audio/AudioFile2.h"

#include "engine/audio/AudioFile2LameEnc.h"
#include "engine/audio/AudioReader.h"
#include "engine/audio/AudioWriter.h"
#include "engine/audio/Mp3Encoder.h"
#include "engine/audio/WavEncoder.h"
#include "engine/audio/WmaEncoder.h"
#include "engine/audio/WmaProfile.h"
#include "platform/Error.h"

#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>

#include <algorithm>

namespace {

// Every file read as a source in this run of the program. An output is never
// created over one of them: that would destroy a source the user cut from,
// perhaps while it is still listed or being read.
QMutex sourcesLock;
QSet<QString>& knownSources() {
    static QSet<QString> sources;
    return sources;
}

QString fileKey(const QString& path) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

void rememberSource(const QString& path) {
    QMutexLocker lock(&sourcesLock);
    knownSources().insert(fileKey(path));
}

bool isSource(const QString& path) {
    QMutexLocker lock(&sourcesLock);
    return knownSources().contains(fileKey(path));
}

} // namespace

AudioFile2::AudioFile2() {
    addBuiltInEncoders();
}

void AudioFile2::addBuiltInEncoders() {
    encoders_.clear();
    encoders_[QStringLiteral(".wav")] = [this](const QString& path, const EncoderInput&) {
        return std::make_unique<WavEncoder>(path, wavRate_, wavChannels_, wavBits_);
    };
    encoders_[QStringLiteral(".mp3")] = [this](const QString& path, const EncoderInput& input) {
        LameSettings settings;
        // Settings objects of another kind cannot be read; LAME's defaults
        // then stand in for them.
        if (auto* own = dynamic_cast<AudioFile2LameEnc*>(mp3Encoder_))
            settings = own->TakeSettings();
        return std::make_unique<Mp3Encoder>(path, input.rate, input.channels, settings);
    };
    encoders_[QStringLiteral(".ogg")] = [this](const QString& path, const EncoderInput&) {
        return std::make_unique<OggEncoder>(path, ogg_);
    };
    encoders_[QStringLiteral(".wma")] = [this](const QString& path, const EncoderInput&) {
        const WmaProfile profile = WmaProfile::byNumber(wmaProfile_);
        return std::make_unique<WmaEncoder>(path, profile.rate, profile.channels, profile.kbps);
    };
}

bool AudioFile2::IsSource(const QString& path) {
    return isSource(path);
}

AudioFile2::~AudioFile2() {
    try {
        closeWriter();
    } catch (const Error&) {
        // Nobody is left to tell; the file holds what could be written.
    }
    closeReader();
}

void AudioFile2::requireActive(const QString& fileName) const {
    if (!active_)
        throw Error(
            QStringLiteral("Cannot open %1: the audio component is switched off").arg(fileName));
}

void AudioFile2::Open(const QString& fileName, int, int) {
    requireActive(fileName);
    closeReader();
    auto reader = std::make_unique<AudioReader>(fileName);
    reader_ = std::move(reader);
    rememberSource(fileName);
}

void AudioFile2::closeReader() {
    reader_.reset();
}

void AudioFile2::closeWriter() {
    if (!writer_)
        return;
    // Released first, so a failure to complete leaves the object closed.
    const std::unique_ptr<AudioWriter> writer = std::move(writer_);
    writer->finish();
}

void AudioFile2::Close() {
    closeReader();
    closeWriter();
}

SampleArray AudioFile2::ReadSamples(int count) {
    if (!reader_)
        throw Error(QStringLiteral("Cannot read samples: no file is open for reading"));
    return reader_->read(count);
}

std::int64_t AudioFile2::Seek(std::int64_t frame, int) {
    if (!reader_)
        throw Error(QStringLiteral("Cannot seek: no file is open for reading"));
    const std::int64_t target = std::clamp<std::int64_t>(frame, 0, reader_->totalFrames());
    reader_->seek(target);
    return target;
}

void AudioFile2::SetQuickSeeks(bool on) {
    if (reader_)
        reader_->setQuickSeeks(on);
}

void AudioFile2::SetReadAhead(bool on) {
    if (reader_)
        reader_->setReadAhead(on);
}

void AudioFile2::CreateOutput(const QString& fileName, int) {
    requireActive(fileName);
    closeWriter();
    faults_ = 0;
    if (isSource(fileName))
        throw Error(QStringLiteral("Cannot create %1: it is one of the source files and would "
                                   "be overwritten")
                        .arg(fileName));
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    const auto found = encoders_.find(QLatin1Char('.') + suffix);
    if (suffix.isEmpty() || found == encoders_.end()) {
        QStringList known;
        for (const auto& [extension, factory] : encoders_)
            known.append(extension);
        throw Error(QStringLiteral("Cannot create %1: the output format is chosen by the "
                                   "extension, which must be one of %2")
                        .arg(fileName, known.join(QStringLiteral(", "))));
    }
    std::unique_ptr<AudioEncoder> encoder =
        found->second(fileName, EncoderInput{inputRate_, inputChannels_, inputBits_});
    writer_ =
        std::make_unique<AudioWriter>(fileName, std::move(encoder), inputRate_, inputChannels_);
}

void AudioFile2::WriteSamples(const SampleArray& samples) {
    if (!writer_)
        throw Error(QStringLiteral("Cannot write samples: no output file is open"));
    writer_->write(samples);
    faults_ = writer_->faultySamples();
}

bool AudioFile2::CheckMp3Format(int sampleRate, int kbps, int channelMode) {
    if (channelMode < 1 || channelMode > 5)
        return false;
    return Mp3Encoder::accepts(sampleRate, kbps, channelMode == 1 ? 1 : 2);
}

bool AudioFile2::CheckOggFormat(int sampleRate, int channels, int kbps, int minKbps, int maxKbps) {
    return OggEncoder::accepts(sampleRate, channels, kbps, minKbps, maxKbps);
}

void AudioFile2::SetSampleFormat(int sampleRate, int channels) {
    if (sampleRate <= 0 || sampleRate > 768000 || channels <= 0 || channels > 8)
        throw Error(QStringLiteral("Unsupported sample format: %1 Hz, %2 channels")
                        .arg(sampleRate)
                        .arg(channels));
    if (reader_) {
        reader_->setOutputFormat(sampleRate, channels);
        return;
    }
    inputRate_ = sampleRate;
    inputChannels_ = channels;
    if (writer_)
        writer_->setInputFormat(sampleRate, channels);
}

void AudioFile2::SetWavFormat(int sampleRate, int channels, int bitsPerSample) {
    wavRate_ = sampleRate;
    wavChannels_ = channels;
    wavBits_ = bitsPerSample;
}

void AudioFile2::SetMp3Encoder(IAudioFile2LameEnc* encoder) {
    mp3Encoder_ = encoder;
}

void AudioFile2::SetOggFormat(int sampleRate, int channels, int kbps, int minKbps, int maxKbps,
                              int quality) {
    ogg_ = OggEncoder::Format{sampleRate, channels, kbps,
                              minKbps,    maxKbps,  quality < 0 ? -1 : quality};
}

void AudioFile2::SetWmaProfile(int profile) {
    WmaProfile::byNumber(profile); // refuses a number outside the list
    wmaProfile_ = profile;
}

void AudioFile2::SetSampleBits(int bits) {
    inputBits_ = bits;
}

void AudioFile2::SetEncoderFactory(const QStringList& extensions, EncoderFactory factory) {
    for (const QString& extension : extensions)
        encoders_[extension.toLower()] = factory;
}

void AudioFile2::SetOutputLength(std::int64_t frames) {
    if (writer_ && frames > 0)
        writer_->expectFrames(frames);
}

std::int64_t AudioFile2::SampleCount() {
    return reader_ ? std::max<std::int64_t>(reader_->totalFrames(), 0) : 0;
}

bool AudioFile2::IsOpen() {
    return reader_ || writer_;
}

std::int64_t AudioFile2::DurationMs() {
    return reader_ ? std::max<std::int64_t>(reader_->durationMs(), 0) : 0;
}

int AudioFile2::Channels() {
    return reader_ ? reader_->fileChannels() : inputChannels_;
}

int AudioFile2::SampleRate() {
    return reader_ ? reader_->fileRate() : inputRate_;
}

int AudioFile2::SampleBits() {
    return reader_ ? reader_->fileBits() : inputBits_;
}

void AudioFile2::SetActive(bool active) {
    if (active == active_)
        return;
    if (!active) {
        closeReader();
        std::unique_ptr<AudioWriter> writer = std::move(writer_);
        active_ = false;
        inputRate_ = 44100;
        inputChannels_ = 2;
        wavRate_ = 44100;
        wavChannels_ = 2;
        wavBits_ = 16;
        ogg_ = OggEncoder::Format{};
        wmaProfile_ = 10;
        inputBits_ = 0;
        mp3Encoder_ = nullptr;
        addBuiltInEncoders();
        if (writer)
            writer->finish();
        return;
    }
    active_ = true;
}

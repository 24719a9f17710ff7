#include "engine/PieceExtras.h"

#include "core/listrecord.h"
#include "platform/Error.h"
#include "platform/SettingsFile.h"

#include <cmath>

namespace {

const QString Section = QStringLiteral("Run");
const QString Key = QStringLiteral("replaygain");

// Digital silence has no loudness to bring anywhere.
std::optional<OutputExtras::Loudness> measured(double lufs, double peak) {
    if (!std::isfinite(lufs))
        return std::nullopt;
    return OutputExtras::Loudness{lufs, peak};
}

} // namespace

bool PieceExtras::ReplayGainChosen(const SettingsFile& settings) {
    return settings.ReadInteger(Section, Key, 0) != 0;
}

void PieceExtras::SetReplayGain(SettingsFile& settings, bool on) {
    // A file the user never turned it on in stays as it was.
    if (!on && !settings.Contains(Section, Key))
        return;
    settings.WriteInteger(Section, Key, on ? 1 : 0);
}

void PieceExtras::beginSource(const listrecord& record, int rate, int channels, bool replayGain) {
    cover_ = CoverArt::For(record.FileName, record.SheetFile);
    replayGain_ = replayGain;
    rate_ = rate;
    channels_ = channels;
    last_.reset();
    kept_.clear();
}

std::shared_ptr<LoudnessMeter> PieceExtras::meter() const {
    if (!replayGain_)
        return nullptr;
    return std::make_shared<LoudnessMeter>(rate_, channels_);
}

void PieceExtras::write(const QString& path, OutputExtras::Container container,
                        const PieceTags* tags, const std::shared_ptr<LoudnessMeter>& meter) {
    OutputExtras extras;
    if (tags) {
        extras.composer = tags->composer;
        extras.comment = tags->comment;
        extras.isrc = tags->isrc;
        extras.catalog = tags->catalog;
    }
    extras.cover = cover_;
    last_.reset();
    if (replayGain_) {
        last_ = meter ? meter : std::shared_ptr<LoudnessMeter>(LoudnessMeter::OfFile(path));
        extras.track = measured(last_->loudness(), last_->peak());
    }
    lastContainer_ = container;
    extras.write(path, container);
}

void PieceExtras::kept(const QString& finalPath) {
    if (last_)
        kept_.push_back({finalPath, lastContainer_, last_});
    last_.reset();
}

QStringList PieceExtras::endSource() {
    QStringList failures;
    std::vector<const LoudnessMeter*> meters;
    double peak = 0;
    for (const Kept& piece : kept_) {
        meters.push_back(piece.meter.get());
        peak = std::max(peak, piece.meter->peak());
    }
    OutputExtras album;
    album.album = measured(LoudnessMeter::Loudness(meters), peak);
    if (album.album)
        for (const Kept& piece : kept_) {
            try {
                album.write(piece.path, piece.container);
            } catch (const Error& e) {
                failures.append(e.message());
            }
        }
    kept_.clear();
    return failures;
}

#include "engine/OutputFormats.h"

#include "engine/EncoderTables.h"
#include "engine/audio/AudioDecoder.h"
#include "engine/audio/IAudioFile2.h"
#include "engine/audio/IAudioFile2LameEnc.h"
#include "engine/audio/M4aEncoder.h"
#include "engine/audio/Mp3StreamCutter.h"
#include "engine/audio/OpusEncoder.h"
#include "engine/audio/OpusStreamCutter.h"
#include "engine/audio/StreamCutterAdapter.h"
#include "engine/audio/VorbisStreamCutter.h"
#include "platform/SettingsFile.h"
#include "tags/Mp4Tags.h"
#include "tags/OutputTags.h"

#include <QFileInfo>

#include <algorithm>
#include <array>

namespace {

using namespace EncoderKeys;
using EncoderTables::valueAt;

template <std::size_t N>
int tableValue(const std::array<int, N>& table, const EncoderKey& key, const SettingsFile& s) {
    return valueAt(table, key.encoderValue(s), key.encoderDefault());
}

// ---------------------------------------------------------------------------
// Encoder set-up, one function per format

void configureMp3(const SettingsFile& s, const QString& commandLine, IAudioFile2& writer,
                  IAudioFile2LameEnc& enc) {
    const bool preset = PresetOn.encoderFlag(s);
    const bool alt = AltPresetOn.encoderFlag(s);
    if (preset || alt) {
        // A preset replaces every individual setting; both kinds may be sent.
        if (preset)
            enc.SetPreset(Preset.encoderValue(s) + 1);
        if (alt)
            enc.SetAltPreset(AltPreset.encoderValue(s) + 1);
    } else {
        enc.SetWriteVbrHeader(VbrHeader.encoderFlag(s));
        enc.SetEnforceMinBitrate(VbrEnforceMin.encoderFlag(s));
        enc.SetCrc(Crc.encoderFlag(s));
        enc.SetAllowDiffBlockTypes(AllowDiffBlocks.encoderFlag(s));
        enc.SetBitReservoir(BitReservoir.encoderFlag(s));
        enc.SetShortBlocks(ShortBlocks.encoderFlag(s));
        enc.SetStrictIso(StrictIso.encoderFlag(s));
        enc.SetHighpassFrequency(HighpassOn.encoderFlag(s) ? HighpassFrequency.encoderValue(s)
                                                           : -1);
        enc.SetLowpassFrequency(LowpassOn.encoderFlag(s) ? LowpassFrequency.encoderValue(s) : -1);
        // Stored 0 is "None", which the encoder knows as -1.
        enc.SetVbrMethod(VbrCodingMethod.encoderValue(s) - 1);
        enc.SetAthMode(AthMode.encoderValue(s));
        const int channel = Mp3Channel.encoderValue(s);
        if (channel == 0) {
            enc.SetChannels(1);
        } else {
            enc.SetChannels(2);
            enc.SetChannelMode(channel);
        }
        enc.SetDeEmphasis(DeEmphasis.encoderValue(s));
        enc.SetQuality(Mp3Quality.encoderValue(s));
        enc.SetBitrate(tableValue(BitrateTable, Mp3Bitrate, s));
        enc.SetVbrBitrate(tableValue(BitrateTable, VbrBitrate, s));
        enc.SetHighpassWidth(HighpassWidth.encoderValue(s));
        enc.SetLowpassWidth(LowpassWidth.encoderValue(s));
        enc.SetVbrQuality(VbrQuality.encoderValue(s));
        enc.SetOutputSampleRate(tableValue(FrequencyTable, Mp3Frequency, s));
    }
    if (!commandLine.isEmpty())
        enc.SetCommandLine(commandLine);
    writer.SetMp3Encoder(&enc);
}

void configureWav(const SettingsFile& s, const QString&, IAudioFile2& writer, IAudioFile2LameEnc&) {
    if (writer.IsOpen())
        writer.Close();
    switch (WavMode.encoderValue(s)) {
    case 0:
        writer.SetWavFormat(44100, 2, 16);
        break;
    case 1:
        writer.SetWavFormat(48000, 2, 32);
        break;
    case 2:
        writer.SetWavFormat(tableValue(FrequencyTable, WavFrequency, s),
                            WavChannel.encoderValue(s) + 1, tableValue(WavBitsTable, WavBits, s));
        break;
    default:
        break;
    }
}

void configureWma(const SettingsFile& s, const QString&, IAudioFile2& writer, IAudioFile2LameEnc&) {
    int position = WmaFormat.encoderValue(s);
    if (!EncoderTables::inRange(position, EncoderTables::WmaProfileCount))
        position = WmaFormat.encoderDefault();
    writer.SetWmaProfile(position + 1);
}

void configureOgg(const SettingsFile& s, const QString&, IAudioFile2& writer, IAudioFile2LameEnc&) {
    const int rate = tableValue(FrequencyTable, OggFrequency, s);
    const int channels = OggChannel.encoderValue(s) + 1;
    const bool vbr = OggVbr.encoderFlag(s);
    const bool quality = OggQualityMode.encoderFlag(s);
    if (!vbr && !quality)
        writer.SetOggFormat(rate, channels, tableValue(BitrateTable, OggBitrate, s), 0, 0, -1);
    // Quality and VBR are separate set-ups; a file that asks for both gets both,
    // the later one winning.
    if (quality)
        writer.SetOggFormat(rate, channels, 0, 0, 0, OggQuality.encoderValue(s));
    if (vbr)
        writer.SetOggFormat(rate, channels, tableValue(BitrateTable, OggBitrate, s),
                            tableValue(BitrateTable, OggMinBitrate, s),
                            tableValue(BitrateTable, OggMaxBitrate, s), -1);
}

void configureFlac(const SettingsFile& s, const QString&, IAudioFile2& writer,
                   IAudioFile2LameEnc&) {
    writer.SetFlacFormat(
        FlacLevel.valueWithin(s, EncoderTables::FlacLevels.low, EncoderTables::FlacLevels.high));
}

void configureOpus(const SettingsFile& s, const QString&, IAudioFile2& writer,
                   IAudioFile2LameEnc&) {
    using namespace EncoderTables;
    writer.SetOpusFormat(
        OpusBitrate.valueWithin(s, OpusBitrates.low, OpusBitrates.high),
        OpusComplexity.valueWithin(s, OpusComplexities.low, OpusComplexities.high),
        OpusApplication.valueWithin(s, OpusApplications.low, OpusApplications.high));
}

// ---------------------------------------------------------------------------
// M4A: AAC in MP4, its settings in a section of its own holding the values.

// A function, not a global: the registry may be read while other files'
// globals are made.
QStringList m4aExtensions() {
    return {QStringLiteral(".m4a"), QStringLiteral(".m4b"), QStringLiteral(".m4r")};
}
constexpr EncoderKey M4aBitrate{"M4A", "Bitrate", 160}; // kbps
constexpr EncoderKey M4aVbr{"M4A", "VBR", 0};
// A position in M4aQualityTexts; FFmpeg's VBR scale at each.
constexpr EncoderKey M4aQuality{"M4A", "Quality", 2};
constexpr std::array<double, 5> M4aQualityScale{0.5, 0.8, 1.2, 1.6, 2.0};
constexpr int M4aLowestKbps = 32;
constexpr int M4aHighestKbps = 320;

QStringList m4aQualityTexts() {
    return {QStringLiteral("Low"), QStringLiteral("Medium"), QStringLiteral("High"),
            QStringLiteral("Higher"), QStringLiteral("Highest")};
}

// AAC holds mono, stereo, 3.0, 5.0, 5.1 and 7.1 in FFmpeg's (WAV's) order;
// other layouts are mixed down to stereo, as MP3 and WMA mix down all.
std::vector<ChannelOrder::Speaker> aacOrder(int channels) {
    switch (channels) {
    case 1:
    case 2:
        return ChannelOrder::Vorbis(channels);
    case 3:
    case 5:
    case 6:
    case 8:
        return ChannelOrder::Wav(channels);
    default:
        return ChannelOrder::Vorbis(2);
    }
}

void configureM4a(const SettingsFile& s, const QString&, IAudioFile2& writer, IAudioFile2LameEnc&) {
    M4aEncoder::Format chosen;
    chosen.kbps = M4aBitrate.valueWithin(s, M4aLowestKbps, M4aHighestKbps);
    chosen.vbr = M4aVbr.encoderFlag(s);
    chosen.quality = M4aQualityScale[static_cast<std::size_t>(
        M4aQuality.valueWithin(s, 0, int(M4aQualityScale.size()) - 1))];
    writer.SetEncoderFactory(
        m4aExtensions(), [chosen](const QString& path, const EncoderInput& in) {
            M4aEncoder::Format format = chosen;
            format.rate = M4aEncoder::RateFor(in.rate);
            const std::vector<ChannelOrder::Speaker> order = aacOrder(in.channels);
            format.channels = static_cast<int>(order.size());
            return std::make_unique<M4aEncoder>(
                path, format, ChannelOrder::Map(ChannelOrder::Vorbis(format.channels), order));
        });
}

// ---------------------------------------------------------------------------
// Channel orders and tags

std::vector<ChannelOrder::Speaker> stereoOnly(int channels) {
    return ChannelOrder::Vorbis(std::min(channels, 2));
}

void writeOutputTags(const QString& path, const AudioFileinfo& info) {
    WriteOutputTags(path, info);
}

void writeMp4Tags(const QString& path, const AudioFileinfo& info) {
    WriteMp4Tags(path, info);
}

template <typename Cutter, int Rate = 0>
std::unique_ptr<StreamCutter> cutterOf(const QString& source) {
    return std::make_unique<StreamCutterAdapter<Cutter>>(source, Rate);
}

SettingsPage ownPage(const char* node, const char* title) {
    return {QString::fromLatin1(node), QString::fromLatin1(title), {}, {}, {}};
}

std::vector<OutputFormat> formats() {
    std::vector<OutputFormat> all;
    all.push_back({QStringLiteral("mp3"),
                   QStringLiteral("MP3"),
                   {QStringLiteral(".mp3")},
                   QStringLiteral("mp3"),
                   ownPage("MP3", "Set MP3 General"),
                   configureMp3,
                   stereoOnly,
                   writeOutputTags,
                   StreamCopy{Mp3StreamCutter::IsMp3, {}, cutterOf<Mp3StreamCutter>}});
    all.push_back({QStringLiteral("wav"),
                   QStringLiteral("WAV"),
                   {QStringLiteral(".wav")},
                   QStringLiteral("wav"),
                   ownPage("WAV", "Set WAV Format"),
                   configureWav,
                   ChannelOrder::Wav,
                   nullptr, // WAV files carry no tags

                   std::nullopt});
    all.push_back({QStringLiteral("wma"),
                   QStringLiteral("WMA"),
                   {QStringLiteral(".wma")},
                   QStringLiteral("wma"),
                   ownPage("WMA", "Set WMA Format"),
                   configureWma,
                   stereoOnly,
                   writeOutputTags,
                   std::nullopt,
                   false});
    // Every OGG piece is a candidate for copying; the row says why one of
    // another source was not.
    all.push_back(
        {QStringLiteral("ogg"),
         QStringLiteral("OGG"),
         {QStringLiteral(".ogg")},
         QStringLiteral("ogg"),
         ownPage("OGG", "Set OGG Format"),
         configureOgg,
         ChannelOrder::Vorbis,
         writeOutputTags,
         StreamCopy{AudioDecoder::IsOggVorbis, QStringLiteral("the source is not Ogg Vorbis"),
                    cutterOf<VorbisStreamCutter>}});
    all.push_back({QStringLiteral("flac"),
                   QStringLiteral("FLAC"),
                   {QStringLiteral(".flac")},
                   QStringLiteral("FLAC"),
                   ownPage("FLAC", "Set FLAC Format"),
                   configureFlac,
                   ChannelOrder::Flac,
                   writeOutputTags,
                   std::nullopt});
    all.push_back(
        {QStringLiteral("opus"),
         QStringLiteral("Opus"),
         {QStringLiteral(".opus")},
         QStringLiteral("Opus"),
         ownPage("Opus", "Set Opus Format"),
         configureOpus,
         ChannelOrder::Vorbis,
         writeOutputTags,
         StreamCopy{OpusStreamCutter::IsOpus, {}, cutterOf<OpusStreamCutter, OpusEncoder::Rate>}});

    SettingsPage m4aPage{QStringLiteral("M4A"),
                         QStringLiteral("Set M4A Format"),
                         QStringLiteral("M4A Format"),
                         {},
                         QStringLiteral("AAC in an MP4 file. Name a joined file .m4b for an "
                                        "audiobook or .m4r for a ringtone, or end the name "
                                        "template with either, to write those.")};
    m4aPage.fields.push_back({SettingsField::Kind::Number,
                              M4aBitrate,
                              QStringLiteral("ud_m4a_bitrate"),
                              QStringLiteral("Bitrate:"),
                              M4aLowestKbps,
                              M4aHighestKbps,
                              QStringLiteral(" Kbps"),
                              {},
                              1,
                              false});
    m4aPage.fields.push_back({SettingsField::Kind::Flag,
                              M4aVbr,
                              QStringLiteral("ck_m4a_vbr"),
                              QStringLiteral("VBR (quality instead of a bitrate)"),
                              0,
                              0,
                              {},
                              {},
                              -1,
                              true});
    m4aPage.fields.push_back({SettingsField::Kind::Choice,
                              M4aQuality,
                              QStringLiteral("cb_m4a_quality"),
                              QStringLiteral("VBR quality:"),
                              0,
                              0,
                              {},
                              m4aQualityTexts(),
                              1,
                              true});
    all.push_back({QStringLiteral("m4a"), QStringLiteral("M4A"), m4aExtensions(),
                   QStringLiteral("M4A"), m4aPage, configureM4a, aacOrder, writeMp4Tags,
                   std::nullopt});
    return all;
}

} // namespace

QString OutputFormat::filterLabel() const {
    QStringList patterns;
    for (const QString& e : extensions)
        patterns.append(QLatin1Char('*') + e);
    return QStringLiteral("%1 Files(%2)").arg(label, patterns.join(QLatin1Char(' ')));
}

QString OutputFormat::filterPatterns() const {
    QStringList patterns;
    for (const QString& e : extensions)
        patterns.append(QLatin1Char('*') + e);
    return patterns.join(QLatin1Char(';'));
}

QString OutputFormat::extensionOf(const QString& name) const {
    for (const QString& e : extensions)
        if (name.endsWith(e, Qt::CaseInsensitive) && name.size() > e.size())
            return name.right(e.size());
    return {};
}

QString OutputFormat::joinPath(const QString& chosen) const {
    return extensionOf(chosen).isEmpty() ? chosen + extension() : chosen;
}

std::pair<QString, QString> OutputFormat::namedBy(const QString& pattern) const {
    const QString trimmed = pattern.trimmed();
    const QString asked = extensionOf(trimmed);
    if (asked.isEmpty())
        return {pattern, extension()};
    return {trimmed.chopped(asked.size()), asked.toLower()};
}

const std::vector<OutputFormat>& OutputFormats::All() {
    static const std::vector<OutputFormat> all = formats();
    return all;
}

int OutputFormats::Count() {
    return static_cast<int>(All().size());
}

bool OutputFormats::Has(int index) {
    return index >= 0 && index < Count();
}

const OutputFormat& OutputFormats::At(int index) {
    return All()[static_cast<std::size_t>(Has(index) ? index : 0)];
}

int OutputFormats::IndexOf(const QString& id) {
    const std::vector<OutputFormat>& all = All();
    for (std::size_t i = 0; i < all.size(); ++i)
        if (all[i].id.compare(id, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

QStringList OutputFormats::Labels() {
    QStringList labels;
    for (const OutputFormat& format : All())
        labels.append(format.label);
    return labels;
}

QStringList OutputFormats::Ids() {
    QStringList ids;
    for (const OutputFormat& format : All())
        ids.append(format.id);
    return ids;
}

QString OutputFormats::SaveFilter() {
    QStringList entries;
    for (const OutputFormat& format : All())
        entries.append(format.filterLabel() + QLatin1Char('|') + format.filterPatterns());
    return entries.join(QLatin1Char('|'));
}

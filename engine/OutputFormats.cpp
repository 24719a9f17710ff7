#include "engine/OutputFormats.h"

#include "engine/EncoderTables.h"
#include "engine/audio/AudioDecoder.h"
#include "engine/audio/FlacEncoder.h"
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
#include <iterator>

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

// ---------------------------------------------------------------------------
// FLAC and Opus: sections of their own holding the values themselves.

constexpr EncoderKey FlacLevel{"FLAC", "Level", 5};
constexpr int FlacFastest = 0;
constexpr int FlacSmallest = 8;

void configureFlac(const SettingsFile& s, const QString&, IAudioFile2& writer,
                   IAudioFile2LameEnc&) {
    const int level = FlacLevel.valueWithin(s, FlacFastest, FlacSmallest);
    writer.SetEncoderFactory({QStringLiteral(".flac")},
                             [level](const QString& path, const EncoderInput& in) {
                                 // The source's rate and channels, and its depth
                                 // where it had one.
                                 FlacEncoder::Format format;
                                 format.rate = in.rate;
                                 format.channels = in.channels;
                                 format.bits = FlacEncoder::outputBits(in.bits);
                                 format.level = level;
                                 return std::make_unique<FlacEncoder>(path, format);
                             });
}

constexpr EncoderKey OpusBitrate{"Opus", "Bitrate", 128}; // kbps
constexpr EncoderKey OpusComplexity{"Opus", "Complexity", 10};
// A position in opusApplicationTexts(), which is OpusEncoder::Application's.
constexpr EncoderKey OpusApplication{"Opus", "Application", 0};
constexpr int OpusLowestKbps = 6;
constexpr int OpusHighestKbps = 510;
constexpr int OpusHighestComplexity = 10;

QStringList opusApplicationTexts() {
    return {QStringLiteral("Audio"), QStringLiteral("VoIP"), QStringLiteral("Low delay")};
}

void configureOpus(const SettingsFile& s, const QString&, IAudioFile2& writer,
                   IAudioFile2LameEnc&) {
    OpusEncoder::Format chosen;
    chosen.kbps = OpusBitrate.valueWithin(s, OpusLowestKbps, OpusHighestKbps);
    chosen.complexity = OpusComplexity.valueWithin(s, 0, OpusHighestComplexity);
    chosen.application = static_cast<OpusEncoder::Application>(
        OpusApplication.valueWithin(s, 0, int(opusApplicationTexts().size()) - 1));
    writer.SetEncoderFactory({QStringLiteral(".opus")},
                             [chosen](const QString& path, const EncoderInput& in) {
                                 OpusEncoder::Format format = chosen;
                                 format.channels = in.channels;
                                 return std::make_unique<OpusEncoder>(path, format);
                             });
}

// ---------------------------------------------------------------------------
// Copying: a page someone changed was meant to shape the pieces.

bool mp3SettingsAllowCopies(const SettingsFile& s, const QString& commandLine) {
    const EncoderKey keys[] = {Mp3Bitrate,      Mp3Channel,       Mp3Frequency, Mp3Quality,
                               VbrCodingMethod, VbrBitrate,       VbrQuality,   VbrHeader,
                               VbrEnforceMin,   HighpassOn,       LowpassOn,    HighpassFrequency,
                               HighpassWidth,   LowpassFrequency, LowpassWidth, BitReservoir,
                               ShortBlocks,     AllowDiffBlocks,  StrictIso,    Crc,
                               AthMode,         DeEmphasis,       PresetOn,     AltPresetOn,
                               Preset,          AltPreset};
    return commandLine.trimmed().isEmpty() &&
           std::all_of(std::begin(keys), std::end(keys),
                       [&](const EncoderKey& key) { return key.holdsDefault(s); });
}

bool opusSettingsAllowCopies(const SettingsFile& s, const QString&) {
    return OpusBitrate.holdsDefault(s) && OpusComplexity.holdsDefault(s) &&
           OpusApplication.holdsDefault(s);
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
// Channel orders, copies and settings pages

std::vector<ChannelOrder::Speaker> stereoOnly(int channels) {
    return ChannelOrder::Vorbis(std::min(channels, 2));
}

template <typename Cutter, int Rate = 0>
std::unique_ptr<StreamCutter> cutterOf(const QString& source) {
    return std::make_unique<StreamCutterAdapter<Cutter>>(source, Rate);
}

SettingsPage ownPage(const char* node, const char* title) {
    return {QString::fromLatin1(node), QString::fromLatin1(title), {}, {}, {}};
}

SettingsField number(const EncoderKey& key, const char* objectName, const char* caption, int low,
                     int high, const char* suffix = "", int dependsOn = -1, bool whileOn = true) {
    return {SettingsField::Kind::Number,
            key,
            QString::fromLatin1(objectName),
            QString::fromLatin1(caption),
            low,
            high,
            QString::fromLatin1(suffix),
            {},
            dependsOn,
            whileOn};
}

SettingsField choice(const EncoderKey& key, const char* objectName, const char* caption,
                     const QStringList& texts, int dependsOn = -1, bool whileOn = true) {
    return {SettingsField::Kind::Choice,
            key,
            QString::fromLatin1(objectName),
            QString::fromLatin1(caption),
            0,
            0,
            {},
            texts,
            dependsOn,
            whileOn};
}

SettingsField flag(const EncoderKey& key, const char* objectName, const char* caption) {
    return {SettingsField::Kind::Flag,
            key,
            QString::fromLatin1(objectName),
            QString::fromLatin1(caption),
            0,
            0,
            {},
            {},
            -1,
            true};
}

SettingsPage flacPage() {
    return {QStringLiteral("FLAC"),
            QStringLiteral("Set FLAC Format"),
            QStringLiteral("FLAC Format"),
            {number(FlacLevel, "ud_flac_level", "Compression level:", FlacFastest, FlacSmallest)},
            QStringLiteral("0 is fastest, 8 smallest; every level keeps the audio exactly. "
                           "Pieces keep the source's rate, channels and bits per sample (16 from "
                           "lossy sources).")};
}

SettingsPage opusPage() {
    return {
        QStringLiteral("Opus"),
        QStringLiteral("Set Opus Format"),
        QStringLiteral("Opus Format"),
        {number(OpusBitrate, "ud_opus_bitrate", "Bitrate:", OpusLowestKbps, OpusHighestKbps,
                " Kbps"),
         number(OpusComplexity, "ud_opus_complexity", "Complexity:", 0, OpusHighestComplexity),
         choice(OpusApplication, "cb_opus_application", "Application:", opusApplicationTexts())},
        QStringLiteral("Opus always runs at 48000 Hz: sources of other rates are resampled "
                       "to it. Pieces of Opus sources are copied without re-encoding while "
                       "the OGG page's copy box is ticked and this page holds its defaults.")};
}

SettingsPage m4aPage() {
    // The bitrate is in use while VBR is off, the quality while it is on.
    return {QStringLiteral("M4A"),
            QStringLiteral("Set M4A Format"),
            QStringLiteral("M4A Format"),
            {number(M4aBitrate, "ud_m4a_bitrate", "Bitrate:", M4aLowestKbps, M4aHighestKbps,
                    " Kbps", 1, false),
             flag(M4aVbr, "ck_m4a_vbr", "VBR (quality instead of a bitrate)"),
             choice(M4aQuality, "cb_m4a_quality", "VBR quality:", m4aQualityTexts(), 1, true)},
            QStringLiteral("AAC in an MP4 file. Name a joined file .m4b for an audiobook or .m4r "
                           "for a ringtone, or end the name template with either, to write "
                           "those.")};
}

std::vector<OutputFormat> formats() {
    std::vector<OutputFormat> all;
    all.push_back(
        {QStringLiteral("mp3"),
         QStringLiteral("MP3"),
         {QStringLiteral(".mp3")},
         QStringLiteral("mp3"),
         ownPage("MP3", "Set MP3 General"),
         configureMp3,
         stereoOnly,
         WriteId3OutputTags,
         OutputExtras::Container::Id3v2,
         StreamCopy{
             Mp3StreamCutter::IsMp3, {}, cutterOf<Mp3StreamCutter>, mp3SettingsAllowCopies}});
    all.push_back({QStringLiteral("wav"),
                   QStringLiteral("WAV"),
                   {QStringLiteral(".wav")},
                   QStringLiteral("wav"),
                   ownPage("WAV", "Set WAV Format"),
                   configureWav,
                   ChannelOrder::Wav,
                   nullptr, // WAV files carry no tags
                   OutputExtras::Container::None,
                   std::nullopt});
    all.push_back({QStringLiteral("wma"),
                   QStringLiteral("WMA"),
                   {QStringLiteral(".wma")},
                   QStringLiteral("wma"),
                   ownPage("WMA", "Set WMA Format"),
                   configureWma,
                   stereoOnly,
                   WriteWmaOutputTags,
                   OutputExtras::Container::Asf,
                   std::nullopt,
                   false});
    // Every OGG piece is a candidate for copying; the row says why one of
    // another source was not. The OGG page's own copy box decides alone.
    all.push_back(
        {QStringLiteral("ogg"),
         QStringLiteral("OGG"),
         {QStringLiteral(".ogg")},
         QStringLiteral("ogg"),
         ownPage("OGG", "Set OGG Format"),
         configureOgg,
         ChannelOrder::Vorbis,
         WriteOggOutputTags,
         OutputExtras::Container::Vorbis,
         StreamCopy{AudioDecoder::IsOggVorbis, QStringLiteral("the source is not Ogg Vorbis"),
                    cutterOf<VorbisStreamCutter>, nullptr}});
    all.push_back({QStringLiteral("flac"),
                   QStringLiteral("FLAC"),
                   {QStringLiteral(".flac")},
                   QStringLiteral("FLAC"),
                   flacPage(),
                   configureFlac,
                   ChannelOrder::Flac,
                   WriteXiphOutputTags,
                   OutputExtras::Container::Flac,
                   std::nullopt});
    all.push_back({QStringLiteral("opus"),
                   QStringLiteral("Opus"),
                   {QStringLiteral(".opus")},
                   QStringLiteral("Opus"),
                   opusPage(),
                   configureOpus,
                   ChannelOrder::Vorbis,
                   WriteXiphOutputTags,
                   OutputExtras::Container::Opus,
                   StreamCopy{OpusStreamCutter::IsOpus,
                              {},
                              cutterOf<OpusStreamCutter, OpusEncoder::Rate>,
                              opusSettingsAllowCopies}});
    all.push_back({QStringLiteral("m4a"), QStringLiteral("M4A"), m4aExtensions(),
                   QStringLiteral("M4A"), m4aPage(), configureM4a, aacOrder, WriteMp4Tags,
                   OutputExtras::Container::Mp4, std::nullopt});
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

#include "engine/audio/LameSettings.h"

#include "platform/Error.h"

#include <lame/lame.h>

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// The settings object's preset numbers follow the old LAME named presets,
// which LAME 3.100 keeps as ABR bitrates (some of them mono):
//   1 Phone 16 kbps mono, 2 SW 24 mono, 3 AM 40 mono, 4 FM 112, 5 Voice 56 mono,
//   6 Radio 112, 7 Tape 112, 8 Hi-Fi 160, 9 CD 192, 10 Studio 256, 11 R3Mix.
struct NamedPreset {
    int code;
    bool mono;
};

std::optional<NamedPreset> presetNumbered(int preset) {
    static constexpr NamedPreset table[] = {
        {16, true},   {24, true},   {40, true},   {112, false}, {56, true},     {112, false},
        {112, false}, {160, false}, {192, false}, {256, false}, {R3MIX, false},
    };
    if (preset < 1 || preset > static_cast<int>(std::size(table)))
        return std::nullopt;
    return table[preset - 1];
}

// Alt-presets 1..5: fast standard, standard, fast extreme, extreme, insane.
std::optional<int> altPresetNumbered(int altPreset) {
    static constexpr int table[] = {STANDARD_FAST, STANDARD, EXTREME_FAST, EXTREME, INSANE};
    if (altPreset < 1 || altPreset > static_cast<int>(std::size(table)))
        return std::nullopt;
    return table[altPreset - 1];
}

vbr_mode vbrModeFor(int method) {
    switch (method) {
    case 1:
        return vbr_rh; // "old"
    case 2:
    case 3:
        return vbr_mtrh; // "new" and MTRH are the same method in LAME 3.100
    default:
        return vbr_default;
    }
}

struct ModeChoice {
    bool set = false;
    MPEG_mode mode = JOINT_STEREO;
    bool forceMs = false;
};

ModeChoice modeFromPosition(int position) {
    switch (position) {
    case 0:
        return {true, MONO, false};
    case 1:
        return {true, STEREO, false};
    case 2:
        return {true, JOINT_STEREO, false};
    case 3:
        return {true, JOINT_STEREO, true};
    case 4:
        return {true, DUAL_CHANNEL, false};
    default:
        return {};
    }
}

ModeChoice modeFromLetter(int letter) {
    switch (letter) {
    case 'm':
        return {true, MONO, false};
    case 's':
        return {true, STEREO, false};
    case 'j':
        return {true, JOINT_STEREO, false};
    case 'f':
        return {true, JOINT_STEREO, true};
    case 'd':
        return {true, DUAL_CHANNEL, false};
    default: // 'a': LAME decides
        return {};
    }
}

bool presetMode(const LameSettings& s) {
    return presetNumbered(s.preset) || altPresetNumbered(s.altPreset);
}

ModeChoice resolveMode(const LameSettings& s) {
    ModeChoice choice;
    if (presetMode(s)) {
        if (const auto named = presetNumbered(s.preset); named && named->mono)
            choice = {true, MONO, false};
    } else if (s.channels == 1) {
        choice = {true, MONO, false};
    } else {
        choice = modeFromPosition(s.channelMode);
    }
    for (const LameSettings::Switch& sw : s.commandLine) {
        if (sw.kind == LameSettings::Switch::Mode) {
            const ModeChoice next = modeFromLetter(sw.value);
            choice = next.set ? next : ModeChoice{};
        } else if (sw.kind == LameSettings::Switch::MonoPreset) {
            choice = {true, MONO, false};
        }
    }
    return choice;
}

// Frequencies on the command line are in kHz as LAME takes them; larger
// values are read as Hz.
int hertz(double value) {
    if (value < 0)
        return -1;
    return static_cast<int>(std::lround(value < 50 ? value * 1000 : value));
}

[[noreturn]] void badValue(const QString& name, const QString& value) {
    throw Error(QStringLiteral("Invalid value \"%1\" for the LAME switch \"%2\" in the MP3 "
                               "command line")
                    .arg(value, name));
}

QStringList tokenize(const QString& text) {
    QStringList tokens;
    QString current;
    bool quoted = false;
    bool any = false;
    for (const QChar ch : text) {
        if (ch == QLatin1Char('"')) {
            quoted = !quoted;
            any = true;
        } else if (ch.isSpace() && !quoted) {
            if (any)
                tokens << current;
            current.clear();
            any = false;
        } else {
            current += ch;
            any = true;
        }
    }
    if (any)
        tokens << current;
    return tokens;
}

} // namespace

std::vector<LameSettings::Switch> LameSettings::parseCommandLine(const QString& text) {
    std::vector<Switch> result;
    const QStringList tokens = tokenize(text);
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        QString name = tokens[i];
        QString attached;
        // Single-letter switches may carry their value: "-b320", "-V2", "-mj".
        if (name.size() > 2 && name.startsWith(QLatin1Char('-')) && name[1] != QLatin1Char('-') &&
            QStringLiteral("bBVqme").contains(name[1])) {
            attached = name.mid(2);
            name = name.left(2);
        }
        auto value = [&]() -> QString {
            if (!attached.isEmpty())
                return attached;
            if (i + 1 >= tokens.size())
                throw Error(QStringLiteral("The LAME switch \"%1\" in the MP3 command line needs a "
                                           "value")
                                .arg(name));
            return tokens[++i];
        };
        auto integer = [&](int low, int high) {
            const QString v = value();
            bool ok = false;
            const int n = v.toInt(&ok);
            if (!ok || n < low || n > high)
                badValue(name, v);
            return n;
        };
        auto real = [&](double low, double high) {
            const QString v = value();
            bool ok = false;
            const double d = v.toDouble(&ok);
            if (!ok || d < low || d > high)
                badValue(name, v);
            return d;
        };

        if (name == QLatin1String("-b")) {
            result.push_back({Switch::Bitrate, integer(8, 320)});
        } else if (name == QLatin1String("-B")) {
            result.push_back({Switch::MaxBitrate, integer(8, 320)});
        } else if (name == QLatin1String("-V")) {
            result.push_back({Switch::VbrQuality, 0, real(0, 9.999)});
        } else if (name == QLatin1String("-v") || name == QLatin1String("--vbr-new")) {
            result.push_back({Switch::Vbr});
        } else if (name == QLatin1String("--vbr-old")) {
            result.push_back({Switch::VbrOld});
        } else if (name == QLatin1String("--abr")) {
            result.push_back({Switch::Abr, integer(8, 320)});
        } else if (name == QLatin1String("--cbr")) {
            result.push_back({Switch::Cbr});
        } else if (name == QLatin1String("-q")) {
            result.push_back({Switch::Quality, integer(0, 9)});
        } else if (name == QLatin1String("-h")) {
            result.push_back({Switch::Quality, 2});
        } else if (name == QLatin1String("-f")) {
            result.push_back({Switch::Quality, 7});
        } else if (name == QLatin1String("-m")) {
            const QString v = value();
            if (v.size() != 1 || !QStringLiteral("msjfda").contains(v[0]))
                badValue(name, v);
            result.push_back({Switch::Mode, v[0].toLatin1()});
        } else if (name == QLatin1String("-p")) {
            result.push_back({Switch::Crc});
        } else if (name == QLatin1String("--preset")) {
            QString v = value().toLower();
            bool fast = false;
            if (v == QLatin1String("fast")) {
                fast = true;
                v = value().toLower();
            }
            bool ok = false;
            const int kbps = v.toInt(&ok);
            if (v == QLatin1String("cbr")) {
                const int n = integer(8, 320);
                result.push_back({Switch::Cbr});
                result.push_back({Switch::Bitrate, n});
            } else if (ok && !fast && kbps >= 8 && kbps <= 320) {
                result.push_back({Switch::Preset, kbps});
            } else if (v == QLatin1String("medium")) {
                result.push_back({Switch::Preset, fast ? MEDIUM_FAST : MEDIUM});
            } else if (v == QLatin1String("standard")) {
                result.push_back({Switch::Preset, fast ? STANDARD_FAST : STANDARD});
            } else if (v == QLatin1String("extreme")) {
                result.push_back({Switch::Preset, fast ? EXTREME_FAST : EXTREME});
            } else if (v == QLatin1String("insane") && !fast) {
                result.push_back({Switch::Preset, INSANE});
            } else if (v == QLatin1String("r3mix") && !fast) {
                result.push_back({Switch::Preset, R3MIX});
            } else if (!fast && v == QLatin1String("phone")) {
                result.push_back({Switch::Preset, 16});
                result.push_back({Switch::MonoPreset});
            } else if (!fast && (v == QLatin1String("phon+") || v == QLatin1String("lw") ||
                                 v == QLatin1String("mw-eu") || v == QLatin1String("sw"))) {
                result.push_back({Switch::Preset, 24});
                result.push_back({Switch::MonoPreset});
            } else if (!fast && v == QLatin1String("mw-us")) {
                result.push_back({Switch::Preset, 40});
                result.push_back({Switch::MonoPreset});
            } else if (!fast && v == QLatin1String("voice")) {
                result.push_back({Switch::Preset, 56});
                result.push_back({Switch::MonoPreset});
            } else if (!fast && (v == QLatin1String("fm") || v == QLatin1String("radio") ||
                                 v == QLatin1String("tape"))) {
                result.push_back({Switch::Preset, 112});
            } else if (!fast && v == QLatin1String("hifi")) {
                result.push_back({Switch::Preset, 160});
            } else if (!fast && v == QLatin1String("cd")) {
                result.push_back({Switch::Preset, 192});
            } else if (!fast && v == QLatin1String("studio")) {
                result.push_back({Switch::Preset, 256});
            } else {
                badValue(name, v);
            }
        } else if (name == QLatin1String("--resample")) {
            const double khz = real(1, 48000);
            const int hz = hertz(khz);
            if (hz < 8000 || hz > 48000)
                badValue(name, QString::number(khz));
            result.push_back({Switch::Resample, hz});
        } else if (name == QLatin1String("--lowpass")) {
            result.push_back({Switch::Lowpass, hertz(real(-1, 48000))});
        } else if (name == QLatin1String("--highpass")) {
            result.push_back({Switch::Highpass, hertz(real(-1, 48000))});
        } else if (name == QLatin1String("--lowpass-width")) {
            result.push_back({Switch::LowpassWidth, hertz(real(0, 48000))});
        } else if (name == QLatin1String("--highpass-width")) {
            result.push_back({Switch::HighpassWidth, hertz(real(0, 48000))});
        } else if (name == QLatin1String("--strictly-enforce-ISO") ||
                   name == QLatin1String("--strictly-enforce-iso")) {
            result.push_back({Switch::StrictIso});
        } else if (name == QLatin1String("-F")) {
            result.push_back({Switch::HardMin});
        } else if (name == QLatin1String("-t")) {
            result.push_back({Switch::NoVbrTag});
        } else if (name == QLatin1String("--nores")) {
            result.push_back({Switch::NoReservoir});
        } else if (name == QLatin1String("-e")) {
            const QString v = value();
            if (v == QLatin1String("n"))
                result.push_back({Switch::Emphasis, 0});
            else if (v == QLatin1String("5"))
                result.push_back({Switch::Emphasis, 1});
            else if (v == QLatin1String("c"))
                result.push_back({Switch::Emphasis, 3});
            else
                badValue(name, v);
        } else if (name == QLatin1String("--noath")) {
            result.push_back({Switch::NoAth});
        } else if (name == QLatin1String("--athonly")) {
            result.push_back({Switch::AthOnly});
        } else if (name == QLatin1String("--athshort")) {
            result.push_back({Switch::AthShort});
        } else if (name == QLatin1String("--noshort")) {
            result.push_back({Switch::NoShortBlocks});
        } else if (name == QLatin1String("--allshort")) {
            result.push_back({Switch::AllShortBlocks});
        } else if (name == QLatin1String("-S") || name == QLatin1String("--silent") ||
                   name == QLatin1String("--quiet") || name == QLatin1String("--nohist")) {
            // Console display switches of the LAME front end: nothing to do here.
        } else if (name.startsWith(QLatin1Char('-'))) {
            throw Error(
                QStringLiteral("Unknown LAME switch \"%1\" in the MP3 command line").arg(name));
        } else {
            throw Error(QStringLiteral("Unexpected \"%1\" in the MP3 command line: only LAME "
                                       "switches are allowed")
                            .arg(name));
        }
    }
    return result;
}

int LameSettings::outputChannels(int sourceChannels) const {
    const ModeChoice mode = resolveMode(*this);
    if (mode.set)
        return mode.mode == MONO ? 1 : 2;
    if (!presetMode(*this) && channels == 2)
        return 2;
    return std::clamp(sourceChannels, 1, 2);
}

void LameSettings::applyTo(lame_global_struct* lame, int channelsIn) const {
    lame_set_num_channels(lame, channelsIn);
    lame_set_write_id3tag_automatic(lame, 0);

    if (presetMode(*this)) {
        // A preset stands for a whole configuration: none of the individual
        // values take part.
        if (const auto named = presetNumbered(preset))
            lame_set_preset(lame, named->code);
        if (const auto alt = altPresetNumbered(altPreset))
            lame_set_preset(lame, *alt);
    } else {
        lame_set_quality(lame, std::clamp(quality, 0, 9));
        if (vbrMethod < 0) {
            lame_set_VBR(lame, vbr_off);
            lame_set_brate(lame, bitrate);
        } else {
            // The VBR bitrate is the ceiling of a VBR encode; the general
            // bitrate becomes its floor only when that floor is to be enforced.
            lame_set_VBR(lame, vbrModeFor(vbrMethod));
            lame_set_VBR_q(lame, std::clamp(vbrQuality, 0, 9));
            lame_set_VBR_max_bitrate_kbps(lame, vbrBitrate);
            if (enforceMinBitrate) {
                lame_set_VBR_min_bitrate_kbps(lame, std::min(bitrate, vbrBitrate));
                lame_set_VBR_hard_min(lame, 1);
            }
        }
        lame_set_bWriteVbrTag(lame, writeVbrHeader ? 1 : 0);
        lame_set_disable_reservoir(lame, bitReservoir ? 0 : 1);
        // Both calls write LAME's one short-block field: without short blocks
        // there is nothing to couple, with them the block types of the two
        // channels are coupled unless they may differ (LAME couples them in
        // stereo and joint stereo whatever is asked; dual channel follows).
        if (shortBlocks)
            lame_set_allow_diff_short(lame, allowDiffBlockTypes ? 1 : 0);
        else
            lame_set_no_short_blocks(lame, 1);
        lame_set_emphasis(lame, deEmphasis == 2 ? 3 : std::clamp(deEmphasis, 0, 1));
        // Off leaves LAME's own default, the largest frames the format
        // allows, as LAME's command line and FFmpeg leave it; 0 would ask
        // for a smaller limit than either uses.
        if (strictIso)
            lame_set_strict_ISO(lame, 1);
        switch (athMode) {
        case 1:
            lame_set_ATHonly(lame, 1);
            break;
        case 2:
            lame_set_noATH(lame, 1);
            break;
        case 3:
            lame_set_ATHshort(lame, 1);
            break;
        default:
            break;
        }
        // Unset filters (-1, or 0) leave LAME's own choice, which suits the
        // bitrate; a width only means something with its filter.
        if (lowpassHz > 0) {
            lame_set_lowpassfreq(lame, lowpassHz);
            if (lowpassWidthHz >= 0)
                lame_set_lowpasswidth(lame, lowpassWidthHz);
        }
        if (highpassHz > 0) {
            lame_set_highpassfreq(lame, highpassHz);
            if (highpassWidthHz >= 0)
                lame_set_highpasswidth(lame, highpassWidthHz);
        }
        lame_set_error_protection(lame, crc ? 1 : 0);
        if (outputRate > 0)
            lame_set_out_samplerate(lame, outputRate);
    }

    const ModeChoice mode = resolveMode(*this);
    if (channelsIn == 1) {
        lame_set_mode(lame, MONO);
    } else if (mode.set) {
        lame_set_mode(lame, mode.mode);
        lame_set_force_ms(lame, mode.forceMs ? 1 : 0);
    }

    for (const Switch& sw : commandLine) {
        switch (sw.kind) {
        case Switch::Bitrate:
            lame_set_brate(lame, sw.value);
            lame_set_VBR_min_bitrate_kbps(lame, sw.value);
            break;
        case Switch::MaxBitrate:
            lame_set_VBR_max_bitrate_kbps(lame, sw.value);
            break;
        case Switch::VbrQuality:
            if (lame_get_VBR(lame) == vbr_off || lame_get_VBR(lame) == vbr_abr)
                lame_set_VBR(lame, vbr_default);
            lame_set_VBR_quality(lame, static_cast<float>(sw.number));
            break;
        case Switch::Vbr:
            lame_set_VBR(lame, vbr_mtrh);
            break;
        case Switch::VbrOld:
            lame_set_VBR(lame, vbr_rh);
            break;
        case Switch::Abr:
            lame_set_VBR(lame, vbr_abr);
            lame_set_VBR_mean_bitrate_kbps(lame, sw.value);
            break;
        case Switch::Cbr:
            lame_set_VBR(lame, vbr_off);
            break;
        case Switch::Quality:
            lame_set_quality(lame, sw.value);
            break;
        case Switch::Mode:
        case Switch::MonoPreset:
            // Resolved with the channel count above.
            break;
        case Switch::Crc:
            lame_set_error_protection(lame, 1);
            break;
        case Switch::Preset:
            lame_set_preset(lame, sw.value);
            break;
        case Switch::Resample:
            lame_set_out_samplerate(lame, sw.value);
            break;
        case Switch::Lowpass:
            lame_set_lowpassfreq(lame, sw.value);
            break;
        case Switch::Highpass:
            lame_set_highpassfreq(lame, sw.value);
            break;
        case Switch::LowpassWidth:
            lame_set_lowpasswidth(lame, sw.value);
            break;
        case Switch::HighpassWidth:
            lame_set_highpasswidth(lame, sw.value);
            break;
        case Switch::StrictIso:
            lame_set_strict_ISO(lame, 1);
            break;
        case Switch::HardMin:
            lame_set_VBR_hard_min(lame, 1);
            break;
        case Switch::NoVbrTag:
            lame_set_bWriteVbrTag(lame, 0);
            break;
        case Switch::NoReservoir:
            lame_set_disable_reservoir(lame, 1);
            break;
        case Switch::Emphasis:
            lame_set_emphasis(lame, sw.value);
            break;
        case Switch::NoAth:
            lame_set_noATH(lame, 1);
            break;
        case Switch::AthOnly:
            lame_set_ATHonly(lame, 1);
            break;
        case Switch::AthShort:
            lame_set_ATHshort(lame, 1);
            break;
        case Switch::NoShortBlocks:
            lame_set_no_short_blocks(lame, 1);
            break;
        case Switch::AllShortBlocks:
            lame_set_force_short_blocks(lame, 1);
            break;
        }
    }
}

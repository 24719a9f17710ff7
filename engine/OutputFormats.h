#pragma once

#include "engine/EncoderKey.h"
#include "engine/audio/ChannelOrder.h"
#include "tags/OutputExtras.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

class IAudioFile2;
class IAudioFile2LameEnc;
class SettingsFile;
class StreamCutter;
struct AudioFileinfo;

// Positions of the first output formats in the format box and in the
// settings file's `Format`/`Output` key; a stored position must keep its
// meaning, so new formats go after them. Formats are found by id
// (OutputFormats::IndexOf), not by these names.
enum OutputFormatIndex : int {
    OutputMp3 = 0,
    OutputWav = 1,
    OutputWma = 2,
    OutputOgg = 3,
    OutputFlac = 4,
    OutputOpus = 5,
};

// One control of a format's settings page, bound to its settings key.
struct SettingsField {
    enum class Kind { Number, Choice, Flag };
    Kind kind = Kind::Number;
    EncoderKey key{"", "", 0};
    QString objectName;
    QString caption;
    int low = 0; // Number: the range the key's value must lie in
    int high = 0;
    QString suffix;      // Number: " Kbps" ...
    QStringList choices; // Choice: the texts of the stored positions
    // The position of the page's flag that decides whether this field is in
    // use (-1: always), and whether it is while the flag is on or off.
    int dependsOn = -1;
    bool whileOn = true;
};

// A format's page of the settings dialog: its tree node, the title shown
// over it and its controls. The pages of the four formats the settings file
// has always held (MP3, WAV, WMA, OGG) are the dialog's own, laid out by
// hand; theirs hold no fields. Every other format's page is built from its
// fields, with `group` as its frame's caption and `note` under them.
struct SettingsPage {
    QString node;
    QString title;
    QString group;
    std::vector<SettingsField> fields;
    QString note;
};

// How pieces of a source of the format's own kind are copied packet by
// packet instead of encoded anew.
struct StreamCopy {
    // Whether the source's packets are of this format.
    bool (*fits)(const QString& source) = nullptr;
    // Said on the row when they are not; empty: copying is then not in
    // question at all.
    QString otherSource;
    // Reads the source; throws Error when it cannot.
    std::unique_ptr<StreamCutter> (*open)(const QString& source) = nullptr;
    // Whether the format's settings let pieces be copied: a page someone
    // changed was meant to shape them. None: whenever copying is on.
    bool (*settingsAllow)(const SettingsFile& settings, const QString& commandLine) = nullptr;
};

// Everything the program knows of one output format.
struct OutputFormat {
    QString id;             // the command line's name: "mp3"
    QString label;          // the format box's text: "MP3"
    QStringList extensions; // with their dots; the first is the default
    QString section;        // of the settings file
    SettingsPage page;
    // Sets `writer` (and for MP3 `encoder`) up for the next output from the
    // settings, read afresh; the writer then makes the format's encoder for
    // outputs of its extensions. The formats the audio component has set-up
    // calls for (SetWavFormat, ...) make those; every other one hands the
    // writer its encoder (SetEncoderFactory).
    void (*configure)(const SettingsFile& settings, const QString& commandLine, IAudioFile2& writer,
                      IAudioFile2LameEnc& encoder) = nullptr;
    // The speakers, in order, that the format's files hold for a source of
    // `channels` channels: fewer where it mixes down. Its encoder maps the
    // program's (Vorbis) order to it.
    std::vector<ChannelOrder::Speaker> (*channelOrder)(int channels) = nullptr;
    // Tags a finished output; throws Error naming it when the tags could
    // not be written. None for a format without tags.
    void (*writeTags)(const QString& path, const AudioFileinfo& info) = nullptr;
    // Where its files take what a piece carries besides (the sheet's other
    // fields, the cover, ReplayGain); None for none.
    OutputExtras::Container extras = OutputExtras::Container::None;
    std::optional<StreamCopy> copy;
    // Whether the format's files tell decoders their length to the frame;
    // ASF does not, so a WMA piece decodes to whole frames of its codec.
    bool exactLength = true;

    const QString& extension() const { return extensions.front(); }
    // "MP3 Files(*.mp3)", and the patterns it stands for, "*.mp3".
    QString filterLabel() const;
    QString filterPatterns() const;
    // The extension `name` ends in when it is one of the format's (in any
    // case, as written), else empty.
    QString extensionOf(const QString& name) const;
    // A joined file's path: the chosen name as it is when it ends in one of
    // the format's extensions, else with the default one appended.
    QString joinPath(const QString& chosen) const;
    // A name template that ends in one of the format's extensions asks for
    // it: the template without it, and the extension its pieces take.
    std::pair<QString, QString> namedBy(const QString& pattern) const;
};

// The output formats, in the order of the format box.
class OutputFormats {
public:
    static const std::vector<OutputFormat>& All();
    static int Count();
    static bool Has(int index);
    // The format at `index`; one outside the list reads as the first.
    static const OutputFormat& At(int index);
    // The position of the format named `id` (any case), -1 for none.
    static int IndexOf(const QString& id);
    static QStringList Labels();
    static QStringList Ids();
    // The save dialog's filter, one entry per format in box order.
    static QString SaveFilter();
};

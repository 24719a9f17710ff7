#pragma once

#include "core/listrecord.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <optional>

class IAudioFile2;

// The rules by which a source file enters the job list, shared by the window
// and the command-line tool: which files count as audio, the job a file
// gives (its facts, caption and tags), and why a file is refused. A file is audio when
// the decoder opens it, whatever its name.
class SourceIntake {
public:
    // How the file came: the open dialog (and everything that hands files
    // over as it does: the command line, another copy, a drop) or a folder.
    enum class Source { OpenDialog, Folder };

    // A file the list did not take: the message, and why (the reader's
    // words), shown as the message's details.
    struct Refusal {
        QString message;
        QString reason;
    };
    // A file the list took: its job, with its caption, size and tags; or,
    // when there is none, why it was refused.
    struct Result {
        std::optional<listrecord> job;
        Refusal refusal;
    };

    // Fills the tags a file brings, the date in `Year` as the file has it;
    // may throw when it cannot read them.
    using TagReader = std::function<void(const QString& fileName, AudioFileinfo& tags)>;

    explicit SourceIntake(TagReader readTags);

    // Measures `path` with `reader` (left closed) and reads its tags.
    Result Take(const QString& path, IAudioFile2& reader, Source source) const;

    // The open dialog's choices: every accepted name first, then each family.
    static inline const QString OpenFilter = QStringLiteral(
        "Audio Files(*.ogg;*.oga;*.opus;*.spx;*.mp3;*.flac;*.wav;*.w64;*.aif;*.aiff;*.aifc;*.m4a;"
        "*.m4b;*.mp4;*.aac;*.wma;*.mka;*.webm;*.ac3;*.wv;*.tta;*.caf)|*.ogg;*.oga;*.opus;*.spx;"
        "*.mp3;*.flac;*.wav;*.w64;*.aif;*.aiff;*.aifc;*.m4a;*.m4b;*.mp4;*.aac;*.wma;*.mka;*.webm;"
        "*.ac3;*.wv;*.tta;*.caf|"
        "OGG Files(*.ogg;*.oga;*.spx)|*.ogg;*.oga;*.spx|Opus Files(*.opus)|*.opus|"
        "MP3 Files(*.mp3)|*.mp3|FLAC Files(*.flac)|*.flac|WAV Files(*.wav;*.w64)|*.wav;*.w64|"
        "AIFF Files(*.aif;*.aiff;*.aifc)|*.aif;*.aiff;*.aifc|"
        "M4A Files(*.m4a;*.m4b;*.mp4;*.aac)|*.m4a;*.m4b;*.mp4;*.aac|WMA Files(*.wma)|*.wma|"
        "Matroska Files(*.mka;*.webm)|*.mka;*.webm|"
        "Other Files(*.ac3;*.wv;*.tta;*.caf)|*.ac3;*.wv;*.tta;*.caf|All Files(*)|*");
    // Smallest slider maximum of a file added through the open dialog or from
    // a folder.
    static constexpr std::int32_t OpenDialogMinRange = 1084;
    static constexpr std::int32_t FolderMinRange = 1014;

    // Whether `path` names an audio file: by its extension, else by its
    // content.
    static bool IsAudioFile(const QString& path);
    // The audio files of a folder in name order, as a file manager lists it;
    // subfolders are not entered.
    static QStringList FolderFiles(const QString& folder);

    // Dropped addresses sorted out: audio files and folders to add, and the
    // names of everything else.
    struct Sorted {
        QStringList accepted;
        QStringList leftOut;
    };
    static Sorted SortDropped(const QList<QUrl>& urls);
    // The message naming what a drop left out.
    static QString LeftOutMessage(const QStringList& names);
    // The refusal of a name no file can have.
    static Refusal UnnameableRefusal(const QString& path);

    // The year of a date tag: its first four-digit number, else the date as
    // written.
    static QString YearOf(const QString& date);
    // A name as a message shows it: a very long one loses its middle.
    static QString ShortName(const QString& name);
    // Whether the system could take `path` as a file's name at all: not
    // longer than a path may be, no part longer than a name may be.
    static bool CanNameAFile(const QString& path);

private:
    static listrecord measure(IAudioFile2& reader, const QString& path, Source source);
    static void resetReader(IAudioFile2& reader);

    TagReader readTags_;
};

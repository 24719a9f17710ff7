#pragma once

#include "core/listrecord.h"

#include <QString>

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

// The title a second copy of the program looks for; it is also the name of
// the single-instance lock.
inline const QString ApplicationTitle = QStringLiteral("Kestrune V1.00");

// The product's web page (the Help menu, the About box).
inline const QString HomePageUrl = QStringLiteral("https://tarnwell.org/");

// Which pieces the runs take from each file.
enum FunctionChoiceValue : std::int32_t {
    FunctionCustom = 0,
    FunctionSplitByTime = 1,
    FunctionSplitByCount = 2,
    FunctionUnification = 3,
    FunctionSplitAtSilences = 4,
};

// The state every window consults. The main window owns the one instance and
// hands it to the other windows, the runs and the preview.
struct AppState {
    bool Busy = false;
    bool Playing = false;
    bool SegmentFocus = false;
    bool Seeking = false;
    bool FolderAddMode = false;
    std::int32_t FunctionChoice = FunctionCustom;
    QString OutputDir;
    std::int32_t SplitSeconds = 60;
    std::int32_t SplitCount = 6;
    bool FadeIn = false;
    bool FadeOut = false;
    std::int32_t FadeInSeconds = 5;
    std::int32_t FadeOutSeconds = 5;
    bool SkinFlag = false;
    // The format box's position, 0 MP3 .. 3 OGG, kept from one start to the next.
    std::int32_t OutputFormat = 0;
    // A silence is quieter than SilenceThreshold dBFS for at least
    // SilenceMinimumMs. Pieces split at silences last at least
    // SilenceMinimumPiece seconds; with SnapToSilence the cuts of a time split
    // move to a silence within SnapSeconds, and with SnapMarks so do the
    // times Begin and End mark.
    std::int32_t SilenceThreshold = -40;
    std::int32_t SilenceMinimumMs = 1000;
    std::int32_t SilenceMinimumPiece = 5;
    bool SnapToSilence = false;
    std::int32_t SnapSeconds = 10;
    bool SnapMarks = false;
    std::int32_t CurrentFile = -1;
    std::int32_t CurrentSegment = 0;
    // The file row the preview plays; the job list keeps it on the same file
    // when rows move or go.
    std::int32_t PlayingFile = -1;

    // One job per source file, in the file list's order: row k of the list
    // is JobList[k]. While the window shows the list, jobs are added,
    // removed and reordered only through its JobListModel.
    std::vector<listrecord> JobList;

    // Rows of the segment list a run shows "Converting", each with the
    // status it showed before. A run that failed leaves them so until Stop,
    // which gives every row its status back.
    std::map<int, QString> ConvertingRows;

    // The folder dialog's two modes: choosing the output folder or a folder
    // whose Ogg files are added.
    enum class FolderMode { Output, AddFolder };
    FolderMode FolderDialogMode = FolderMode::Output;
    QString ChosenFolder;

    // The settings dialog's command-line box lives for the program's run but
    // is never saved; the encoder configuration reads it.
    QString Mp3CommandLine;

    // Whether OGG pieces are copied rather than re-encoded where nothing
    // changes their audio. Empty leaves it to the settings file; a command
    // line's --copy or --no-copy decides it for the program's run.
    std::optional<bool> OggCopy;
    // Whether split pieces get ReplayGain tags; empty leaves it to the
    // settings file, a command line's --replaygain decides it for its run.
    std::optional<bool> ReplayGain;
    // How split outputs are named ("{n:02} - {title}", ...); empty: pieces
    // with titles by the default template, others by number.
    QString PiecePattern;

    // The output folder a new settings file starts with: the user's music
    // folder, with a final "/".
    static QString defaultOutputDir();
};

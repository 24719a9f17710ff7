#pragma once

#include "core/PieceTags.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>

class GivenNames;
class SettingsFile;

// How the runs name their outputs. A run never writes over an existing file:
// when a name is taken it counts "_1", "_2", ... until a free one turns up.
// A name is also taken while an output is still being written under its
// temporary name (see Temporary).
class OutputNames {
public:
    // The part of a file list caption before its first ".", not counting
    // dots at its start: an output name never begins with one, which would
    // hide it (".hidden start.ogg" gives "hidden start").
    static QString Base(const QString& caption);
    // What the pieces of a source are named after: the title its file list
    // caption shows, whole, or when the caption is the source's file name,
    // that name's Base. The `caption` the naming functions below take is
    // this name.
    static QString SourceName(const QString& caption, const QString& sourcePath);
    // Replaces the text from the last "." on, or appends.
    static QString ChangeExtension(const QString& name, const QString& extension);
    // The folder with a final "/", so names can be appended to it.
    static QString Folder(const QString& outputDir);

    // The output path of the next piece cut from the source named `caption`:
    // the custom run's first piece is named after the caption's base itself,
    // every other piece gets a number. Never an existing file, nor one of
    // `planned` (full paths the run has already given out, in piece order).
    static QString SplitOutput(const QString& outputDir, const QString& caption,
                               const QString& extension, bool numbered,
                               const QSet<QString>& planned = {});
    // The same for a run that has given out `given`; the name is not added.
    static QString SplitOutput(const QString& outputDir, const QString& caption,
                               const QString& extension, bool numbered, GivenNames& given);
    // The name a template gives a piece: "{n}" its number, "{n:02}" the
    // number padded with zeros to that width, "{title}", "{artist}",
    // "{album}" its tags, "{source}" the source's name (`caption`),
    // "{begin}" where it begins ("00-04-17.69"); any other text stays. Each
    // field is cleaned as a title is, and so is the whole name; "untitled"
    // when nothing is left. A "/" makes a folder ("{artist}/{album}/{title}"
    // gives "Band/Live/Song"); a folder that comes out empty is left out.
    static QString PieceStem(const QString& pattern, int n, const PieceTags& tags,
                             const QString& caption, std::int64_t beginMs);
    // The template of pieces that have titles when none is chosen.
    static QString DefaultPattern();
    // The template the window's runs use: key "PieceNames" of section "Run",
    // empty (the default) when missing or blank.
    static QString Pattern(const SettingsFile& settings);
    // A blank template is written only over one that was set, so a file
    // that never had one keeps none.
    static void SetPattern(SettingsFile& settings, const QString& pattern);
    // The template a split names a piece by: `asked` (the command line's)
    // when there is one, else for a `titled` piece the settings file's; empty
    // leaves PieceOutput to its defaults. Untitled pieces keep their numbers
    // unless asked otherwise.
    static QString ChosenPattern(const QString& asked, const SettingsFile& settings, bool titled);
    // Why `pattern` could give no name of its own: a field that is not
    // known or a brace outside one, nothing but separators, or a folder that
    // is empty, "." or "..". Empty when it will do, as a blank one does.
    // Both front ends refuse a template with this message.
    static QString PatternFault(const QString& pattern);
    // `stem` with `extension` in the output folder (in its folders below
    // it when it has any), counting "_1", "_2", ...
    // when that is taken, as SplitOutput does.
    static QString NamedOutput(const QString& outputDir, const QString& stem,
                               const QString& extension, const QSet<QString>& planned = {});
    static QString NamedOutput(const QString& outputDir, const QString& stem,
                               const QString& extension, GivenNames& given);

    // The output path of piece `index` (from 0) of a split: by `pattern`
    // when one is chosen, else by the default template when the piece has a
    // title of its own, else as SplitOutput names it. `tags` are those the
    // piece is tagged with; its number is its track number, else index + 1.
    static QString PieceOutput(const QString& outputDir, const QString& caption,
                               const QString& extension, bool numbered, const QString& pattern,
                               bool titled, int index, const PieceTags& tags, std::int64_t beginMs,
                               GivenNames& given);

    // The name used when the output could not be created under its own name:
    // the source's file name with the output's extension, in the output
    // folder, but never an existing file nor one of `sources`.
    static QString Fallback(const QString& outputDir, const QString& sourcePath,
                            const QString& extension, const QStringList& sources);

    // The join output: the chosen name with the extension appended unless it
    // already ends in it (in any case).
    static QString JoinOutput(const QString& chosen, const QString& extension);
    // `path` when it is free, else its first free numbered variant
    // ("mix_1.wav", "mix_2.wav", ...).
    static QString FreeVariant(const QString& path);

    // The name an output is written under until it is complete: hidden, in
    // the same folder, marked ".part" with a random `tag` of six letters and
    // digits, and ending in the final name's extension, which chooses the
    // format of the encoders and tag writers ("song_1.mp3" is written as
    // ".song_1.x7Rq2b.part.mp3"). When that would be longer than the folder
    // allows a name to be, the final name's part is cut short and a hash of
    // the final name follows the tag (".song_1.x7Rq2b.9f2c01ab.part.mp3"),
    // so that every final name that fits can be written.
    static QString Temporary(const QString& finalPath, const QString& tag);
    // Whether the file name of `path` is no longer than its folder allows.
    static bool NameFits(const QString& path);
    // Whether `fileName` (without folder) is one of Temporary's names.
    static bool IsTemporary(const QString& fileName);
    // What Pending's set holds while the output named `fileName` (without
    // folder) is being written.
    static QStringList PendingKeys(const QString& fileName);
    // The outputs being written in `folder`, read from their temporary names:
    // a final file name, or for a name cut short the hash PendingKeys gives.
    // Temporaries left by a program that was killed do not count
    // (PendingOutput::Abandoned).
    static QSet<QString> Pending(const QString& folder);

    // A file, directory or (dangling) link is there.
    static bool Exists(const QString& path);
    // Both paths name the same file (after resolving links for files that
    // exist).
    static bool SameFile(const QString& a, const QString& b);

private:
    // One folder or file name of PieceStem; empty when nothing is left.
    static QString StemPart(const QString& pattern, int n, const PieceTags& tags,
                            const QString& caption, std::int64_t beginMs);
};

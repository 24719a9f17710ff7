#pragma once

#include "core/CueSheet.h"
#include "engine/SegmentFiles.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

// What importing a cue sheet or label file into a source will mark, shown
// before anything is: its tracks with number, title, performer and exact
// times, the encoding the sheet was read in, and where the audio before the
// first track goes. Changing the encoding or the pregap choice reads the
// sheet again. The window's import shows it; the CLI reads the same sheets
// through SegmentFiles.
class SheetImport {
public:
    struct Row {
        QString number; // "01"; "00" for the audio before track 1
        QString title;
        QString performer;
        QString begin; // "00:05:30.400": exact to the millisecond
        QString end;
        QString length;
    };

    // `sheetPath` empty: the cue sheet the source carries inside. Reads it
    // at once; throws Error when it cannot be read.
    SheetImport(QString sheetPath, QString sourcePath, std::int32_t rate, std::int64_t frames);

    bool isCueSheet() const;
    bool embedded() const { return sheetPath_.isEmpty(); }
    // The sheet as the user knows it: its file name, or "the cue sheet
    // inside" the source.
    QString sheetName() const;

    // The encoding the sheet was read in; empty for a label file.
    QString encoding() const { return imported_.encoding; }
    // Whether the encoding can be chosen (a sheet file; one inside an audio
    // file is Unicode already).
    bool encodingChoosable() const { return isCueSheet() && !embedded(); }
    // Reads the sheet again in `name` (empty: the one found). Throws Error
    // when `name` is no encoding or the sheet no longer reads; the import
    // stays as it was then.
    void setEncoding(const QString& name);

    CueSheet::Pregap pregap() const { return pregap_; }
    // Whether the sheet has audio before its first track, so the pregap
    // choice changes anything.
    bool hasPregap() const { return hasPregap_; }
    void setPregap(CueSheet::Pregap pregap);

    const SegmentFiles::Imported& imported() const { return imported_; }
    std::vector<Row> rows() const;

    // The encodings the import offers first: the ones sheets come in.
    static QStringList CommonEncodings();
    // A frame as "hh:mm:ss.mmm".
    static QString ExactTime(std::int64_t frame, std::int32_t rate);

private:
    SegmentFiles::Imported read(const QString& encoding, CueSheet::Pregap pregap) const;

    QString sheetPath_;
    QString sourcePath_;
    std::int32_t rate_ = 0;
    std::int64_t frames_ = 0;
    QString forced_;
    CueSheet::Pregap pregap_ = CueSheet::Pregap::First;
    bool hasPregap_ = false;
    SegmentFiles::Imported imported_;
};

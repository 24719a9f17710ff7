#include "core/CueSheet.h"

#include "core/FramePosition.h"
#include "core/SheetText.h"
#include "core/TextEncoding.h"
#include "platform/Error.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <optional>

namespace {

[[noreturn]] void failAt(int line, const QString& what) {
    throw Error(QStringLiteral("Cue sheet line %1: %2").arg(line).arg(what));
}

// One line of a sheet: its command, upper-cased, and the rest, trimmed.
struct Line {
    QString command;
    QString rest;
};

const QRegularExpression& blank() {
    static const QRegularExpression space(QStringLiteral("\\s"));
    return space;
}

// The first word of `text` and what follows it, trimmed.
std::pair<QString, QString> firstWord(const QString& text) {
    const QString trimmed = text.trimmed();
    const auto space = trimmed.indexOf(blank());
    if (space < 0)
        return {trimmed, QString()};
    return {trimmed.left(space), trimmed.mid(space).trimmed()};
}

Line lineOf(const QString& text) {
    const auto [command, rest] = firstWord(text);
    return {command.toUpper(), rest};
}

// Sheets know no escape for a quote, and some programs write quotes inside
// a quoted value or none around a value of several words: a quoted value
// runs to the line's last quote, an unquoted one to the line's end.
QString valueOf(const QString& rest) {
    if (!rest.startsWith(QLatin1Char('"')))
        return rest;
    const auto last = rest.lastIndexOf(QLatin1Char('"'));
    return last > 0 ? rest.mid(1, last - 1) : rest.mid(1).trimmed();
}

// A FILE's name; unquoted (or with its quote not closed) it runs to the
// type that ends the line.
QString fileNameIn(const QString& rest) {
    const auto last = rest.lastIndexOf(QLatin1Char('"'));
    if (rest.startsWith(QLatin1Char('"')) && last > 0)
        return rest.mid(1, last - 1);
    const QString name = rest.startsWith(QLatin1Char('"')) ? rest.mid(1).trimmed() : rest;
    const auto space = name.lastIndexOf(blank());
    return space > 0 ? name.left(space).trimmed() : name;
}

// "n" or "n/N" of REM DISCNUMBER.
void discNumberOf(const QString& value, PieceTags& tags) {
    tags.discNumber = std::max(0, value.section(QLatin1Char('/'), 0, 0).trimmed().toInt());
    if (value.contains(QLatin1Char('/')))
        tags.discTotal = std::max(0, value.section(QLatin1Char('/'), 1, 1).trimmed().toInt());
}

std::int64_t cueTime(const QString& text, int line) {
    static const QRegularExpression form(QStringLiteral("^(\\d{1,7}):(\\d{1,2}):(\\d{1,2})$"));
    const auto m = form.match(text);
    const int ss = m.hasMatch() ? m.captured(2).toInt() : 0;
    const int ff = m.hasMatch() ? m.captured(3).toInt() : 0;
    if (!m.hasMatch() || ss >= 60 || ff >= FramePosition::CueFramesPerSecond)
        failAt(line, QStringLiteral("\"%1\" is not a time mm:ss:ff").arg(text));
    return (m.captured(1).toLongLong() * 60 + ss) * FramePosition::CueFramesPerSecond + ff;
}

QString cueTimeText(std::int64_t cueFrames) {
    const std::int64_t second = cueFrames / FramePosition::CueFramesPerSecond;
    return QStringLiteral("%1:%2:%3")
        .arg(second / 60, 2, 10, QLatin1Char('0'))
        .arg(second % 60, 2, 10, QLatin1Char('0'))
        .arg(cueFrames % FramePosition::CueFramesPerSecond, 2, 10, QLatin1Char('0'));
}

// Cue sheets know no escape for a quote inside a text, nor a line break.
QString cueText(const QString& text) {
    QString clean = text;
    clean.replace(QLatin1Char('"'), QLatin1Char('\''));
    clean.replace(QLatin1Char('\n'), QLatin1Char(' ')).remove(QLatin1Char('\r'));
    return clean;
}

QString quoted(const QString& text) {
    return QLatin1Char('"') + cueText(text) + QLatin1Char('"');
}

// A remark's value stands without quotes when it is one word.
QString remarkValue(const QString& value) {
    const QString clean = cueText(value);
    return std::any_of(clean.begin(), clean.end(), [](QChar c) { return c.isSpace(); })
               ? QLatin1Char('"') + clean + QLatin1Char('"')
               : clean;
}

QString fileNameOf(const QString& name) {
    // Sheets made on Windows name their files with backslashes.
    return name.mid(
        std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\'))) + 1);
}

QString withoutExtension(const QString& fileName) {
    const auto dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? fileName.left(dot) : fileName;
}

QString fileType(const QString& name) {
    const QString suffix = QFileInfo(name).suffix().toLower();
    if (suffix == QLatin1String("mp3"))
        return QStringLiteral("MP3");
    if (suffix == QLatin1String("aif") || suffix == QLatin1String("aiff"))
        return QStringLiteral("AIFF");
    return QStringLiteral("WAVE");
}

} // namespace

CueSheet CueSheet::Parse(const QString& text) {
    CueSheet sheet;
    struct Open {
        Track track;
        int line = 0;
        int file = -1; // where its INDEX 01 stood; -1 before it
        bool audio = true;
    };
    std::optional<Open> open;
    const auto close = [&] {
        if (!open || !open->audio)
            return;
        if (open->file >= 0) {
            sheet.files[static_cast<size_t>(open->file)].tracks.push_back(open->track);
            return;
        }
        // A track 0 without INDEX 01 names the audio before track 1.
        if (open->track.tags.track == 0) {
            sheet.files.back().pregapTitle = open->track.tags.title;
            return;
        }
        failAt(open->line, QStringLiteral("TRACK %1 has no INDEX 01").arg(open->track.tags.track));
    };

    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    for (int i = 0; i < lines.size(); ++i) {
        const int number = i + 1;
        const Line line = lineOf(lines[i]);
        if (line.command.isEmpty())
            continue;
        const QString& command = line.command;
        const auto [argument, after] = firstWord(line.rest);
        PieceTags& tags = open ? open->track.tags : sheet.disc;
        if (command == QLatin1String("FILE")) {
            if (line.rest.isEmpty())
                failAt(number, QStringLiteral("FILE names no file"));
            sheet.files.push_back({fileNameIn(line.rest), {}, {}});
        } else if (command == QLatin1String("TRACK")) {
            if (sheet.files.empty())
                failAt(number, QStringLiteral("TRACK comes before any FILE"));
            bool ok = false;
            const int n = argument.toInt(&ok);
            if (!ok || n < 0)
                failAt(number, QStringLiteral("\"%1\" is not a track number").arg(argument));
            close();
            open = Open{};
            open->track.tags.track = n;
            open->line = number;
            open->audio =
                firstWord(after).first.compare(QLatin1String("AUDIO"), Qt::CaseInsensitive) == 0;
        } else if (command == QLatin1String("INDEX")) {
            if (!open)
                failAt(number, QStringLiteral("INDEX comes before any TRACK"));
            const std::int64_t at = cueTime(firstWord(after).first, number);
            if (argument.toInt() != 1 || !open->audio)
                continue;
            auto& tracks = sheet.files.back().tracks;
            if (!tracks.empty() && at < tracks.back().start)
                failAt(number, QStringLiteral("INDEX 01 lies before the previous track's"));
            open->track.start = at;
            open->file = static_cast<int>(sheet.files.size()) - 1;
        } else if (command == QLatin1String("TITLE")) {
            (open ? tags.title : tags.album) = valueOf(line.rest);
        } else if (command == QLatin1String("PERFORMER")) {
            tags.artist = valueOf(line.rest);
        } else if (command == QLatin1String("SONGWRITER")) {
            tags.composer = valueOf(line.rest);
        } else if (command == QLatin1String("ISRC") && open) {
            tags.isrc = valueOf(line.rest);
        } else if (command == QLatin1String("CATALOG")) {
            sheet.disc.catalog = valueOf(line.rest);
        } else if (command == QLatin1String("REM")) {
            const QString key = argument.toUpper();
            const QString value = valueOf(after);
            if (key == QLatin1String("DATE"))
                tags.date = value;
            else if (key == QLatin1String("GENRE"))
                tags.genre = value;
            else if (key == QLatin1String("COMMENT"))
                tags.comment = value;
            else if (key == QLatin1String("DISCNUMBER"))
                discNumberOf(value, tags);
            else if (key == QLatin1String("TOTALDISCS"))
                tags.discTotal = std::max(0, value.toInt());
            else if (key == QLatin1String("END") && open)
                open->track.end = cueTime(value, number);
        }
    }
    close();
    const int count = static_cast<int>(std::count_if(
        sheet.files.begin(), sheet.files.end(), [](const File& f) { return !f.tracks.empty(); }));
    if (count == 0)
        throw Error(QStringLiteral("The cue sheet holds no audio track"));
    return sheet;
}

CueSheet CueSheet::Read(const QString& path, const QString& encoding) {
    // A file that cannot be read names itself.
    const TextEncoding::Decoded text = ReadSheetText(path, encoding);
    try {
        CueSheet sheet = Parse(text.text);
        sheet.encoding = text.encoding;
        return sheet;
    } catch (const Error& e) {
        throw Error(QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), e.message()));
    }
}

int CueSheet::fileFor(const QString& sourcePath) const {
    const QString name = QFileInfo(sourcePath).fileName();
    const auto find = [&](auto same) {
        for (size_t i = 0; i < files.size(); ++i)
            if (same(fileNameOf(files[i].name)))
                return static_cast<int>(i);
        return -1;
    };
    int found = find([&](const QString& f) { return f.compare(name, Qt::CaseInsensitive) == 0; });
    if (found < 0)
        found = find([&](const QString& f) {
            return withoutExtension(f).compare(withoutExtension(name), Qt::CaseInsensitive) == 0;
        });
    if (found < 0 && files.size() == 1)
        found = 0;
    return found;
}

std::vector<TitledPiece> CueSheet::pieces(int file, std::int32_t rate, std::int64_t frames,
                                          Pregap pregap, QStringList* warnings) const {
    std::vector<TitledPiece> out;
    if (file < 0 || static_cast<size_t>(file) >= files.size())
        return out;
    // A sheet that skips numbers (1, 2, 9, 10) counts to its highest, so no
    // piece is numbered past the count.
    int count = 0;
    int highest = 0;
    for (const File& f : files)
        for (const Track& track : f.tracks) {
            ++count;
            highest = std::max(highest, track.tags.track);
        }
    const int total = std::max(count, highest);
    const auto numbered = [&](PieceTags tags) {
        tags.tracks = total;
        if (tags.discNumber == 0) {
            tags.discNumber = disc.discNumber;
            tags.discTotal = disc.discTotal;
        }
        return tags;
    };
    const File& source = files[static_cast<size_t>(file)];
    const auto& tracks = source.tracks;
    if (!tracks.empty() && tracks.front().start > 0 && pregap == Pregap::Own) {
        TitledPiece gap;
        gap.end = std::min(FramePosition::OfCueFrames(tracks.front().start, rate), frames);
        gap.tags.title =
            source.pregapTitle.isEmpty() ? QStringLiteral("Pregap") : source.pregapTitle;
        gap.tags = numbered(gap.tags);
        if (gap.begin < gap.end)
            out.push_back(gap);
    }
    for (size_t i = 0; i < tracks.size(); ++i) {
        const Track& track = tracks[i];
        TitledPiece piece;
        piece.begin =
            i == 0 && pregap == Pregap::First ? 0 : FramePosition::OfCueFrames(track.start, rate);
        if (track.end >= 0)
            piece.end = FramePosition::OfCueFrames(track.end, rate);
        else if (i + 1 < tracks.size())
            piece.end = FramePosition::OfCueFrames(tracks[i + 1].start, rate);
        else
            piece.end = frames;
        piece.end = std::min(piece.end, frames);
        piece.tags = numbered(track.tags);
        if (FramePosition::OfCueFrames(track.start, rate) >= frames) {
            if (warnings)
                warnings->append(
                    QStringLiteral("TRACK %1%2 begins at %3, after the end of the audio; left out")
                        .arg(track.tags.track, 2, 10, QLatin1Char('0'))
                        .arg(track.tags.title.isEmpty()
                                 ? QString()
                                 : QStringLiteral(" \"%1\"").arg(track.tags.title),
                             cueTimeText(track.start)));
            continue;
        }
        if (piece.begin < piece.end)
            out.push_back(piece);
    }
    return out;
}

CueSheet CueSheet::Of(const QString& sourcePath, const PieceTags& disc,
                      std::vector<TitledPiece> pieces, std::int32_t rate, std::int64_t frames) {
    std::stable_sort(pieces.begin(), pieces.end(),
                     [](const TitledPiece& a, const TitledPiece& b) { return a.begin < b.begin; });
    CueSheet sheet;
    sheet.disc = disc;
    File file{QFileInfo(sourcePath).fileName(), {}};
    for (size_t i = 0; i < pieces.size(); ++i) {
        const TitledPiece& piece = pieces[i];
        Track track;
        track.tags.title = piece.tags.title;
        track.tags.artist = piece.tags.artist == disc.artist ? QString() : piece.tags.artist;
        track.tags.composer =
            piece.tags.composer == disc.composer ? QString() : piece.tags.composer;
        track.tags.comment = piece.tags.comment == disc.comment ? QString() : piece.tags.comment;
        track.tags.isrc = piece.tags.isrc;
        track.tags.track = static_cast<int>(i) + 1;
        track.start = FramePosition::CueFramesOf(piece.begin, rate);
        const std::int64_t follows = i + 1 < pieces.size() ? pieces[i + 1].begin : frames;
        if (piece.end != follows)
            track.end = FramePosition::CueFramesOf(piece.end, rate);
        file.tracks.push_back(track);
    }
    sheet.files.push_back(file);
    return sheet;
}

QString CueSheet::text() const {
    QStringList lines;
    const auto remark = [&](const QString& indent, const QString& key, const QString& value) {
        if (!value.isEmpty())
            lines << indent + QStringLiteral("REM ") + key + QLatin1Char(' ') + remarkValue(value);
    };
    const auto line = [&](const QString& indent, const QString& key, const QString& value) {
        if (!value.isEmpty())
            lines << indent + key + QLatin1Char(' ') + quoted(value);
    };
    remark({}, QStringLiteral("GENRE"), disc.genre);
    remark({}, QStringLiteral("DATE"), disc.date);
    remark({}, QStringLiteral("COMMENT"), disc.comment);
    if (!disc.catalog.isEmpty())
        lines << QStringLiteral("CATALOG ") + cueText(disc.catalog);
    line({}, QStringLiteral("PERFORMER"), disc.artist);
    line({}, QStringLiteral("SONGWRITER"), disc.composer);
    line({}, QStringLiteral("TITLE"), disc.album);
    for (const File& file : files) {
        lines << QStringLiteral("FILE %1 %2").arg(quoted(file.name), fileType(file.name));
        for (const Track& track : file.tracks) {
            const QString in = QStringLiteral("    ");
            lines << QStringLiteral("  TRACK %1 AUDIO")
                         .arg(track.tags.track, 2, 10, QLatin1Char('0'));
            line(in, QStringLiteral("TITLE"), track.tags.title);
            line(in, QStringLiteral("PERFORMER"), track.tags.artist);
            line(in, QStringLiteral("SONGWRITER"), track.tags.composer);
            if (!track.tags.isrc.isEmpty())
                lines << in + QStringLiteral("ISRC ") + cueText(track.tags.isrc);
            remark(in, QStringLiteral("COMMENT"), track.tags.comment);
            remark(in, QStringLiteral("DATE"), track.tags.date);
            remark(in, QStringLiteral("GENRE"), track.tags.genre);
            lines << in + QStringLiteral("INDEX 01 ") + cueTimeText(track.start);
            if (track.end >= 0)
                lines << in + QStringLiteral("REM END ") + cueTimeText(track.end);
        }
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

// tarnwell-cli run as a script runs it: exit statuses, messages, the dry-run
// listing, and real outputs read back by FFmpeg.
#include "tests/support/CdImages.h"
#include "tests/support/CorpusFiles.h"
#include "tests/support/FfmpegDecoder.h"
#include "tests/support/FormatCorpus.h"
#include "tests/support/OggFixture.h"
#include "tests/support/SparseWav.h"
#include "tests/support/UnreadableFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <map>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr int Rate = 44100;

struct Result {
    int status = -1;
    QString out;
    QString err;
};

class CliProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(src());
        QDir().mkpath(out());
    }
    QString src(const QString& name = {}) const { return dir.filePath("src/" + name); }
    QString out(const QString& name = {}) const { return dir.filePath("out/" + name); }
    // The corpus' FLAC file from flac, copied as src/image.flac: a CD image
    // to cut by cue sheets. Null when flac did not make it.
    const FormatCorpus::File* copyFlacImage() const {
        for (const FormatCorpus::File& f : FormatCorpus::Shared().files())
            if (f.name == "flac_44100_2" && !f.path.isEmpty()) {
                EXPECT_TRUE(QFile::copy(f.path, src("image.flac")));
                return &f;
            }
        return nullptr;
    }
    QString tone(const QString& name, double seconds, QStringList comments = {}) const {
        OggFixture fixture = OggFixture::Tone(seconds, 440.0, Rate, 2);
        fixture.comments = std::move(comments);
        return fixture.write(src(name));
    }
    QString textFile(const QString& name, const QByteArray& text) const {
        QFile file(src(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return file.fileName();
    }
    QStringList outputs() const {
        return QDir(out()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    static QString program() { return QStringLiteral(TARNWELL_BIN_DIR "/tarnwell-cli"); }

    Result run(const QStringList& arguments) {
        QProcess process;
        process.start(program(), arguments);
        EXPECT_TRUE(process.waitForFinished(240000)) << arguments.join(' ').toStdString();
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    QTemporaryDir dir;
};

TEST_F(CliProgramTest, SplitsIntoEveryFormatAsTheWindowNamesAndTagsThem) {
    const QString song = tone("song.ogg", 3.0, {"TITLE=Night Song", "ARTIST=Someone"});
    const struct {
        const char* format;
        const char* container;
    } formats[] = {{"mp3", "mp3"},
                   {"wav", "wav"},
                   {"wma", "asf"},
                   {"ogg", "ogg"},
                   {"flac", "flac"},
                   {"opus", "ogg"},
                   {"m4a", "mov,mp4,m4a,3gp,3g2,mj2"}};
    for (const auto& f : formats) {
        const Result r =
            run({"split", song, "--time", "1", "--format", f.format, "--out", out(), "--no-copy"});
        ASSERT_EQ(r.status, 0) << f.format << r.err.toStdString();
        // Pieces are named after the title the list shows, numbered.
        for (int k = 1; k <= 3; ++k) {
            const QString name = QStringLiteral("Night Song_%1.%2").arg(k).arg(f.format);
            const DecodedAudio audio = decodeWithFfmpeg(out(name));
            EXPECT_EQ(audio.container, f.container) << name.toStdString();
            EXPECT_EQ(audio.channels, 2);
            EXPECT_NEAR(audio.seconds(), 1.0, 0.06) << name.toStdString();
            // Encoded anew (--no-copy), an OGG piece has no lead before it,
            // which FFmpeg would play for a copied one.
            if (QLatin1String(f.format) == "ogg") {
                EXPECT_LE(audio.frames(), Rate) << name.toStdString();
            }
            // Tagged by the window's tag writers (WAV gets none), read back
            // by TagLib.
            if (QLatin1String(f.format) == "wav")
                continue;
            const TagLib::FileRef tags(QFile::encodeName(out(name)).constData());
            ASSERT_FALSE(tags.isNull()) << name.toStdString();
            EXPECT_EQ(tags.tag()->title().to8Bit(true), "Night Song") << name.toStdString();
            EXPECT_EQ(tags.tag()->artist().to8Bit(true), "Someone") << name.toStdString();
        }
        EXPECT_TRUE(r.out.contains("1 of 1 file done")) << r.out.toStdString();
    }
    EXPECT_EQ(outputs().size(), 21) << outputs().join(' ').toStdString();
    // A copied OGG piece: FFmpeg, which does not trim a stream's start,
    // also plays the lead of the packet before the piece, less than a
    // long block; an encoded piece would have none.
    const Result copied = run(
        {"split", song, "--segments", "0:01-0:02", "--format", "ogg", "--out", out(), "--copy"});
    ASSERT_EQ(copied.status, 0) << copied.err.toStdString();
    const long long frames = decodeWithFfmpeg(out("Night Song.ogg")).frames();
    EXPECT_GT(frames, Rate);
    EXPECT_LT(frames, Rate + 2048);
}

// FFmpeg's own log lines ("Estimating duration from bitrate", ASF's
// timestamps) never reach standard error: the program speaks for itself.
TEST_F(CliProgramTest, LibraryLogLinesStayOutOfTheOutput) {
    QStringList arguments{"split", "--time", "2", "--dry-run", "--out", out()};
    for (const FormatCorpus::File& file : FormatCorpus::Shared().files())
        if (!file.path.isEmpty() &&
            (file.name.startsWith("ffmpeg_ac3") || file.name.startsWith("ffmpeg_wmav2")))
            arguments << file.path;
    ASSERT_GT(arguments.size(), 6);
    const Result plan = run(arguments);
    EXPECT_EQ(plan.status, 0);
    EXPECT_EQ(plan.err, QString());
}

TEST_F(CliProgramTest, DryRunListsExactlyTheNamesARunThenWrites) {
    const QString a = tone("a.ogg", 3.2);
    const QString b = tone("b.ogg", 1.5);
    QFile taken(out("a.wav"));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.close();
    const QStringList arguments{"split",    a,     b,       "--segments", "0-1,0:02-0:09",
                                "--format", "wav", "--out", out()};

    const Result plan = run(arguments + QStringList{"--dry-run"});
    ASSERT_EQ(plan.status, 0) << plan.err.toStdString();
    EXPECT_EQ(outputs(), QStringList{"a.wav"});
    QStringList planned;
    for (const QString& line : plan.out.split('\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.split('\t');
        if (fields.size() == 3)
            planned << QFileInfo(fields[2]).fileName();
    }
    // b.ogg ends before its second range begins.
    EXPECT_EQ(planned, QStringList({"a_1.wav", "a_2.wav", "b.wav"})) << plan.out.toStdString();
    // The range to the end is shown as it is cut: to the file's last frame.
    EXPECT_TRUE(plan.out.contains("00:00:02-00:00:03.20")) << plan.out.toStdString();

    const Result done = run(arguments);
    ASSERT_EQ(done.status, 0) << done.err.toStdString();
    EXPECT_EQ(outputs(), QStringList({"a.wav", "a_1.wav", "a_2.wav", "b.wav"}));
    // Cut at the file's true end, not at the whole seconds the list counts.
    EXPECT_EQ(decodeWithFfmpeg(out("a_2.wav")).frames(), 6 * Rate / 5);
}

// Whatever the way of cutting, a dry run and a run with --json tell the same
// pieces, and the files written are exactly those, each of its frames.
TEST_F(CliProgramTest, DryRunJsonAndWrittenFilesAgreeForEveryWayToCut) {
    OggFixture speech = OggFixture::Tone(9.0, 330.0, Rate, 2);
    speech.quiet = {{3.0, 5.0}};
    speech.comments = {"TITLE=Talk"};
    const QString a = speech.write(src("a.ogg"));
    const QString b = tone("b.ogg", 3.2);
    const QString labels = textFile("a.txt", "0.5\t2.25\tFirst\n4\t6\tSecond\n");
    const QString sheet = textFile("a.cue", "FILE \"a.wav\" WAVE\n  TRACK 01 AUDIO\n    TITLE "
                                            "\"One\"\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n"
                                            "    TITLE \"Two\"\n    INDEX 01 00:04:30\n");
    const QStringList keys{"begin",  "cut",        "end",     "joined", "made",
                           "path",   "planned",    "problem", "source", "sources",
                           "status", "tagFailure", "title",   "track"};
    const struct {
        const char* way;
        QStringList arguments;
        const char* format = "wav";
    } ways[] = {
        {"segments", {"split", a, b, "--segments", "0-2,0:03-0:09"}},
        {"labels", {"split", a, "--labels", labels}},
        {"cue", {"split", a, "--cue", sheet}},
        {"time", {"split", a, b, "--time", "2"}},
        {"count", {"split", a, b, "--count", "3"}},
        {"silence", {"split", a, "--silence", "--min-piece", "0"}},
        {"unify", {"split", a, b, "--segments", "1-2,3-4", "--unify"}},
        {"join", {"join", a, b, "-o", "mix", "--segments", "1-2,0:03-0:04"}},
        {"join whole", {"join", a, b, "-o", "mix"}},
        // AAC pads its last frame: a join must still end on its last frame.
        {"join into AAC", {"join", a, b, "-o", "mix", "--segments", "1-2,0:03-0:04"}, "m4a"},
        {"join whole into an audiobook", {"join", a, b, "-o", "book.m4b"}, "m4a"},
    };
    for (const auto& [way, arguments, format] : ways) {
        SCOPED_TRACE(way);
        QDir(out()).removeRecursively();
        const QStringList common = arguments + QStringList{"--format", format, "--out", out()};
        const Result text = run(common + QStringList{"--dry-run"});
        const Result plan = run(common + QStringList{"--dry-run", "--json"});
        ASSERT_EQ(plan.status, 0) << plan.err.toStdString();
        EXPECT_TRUE(outputs().isEmpty());
        const Result done = run(common + QStringList{"--json"});
        ASSERT_EQ(done.status, 0) << done.err.toStdString();
        const QJsonArray planned = QJsonDocument::fromJson(plan.out.toUtf8()).array();
        const QJsonArray written = QJsonDocument::fromJson(done.out.toUtf8()).array();
        ASSERT_FALSE(planned.isEmpty()) << plan.out.toStdString();
        ASSERT_EQ(planned.size(), written.size()) << done.out.toStdString();
        QStringList paths;
        for (qsizetype k = 0; k < planned.size(); ++k) {
            const QJsonObject before = planned[k].toObject();
            const QJsonObject after = written[k].toObject();
            EXPECT_EQ(before.keys(), keys);
            EXPECT_EQ(after.keys(), keys);
            EXPECT_EQ(before["status"], "planned");
            EXPECT_EQ(after["status"], "written");
            for (const char* key : {"source", "sources", "begin", "end", "joined", "planned",
                                    "path", "title", "track"})
                EXPECT_EQ(before[key], after[key]) << key;
            // The frames of the piece, or of every range the join holds.
            long long frames =
                after["end"]["frame"].toInteger() - after["begin"]["frame"].toInteger();
            for (const QJsonValue range : after["joined"].toArray())
                frames += range["end"]["frame"].toInteger() - range["begin"]["frame"].toInteger();
            const QString path = after["path"].toString();
            EXPECT_EQ(decodeWithFfmpeg(path).frames(), frames) << path.toStdString();
            EXPECT_TRUE(text.out.contains(
                QRegularExpression("(\t|-> )" + QRegularExpression::escape(path))))
                << text.out.toStdString();
            paths << QFileInfo(path).fileName();
        }
        paths.sort();
        EXPECT_EQ(outputs(), paths);
    }
}

TEST_F(CliProgramTest, JoinsThroughTheToolAndNeverReplacesAFile) {
    const QString a = tone("a.ogg", 2.0);
    const QString b = tone("b.ogg", 1.0);
    const Result joined =
        run({"join", a, b, "-o", "mix", "--format", "wav", "--out", out(), "--json"});
    ASSERT_EQ(joined.status, 0) << joined.err.toStdString();
    // One output, every frame of both sources in it (their exact counts:
    // FFmpeg's Vorbis decoder reads these sources 64 frames short).
    const QJsonArray json = QJsonDocument::fromJson(joined.out.toUtf8()).array();
    ASSERT_EQ(json.size(), 1) << joined.out.toStdString();
    EXPECT_EQ(json[0]["path"].toString(), out("mix.wav"));
    EXPECT_EQ(json[0]["status"].toString(), "written");
    EXPECT_EQ(decodeWithFfmpeg(json[0]["path"].toString()).frames(),
              OggFixture::Tone(2.0).frames() + OggFixture::Tone(1.0).frames());

    const Result again = run({"join", a, b, "-o", "mix", "--format", "wav", "--out", out()});
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(again.err.contains("\"mix.wav\" already exists")) << again.err.toStdString();
    EXPECT_EQ(outputs(), QStringList{"mix.wav"});

    const Result segments = run(
        {"join", a, b, "-o", out("part.ogg"), "--format", "ogg", "--segments", "0-1", "--unify"});
    ASSERT_EQ(segments.status, 0) << segments.err.toStdString();
    EXPECT_NEAR(decodeWithFfmpeg(out("part.ogg")).frames(), 2 * Rate, 100);
}

TEST_F(CliProgramTest, BadInputIsNamedAndTheOtherFilesAreStillDone) {
    const QString good = tone("good.ogg", 1.2);
    QFile text(src("notes.ogg"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not audio");
    text.close();
    const Result r = run({"split", src("missing.ogg"), src("notes.ogg"), good, "--count", "1",
                          "--format", "wav", "--out", out()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("missing.ogg: no such file")) << r.err.toStdString();
    // The window's own message for a file it refuses.
    EXPECT_TRUE(r.err.contains("notes.ogg this File is not supported.")) << r.err.toStdString();
    EXPECT_EQ(outputs(), QStringList{"good_1.wav"});
    EXPECT_TRUE(r.out.contains("1 of 3 files done")) << r.out.toStdString();

    const Result usage = run({"split", good, "--time", "1", "--count", "2"});
    EXPECT_EQ(usage.status, 2);
    EXPECT_TRUE(usage.err.contains("--count")) << usage.err.toStdString();
}

TEST_F(CliProgramTest, ARefusedFileIsFollowedByTheReason) {
    QFile text(src("notes.ogg"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not audio");
    text.close();
    const Result r =
        run({"split", src("notes.ogg"), src(), "--count", "1", "--format", "wav", "--out", out()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("notes.ogg this File is not supported. Cannot open " +
                               src("notes.ogg") + ": "))
        << r.err.toStdString();
    // A folder is refused the same way, saying it is one.
    const QString folder = QDir::cleanPath(src());
    EXPECT_TRUE(r.err.contains(QFileInfo(folder).fileName() + " this File is not supported. " +
                               folder + " is a folder."))
        << r.err.toStdString();

    // A FLAC file cut short says so, with what it holds and announces.
    FormatCorpus::Synthesize("aevalsrc=sin(2*PI*440*t):s=44100:d=4", {"-c:a", "flac"},
                             src("whole.flac"));
    QFile whole(src("whole.flac"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    QFile cut(src("cut.flac"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(whole.read(whole.size() / 8));
    cut.close();
    const Result shortened = run({"info", cut.fileName()});
    EXPECT_EQ(shortened.status, 1);
    EXPECT_TRUE(shortened.err.contains("cut.flac this File is Error or not supported. " +
                                       cut.fileName() + " ends after 0."))
        << shortened.err.toStdString();
    EXPECT_TRUE(shortened.err.contains(
        " seconds, though it announces 4.00: the file is cut short or damaged."))
        << shortened.err.toStdString();

    // A file that cannot be opened says so first, and why; the superuser
    // tries it as nobody, whom permissions bind.
    const QString locked = tone("locked.ogg", 1.2);
    ASSERT_TRUE(QFile::setPermissions(locked, {}));
    QStringList command{
        "env", "HOME=" + dir.path(), "XDG_CONFIG_HOME=" + dir.filePath("config"), program(), "info",
        locked};
    if (::geteuid() == 0) {
        const auto open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                          QFile::ReadOther | QFile::ExeOther;
        ASSERT_TRUE(QFile::setPermissions(dir.path(), open) && QFile::setPermissions(src(), open));
        command =
            QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"} + command;
    }
    QProcess denied;
    denied.start(command.takeFirst(), command);
    ASSERT_TRUE(denied.waitForFinished(240000));
    const QString deniedText = QString::fromUtf8(denied.readAllStandardError());
    EXPECT_EQ(denied.exitCode(), 1);
    EXPECT_EQ(deniedText, "tarnwell-cli: Cannot open locked.ogg: Permission denied.\n");
}

TEST_F(CliProgramTest, AFileThatGivesNothingToWriteSaysWhyAndFails) {
    const QString song = tone("song.ogg", 3.0);
    const Result r = run({"split", song, "--count", "100000", "--format", "wav", "--out", out()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("Nothing was written from song.ogg: its 3 seconds cannot be cut "
                               "into 100000 pieces of a second or more."))
        << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("song.ogg: not done -> nothing written")) << r.out.toStdString();
    EXPECT_TRUE(outputs().isEmpty());
}

TEST_F(CliProgramTest, PiecesFinishedBeforeAFailureAreCountedAsWritten) {
    const QString song = tone("song.ogg", 3.0);
    // Room for a piece of one second, not for one of two.
    const auto cut = [&](const QStringList& more) {
        QDir(out()).removeRecursively();
        QProcess process;
        process.start(QStringLiteral("bash"),
                      QStringList{"-c", "trap '' XFSZ; ulimit -f 250; exec \"$0\" \"$@\"",
                                  program(), "split", song, "--segments", "0-1,1-3,0-1", "--format",
                                  "wav", "--out", out()} +
                          more);
        EXPECT_TRUE(process.waitForFinished(240000));
        EXPECT_EQ(process.exitCode(), 1) << process.readAllStandardError().toStdString();
        EXPECT_EQ(outputs(), QStringList{"song.wav"});
        return QString::fromUtf8(process.readAllStandardOutput());
    };
    const QString stdoutText = cut({});
    EXPECT_TRUE(stdoutText.contains("song.ogg: failed -> song.wav; left out: song_2.wav"))
        << stdoutText.toStdString();
    EXPECT_TRUE(stdoutText.contains("0 of 1 file done, 1 output file written, 1 failed"))
        << stdoutText.toStdString();
    // The failed piece keeps the name it was to have; the one after it was
    // never started.
    const QJsonArray json = QJsonDocument::fromJson(cut({"--json"}).toUtf8()).array();
    ASSERT_EQ(json.size(), 3);
    EXPECT_EQ(json[1]["status"], "failed");
    EXPECT_EQ(json[1]["path"], out("song_1.wav"));
    EXPECT_EQ(json[1]["problem"].toString().isEmpty(), false);
    EXPECT_EQ(json[2]["status"], "left out");
    EXPECT_EQ(json[2]["path"], out("song_2.wav"));
    EXPECT_EQ(json[2]["begin"]["frame"].toInteger(), 0);
}

TEST_F(CliProgramTest, APieceWhoseTagsCannotBeWrittenStaysAndTheToolFails) {
    const QString song = tone("song.ogg", 2.0, {"TITLE=Night Song", "ARTIST=Someone"});
    const QStringList arguments{"split",    song,  "--segments", "0-1",
                                "--format", "mp3", "--out",      out()};
    ASSERT_EQ(run(arguments).status, 0);
    const qint64 tagged = QFileInfo(out("Night Song.mp3")).size();
    QFile::remove(out("Night Song.mp3"));
    // One byte short of the tagged piece: the audio fits, its tags do not.
    QProcess process;
    process.start(QStringLiteral("bash"),
                  QStringList{"-c", "trap '' XFSZ; exec prlimit --fsize=$0 \"$@\"",
                              QString::number(tagged - 1), program()} +
                      arguments);
    ASSERT_TRUE(process.waitForFinished(240000));
    const QString stderrText = QString::fromUtf8(process.readAllStandardError());
    EXPECT_EQ(process.exitCode(), 1) << stderrText.toStdString();
    EXPECT_TRUE(stderrText.contains("The tags of these files could not be written"))
        << stderrText.toStdString();
    EXPECT_EQ(outputs(), QStringList{"Night Song.mp3"});
    EXPECT_LT(QFileInfo(out("Night Song.mp3")).size(), tagged);
}

TEST_F(CliProgramTest, HowEachOggPieceWasMadeIsPrintedAfterIt) {
    const QString song = tone("song.ogg", 2.0);
    const Result copied =
        run({"split", song, "--time", "1", "--format", "ogg", "--out", out(), "--copy"});
    ASSERT_EQ(copied.status, 0) << copied.err.toStdString();
    EXPECT_TRUE(copied.out.contains("song_1.ogg [copied], song_2.ogg [copied]"))
        << copied.out.toStdString();
    const Result faded = run({"split", song, "--time", "1", "--format", "ogg", "--out", out(),
                              "--copy", "--fade-in", "1"});
    ASSERT_EQ(faded.status, 0) << faded.err.toStdString();
    EXPECT_TRUE(faded.out.contains("song_3.ogg [re-encoded (fade)]")) << faded.out.toStdString();
}

TEST_F(CliProgramTest, InfoShowsWhatTheListReads) {
    const QString song =
        tone("song.ogg", 1.5, {"TITLE= Song ", "ARTIST=Band", "DATE=1999-04-01", "GENRE=Pop"});
    const Result r = run({"info", song, "--json"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QJsonArray all = QJsonDocument::fromJson(r.out.toUtf8()).array();
    ASSERT_EQ(all.size(), 1) << r.out.toStdString();
    const QJsonObject file = all[0].toObject();
    EXPECT_EQ(file["rate"].toInt(), Rate);
    EXPECT_EQ(file["channels"].toInt(), 2);
    EXPECT_EQ(file["frames"].toInt(), Rate * 3 / 2);
    EXPECT_EQ(file["length"].toString(), "00:00:01");
    const QJsonObject tags = file["tags"].toObject();
    EXPECT_EQ(tags["title"].toString(), "Song");
    EXPECT_EQ(tags["year"].toString(), "1999");
    EXPECT_EQ(tags["genre"].toString(), "Pop");

    const Result text = run({"info", song});
    EXPECT_TRUE(text.out.contains("rate:     44100 Hz")) << text.out.toStdString();
}

TEST_F(CliProgramTest, InfoKeepsTheLineAfterATagWithAZeroByte) {
    const QString song =
        tone("zero.ogg", 1.2, {QStringLiteral("TITLE=Side") + QChar(0) + "B", "ARTIST=Band"});
    const Result r = run({"info", song});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("B\n  artist:   Band\n"))) << r.out.toStdString();
}

TEST_F(CliProgramTest, VersionAndUsageErrorsSpeakAsTheTool) {
    const Result version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "tarnwell-cli " TARNWELL_VERSION "\n");
    for (const QStringList& arguments :
         {QStringList{"cut", "a.ogg"}, QStringList{"split", "a.ogg", "--time", "ten"}}) {
        const Result usage = run(arguments);
        EXPECT_EQ(usage.status, 2);
        EXPECT_TRUE(usage.err.startsWith("tarnwell-cli: ")) << usage.err.toStdString();
    }
}

// A "/" in --name makes folders below --out, never above it; a template
// with a field mistyped is refused with the settings dialog's message.
TEST_F(CliProgramTest, ANameTemplateMakesFoldersInsideTheOutputFolderOnly) {
    const QString song =
        tone("song.ogg", 2.0, {"TITLE=Night Song", "ARTIST=../../Some/one", "ALBUM=Live"});
    const QStringList split{
        "split", song,    "--time", "1",      "--format",
        "wav",   "--out", out(),    "--name", "{artist}/{album}/{n:02} {title}"};
    const Result plan = run(split + QStringList{"--dry-run"});
    ASSERT_EQ(run(split).status, 0);
    const QStringList names{"Someone/Live/01 Night Song.wav", "Someone/Live/02 Night Song.wav"};
    for (const QString& name : names) {
        EXPECT_TRUE(plan.out.contains("\t" + out(name))) << plan.out.toStdString();
        EXPECT_NEAR(decodeWithFfmpeg(out(name)).seconds(), 1.0, 0.01) << name.toStdString();
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList({"out", "src"}));
    const Result bad = run({"split", song, "--time", "1", "--name", "{title", "--out", out()});
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(bad.err.contains("{title is not a field of the name template. The fields are"))
        << bad.err.toStdString();
}

TEST_F(CliProgramTest, ADryRunFailsWhereTheRunWould) {
    const QString song = tone("short.ogg", 1.5);
    const QStringList arguments{"split", song,  "--segments", "0:05-0:08",
                                "--out", out(), "--format",   "wav"};
    const Result plan = run(arguments + QStringList{"--dry-run"});
    const Result done = run(arguments);
    EXPECT_EQ(plan.status, 1);
    EXPECT_EQ(done.status, 1);
    for (const Result& r : {plan, done})
        EXPECT_TRUE(r.err.contains("short.ogg: every segment begins after the file's end"))
            << r.err.toStdString();
    EXPECT_EQ(outputs(), QStringList());
}

// What the tool reads whole is a regular file of at most 8 MB: a FIFO that
// nobody writes to, a device without end and a file too large are refused at
// once with the reason, instead of waiting past Ctrl-C or filling the memory.
TEST_F(CliProgramTest, ASettingsOrSheetFileThatIsNoPlainFileOfAFewMegabytesIsRefused) {
    const QString song = tone("song.ogg", 2.0);
    const QString fifo = UnreadableFiles::fifo(dir.filePath("fifo.ini"));
    const QString fifoLabels = UnreadableFiles::fifo(dir.filePath("fifo.txt"));
    const QString large = UnreadableFiles::tooLarge(dir.filePath("large.ini"));
    const QString largeLabels = UnreadableFiles::tooLarge(dir.filePath("large.txt"), "0\t1\tone\n");
    const QString largeCue = UnreadableFiles::tooLarge(dir.filePath("large.cue"));
    ASSERT_FALSE(fifo.isEmpty() || fifoLabels.isEmpty() || large.isEmpty() ||
                 largeLabels.isEmpty() || largeCue.isEmpty());
    const std::pair<QStringList, QString> cases[] = {
        {{"--settings", fifo, "--time", "1"}, "Cannot read fifo.ini: not a regular file"},
        {{"--settings", "/dev/zero", "--time", "1"}, "Cannot read zero: not a regular file"},
        {{"--settings", large, "--time", "1"}, "Cannot read large.ini: larger than 8 MB"},
        {{"--labels", fifoLabels}, "Cannot read fifo.txt: not a regular file"},
        {{"--labels", largeLabels}, "Cannot read large.txt: larger than 8 MB"},
        {{"--cue", largeCue}, "Cannot read large.cue: larger than 8 MB"},
    };
    for (const auto& [options, reason] : cases) {
        for (const char* mode : {"--dry-run", "--quiet"}) {
            const Result r =
                run(QStringList{"split", song, "--format", "wav", "--out", out(), mode} + options);
            EXPECT_EQ(r.status, 1) << options.join(' ').toStdString();
            EXPECT_TRUE(r.err.contains(reason)) << r.err.toStdString();
        }
    }
    EXPECT_EQ(outputs(), QStringList());
}

TEST_F(CliProgramTest, JoinMakesAMissingFolderAndSaysWhyWhenItCannot) {
    const QString a = tone("a.ogg", 1.0);
    const Result joined =
        run({"join", a, "-o", "mix", "--format", "wav", "--out", out("new/deeper")});
    ASSERT_EQ(joined.status, 0) << joined.err.toStdString();
    EXPECT_NEAR(decodeWithFfmpeg(out("new/deeper/mix.wav")).frames(), Rate, 100);

    // A file where a folder should be.
    QFile file(out("file"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const Result refused =
        run({"join", a, "-o", "mix", "--format", "wav", "--out", out("file/sub")});
    EXPECT_EQ(refused.status, 1);
    const QString why = "Cannot create the folder " + out("file/sub") + ": Not a directory";
    EXPECT_TRUE(refused.err.contains(why)) << refused.err.toStdString();
}

TEST_F(CliProgramTest, SilencesAreListedAndCutAtTheirMiddles) {
    // Tone with 2 s quiet at 3-5 s and 8-10 s.
    OggFixture speech = OggFixture::Tone(12.0, 330.0, Rate, 2);
    speech.quiet = {{3.0, 5.0}, {8.0, 10.0}};
    const QString path = speech.write(src("speech.ogg"));

    const Result info = run({"info", path, "--json"});
    ASSERT_EQ(info.status, 0) << info.err.toStdString();
    const QJsonArray silences =
        QJsonDocument::fromJson(info.out.toUtf8()).array().at(0).toObject()["silences"].toArray();
    ASSERT_EQ(silences.size(), 2) << info.out.toStdString();
    EXPECT_NEAR(silences.at(0).toObject()["begin"].toDouble(), 3.0, 0.05);
    EXPECT_NEAR(silences.at(1).toObject()["end"].toDouble(), 10.0, 0.05);

    const QStringList split{"split",    path,  "--silence", "--min-piece", "0",
                            "--format", "wav", "--out",     out()};
    const Result plan = run(split + QStringList{"--dry-run"});
    ASSERT_EQ(plan.status, 0) << plan.err.toStdString();
    EXPECT_EQ(plan.out.count('\n'), 3) << plan.out.toStdString();
    const Result done = run(split);
    ASSERT_EQ(done.status, 0) << done.err.toStdString();
    ASSERT_EQ(outputs(), QStringList({"speech_1.wav", "speech_2.wav", "speech_3.wav"}));
    EXPECT_NEAR(decodeWithFfmpeg(out("speech_1.wav")).seconds(), 4.0, 0.05);
    EXPECT_NEAR(decodeWithFfmpeg(out("speech_2.wav")).seconds(), 5.0, 0.05);

    // A time cut moves to the silence within reach, and the plan says so.
    const Result snapped =
        run({"split", path, "--time", "6", "--snap", "1", "--dry-run", "--out", out()});
    ASSERT_EQ(snapped.status, 0) << snapped.err.toStdString();
    EXPECT_TRUE(snapped.out.contains("00:00:00-00:00:05")) << snapped.out.toStdString();
    EXPECT_TRUE(snapped.out.contains("Cut moved from 00:00:06")) << snapped.out.toStdString();
    EXPECT_EQ(run({"split", path, "--count", "2", "--snap", "1"}).status, 2);
}

TEST_F(CliProgramTest, InterruptStopsLikeStopAndKeepsCompletePieces) {
    const QString song = OggFixture::NoiseAndSweep(240.0, Rate, 2).write(src("long.ogg"));
    QProcess process;
    process.start(program(), {"split", song, "--time", "10", "--format", "mp3", "--out", out()});
    ASSERT_TRUE(process.waitForStarted());
    // Once the first piece is complete, Ctrl-C.
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(out("long_1.mp3")); }, 120000));
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitCode(), 130) << process.readAllStandardError().toStdString();
    const QStringList written = outputs();
    EXPECT_LT(written.size(), 24) << written.join(' ').toStdString();
    for (const QString& name : written) {
        EXPECT_FALSE(name.startsWith('.')) << name.toStdString();
        EXPECT_GT(decodeWithFfmpeg(out(name)).frames(), 0) << name.toStdString();
    }
}

// Ctrl-C and SIGTERM end a long read at once, whether it is the opening of
// a long file or the decoding of a long piece, leave no half-written file
// and exit 130. A 13-hour WAV takes some seconds to open and its 12-hour piece
// minutes to cut; a 1000-hour one takes far longer to open than the generous
// wait: only a signal acted on during the read ends it in time.
TEST_F(CliProgramTest, CtrlCAndTerminationEndALongReadAndLeaveNothingHalfWritten) {
    for (const auto& [name, hours] : {std::pair{"day.wav", 13}, std::pair{"months.wav", 1000}}) {
        SparseWav wav;
        wav.rate = 48000;
        wav.frames = std::int64_t{hours} * 3600 * wav.rate;
        const QString problem = wav.write(src(name));
        if (!problem.isEmpty())
            GTEST_SKIP() << "No sparse WAV of " << hours
                         << " hours can be made here: " << problem.toStdString();
    }
    const auto hasReadInto = [](const QProcess& process, const QString& name) {
        // The position of the program's open descriptor on the file.
        const QString fds = QStringLiteral("/proc/%1/fd").arg(process.processId());
        for (const QFileInfo& fd : QDir(fds).entryInfoList(QDir::Files | QDir::System))
            if (fd.symLinkTarget().endsWith(QLatin1Char('/') + name)) {
                QFile info(QStringLiteral("/proc/%1/fdinfo/%2")
                               .arg(process.processId())
                               .arg(fd.fileName()));
                if (info.open(QIODevice::ReadOnly) && QString::fromLatin1(info.readLine())
                                                              .section(QLatin1Char('\t'), 1)
                                                              .trimmed()
                                                              .toLongLong() > (1 << 20))
                    return true;
            }
        return false;
    };
    const auto pieceBegun = [this] {
        return !QDir(out()).entryList(QDir::Files | QDir::Hidden).isEmpty();
    };
    struct Case {
        int signal;
        const char* file;
        bool whileOpening;
    };
    for (const Case c : {Case{SIGINT, "months.wav", true}, Case{SIGTERM, "months.wav", true},
                         Case{SIGINT, "day.wav", false}, Case{SIGTERM, "day.wav", false}}) {
        SCOPED_TRACE(::testing::Message()
                     << "signal " << c.signal
                     << (c.whileOpening ? " while opening " : " while cutting ") << c.file);
        QDir(out()).removeRecursively();
        QDir().mkpath(out());
        QProcess process;
        process.start(program(), {"split", src(c.file), "--segments", "0:00-12:00:00", "--format",
                                  "flac", "--out", out()});
        ASSERT_TRUE(process.waitForStarted());
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return process.state() != QProcess::Running ||
                       (c.whileOpening ? hasReadInto(process, c.file) : pieceBegun());
            },
            240000));
        ASSERT_EQ(process.state(), QProcess::Running)
            << process.readAllStandardError().toStdString();
        ::kill(static_cast<pid_t>(process.processId()), c.signal);
        const bool ended = process.waitForFinished(60000);
        if (!ended) {
            process.kill();
            process.waitForFinished();
        }
        ASSERT_TRUE(ended) << "the signal was not acted on";
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 130) << process.readAllStandardError().toStdString();
        // Nothing half-written stays: a piece cut short is closed as Stop
        // closes it, a whole file of what was cut; an opening cut short
        // leaves nothing at all.
        const QStringList left = QDir(out()).entryList(QDir::Files | QDir::Hidden);
        if (c.whileOpening) {
            EXPECT_EQ(left, QStringList());
        }
        for (const QString& name : left) {
            EXPECT_FALSE(name.startsWith('.')) << name.toStdString();
            EXPECT_GT(decodeWithFfmpeg(out(name)).frames(), 0) << name.toStdString();
        }
    }
}

// MP3 and FLAC files and a copy of one whose name begins with a dot: each
// source has its line, the lines list exactly the pieces the run wrote, and
// those hold the whole source.
TEST_F(CliProgramTest, SplitsOtherFormatsAndListsTheOutputsOfEverySourceDotNamedToo) {
    std::map<QString, const FormatCorpus::File*> bySource;
    for (const FormatCorpus::File& file : FormatCorpus::Shared().files())
        if (!file.path.isEmpty() && (file.path.endsWith(".mp3") || file.path.endsWith(".flac")))
            bySource.emplace(QFileInfo(file.path).fileName(), &file);
    if (bySource.empty())
        GTEST_SKIP() << "the corpus lacks MP3 and FLAC files";
    const auto flac = std::find_if(bySource.begin(), bySource.end(),
                                   [](const auto& entry) { return entry.first.endsWith(".flac"); });
    if (flac == bySource.end())
        GTEST_SKIP() << "the corpus lacks FLAC files";
    ASSERT_TRUE(QFile::copy(flac->second->path, src(".take.flac")));
    bySource.emplace(".take.flac", flac->second);
    QStringList arguments{"split", src(".take.flac"), "--time", "2", "--format",
                          "wav",   "--out",           out()};
    for (const auto& [name, file] : bySource)
        if (name != ".take.flac")
            arguments << file->path;

    const Result r = run(arguments);
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QStringList listed;
    for (const QString& line : r.out.split('\n', Qt::SkipEmptyParts)) {
        if (!line.contains(": done -> "))
            continue;
        const QString source = line.section(": done -> ", 0, 0);
        const QStringList pieces = line.section(": done -> ", 1).split(", ");
        ASSERT_TRUE(bySource.count(source)) << line.toStdString();
        // At the WAV page's rate, so in seconds.
        double seconds = 0;
        for (const QString& piece : pieces)
            seconds += decodeWithFfmpeg(out(piece)).seconds();
        EXPECT_NEAR(seconds, bySource[source]->reference.seconds(), 0.002) << line.toStdString();
        bySource.erase(source);
        listed << pieces;
    }
    EXPECT_TRUE(bySource.empty()) << "sources without their line";
    listed.sort();
    EXPECT_EQ(listed, outputs());
}

TEST_F(CliProgramTest, CueSheetTracksAreCutAtTheirFramesNamedTaggedAndExportedAlike) {
    const FormatCorpus::File* made = copyFlacImage();
    if (!made)
        GTEST_SKIP() << "flac did not make its file";
    // Written for the WAV the image was made from; INDEX 00 does not cut.
    const QString sheet = src("image.cue");
    QFile cue(sheet);
    ASSERT_TRUE(cue.open(QIODevice::WriteOnly));
    cue.write("PERFORMER \"Band\"\nTITLE \"Live\"\nREM DATE 2001\nFILE \"image.wav\" WAVE\n"
              "  TRACK 01 AUDIO\n    TITLE \"Intro\"\n    INDEX 01 00:00:00\n"
              "  TRACK 02 AUDIO\n    TITLE \"Song: Two\"\n    INDEX 00 00:01:00\n"
              "    INDEX 01 00:01:37\n"
              "  TRACK 03 AUDIO\n    TITLE \"Coda\"\n    INDEX 01 00:03:74\n");
    cue.close();
    const long long total = made->reference.frames();
    const long long starts[] = {0, Rate + 37 * Rate / 75, 3 * Rate + 74 * Rate / 75, total};
    const QString names[] = {"01 - Intro", "02 - Song Two", "03 - Coda"};

    for (const QString format : {"flac", "wav"}) {
        SCOPED_TRACE(format.toStdString());
        QDir(out()).removeRecursively();
        const Result r = run({"split", src("image.flac"), "--cue", sheet, "--format", format,
                              "--out", out(), "--json"});
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        const QJsonArray json = QJsonDocument::fromJson(r.out.toUtf8()).array();
        ASSERT_EQ(json.size(), 3) << r.out.toStdString();
        for (int k = 0; k < 3; ++k) {
            const QJsonObject piece = json[k].toObject();
            const QString path = out(names[k] + "." + format);
            EXPECT_EQ(piece["path"].toString(), path);
            EXPECT_EQ(piece["status"].toString(), "written");
            EXPECT_EQ(piece["track"].toString(), QString("%1/3").arg(k + 1));
            EXPECT_EQ(piece["begin"].toObject()["frame"].toInteger(), starts[k]);
            EXPECT_EQ(piece["end"].toObject()["frame"].toInteger(), starts[k + 1]);
            // Lossless, so sample for sample the reference decode of the range.
            const DecodedAudio decoded = decodeWithFfmpeg(path);
            ASSERT_EQ(decoded.frames(), starts[k + 1] - starts[k]) << path.toStdString();
            const auto from = made->reference.samples.begin() + 2 * starts[k];
            EXPECT_TRUE(std::equal(decoded.samples.begin(), decoded.samples.end(), from));
            if (format == "flac") {
                TagLib::FileRef tags(QFile::encodeName(path).constData());
                ASSERT_FALSE(tags.isNull());
                const TagLib::PropertyMap properties = tags.file()->properties();
                EXPECT_EQ(tags.tag()->title().to8Bit(true),
                          json[k]["title"].toString().toStdString());
                EXPECT_EQ(tags.tag()->album().to8Bit(true), "Live");
                EXPECT_EQ(tags.tag()->artist().to8Bit(true), "Band");
                EXPECT_EQ(properties["TRACKNUMBER"].toString().to8Bit(true), std::to_string(k + 1));
                EXPECT_EQ(properties["TRACKTOTAL"].toString().to8Bit(true), "3");
            }
        }
    }

    // Without --name the settings file's template names them, in a run and
    // in a dry run alike; --name wins over it.
    const QString ini = src("Velmora.ini");
    QFile settings(ini);
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[Run]\nPieceNames={album} {n} {title}\n");
    settings.close();
    QDir(out()).removeRecursively();
    QStringList byIni{"split", src("image.flac"), "--cue", sheet};
    byIni << "--out" << out() << "--settings" << ini;
    ASSERT_EQ(run(byIni + QStringList{"--format", "wav"}).status, 0);
    EXPECT_EQ(outputs().join('|').toStdString(),
              "Live 1 Intro.wav|Live 2 Song Two.wav|Live 3 Coda.wav");
    EXPECT_TRUE(run(byIni + QStringList{"--dry-run"}).out.contains(out("Live 2 Song Two.mp3")));
    EXPECT_TRUE(run(byIni + QStringList{"--dry-run", "--name", "{title}"})
                    .out.contains(out("Song Two.mp3") + "\t"));
    // Untitled pieces keep their numbers.
    EXPECT_TRUE(run({"split", src("image.flac"), "--count", "2", "--out", out(), "--settings", ini,
                     "--dry-run"})
                    .out.contains(out("image_2.mp3")));

    // What a dry run exports, cue sheet or labels, plans the same pieces again.
    const QStringList plan{"split", src("image.flac"), "--out", out(), "--dry-run"};
    const Result first = run(plan + QStringList{"--cue", sheet, "--export-cue", src("again.cue"),
                                                "--export-labels", src("again.txt")});
    ASSERT_EQ(first.status, 0) << first.err.toStdString();
    EXPECT_TRUE(
        first.out.contains("00:00:01.49-00:00:03.99\t" + out("02 - Song Two.mp3") + "\tSong: Two"))
        << first.out.toStdString();
    EXPECT_EQ(run(plan + QStringList{"--cue", src("again.cue")}).out, first.out);
    EXPECT_EQ(run(plan + QStringList{"--labels", src("again.txt")}).out, first.out);
}

// FFmpeg's EBU R128 measure of frames [from, to) of `path`, in LUFS.
double ffmpegLoudness(const QString& path, long long from, long long to) {
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg",
                 {"-nostats", "-i", path, "-af",
                  QString("atrim=start_sample=%1:end_sample=%2,ebur128").arg(from).arg(to), "-f",
                  "null", "-"});
    EXPECT_TRUE(ffmpeg.waitForFinished(120000));
    const QString log = QString::fromUtf8(ffmpeg.readAllStandardError());
    const auto summary = log.lastIndexOf("Integrated loudness:");
    const QRegularExpression value(R"(I:\s+(-?[0-9.]+) LUFS)");
    const auto found = value.match(log, summary);
    EXPECT_TRUE(summary >= 0 && found.hasMatch()) << log.toStdString();
    return found.captured(1).toDouble();
}

// A CD image with its sheet inside, split as a user would ("--cue" with no
// sheet file), into every tagged format with ReplayGain: each track carries
// the sheet's other fields, the cover and its gain, read back by FFmpeg.
TEST_F(CliProgramTest, CdImageTracksCarryEverythingALibraryNeeds) {
    const CdImages& images = CdImages::Shared();
    struct Format {
        const char* name;
        // FFmpeg's names of the ISRC, the catalog number and the barcode.
        const char* isrc;
        const char* catalog;
        const char* barcode;
    };
    const Format formats[] = {{"flac", "isrc", "catalognumber", "barcode"},
                              {"mp3", "tsrc", "catalognumber", "barcode"},
                              {"ogg", "isrc", "catalognumber", "barcode"},
                              {"opus", "isrc", "catalognumber", "barcode"},
                              {"wma", "wm/isrc", "wm/catalogno", "wm/barcode"}};
    ForEachCorpusFile(images.files(), [&](const CdImages::File& image) {
        if (image.name == "comment.ogg") {
            // Copied pieces were never decoded: they are measured from their file.
            QDir(out()).removeRecursively();
            const Result r = run({"split", image.path, "--cue", "--format", "ogg", "--out", out(),
                                  "--replaygain", "--copy", "--json"});
            ASSERT_EQ(r.status, 0) << r.err.toStdString();
            EXPECT_EQ(r.out.count("\"copied\""), 3) << r.out.toStdString();
            for (const QString& name : outputs())
                EXPECT_TRUE(decodeWithFfmpeg(out(name)).tags.count("replaygain_track_gain"))
                    << name.toStdString();
            return;
        }
        if (image.name != "text.flac" && image.name != "block.flac")
            return;
        // Beside the copy lies the folder picture; the block-only image
        // brings its own.
        QDir(src()).removeRecursively();
        QDir().mkpath(src());
        ASSERT_TRUE(QFile::copy(image.path, src(image.name)));
        ASSERT_TRUE(QFile::copy(QFileInfo(images.sheetPath()).dir().filePath("Folder.JPG"),
                                src("Folder.JPG")));
        const QByteArray cover = image.ownCover ? images.ownCover() : images.folderCover();
        QString flacGains[3];
        for (const Format& format : formats) {
            SCOPED_TRACE(format.name);
            QDir(out()).removeRecursively();
            const Result r = run({"split", src(image.name), "--cue", "--format", format.name,
                                  "--out", out(), "--replaygain", "--no-copy"});
            ASSERT_EQ(r.status, 0) << r.err.toStdString();
            const QStringList written = outputs();
            ASSERT_EQ(written.size(), 3) << written.join(' ').toStdString();
            double albumGain = 0;
            for (int k = 0; k < 3; ++k) {
                const DecodedAudio piece = decodeWithFfmpeg(out(written[k]));
                const auto tag = [&](const QString& key) {
                    const auto found = piece.tags.find(key);
                    return found == piece.tags.end() ? QString() : found->second;
                };
                EXPECT_EQ(tag(format.isrc), CdImages::Isrc[k]) << k;
                EXPECT_EQ(tag(format.catalog), "0123456789012") << k;
                EXPECT_EQ(tag(format.barcode), "0123456789012") << k;
                EXPECT_EQ(piece.cover, cover) << k;
                if (image.titled) {
                    EXPECT_EQ(tag("composer"), k == 0 ? "First Writer" : "Disc Writer") << k;
                    EXPECT_EQ(tag("comment"), "ripped in the suite") << k;
                }
                if (QLatin1String(format.name) == "opus") {
                    // Q7.8 to -23 LUFS: 5 dB below the ReplayGain figure.
                    const double gain = flacGains[k].section(' ', 0, 0).toDouble();
                    EXPECT_NEAR(tag("r128_track_gain").toDouble() / 256, gain - 5, 0.01) << k;
                    EXPECT_FALSE(tag("r128_album_gain").isEmpty());
                    continue;
                }
                const QString gain = tag("replaygain_track_gain");
                if (QLatin1String(format.name) == "flac") {
                    flacGains[k] = gain;
                    const long long from = k == 0 ? 0 : CdImages::Index01[k];
                    const long long to = k < 2 ? CdImages::Index01[k + 1] : CdImages::Frames;
                    EXPECT_NEAR(gain.section(' ', 0, 0).toDouble(),
                                -18 - ffmpegLoudness(src(image.name), from, to), 0.15)
                        << k;
                }
                // Measured on the audio before it was encoded: alike in every format.
                EXPECT_EQ(gain, flacGains[k]) << k;
                const QString album = tag("replaygain_album_gain");
                ASSERT_TRUE(album.endsWith(" dB")) << k;
                if (k > 0) {
                    EXPECT_EQ(album.section(' ', 0, 0).toDouble(), albumGain) << k;
                }
                albumGain = album.section(' ', 0, 0).toDouble();
            }
            // The pieces make up the whole image: the album is the file.
            if (QLatin1String(format.name) == "flac") {
                EXPECT_NEAR(albumGain, -18 - ffmpegLoudness(src(image.name), 0, CdImages::Frames),
                            0.15);
            }
        }
        // One piece at a time measures as the workers do.
        QFile ini(src("Velmora.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Run]\nworkers=1\n");
        ini.close();
        QDir(out()).removeRecursively();
        ASSERT_EQ(run({"split", src(image.name), "--cue", "--format", "flac", "--out", out(),
                       "--replaygain", "--settings", ini.fileName()})
                      .status,
                  0);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(decodeWithFfmpeg(out(outputs()[k])).tags["replaygain_track_gain"],
                      flacGains[k])
                << k;
    });
}

TEST_F(CliProgramTest, ACueSheetFromWindowsLosesNoAudioAndNamesTheTracksItCannotCut) {
    const FormatCorpus::File* made = copyFlacImage();
    if (!made)
        GTEST_SKIP() << "flac did not make its file";
    // Saved in Windows-1251, with a second of pregap before track 1 and a
    // track past the end of the image.
    QStringEncoder windows("windows-1251");
    ASSERT_TRUE(windows.isValid());
    const QString sheet = src("image.cue");
    QFile cue(sheet);
    ASSERT_TRUE(cue.open(QIODevice::WriteOnly));
    cue.write(windows.encode(
        QStringLiteral("PERFORMER \"Кино\"\r\nTITLE \"Группа крови\"\r\nFILE \"image.wav\" WAVE\r\n"
                       "  TRACK 01 AUDIO\r\n    TITLE \"Закрой за мной дверь, я ухожу\"\r\n"
                       "    INDEX 00 00:00:00\r\n    INDEX 01 00:01:00\r\n"
                       "  TRACK 02 AUDIO\r\n    TITLE \"Спокойная ночь\"\r\n"
                       "    INDEX 01 00:02:00\r\n"
                       "  TRACK 03 AUDIO\r\n    TITLE \"Легенда\"\r\n    INDEX 01 59:00:00\r\n")));
    cue.close();
    const long long total = made->reference.frames();
    const QString first = QStringLiteral("Закрой за мной дверь, я ухожу");
    const QString second = QStringLiteral("Спокойная ночь");
    struct Expected {
        const char* pregap;
        std::vector<std::pair<QString, long long>> pieces; // title, first frame; each to the next
    };
    const Expected cases[] = {
        {"first", {{first, 0}, {second, 2 * Rate}}},
        {"own", {{"Pregap", 0}, {first, Rate}, {second, 2 * Rate}}},
        {"drop", {{first, Rate}, {second, 2 * Rate}}},
    };
    for (const Expected& c : cases) {
        SCOPED_TRACE(c.pregap);
        QDir(out()).removeRecursively();
        const Result r = run({"split", src("image.flac"), "--cue", sheet, "--pregap", c.pregap,
                              "--format", "wav", "--out", out(), "--json"});
        // Every track in the image is cut, and the one past its end is named.
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.err.contains(QStringLiteral("TRACK 03 \"Легенда\" begins at 59:00:00")))
            << r.err.toStdString();
        const QJsonArray json = QJsonDocument::fromJson(r.out.toUtf8()).array();
        ASSERT_EQ(json.size(), static_cast<int>(c.pieces.size())) << r.out.toStdString();
        for (size_t k = 0; k < c.pieces.size(); ++k) {
            const QJsonObject piece = json[static_cast<int>(k)].toObject();
            const auto& [title, begin] = c.pieces[k];
            const long long end = k + 1 < c.pieces.size() ? c.pieces[k + 1].second : total;
            const QString path = piece["path"].toString();
            EXPECT_EQ(piece["title"].toString(), title);
            // Numbered as the sheet numbers them; the pregap as track 0.
            const int number = title == "Pregap" ? 0 : title == first ? 1 : 2;
            EXPECT_TRUE(QFileInfo(path).fileName().startsWith(QString("0%1 - ").arg(number)))
                << path.toStdString();
            const DecodedAudio decoded = decodeWithFfmpeg(path);
            ASSERT_EQ(decoded.frames(), end - begin) << path.toStdString();
            const auto from = made->reference.samples.begin() + 2 * begin;
            EXPECT_TRUE(std::equal(decoded.samples.begin(), decoded.samples.end(), from));
        }
    }

    // The encoding can be given; one nobody knows is a usage error.
    const Result forced = run({"split", src("image.flac"), "--cue", sheet, "--cue-encoding",
                               "KOI8-R", "--out", out(), "--dry-run"});
    EXPECT_FALSE(forced.out.contains(second)) << forced.out.toStdString();
    const Result unknown = run({"split", src("image.flac"), "--cue", sheet, "--cue-encoding",
                                "NO-SUCH-CODE", "--out", out(), "--dry-run"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.err.contains("--cue-encoding") && unknown.err.contains("NO-SUCH-CODE"))
        << unknown.err.toStdString();
}

} // namespace

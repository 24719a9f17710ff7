// Split runs whose pieces are written by several workers at once: the same
// files as one after another, Stop, and failures.
#include "engine/OutputNames.h"
#include "engine/PieceWorkers.h"
#include "engine/RunSupport.h"
#include "engine/SplitRun.h"
#include "platform/Error.h"
#include "tests/engine/RunFixture.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace {

constexpr int Mp3 = 0;
constexpr int Wav = 1;
constexpr int Ogg = 3;
constexpr int Rate = 44100;

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// An Ogg stream with each page's serial number and checksum blanked: an
// encoder draws a fresh serial for every file, the rest must match.
QByteArray withoutSerials(QByteArray ogg) {
    for (qsizetype page = 0; page + 27 <= ogg.size();) {
        if (!ogg.mid(page, 4).startsWith("OggS"))
            return ogg; // not a stream this can read: compared as it is
        const auto segments = static_cast<unsigned char>(ogg[page + 26]);
        qsizetype body = 0;
        for (int s = 0; s < segments && page + 27 + s < ogg.size(); ++s)
            body += static_cast<unsigned char>(ogg[page + 27 + s]);
        ogg.replace(page + 14, 4, QByteArray(4, '\0'));
        ogg.replace(page + 22, 4, QByteArray(4, '\0'));
        page += 27 + segments + body;
    }
    return ogg;
}

class ParallelSplitTest : public RunFixture {
protected:
    ParallelSplitTest() { state.FunctionChoice = FunctionSplitByTime; }

    // Every output by name, after a time split with `workers`; also the
    // most rows ever seen converting at once.
    QMap<QString, QByteArray> split(int workers, int& mostAtOnce) {
        PieceWorkers::SetAllowed(settings, workers);
        for (const QString& name : outputs())
            QFile::remove(out(name));
        mostAtOnce = 0;
        host.onCheckpoint = [&] {
            mostAtOnce = std::max(mostAtOnce, static_cast<int>(converting().size()));
        };
        SplitRun(context).Run(PiecePlan::Mode::Time);
        QMap<QString, QByteArray> files;
        for (const QString& name : outputs())
            files.insert(name, contents(out(name)));
        return files;
    }

    QList<int> converting() const {
        QList<int> rows;
        for (int row = 0; row < lvTime.count(); ++row)
            if (status(row) == "Converting")
                rows.append(row);
        return rows;
    }

    QStringList temporaries() const { return outputs().filter(QRegularExpression("^\\.")); }
};

TEST_F(ParallelSplitTest, WorkersWriteTheSameFilesAsOneAfterAnother) {
    addFile(QStringLiteral("one.ogg"), OggFixture::NoiseAndSweep(13.0));
    state.SplitSeconds = 3;
    state.FadeInSeconds = state.FadeOutSeconds = 1;
    // The last round copies OGG pieces, side by side as well.
    enum { Encoded, Copied };
    for (const auto& [format, how] :
         {std::pair{Wav, Encoded}, {Mp3, Encoded}, {Ogg, Encoded}, {Ogg, Copied}}) {
        SCOPED_TRACE(format * 10 + how);
        setFormat(format);
        state.OggCopy = how == Copied;
        state.FadeIn = state.FadeOut = how == Encoded;
        int atOnce = 0;
        const QMap<QString, QByteArray> serial = split(1, atOnce);
        EXPECT_EQ(atOnce, 1);
        const QMap<QString, QByteArray> parallel = split(3, atOnce);
        EXPECT_GE(atOnce, 2);
        if (how == Copied) {
            EXPECT_EQ(lvTime.note(0), "copied");
        }
        ASSERT_EQ(serial.keys(), parallel.keys());
        ASSERT_EQ(serial.size(), 5);
        for (const QString& name : serial.keys()) {
            if (format == Ogg)
                EXPECT_TRUE(withoutSerials(serial[name]) == withoutSerials(parallel[name]))
                    << name.toStdString();
            else
                EXPECT_TRUE(serial[name] == parallel[name]) << name.toStdString();
        }
        for (int row = 0; row < 5; ++row)
            EXPECT_EQ(status(row), "Finish");
    }
}

TEST_F(ParallelSplitTest, NamesFollowThePieceOrderAListingShows) {
    addFile(QStringLiteral("mix.ogg"), OggFixture::NoiseAndSweep(6.0));
    // A title that starts with a dot, and its first name taken.
    lv.setCaption(0, QStringLiteral(".5 mix"));
    QFile taken(out("5 mix.wav"));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.close();
    setSegments(0, {{0, 1}, {1, 3}, {3, 6}}, {0, 6});
    setFormat(Wav);
    // The names a listing of the run gives, piece after piece.
    QSet<QString> planned;
    QStringList listed;
    for (int k = 0; k < 3; ++k) {
        listed << OutputNames::SplitOutput(
            outDir, OutputNames::SourceName(lv.text(0, 0), state.JobList[0].FileName), ".wav",
            false, planned);
        planned.insert(listed.back());
    }
    ASSERT_EQ(listed, QStringList({out("5 mix_1.wav"), out("5 mix_2.wav"), out("5 mix_3.wav")}));

    PieceWorkers::SetAllowed(settings, 3);
    SplitRun(context).Run(PiecePlan::Mode::Custom);
    EXPECT_EQ(outputs().size(), 4) << outputs().join(' ').toStdString();
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(decodeWithFfmpeg(listed[k]).frames(), (k + 1) * Rate) << k;
}

TEST_F(ParallelSplitTest, StopKeepsTheFirstPieceInProgressShorterAndRemovesTheLaterOnes) {
    addFile(QStringLiteral("one.ogg"), OggFixture::NoiseAndSweep(20.0));
    state.SplitSeconds = 5;
    setFormat(Mp3);
    PieceWorkers::SetAllowed(settings, 2);
    QList<int> stoppedDuring;
    // Stop once two pieces have some seconds on the disk.
    host.onCheckpoint = [&] {
        const QStringList pending = temporaries();
        if (!state.Busy || pending.size() < 2)
            return;
        for (const QString& name : pending)
            if (QFileInfo(out(name)).size() < 8000)
                return;
        stoppedDuring = converting();
        RunSupport::StopRun(state, control, host);
    };
    SplitRun(context).Run(PiecePlan::Mode::Time);

    // What the same run in turn would have left: the pieces before the
    // first one in progress, and that one shorter.
    ASSERT_GE(stoppedDuring.size(), 2);
    const int first = stoppedDuring.front();
    EXPECT_FALSE(state.Busy);
    EXPECT_TRUE(temporaries().isEmpty()) << outputs().join(' ').toStdString();
    // The run's account, in row order: as many frames as each file holds.
    std::vector<RunOutcome::Piece> told = host.takeOutcome().pieces;
    std::sort(told.begin(), told.end(), [](const auto& a, const auto& b) { return a.row < b.row; });
    ASSERT_EQ(told.size(), 4u);
    for (int row = 0; row < 4; ++row) {
        const QString name = QStringLiteral("one_%1.mp3").arg(row + 1);
        SCOPED_TRACE(name.toStdString());
        const RunOutcome::Piece& piece = told[static_cast<size_t>(row)];
        EXPECT_EQ(piece.planned, out(name));
        if (row > first) {
            EXPECT_EQ(piece.status, RunOutcome::Status::LeftOut);
            EXPECT_EQ(status(row), "Unconvert");
            EXPECT_FALSE(QFileInfo::exists(out(name)));
            continue;
        }
        EXPECT_EQ(piece.status, RunOutcome::Status::Written);
        EXPECT_EQ(status(row), "Finish");
        const long long frames = decode(name).frames();
        EXPECT_NEAR(piece.end - piece.begin, frames, Rate / 10);
        if (row == first) {
            // It may have had all its blocks written already.
            EXPECT_GT(frames, 0);
            EXPECT_LE(frames, 5 * Rate);
        } else {
            EXPECT_NEAR(frames, 5 * Rate, Rate / 10);
        }
    }
}

TEST_F(ParallelSplitTest, AfterAFailureStopGivesEveryRowItsStatusBack) {
    const QString source = addFile(QStringLiteral("one.ogg"), OggFixture::NoiseAndSweep(12.0));
    state.FunctionChoice = FunctionCustom;
    setSegments(0, {{0, 3}, {3, 6}, {6, 9}, {9, 12}}, {0, 12});
    setFormat(Wav);
    PieceWorkers::SetAllowed(settings, 2);
    const qint64 whole = QFileInfo(source).size();
    host.onCheckpoint = [&] {
        if (!converting().isEmpty() && QFileInfo(source).size() == whole)
            QFile(source).resize(whole / 3);
    };
    EXPECT_THROW(SplitRun(context).Run(PiecePlan::Mode::Custom), Error);
    RunSupport::StopRun(state, control, host);
    for (int row = 0; row < 4; ++row)
        EXPECT_TRUE(status(row) == "Finish" || status(row) == "OK") << status(row).toStdString();
    EXPECT_EQ(status(3), "OK");
}

TEST_F(ParallelSplitTest, AFolderOrEncoderChangeDuringARunAppliesToTheNextRun) {
    addFile(QStringLiteral("one.ogg"), OggFixture::NoiseAndSweep(8.0));
    state.SplitSeconds = 2;
    setFormat(Wav);
    const QString later = dir.filePath(QStringLiteral("later/"));
    for (const int workers : {1, 2}) {
        SCOPED_TRACE(workers);
        PieceWorkers::SetAllowed(settings, workers);
        state.OutputDir = outDir;
        settings.WriteInteger(QStringLiteral("wav"), QStringLiteral("mode"), 0);
        QList<int> handedOut;
        int mostAtOnce = 0;
        // Once as many pieces are under way as there are workers, as from
        // the folder and settings dialogs during the run; the workers are
        // asked for one more too.
        host.onCheckpoint = [&] {
            mostAtOnce = std::max(mostAtOnce, static_cast<int>(converting().size()));
            if (!handedOut.isEmpty() || converting().size() < workers)
                return;
            handedOut = converting();
            state.OutputDir = later;
            settings.WriteInteger(QStringLiteral("wav"), QStringLiteral("mode"), 2);
            settings.WriteInteger(QStringLiteral("wav"), QStringLiteral("frequency"), 4);
            settings.WriteInteger(QStringLiteral("wav"), QStringLiteral("channel"), 0);
            PieceWorkers::SetAllowed(settings, workers + 1);
        };
        SplitRun(context).Run(PiecePlan::Mode::Time);
        host.onCheckpoint = nullptr;
        ASSERT_EQ(handedOut.size(), workers);
        // The run went on with what it started with: every piece in the
        // first folder, as the settings were.
        const auto check = [&](const QString& folder, int rate, int channels) {
            for (int n = 1; n <= 4; ++n) {
                const QString path = folder + QStringLiteral("one_%1.wav").arg(n);
                ASSERT_TRUE(QFileInfo::exists(path)) << path.toStdString();
                const DecodedAudio piece = decodeWithFfmpeg(path);
                EXPECT_EQ(piece.rate, rate) << n;
                EXPECT_EQ(piece.channels, channels) << n;
            }
        };
        check(outDir, Rate, 2);
        EXPECT_FALSE(QFileInfo::exists(later));
        // Pieces are settled in row order, so a piece that ended before the
        // one above it still reads "Converting" while the next is under way:
        // only one worker bounds what the rows show.
        if (workers == 1) {
            EXPECT_EQ(mostAtOnce, 1);
        }
        // The next run takes them.
        SplitRun(context).Run(PiecePlan::Mode::Time);
        check(later, 22050, 1);
        QDir(later).removeRecursively();
        for (const QString& name : outputs())
            QFile::remove(out(name));
    }
}

TEST_F(ParallelSplitTest, AFailingPieceEndsTheRunNamingTheSecondAndKeepsOnlyWholePieces) {
    const QString source = addFile(QStringLiteral("one.ogg"), OggFixture::NoiseAndSweep(12.0));
    state.SplitSeconds = 3;
    setFormat(Wav);
    PieceWorkers::SetAllowed(settings, 2);
    const qint64 whole = QFileInfo(source).size();
    // Once the pieces are under way, two thirds of the source go.
    host.onCheckpoint = [&] {
        if (!converting().isEmpty() && QFileInfo(source).size() == whole)
            QFile(source).resize(whole / 3);
    };
    try {
        SplitRun(context).Run(PiecePlan::Mode::Time);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(source) && e.message().contains("second"))
            << e.message().toStdString();
    }
    EXPECT_TRUE(state.Busy);
    EXPECT_TRUE(temporaries().isEmpty()) << outputs().join(' ').toStdString();
    EXPECT_NE(status(3), "Finish");
    for (int row = 0; row < 4; ++row) {
        const QString name = QStringLiteral("one_%1.wav").arg(row + 1);
        EXPECT_EQ(status(row) == "Finish", QFileInfo::exists(out(name))) << row;
        if (status(row) == "Finish") {
            EXPECT_EQ(decode(name).frames(), 3 * Rate) << row;
        }
    }
    RunSupport::StopRun(state, control, host);
}

TEST_F(ParallelSplitTest, AFailingPieceEndsTheRunCleanlyForEveryEncoderAndWorkerCount) {
    // The source loses two thirds once the pieces are under way: the piece
    // that reaches the cut fails, and those after it end before any of their
    // audio, as pieces never begun do. Every encoder is closed without its
    // audio then, and nothing of those pieces may stay.
    state.SplitSeconds = 3;
    for (const int format : {Mp3, Wav, 2, Ogg, 4, 5}) {
        for (const int workers : {1, 3}) {
            SCOPED_TRACE(testing::Message() << "format " << format << ", workers " << workers);
            lv.clear();
            const QString source =
                addFile(QStringLiteral("one.ogg"), OggFixture::NoiseAndSweep(12.0));
            setFormat(format);
            PieceWorkers::SetAllowed(settings, workers);
            state.Busy = false;
            const qint64 whole = QFileInfo(source).size();
            host.onCheckpoint = [&] {
                if (!converting().isEmpty() && QFileInfo(source).size() == whole)
                    QFile(source).resize(whole / 3);
            };
            EXPECT_THROW(SplitRun(context).Run(PiecePlan::Mode::Time), Error);
            host.onCheckpoint = nullptr;
            EXPECT_TRUE(temporaries().isEmpty()) << outputs().join(' ').toStdString();
            // What stays is whole.
            for (const QString& name : outputs()) {
                EXPECT_NEAR(decode(name).seconds(), 3.0, 0.05) << name.toStdString();
                QFile::remove(out(name));
            }
            RunSupport::StopRun(state, control, host);
        }
    }
}

} // namespace

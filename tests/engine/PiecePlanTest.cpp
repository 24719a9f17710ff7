// The piece plan: every function on sources of several shapes, a real file on
// which the dry run, the segment list and the written files agree, and the
// split and join of every mode taking what the plan lists.
#include "engine/PiecePlan.h"

#include "core/FramePosition.h"
#include "core/RecordPieces.h"
#include "engine/JoinRun.h"
#include "engine/RunRequest.h"
#include "engine/SplitRun.h"
#include "platform/FormatTime.h"
#include "tests/engine/RunFixture.h"
#include "tests/support/EncoderCorpus.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace {

using Piece = PiecePlan::Piece;

// Begin and end frames, and whether each piece is written.
std::vector<std::pair<std::int64_t, std::int64_t>> ranges(const std::vector<Piece>& pieces) {
    std::vector<std::pair<std::int64_t, std::int64_t>> out;
    for (const Piece& p : pieces)
        out.emplace_back(p.begin, p.end);
    return out;
}

listrecord segments(std::vector<std::int32_t> begins, std::vector<std::int32_t> ends) {
    listrecord record;
    record.BeginTimes = std::move(begins);
    record.EndTimes = std::move(ends);
    record.SegmentCount = static_cast<std::int32_t>(record.BeginTimes.size());
    return record;
}

using Ranges = std::vector<std::pair<std::int64_t, std::int64_t>>;

TEST(PiecePlanTest, TimeAndCountPiecesInFrames) {
    // 10.5 s at 44100: the piece that reaches the tenth second runs to the
    // last frame; one that starts there has no length.
    const PiecePlan::Source odd{44100, 463050, 10, 2};
    EXPECT_EQ(ranges(PiecePlan::Time(odd, 4)),
              (Ranges{{0, 176400}, {176400, 352800}, {352800, 463050}}));
    const auto five = PiecePlan::Time(odd, 5);
    ASSERT_EQ(five.size(), 3u);
    EXPECT_EQ(five[1].end, 463050);
    EXPECT_FALSE(five[2].written());
    EXPECT_EQ(five[2].leftOut, PiecePlan::NoLength);
    EXPECT_EQ(five[2].row, 2);
    // Count pieces are whole seconds: the remainder is not written.
    const PiecePlan::Source wide{48000, 504000, 10, 2};
    EXPECT_EQ(ranges(PiecePlan::Count(wide, 3)),
              (Ranges{{0, 144000}, {144000, 288000}, {288000, 432000}}));
    const auto many = PiecePlan::Count(wide, 20);
    EXPECT_EQ(many.size(), 20u);
    EXPECT_TRUE(std::none_of(many.begin(), many.end(), [](const Piece& p) { return p.written(); }));
}

TEST(PiecePlanTest, MarkedPiecesReplaceTheSegmentsAtTheirExactFrames) {
    // 10.001 s: no tail is left out, a piece past the end has no length.
    const PiecePlan::Source source{44100, 441044, 10, 2};
    AppState state;
    state.FunctionChoice = FunctionCustom;
    listrecord record = segments({0, 2}, {10, 5});
    TitledPiece intro{0, 65856, {}};
    intro.tags.title = QStringLiteral("Intro");
    record.Pieces = {intro, {65856, 500000, {}}, {441044, 441100, {}}};
    state.JobList = {record};
    const auto pieces = PiecePlan::Of(state, 0, source);
    EXPECT_EQ(ranges(pieces), (Ranges{{0, 65856}, {65856, 441044}, {441044, 441044}}));
    EXPECT_EQ(pieces[0].title, QStringLiteral("Intro"));
    EXPECT_EQ(pieces[2].leftOut, PiecePlan::NoLength);
    EXPECT_EQ(pieces[2].row, 2);
}

TEST(PiecePlanTest, CustomPiecesLeaveOutTheirLastBlocksTail) {
    // 10.001 s, stereo: a piece to the end is five blocks of two seconds and
    // 44 frames, which are left out.
    const PiecePlan::Source source{44100, 441044, 10, 2};
    const listrecord record = segments({0, 2, 20, 6}, {10, 5, 30, 3});
    const auto pieces = PiecePlan::Custom(source, record, 4, {});
    EXPECT_EQ(ranges(pieces),
              (Ranges{{0, 441000}, {88200, 220500}, {441044, 441044}, {264600, 132300}}));
    EXPECT_EQ(pieces[3].leftOut, PiecePlan::NoLength);
    // A fade-in block moves the blocks after it: the tail is long enough.
    EXPECT_EQ(PiecePlan::Custom(source, record, 1, {44100, 0})[0].end, 441044);
    // Without the channel count no tail is known.
    EXPECT_EQ(PiecePlan::Custom({44100, 441044, 10, 0}, record, 1, {})[0].end, 441044);
}

TEST(PiecePlanTest, UnifiedSegmentsStopAtTheFirstPastTheEnd) {
    const PiecePlan::Source source{48000, 504000, 10, 1};
    const auto pieces = PiecePlan::Unified(source, segments({2, 12, 5, 10}, {4, 14, 6, 12}), 4);
    ASSERT_EQ(pieces.size(), 4u);
    EXPECT_EQ(ranges(pieces)[0], (std::pair<std::int64_t, std::int64_t>{96000, 192000}));
    EXPECT_EQ(pieces[1].leftOut, PiecePlan::PastEnd);
    // Past the end once, the later segments are left out even if they fit.
    EXPECT_EQ(pieces[2].leftOut, PiecePlan::PastEnd);
    EXPECT_FALSE(pieces[3].written());
}

TEST(PiecePlanTest, SharedMarkedPiecesKeepTheirTimesAtEveryRate) {
    // Marked on an 8 kHz file; cut from a 48 kHz one of 10.5 s.
    listrecord shared = segments({0}, {20});
    shared.SampleRate = 8000;
    shared.SampleCount = 160000;
    RecordPieces::Adopt(shared, {{4001, 12000, {}}, {80000, 160000, {}}, {88000, 90000, {}}}, {});
    const auto pieces = PiecePlan::Unified({48000, 504000, 10, 1}, shared, 3);
    EXPECT_EQ(ranges(pieces), (Ranges{{24006, 72000}, {480000, 504000}, {504000, 504000}}));
    EXPECT_EQ(pieces[2].leftOut, PiecePlan::PastEnd);
}

TEST(PiecePlanTest, PiecesAtSilencesAndTheStatesFunction) {
    const PiecePlan::Source source{48000, 504000, 10, 2};
    const auto pieces = PiecePlan::AtSilences(source, {{3000, 4000}}, 1000);
    EXPECT_EQ(ranges(pieces), (Ranges{{0, 168000}, {168000, 504000}}));
    EXPECT_TRUE(pieces[0].cutNote.isEmpty());
    const auto moved = PiecePlan::TimeAtSilences(source, {{3800, 4600}}, 4000, 1000);
    ASSERT_GE(moved.size(), 2u);
    EXPECT_EQ(moved[0].end, 201600);
    EXPECT_TRUE(moved[0].cutNote.startsWith("Cut moved")) << moved[0].cutNote.toStdString();
    EXPECT_TRUE(moved[1].cutNote.startsWith("No silence")) << moved[1].cutNote.toStdString();
    EXPECT_EQ(moved.back().end, 504000);

    // The state's function, with the working segment not cut.
    AppState state;
    listrecord record = segments({1, 0}, {2, 10});
    record.Duration = 10;
    state.JobList = {record};
    EXPECT_EQ(ranges(PiecePlan::Of(state, 0, source)), (Ranges{{48000, 96000}}));
    state.FunctionChoice = FunctionSplitByTime;
    EXPECT_FALSE(PiecePlan::NeedsSilences(state));
    state.SnapToSilence = true;
    EXPECT_TRUE(PiecePlan::NeedsSilences(state));
}

// A FLAC file made by flac, 7 s and 50 frames long, at the rate the WAV
// output keeps.
class PiecePlanFileTest : public RunFixture {
protected:
    static constexpr int Rate = 44100;
    static constexpr long long Frames = 7LL * Rate + 50;

    QString makeSource() {
        const QString wav = dir.filePath(QStringLiteral("made.wav"));
        const QString flac = srcDir + QStringLiteral("made.flac");
        EncoderCorpus::WriteSource(wav, Rate, 2, Frames);
        EncoderCorpus::Run(QStringLiteral("flac"),
                           {QStringLiteral("--silent"), QStringLiteral("-o"), flac, wav});
        return flac;
    }
    // The ranges the command-line tool lists for a dry run.
    QStringList dryRun(const QStringList& arguments) {
        QProcess process;
        process.start(QStringLiteral(TARNWELL_BIN_DIR "/tarnwell-cli"),
                      QStringList{QStringLiteral("split")} + arguments +
                          QStringList{QStringLiteral("--format"), QStringLiteral("wav"),
                                      QStringLiteral("--out"), outDir,
                                      QStringLiteral("--dry-run")});
        EXPECT_TRUE(process.waitForFinished(240000));
        QStringList listed;
        for (const QString& line : QString::fromUtf8(process.readAllStandardOutput())
                                       .split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            listed.append(line.section(QLatin1Char('\t'), 1, 1));
        return listed;
    }
    static QString text(std::int64_t frame) {
        return FormatTimeMs(FramePosition::Milliseconds(frame, Rate));
    }
};

TEST_F(PiecePlanFileTest, DryRunRowsAndWrittenFilesAgree) {
    QString source;
    try {
        source = makeSource();
    } catch (const std::exception& e) {
        GTEST_SKIP() << e.what();
    }
    setFormat(1); // WAV
    addSource(source);
    ASSERT_EQ(state.JobList[0].SampleCount, Frames);

    state.FunctionChoice = FunctionSplitByTime;
    state.SplitSeconds = 3;
    const QStringList listed = dryRun({source, QStringLiteral("--time"), QStringLiteral("3")});
    SplitRun(context).Run(PiecePlan::Mode::Time);
    const QStringList written = outputs();
    ASSERT_EQ(written.size(), 3);
    ASSERT_EQ(listed.size(), 3);
    ASSERT_EQ(lvTime.count(), 3);
    std::int64_t begin = 0;
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        const std::int64_t end = begin + decode(written[k]).frames();
        EXPECT_EQ(listed[k], text(begin) + QLatin1Char('-') + text(end));
        EXPECT_EQ(lvTime.text(k, 0), text(begin) + QStringLiteral(" - ") + text(end));
        begin = end;
    }
    EXPECT_EQ(begin, Frames);

    // A custom piece to the end leaves out its last 50 frames, as planned.
    for (const QString& name : written)
        QFile::remove(out(name));
    state.FunctionChoice = FunctionCustom;
    setSegments(0, {{1, 7}}, {0, 7});
    const auto plan = PiecePlan::Of(state, 0, PiecePlan::Source::Of(state.JobList[0], 2));
    ASSERT_EQ(plan.size(), 1u);
    EXPECT_EQ(plan[0].frames(), 6LL * Rate);
    SplitRun(context).Run(PiecePlan::Mode::Custom);
    ASSERT_EQ(outputs().size(), 1);
    EXPECT_EQ(decode(outputs()[0]).frames(), plan[0].frames());
    EXPECT_EQ(dryRun({source, QStringLiteral("--segments"), QStringLiteral("0:01-0:07")}),
              QStringList{text(plan[0].begin) + QLatin1Char('-') + text(plan[0].end)});
}

// Every mode splits and joins exactly what the plan lists for the window:
// the pieces and their first names, the join's ranges (whole files where the
// mode cuts no segments), and a shared segment past a short file's end that
// leaves it and the later ones out, in the join as in the split.
TEST_F(PiecePlanFileTest, EveryModeSplitsAndJoinsWhatThePlanLists) {
    setFormat(1); // WAV
    addFile(QStringLiteral("long.ogg"), OggFixture::Tone(3.0));
    addFile(QStringLiteral("short.ogg"), OggFixture::Tone(1.0));
    setSegments(0, {{2, 3}, {0, 1}}, {0, 3});
    state.SplitSeconds = 2;
    state.SplitCount = 2;
    const struct {
        std::int32_t function;
        const char* first; // the first output of the long file
    } modes[] = {{FunctionCustom, "long.wav"},
                 {FunctionSplitByTime, "long_1.wav"},
                 {FunctionSplitByCount, "long_1.wav"},
                 {FunctionUnification, "long_1.wav"},
                 {FunctionSplitAtSilences, "long_1.wav"}};
    for (const auto& [function, first] : modes) {
        SCOPED_TRACE(function);
        state.FunctionChoice = function;
        const PiecePlan::Mode mode = *PiecePlan::ModeOf(function);
        for (const QString& name : outputs())
            QFile::remove(out(name));
        const RunRequest request = RunRequest::Of(state, host, settings);
        const RunOutcome split = SplitRun(context).Split(mode, request);
        const RunOutcome joined =
            JoinRun(context).Join(mode, {out(QStringLiteral("joined.wav")), 2}, request);
        ASSERT_FALSE(split.failure);
        ASSERT_FALSE(joined.failure);
        ASSERT_EQ(joined.pieces.size(), 1u);

        std::vector<RunOutcome::Range> written;
        std::vector<RunOutcome::Range> join;
        for (int file = 0; file < 2; ++file) {
            const listrecord& record = state.JobList[static_cast<size_t>(file)];
            const auto at = [&](const Piece& p) {
                return RunOutcome::Range{file, p.row, p.begin, p.end, Rate};
            };
            for (const Piece& p :
                 PiecePlan::Of(state, file, PiecePlan::Source::Of(record, record.Channels)))
                if (p.written())
                    written.push_back(at(p));
            if (!PiecePlan::CutsSegments(mode))
                join.push_back({file, 0, 0, record.SampleCount, Rate});
            else
                for (const Piece& p : PiecePlan::Of(state, file, PiecePlan::Source::Of(record)))
                    if (p.written())
                        join.push_back(at(p));
        }
        std::vector<RunOutcome::Range> cut;
        for (const RunOutcome::Piece& p : split.written())
            cut.push_back({p.file, p.row, p.begin, p.end, p.rate});
        EXPECT_EQ(cut, written);
        ASSERT_FALSE(split.written().empty());
        EXPECT_EQ(QFileInfo(split.written().front().path).fileName(), first);
        EXPECT_EQ(joined.pieces[0].joined, join);
    }
}

} // namespace

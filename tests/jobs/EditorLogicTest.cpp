// The waveform editor's logic without a widget: zoom and scroll maths and
// the ruler, what lies under the mouse, and the pieces it edits in the job
// model (exact frames, whole-second segments, unification, split functions).
#include "app/editor/EditorPieces.h"
#include "app/editor/PieceTableModel.h"
#include "app/editor/RegionHit.h"
#include "app/editor/TimeAxis.h"
#include "core/AppState.h"
#include "core/RecordPieces.h"

#include <gtest/gtest.h>

namespace {

listrecord record(std::int32_t seconds, std::int32_t rate = 44100) {
    listrecord r;
    r.FileName = QStringLiteral("/music/a.ogg");
    r.Duration = seconds;
    r.SampleRate = rate;
    r.SampleCount = std::int64_t{seconds} * rate + 1234;
    r.BeginTimes = {0};
    r.EndTimes = {seconds};
    return r;
}

} // namespace

TEST(TimeAxis, ZoomsFromTheWholeFileToSinglesSamplesAndScrollsWithinIt) {
    TimeAxis axis;
    axis.setWidth(1000);
    axis.setFile(3LL * 3600 * 44100, 44100);
    EXPECT_TRUE(axis.showsWholeFile());
    EXPECT_EQ(axis.frameAt(0), 0);
    EXPECT_EQ(axis.frameAt(1000), axis.frames());

    // Zooming keeps the frame under the mouse where it is.
    const std::int64_t under = axis.frameAt(250);
    axis.zoomBy(8, 250);
    EXPECT_NEAR(axis.xOf(under), 250, 1);
    EXPECT_FALSE(axis.showsWholeFile());
    for (int i = 0; i < 60; ++i)
        axis.zoomBy(2, 500);
    EXPECT_DOUBLE_EQ(axis.framesPerPixel(), 1.0 / TimeAxis::MaxPixelsPerFrame);
    for (int i = 0; i < 60; ++i)
        axis.zoomBy(0.5, 500);
    EXPECT_TRUE(axis.showsWholeFile());

    // Scrolling stops at both ends; the scroll bar's numbers stay ints.
    axis.zoomTo(44100 * 60, 44100 * 70);
    EXPECT_NEAR(axis.first(), 44100 * 59.5, 1);
    axis.scrollBy(-1e9);
    EXPECT_EQ(axis.first(), 0);
    axis.scrollBy(1e12);
    EXPECT_NEAR(axis.first() + axis.visibleFrames(), double(axis.frames()), 1);
    axis.zoomBy(1e6, 0);
    EXPECT_GT(axis.scrollMaximum(), 0);
    axis.setScrollValue(axis.scrollMaximum() / 2);
    EXPECT_NEAR(axis.first(), axis.frames() / 2.0, axis.frames() * 0.01);
    axis.follow(1000);
    EXPECT_GE(axis.xOf(1000), 0);
    EXPECT_LT(axis.xOf(1000), axis.width());
}

TEST(TimeAxis, TheRulerLabelsFollowTheZoom) {
    struct Case {
        double from, to; // seconds shown
        QString firstLabel, secondLabel;
    };
    const Case cases[] = {
        {0, 3 * 3600, "0:00:00.00", "0:30:00.00"},
        {60, 70, "0:01:00.00", "0:01:01.00"},
        {3725.5, 3725.6, "1:02:05.50", "1:02:05.51"},
    };
    for (const Case& c : cases) {
        TimeAxis axis;
        axis.setWidth(1000);
        axis.setFile(4LL * 3600 * 48000, 48000);
        axis.zoomTo(static_cast<std::int64_t>(c.from * 48000),
                    static_cast<std::int64_t>(c.to * 48000));
        if (c.from == 0)
            axis.zoomTo(0, 3LL * 3600 * 48000);
        std::vector<QString> labels;
        for (const TimeAxis::Tick& t : axis.ticks(90))
            if (t.labelled && axis.xOf(t.frame) >= axis.xOf(std::int64_t(c.from * 48000)) - 1)
                labels.push_back(t.label);
        ASSERT_GE(labels.size(), 2u) << c.firstLabel.toStdString();
        EXPECT_EQ(labels[0], c.firstLabel);
        EXPECT_EQ(labels[1], c.secondLabel);
    }
    EXPECT_EQ(TimeAxis::ClockText(44100 * 3725 + 44100 / 2 + 1, 44100), "1:02:05.50");
}

TEST(RegionHit, EdgesWinOverBodiesAndTitlesAreTheirTopBand) {
    TimeAxis axis;
    axis.setWidth(1000);
    axis.setFile(1000, 1); // one frame a pixel
    const std::vector<EditorPieces::Region> regions = {
        {100, 300, 1, ""}, {300, 500, 2, ""}, {600, 900, 3, ""}, {650, 700, 4, ""}};
    struct Case {
        double x, y;
        RegionHit::Part part;
        int row;
    };
    for (const Case c :
         {Case{102, 50, RegionHit::Part::Begin, 0}, Case{301, 50, RegionHit::Part::Begin, 1},
          Case{297, 50, RegionHit::Part::End, 0}, Case{200, 50, RegionHit::Part::Body, 0},
          Case{200, 5, RegionHit::Part::Title, 0}, Case{550, 50, RegionHit::Part::None, -1},
          Case{680, 50, RegionHit::Part::Body, 3}, Case{620, 50, RegionHit::Part::Body, 2}}) {
        const RegionHit hit = RegionHit::At(regions, axis, c.x, c.y, 18);
        EXPECT_EQ(hit.part, c.part) << c.x;
        EXPECT_EQ(hit.row, c.row) << c.x;
    }
}

TEST(EditorPieces, EditsGoToTheRecordAtExactFramesAndWholeSecondSegmentsStayUntilEdited) {
    AppState state;
    state.JobList = {record(100), record(50, 22050)};
    listrecord& first = state.JobList[0];
    // Two hand-marked segments and the working one.
    first.BeginTimes = {10, 40, 0};
    first.EndTimes = {20, 60, 100};
    first.SegmentCount = 3;
    EditorPieces pieces(state);
    pieces.setFile(0);
    ASSERT_TRUE(pieces.editable());
    auto regions = pieces.regions();
    ASSERT_EQ(regions.size(), 2u);
    EXPECT_EQ(regions[1].begin, 40 * 44100);
    EXPECT_TRUE(first.Pieces.empty());

    // A cut moved to an exact frame makes them exact pieces; the working
    // segment stays as marked.
    ASSERT_TRUE(pieces.setRange(0, 10 * 44100 + 17, 20 * 44100));
    ASSERT_EQ(first.Pieces.size(), 2u);
    EXPECT_EQ(first.Pieces[0].begin, 10 * 44100 + 17);
    EXPECT_EQ(first.SegmentCount, 3);
    EXPECT_EQ(first.EndTimes.back(), 100);
    EXPECT_FALSE(pieces.setRange(0, 500, 400));

    // A new piece goes in time order; the others keep their numbers, and
    // untitled pieces marked by hand have none of their own.
    EXPECT_EQ(pieces.add(30 * 44100, 35 * 44100), 1);
    regions = pieces.regions();
    ASSERT_EQ(regions.size(), 3u);
    EXPECT_EQ(regions[1].number, 2);
    EXPECT_EQ(regions[2].number, 3);
    for (const TitledPiece& p : first.Pieces)
        EXPECT_EQ(std::pair(p.tags.track, p.tags.tracks), std::pair(0, 0));
    EXPECT_EQ(pieces.add(5, 5), -1);
    ASSERT_TRUE(pieces.rename(1, QStringLiteral("  Interlude ")));
    EXPECT_EQ(first.Pieces[1].tags.title, "Interlude");
    ASSERT_TRUE(pieces.remove(0));
    EXPECT_EQ(pieces.regions().size(), 2u);
    EXPECT_EQ(first.SegmentCount, 3);

    // Whole-second segments are removed as whole-second segments.
    EditorPieces other(state);
    listrecord& second = state.JobList[1];
    second.BeginTimes = {1, 0};
    second.EndTimes = {2, 50};
    second.SegmentCount = 2;
    other.setFile(1);
    ASSERT_TRUE(other.remove(0));
    EXPECT_EQ(second.SegmentCount, 1);
    EXPECT_TRUE(second.Pieces.empty());

    // In unification the first file's pieces show on another file at its rate.
    state.FunctionChoice = FunctionUnification;
    regions = other.regions();
    ASSERT_EQ(regions.size(), 2u);
    EXPECT_EQ(regions[1].begin, 40 * 22050);
    ASSERT_TRUE(other.setRange(1, 41 * 22050, 42 * 22050));
    EXPECT_EQ(first.Pieces[1].begin, 41 * 44100);

    // Split functions show their plan and refuse edits; so does a busy run.
    state.FunctionChoice = FunctionSplitByTime;
    state.SplitSeconds = 30;
    EXPECT_FALSE(pieces.editable());
    EXPECT_EQ(pieces.regions().size(), 4u);
    EXPECT_EQ(pieces.add(0, 100), -1);
    state.FunctionChoice = FunctionCustom;
    state.Busy = true;
    EXPECT_FALSE(pieces.rename(0, QStringLiteral("x")));
}

TEST(EditorPieces, APieceMovedWholeStaysInTheFileAndClearOfItsNeighbours) {
    // Pieces 100-200, 300-400 and 350-500 (overlapping the one before) of
    // a file of 1000 frames.
    const std::vector<EditorPieces::Region> regions = {{100, 200}, {300, 400}, {350, 500}};
    struct Case {
        int row;
        std::int64_t wanted;
        std::int64_t begin;
    };
    for (const Case& c : std::vector<Case>{{0, 150, 150},
                                           {0, 250, 200}, // up to the next piece
                                           {0, -50, 0},   // not before the file
                                           {1, 210, 210},
                                           {1, 100, 200},    // not over the one before
                                           {1, 400, 300},    // already over the next: stays
                                           {2, 900, 850},    // not past the file's end
                                           {2, 320, 350}}) { // already over: no further
        EXPECT_EQ(EditorPieces::MovedBegin(regions, c.row, c.wanted, 1000), c.begin)
            << c.row << " " << c.wanted;
    }

    // A sheet's numbers stay when a piece is put between its tracks; one
    // after the last is numbered on.
    listrecord sheet = record(100);
    sheet.Pieces = {{0, 10 * 44100, {}}, {20 * 44100, 30 * 44100, {}}};
    sheet.Pieces[0].tags.track = 3;
    sheet.Pieces[1].tags.track = 4;
    RecordPieces::SetMarked(sheet, sheet.Pieces);
    ASSERT_EQ(RecordPieces::Insert(sheet, 12 * 44100, 15 * 44100), 1);
    ASSERT_EQ(RecordPieces::Insert(sheet, 40 * 44100, 45 * 44100), 3);
    std::vector<int> tracks;
    for (const TitledPiece& p : sheet.Pieces)
        tracks.push_back(p.tags.track);
    EXPECT_EQ(tracks, std::vector<int>({3, 0, 4, 5}));
    EXPECT_EQ(sheet.Pieces[0].tags.tracks, 5);
}

TEST(PieceTableModel, TypedTimesBecomeFramesAndShownTimesKeepTheirs) {
    std::vector<std::tuple<int, std::int64_t, std::int64_t>> ranges;
    std::vector<std::pair<int, QString>> artists;
    PieceTableModel model({[&](int row, std::int64_t b, std::int64_t e) {
                               ranges.emplace_back(row, b, e);
                               return true;
                           },
                           [](int, const QString&) { return true; },
                           [&](int row, const QString& artist) {
                               artists.emplace_back(row, artist);
                               return true;
                           }});
    model.setPieces({{44100 * 3 + 7, 44100 * 65 + 22050, 4, QStringLiteral("Song")}}, 44100, true);
    EXPECT_EQ(model.data(model.index(0, PieceTableModel::BeginColumn), Qt::DisplayRole),
              "0:00:03.00");
    EXPECT_EQ(model.data(model.index(0, PieceTableModel::LengthColumn), Qt::DisplayRole),
              "0:01:02.49");
    EXPECT_TRUE(model.flags(model.index(0, PieceTableModel::TitleColumn)) & Qt::ItemIsEditable);
    EXPECT_FALSE(
        model.setData(model.index(0, PieceTableModel::BeginColumn), "0:00:03.00", Qt::EditRole));
    EXPECT_TRUE(model.setData(model.index(0, PieceTableModel::EndColumn), "1:10.25", Qt::EditRole));
    ASSERT_EQ(ranges.size(), 1u);
    EXPECT_EQ(std::get<1>(ranges[0]), 44100 * 3 + 7);
    EXPECT_EQ(std::get<2>(ranges[0]), 44100 * 70 + 11025);
    EXPECT_FALSE(model.setData(model.index(0, PieceTableModel::EndColumn), "soon", Qt::EditRole));
    EXPECT_TRUE(model.setData(model.index(0, PieceTableModel::ArtistColumn), "Ana", Qt::EditRole));
    EXPECT_EQ(artists, (std::vector<std::pair<int, QString>>{{0, "Ana"}}));
    model.setPieces(model.pieces(), 44100, false);
    EXPECT_FALSE(model.flags(model.index(0, PieceTableModel::TitleColumn)) & Qt::ItemIsEditable);
}

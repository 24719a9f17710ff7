// The waveform editor beside the real main window, offscreen, on a real
// recording: opened from the menu, its key and the waveform strip, its
// place remembered; cuts dragged to exact frames and zero crossings, pieces
// drawn, renamed and removed, every step undone and redone in both windows;
// pieces moved whole and played; listening around a cut with the dummy
// audio driver; zoom down to the samples; the overview strip dragged; the
// table typed in, its artist reaching the written piece; split functions'
// cuts and the silences shown, the cuts made segments in one step; a long
// file's first look. With TARNWELL_SCREENSHOT_DIR set it saves the editor
// at two zooms there (the pictures in the README and the guide).
#include "app/editor/WaveformEditor.h"
#include "app/Preview.h"
#include "app/WaveformPanel.h"
#include "app/WaveformView.h"
#include "app/editor/OverviewStrip.h"
#include "app/editor/PieceTableModel.h"
#include "app/editor/SegmentHistory.h"
#include "app/editor/WaveformCanvas.h"
#include "app/editor/WaveformEditorHost.h"
#include "app/skin/Skin.h"
#include "core/FramePosition.h"
#include "engine/PiecePlan.h"
#include "engine/SilenceFinder.h"
#include "engine/WaveformBuilder.h"
#include "engine/audio/ZeroCrossing.h"
#include "tests/support/EditorWindowFixture.h"
#include "tests/support/FfmpegDecoder.h"
#include "tests/support/RealRecording.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>

namespace {

constexpr int Deadline = EditorWindowFixture::Deadline;

using WaveformEditorTest = EditorWindowFixture;

TEST_F(WaveformEditorTest, OpensFromTheMenuTheKeyAndTheStripAndKeepsItsPlace) {
    main->lvSelection().clear();
    main->p_action->findChild<QAction*>("EditWaveform1Click")->trigger();
    EXPECT_EQ(desktop.informations.value(0), WaveformEditorHost::NoFileMessage);
    EXPECT_FALSE(main->waveformEditor().editor());
    selectFile(0);

    // The key, then a double-click on the strip once it is closed again.
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return QGuiApplication::focusWindow() == main->windowHandle(); }, Deadline));
    QTest::keyClick(main.get(), Qt::Key_E, Qt::ControlModifier);
    ASSERT_TRUE(main->waveformEditor().editor());
    EXPECT_TRUE(editor().isVisible());
    editor().close();
    const WaveformView* strip = main->waveform().view();
    ASSERT_TRUE(strip->isVisible());
    QTest::mouseDClick(main->Skin1, Qt::LeftButton, {}, strip->geometry().center());
    EXPECT_TRUE(editor().isVisible());
    // The main window stays as it is.
    EXPECT_EQ(main->size(), QSize(521, 380));

    // The whole file at first, as one lane per channel.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return main->waveform().builder().overview(path) != nullptr; }, Deadline));
    editor().sync();
    EXPECT_TRUE(canvas().axis().showsWholeFile());
    EXPECT_EQ(canvas().axis().frames(), record().SampleCount);

    editor().resize(900, 430);
    editor().move(120, 90);
    const QRect placed = editor().geometry();
    editor().close();
    main->close();
    open(skin());
    addFiles({path});
    selectFile(0);
    main->waveformEditor().open();
    EXPECT_EQ(editor().size(), placed.size());
    EXPECT_TRUE(desktop.errors.isEmpty()) << desktop.errors.join("\n").toStdString();
}

TEST_F(WaveformEditorTest, CutsAreDraggedDrawnRenamedAndRemovedAndEveryStepIsUndone) {
    confirmSegment(10, 20, record().Duration);
    QCoreApplication::processEvents();
    openEditor();
    ASSERT_EQ(editor().pieces().regions().size(), 1u);

    // A click selects the piece, Z zooms to it, and its start is dragged to
    // the frame under the mouse.
    QTest::mouseClick(&canvas(), Qt::LeftButton, {}, QPoint(xOf(15 * rate), laneY()));
    key(&canvas(), Qt::Key_Z);
    EXPECT_NEAR(canvas().axis().visibleFrames(), 10 * rate * 1.1, rate);
    const int from = xOf(10 * rate);
    drag(from, from + 37);
    const std::int64_t moved = canvas().axis().frameAt(from + 37);
    ASSERT_EQ(record().Pieces.size(), 1u);
    EXPECT_EQ(record().Pieces[0].begin, moved);
    EXPECT_NE(moved % rate, 0);
    // The main window's list shows it at once, to the hundredth.
    EXPECT_TRUE(lvTime().text(0, 0).startsWith("00:00:10.")) << lvTime().text(0, 0).toStdString();

    // With Shift the end lands on a zero crossing.
    const int end = xOf(20 * rate);
    drag(end, end - 23, Qt::ShiftModifier);
    EXPECT_EQ(record().Pieces[0].end,
              ZeroCrossing::NearestIn(path, canvas().axis().frameAt(end - 23)));

    // A drag over empty space makes a new piece after it; its title is
    // double-clicked and typed.
    key(&canvas(), Qt::Key_F);
    drag(xOf(40 * rate), xOf(60 * rate));
    ASSERT_EQ(record().Pieces.size(), 2u);
    EXPECT_EQ(lvTime().count(), 3);
    QTest::mouseDClick(&canvas(), Qt::LeftButton, {}, canvas().titlePoint(1));
    auto* rename = canvas().findChild<QLineEdit*>("renamePiece");
    ASSERT_TRUE(rename && rename->isVisible());
    QTest::keyClicks(rename, "Coda");
    QTest::keyClick(rename, Qt::Key_Return);
    EXPECT_EQ(record().Pieces[1].tags.title, "Coda");
    EXPECT_EQ(lvTime().text(1, 3), "Coda");
    key(&canvas(), Qt::Key_Delete);
    EXPECT_EQ(record().Pieces.size(), 1u);

    // Undo walks back through every step to the whole-second segment, redo
    // forward again.
    const std::vector<int> piecesAfterUndo = {2, 2, 1, 1, 0};
    for (size_t i = 0; i < piecesAfterUndo.size(); ++i) {
        key(&canvas(), Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(record().Pieces.size(), static_cast<size_t>(piecesAfterUndo[i])) << i;
    }
    EXPECT_EQ(record().Pieces.size(), 0u);
    EXPECT_EQ(record().BeginTimes[0], 10);
    EXPECT_EQ(lvTime().text(0, 0), "00:00:10 - 00:00:20");
    EXPECT_EQ(editor().pieces().regions()[0].begin, 10 * rate);
    key(&canvas(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(record().Pieces.size(), 1u);
    EXPECT_EQ(record().Pieces[0].begin, moved);

    // The main window's marks are undone there as well.
    confirmSegment(30, 35, record().Duration);
    QCoreApplication::processEvents();
    EXPECT_EQ(record().SegmentCount, 3);
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return QGuiApplication::focusWindow() == main->windowHandle(); }, Deadline));
    QTest::keyClick(main.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(record().SegmentCount, 2);
    EXPECT_EQ(lvTime().count(), 2);
    QTest::keyClick(main.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(record().SegmentCount, 3);
    QCoreApplication::processEvents();
    EXPECT_EQ(editor().pieces().regions().size(), 2u);
}

TEST_F(WaveformEditorTest, ListeningAroundACutFromThePlayheadAndMarkingThere) {
    confirmSegment(10, 20, record().Duration);
    openEditor();
    // C plays one second either side of the nearest cut, then stops.
    canvas().setPlayhead(9 * rate);
    key(&canvas(), Qt::Key_C);
    ASSERT_TRUE(main->state().Playing);
    EXPECT_EQ(canvas().playhead(), 9 * rate);
    ASSERT_TRUE(QTest::qWaitFor([&] { return canvas().playhead() > 9 * rate; }, Deadline));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !main->state().Playing; }, Deadline));
    EXPECT_LE(canvas().playhead(), 11 * rate);

    // Space plays from the playhead and stops where it got to.
    canvas().setPlayhead(30 * rate);
    key(&canvas(), Qt::Key_Space);
    ASSERT_TRUE(main->state().Playing);
    ASSERT_TRUE(QTest::qWaitFor([&] { return canvas().playhead() > 30 * rate; }, Deadline));
    key(&canvas(), Qt::Key_Space);
    EXPECT_FALSE(main->state().Playing);
    const std::int64_t stopped = canvas().playhead();
    EXPECT_GT(stopped, 30 * rate);

    // I and O set the selected piece's start and end there.
    QTest::mouseClick(&canvas(), Qt::LeftButton, {}, QPoint(xOf(15 * rate), laneY()));
    canvas().setPlayhead(12 * rate + 5);
    key(&canvas(), Qt::Key_I);
    canvas().setPlayhead(18 * rate + 7);
    key(&canvas(), Qt::Key_O);
    ASSERT_EQ(record().Pieces.size(), 1u);
    EXPECT_EQ(record().Pieces[0].begin, 12 * rate + 5);
    EXPECT_EQ(record().Pieces[0].end, 18 * rate + 7);
    EXPECT_TRUE(desktop.errors.isEmpty()) << desktop.errors.join("\n").toStdString();
}

TEST_F(WaveformEditorTest, ZoomsDownToTheSamplesScrollsAndTypesInTheTable) {
    confirmSegment(10, 20, record().Duration);
    openEditor();
    shoot("editor-whole.png");
    // Ctrl and the wheel zoom at the mouse; the keys zoom at the playhead.
    const QPoint at(canvas().width() / 3, laneY());
    const std::int64_t under = canvas().axis().frameAt(at.x());
    for (int i = 0; i < 6; ++i) {
        QWheelEvent wheel(at, canvas().mapToGlobal(at), {}, QPoint(0, 120), Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&canvas(), &wheel);
    }
    EXPECT_NEAR(canvas().axis().xOf(under), at.x(), 1);
    EXPECT_FALSE(canvas().axis().showsWholeFile());
    QTest::mouseClick(&canvas(), Qt::LeftButton, {}, QPoint(xOf(15 * rate), laneY()));
    key(&canvas(), Qt::Key_Z);
    shoot("editor-piece.png");

    // The scroll bar moves the view.
    const double first = canvas().axis().first();
    editor().scrollBar().setValue(editor().scrollBar().value() + editor().scrollBar().pageStep());
    EXPECT_GT(canvas().axis().first(), first);

    for (int i = 0; i < 30; ++i)
        key(&canvas(), Qt::Key_Plus);
    EXPECT_DOUBLE_EQ(canvas().axis().framesPerPixel(), 1.0 / TimeAxis::MaxPixelsPerFrame);
    // The samples themselves are read for this zoom, off the window's thread.
    ASSERT_TRUE(QTest::qWaitFor([&] { return canvas().hasDetail(); }, Deadline));
    key(&canvas(), Qt::Key_Minus);
    EXPECT_DOUBLE_EQ(canvas().axis().framesPerPixel(), 2.0 / TimeAxis::MaxPixelsPerFrame);

    // The table types in place: a title, then an end to the hundredth.
    QTableView& table = editor().table();
    typeInTable(0, PieceTableModel::TitleColumn, "Intro");
    EXPECT_EQ(record().Pieces.at(0).tags.title, "Intro");
    ASSERT_TRUE(
        table.model()->setData(table.model()->index(0, PieceTableModel::EndColumn), "0:00:21.25"));
    EXPECT_EQ(record().Pieces[0].end, 21 * rate + rate / 4);
    EXPECT_EQ(table.model()->index(0, PieceTableModel::LengthColumn).data().toString(),
              "0:00:11.25");
}

TEST_F(WaveformEditorTest, PiecesMoveWholeWithinTheirNeighboursAndArePlayedExactly) {
    confirmSegment(10, 20, record().Duration);
    confirmSegment(30, 32, record().Duration);
    openEditor();
    ASSERT_EQ(editor().pieces().regions().size(), 2u);

    // At the default size every column of the table is in sight, the title
    // with room to spare.
    QTableView& table = editor().table();
    const QHeaderView* header = table.horizontalHeader();
    for (const int column : {int(PieceTableModel::TitleColumn), int(PieceTableModel::ArtistColumn)})
        EXPECT_LE(header->sectionViewportPosition(column) + header->sectionSize(column),
                  table.viewport()->width())
            << column;
    EXPECT_GE(header->sectionSize(PieceTableModel::TitleColumn), 150);
    EXPECT_FALSE(table.horizontalScrollBar()->isVisible());

    // A piece dragged by its body moves whole, to the frame, never over
    // its neighbour nor out of the file; each move is one step undone.
    const auto first = editor().pieces().regions()[0];
    const auto second = editor().pieces().regions()[1];
    const std::int64_t length = first.end - first.begin;
    struct Move {
        int pixels;
        std::function<std::int64_t(std::int64_t wanted)> begin;
    };
    const std::vector<Move> moves = {
        {37, [](std::int64_t wanted) { return wanted; }},
        {-23, [](std::int64_t wanted) { return wanted; }},
        {5000, [&](std::int64_t) { return second.begin - length; }},
        {-5000, [](std::int64_t) { return std::int64_t{0}; }},
    };
    for (const Move& m : moves) {
        canvas().axis().zoomTo(0, 60 * rate);
        canvas().axisChanged();
        const int from = xOf(15 * rate);
        const std::int64_t wanted =
            first.begin + canvas().axis().frameAt(from + m.pixels) - canvas().axis().frameAt(from);
        drag(from, from + m.pixels);
        ASSERT_EQ(record().Pieces.size(), 2u) << m.pixels;
        EXPECT_EQ(record().Pieces[0].begin, m.begin(wanted)) << m.pixels;
        EXPECT_EQ(record().Pieces[0].end - record().Pieces[0].begin, length) << m.pixels;
        EXPECT_EQ(record().Pieces[1].begin, second.begin) << m.pixels;
        undo();
        EXPECT_EQ(editor().pieces().regions()[0], first) << m.pixels;
    }
    redo();
    EXPECT_EQ(record().Pieces.at(0).end - record().Pieces.at(0).begin, length);
    undo();

    // A double-click on a piece's body plays exactly its frames.
    canvas().axis().zoomTo(0, 60 * rate);
    canvas().axisChanged();
    QTest::mouseDClick(&canvas(), Qt::LeftButton, {}, QPoint(xOf(31 * rate), laneY()));
    ASSERT_TRUE(main->state().Playing);
    EXPECT_EQ(canvas().selected(), 1);
    EXPECT_EQ(canvas().playhead(), second.begin);
    ASSERT_TRUE(QTest::qWaitFor([&] { return canvas().playhead() > second.begin; }, Deadline));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !main->state().Playing; }, Deadline));
    EXPECT_LE(canvas().playhead(), second.end);
    // P plays the selected piece; Space stops it within.
    editor().select(0);
    key(&canvas(), Qt::Key_P);
    ASSERT_TRUE(main->state().Playing);
    ASSERT_TRUE(QTest::qWaitFor([&] { return canvas().playhead() > first.begin; }, Deadline));
    key(&canvas(), Qt::Key_Space);
    EXPECT_FALSE(main->state().Playing);
    EXPECT_GT(canvas().playhead(), first.begin);
    EXPECT_LE(canvas().playhead(), first.end);

    // Dragging the overview strip scrolls the zoomed view along with it.
    canvas().axis().zoomTo(10 * rate, 20 * rate);
    canvas().axisChanged();
    OverviewStrip& strip = editor().strip();
    const int stripY = strip.height() / 2;
    const auto middle = [&] {
        return canvas().axis().first() + canvas().axis().visibleFrames() / 2;
    };
    drag(&strip, QPoint(static_cast<int>(strip.xOf(100 * rate)), stripY),
         QPoint(static_cast<int>(strip.xOf(200 * rate)), stripY));
    const double perPixel = double(record().SampleCount) / strip.width();
    EXPECT_NEAR(middle(), 200.0 * rate, 2 * perPixel);
    EXPECT_EQ(editor().scrollBar().value(), canvas().axis().scrollValue());
    EXPECT_TRUE(desktop.errors.isEmpty()) << desktop.errors.join("\n").toStdString();
}

TEST_F(WaveformEditorTest, SplitCutsAndSilencesShowBeforeARunAndCutsBecomeSegmentsInOneStep) {
    // Quiet stretches of the music count as silences here.
    main->state().SilenceThreshold = -25;
    main->state().SilenceMinimumMs = 300;
    main->state().SplitSeconds = 45;
    main->state().SplitCount = 4;
    openEditor();
    const auto overview = main->waveform().builder().overview(path);
    ASSERT_TRUE(overview);

    // Found off the window's thread, shaded at their frames.
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor().silencesFound(); }, Deadline));
    const auto silences = SilenceFinder::Find(*overview, {-25.0, 300});
    ASSERT_FALSE(silences.empty());
    ASSERT_EQ(canvas().silences().size(), silences.size());
    for (size_t k = 0; k < silences.size(); ++k)
        EXPECT_EQ(canvas().silences()[k].first,
                  FramePosition::OfMilliseconds(silences[k].beginMs, rate, record().SampleCount));

    // The last row moves the time cuts to silences.
    for (const auto& [function, snap] :
         {std::pair{FunctionSplitByTime, false}, std::pair{FunctionSplitByCount, false},
          std::pair{FunctionSplitAtSilences, false}, std::pair{FunctionSplitByTime, true}}) {
        main->state().FunctionChoice = function;
        main->state().SnapToSilence = snap;
        editor().sync();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !canvas().regions().empty(); }, Deadline));
        const auto planned = canvas().regions();
        // What the run would cut.
        std::vector<std::pair<std::int64_t, std::int64_t>> run;
        for (const PiecePlan::Piece& p :
             PiecePlan::Of(PiecePlan::Function::Of(main->state()), {record()}, 0,
                           PiecePlan::Source::Of(record()), silences))
            if (p.written())
                run.emplace_back(p.begin, p.end);
        EXPECT_FALSE(editor().pieces().editable()) << function;
        ASSERT_TRUE(editor().adoptButton().isVisible()) << function;
        editor().adoptButton().click();
        EXPECT_EQ(main->state().FunctionChoice, FunctionCustom);
        EXPECT_TRUE(editor().pieces().editable());
        std::vector<std::pair<std::int64_t, std::int64_t>> made;
        for (const TitledPiece& p : record().Pieces)
            made.emplace_back(p.begin, p.end);
        std::vector<std::pair<std::int64_t, std::int64_t>> wanted;
        for (const EditorPieces::Region& r : planned)
            if (r.end > r.begin)
                wanted.emplace_back(r.begin, r.end);
        EXPECT_EQ(made, wanted) << function;
        EXPECT_EQ(run, wanted) << function << snap;
        EXPECT_EQ(lvTime().count(), static_cast<int>(wanted.size()) + 1) << function;

        // One step back restores the function and its plan; redo again.
        undo();
        EXPECT_EQ(main->state().FunctionChoice, function);
        EXPECT_TRUE(record().Pieces.empty()) << function;
        EXPECT_EQ(canvas().regions(), planned) << function;
        redo();
        EXPECT_EQ(main->state().FunctionChoice, FunctionCustom);
        EXPECT_EQ(record().Pieces.size(), wanted.size()) << function;
        undo();
    }
    EXPECT_TRUE(desktop.errors.isEmpty()) << desktop.errors.join("\n").toStdString();
}

TEST_F(WaveformEditorTest, TitleAndArtistTypedInTheTableTagTheWrittenPiece) {
    confirmSegment(10, 14, record().Duration);
    openEditor();
    typeInTable(0, PieceTableModel::TitleColumn, "Intro");
    typeInTable(0, PieceTableModel::ArtistColumn, "Tess Vale");
    ASSERT_EQ(record().Pieces.size(), 1u);
    EXPECT_EQ(record().Pieces[0].tags.artist, "Tess Vale");
    EXPECT_EQ(editor().table().model()->index(0, PieceTableModel::ArtistColumn).data(),
              "Tess Vale");
    // An untitled piece marked by hand has no number of its own.
    EXPECT_EQ(record().Pieces[0].tags.track, 0);
    undo();
    EXPECT_EQ(record().Pieces[0].tags.artist, "");
    redo();

    const QString out = makeOutputFolder();
    main->state().OutputDir = out;
    main->cb_format->setCurrentIndex(0); // MP3
    click("Split");
    ASSERT_TRUE(desktop.errors.isEmpty()) << desktop.errors.join("; ").toStdString();
    const QStringList written = QDir(out).entryList(QDir::Files);
    ASSERT_EQ(written.size(), 1) << written.join(", ").toStdString();
    const TagLib::FileRef file(QFile::encodeName(out + written[0]).constData());
    ASSERT_FALSE(file.isNull());
    EXPECT_EQ(file.tag()->title().to8Bit(true), "Intro");
    EXPECT_EQ(file.tag()->artist().to8Bit(true), "Tess Vale");
}

// Before a file's pyramid is built the editor draws a first look: places
// spread over the whole file, coarse to fine, each the peaks FFmpeg finds
// in the same frames.
TEST(WaveformSketch, AFirstLookSpreadsOverTheFileAndSharpensAsFfmpegDecodesIt) {
    const DecodedAudio decoded = decodeWithFfmpeg(RealRecording());
    std::vector<std::shared_ptr<const WaveformSketch>> looks;
    const std::atomic<bool> cancel{false};
    WaveformSketch::Read(RealRecording(), cancel, 512,
                         [&](std::shared_ptr<const WaveformSketch> s) { looks.push_back(s); });
    ASSERT_EQ(looks.size(), 4u);
    const WaveformSketch& first = *looks.front();
    const WaveformSketch& all = *looks.back();
    EXPECT_EQ(all.frames, decoded.frames());
    EXPECT_EQ(all.lanes, decoded.channels);
    EXPECT_EQ(all.placesRead, WaveformSketch::Places);
    // The first quarter read lies evenly over the whole file.
    for (int k = 0; k < WaveformSketch::Places; ++k)
        EXPECT_EQ(first.read[static_cast<size_t>(k)], k % 4 == 0) << k;
    for (const int k : {0, 1, 700, 1500, WaveformSketch::Places - 1}) {
        const std::int64_t from = all.placeStart(k);
        for (int lane = 0; lane < all.lanes; ++lane) {
            float low = 0;
            float high = 0;
            for (std::int64_t f = from;
                 f < std::min<std::int64_t>(decoded.frames(), from + WaveformSketch::StretchFrames);
                 ++f) {
                const float v = decoded.samples[static_cast<size_t>(f * decoded.channels + lane)];
                low = std::min(low, v);
                high = std::max(high, v);
            }
            PeakPyramid::Peak p;
            ASSERT_TRUE(all.peakOver(lane, double(from), double(from + 1), p));
            EXPECT_NEAR(p.low / 32767.0, low, 0.003) << k << " " << lane;
            EXPECT_NEAR(p.high / 32767.0, high, 0.003) << k << " " << lane;
        }
    }
    // Between the places read, the nearest stands in.
    PeakPyramid::Peak near;
    ASSERT_TRUE(
        first.peakOver(0, double(first.placeStart(1)), double(first.placeStart(1) + 1), near));
    EXPECT_EQ(near, first.peaks[0]);
}

} // namespace

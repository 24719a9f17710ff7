#include "app/editor/WaveformEditor.h"

#include "app/Preview.h"
#include "app/editor/OverviewStrip.h"
#include "app/editor/PieceTableModel.h"
#include "app/editor/SegmentHistory.h"
#include "app/editor/WaveformCanvas.h"
#include "core/AppState.h"
#include "core/FramePosition.h"
#include "core/JobListModel.h"
#include "core/ReportListModel.h"
#include "core/RowSelection.h"
#include "engine/PiecePlan.h"
#include "engine/WaveformBuilder.h"
#include "engine/audio/ZeroCrossing.h"
#include "platform/Desktop.h"
#include "platform/Error.h"
#include "platform/SettingsFile.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <limits>

namespace {

// Often enough for a smooth playhead.
constexpr int TickMs = 30;
constexpr double ZoomStep = 2.0;

const QString NotEditableNote =
    QStringLiteral("Pieces are edited with the \"Custom\" or \"unification\" function, and not "
                   "while a run is busy.");

} // namespace

WaveformEditor::WaveformEditor(Links links, QWidget* parent)
    : QWidget(parent, Qt::Window), links_(std::move(links)), pieces_(links_.state) {
    setObjectName(QStringLiteral("waveformEditor"));
    setWindowTitle(tr("Edit waveform"));

    canvas_ = new WaveformCanvas(this);
    canvas_->setObjectName(QStringLiteral("waveformCanvas"));
    scroll_ = new QScrollBar(Qt::Horizontal, this);
    scroll_->setObjectName(QStringLiteral("waveformScroll"));
    model_ = new PieceTableModel(
        {[this](int row, std::int64_t begin, std::int64_t end) {
             return edit(tr("Type a time"), [&] { return pieces_.setRange(row, begin, end); });
         },
         [this](int row, const QString& title) {
             return edit(tr("Rename piece"), [&] { return pieces_.rename(row, title); });
         },
         [this](int row, const QString& artist) {
             return edit(tr("Set artist"), [&] { return pieces_.setArtist(row, artist); });
         }},
        this);
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("pieceTable"));
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed);
    table_->verticalHeader()->hide();
    // Times and numbers as wide as they are; the title takes what is left.
    table_->horizontalHeader()->setStretchLastSection(false);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(PieceTableModel::TitleColumn,
                                                     QHeaderView::Stretch);
    table_->horizontalHeader()->setSectionResizeMode(PieceTableModel::ArtistColumn,
                                                     QHeaderView::Interactive);
    table_->horizontalHeader()->resizeSection(PieceTableModel::ArtistColumn, 120);
    table_->setWordWrap(false);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("editorStatus"));
    status_->setWordWrap(true);
    adopt_ = new QPushButton(tr("Make these cuts segments"), this);
    adopt_->setObjectName(QStringLiteral("adoptPlan"));
    adopt_->setToolTip(tr("Turns the cuts the split function plans into segments of this "
                          "file that can be moved, renamed and removed; the function becomes "
                          "\"Custom\"."));
    adopt_->hide();
    connect(adopt_, &QPushButton::clicked, this, [this] { guarded([this] { adoptPlan(); }); });
    strip_ = new OverviewStrip(*canvas_, this);
    strip_->setObjectName(QStringLiteral("overviewStrip"));

    auto* wave = new QWidget(this);
    auto* waveLayout = new QVBoxLayout(wave);
    waveLayout->setContentsMargins(0, 0, 0, 0);
    waveLayout->setSpacing(0);
    waveLayout->addWidget(strip_);
    waveLayout->addSpacing(2);
    waveLayout->addWidget(canvas_, 1);
    waveLayout->addWidget(scroll_);
    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->addWidget(wave);
    splitter_->addWidget(table_);
    splitter_->setStretchFactor(0, 3);
    splitter_->setStretchFactor(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(splitter_, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(status_, 1);
    bottom->addWidget(adopt_);
    layout->addLayout(bottom);

    connect(canvas_, &WaveformCanvas::viewChanged, this, [this] {
        syncScrollBar();
        showStatus();
    });
    connect(scroll_, &QScrollBar::valueChanged, this, [this](int value) {
        if (syncingScroll_)
            return;
        canvas_->axis().setScrollValue(value);
        canvas_->axisChanged();
    });
    connect(canvas_, &WaveformCanvas::playheadMoved, this, [this] { showStatus(); });
    connect(canvas_, &WaveformCanvas::regionSelected, this, [this](int row) { select(row); });
    connect(canvas_, &WaveformCanvas::edgeDropped, this,
            [this](int row, bool begin, std::int64_t frame, bool snap) {
                const auto regions = pieces_.regions();
                if (row < 0 || row >= static_cast<int>(regions.size()))
                    return;
                if (snap) {
                    guarded([&] { frame = ZeroCrossing::NearestIn(pieces_.path(), frame); });
                }
                const EditorPieces::Region& r = regions[static_cast<size_t>(row)];
                if (!edit(tr("Move cut"), [&] {
                        return begin ? pieces_.setRange(row, frame, r.end)
                                     : pieces_.setRange(row, r.begin, frame);
                    }))
                    showStatus(tr("A piece must begin before it ends."));
            });
    connect(canvas_, &WaveformCanvas::regionDrawn, this,
            [this](std::int64_t begin, std::int64_t end) {
                int row = -1;
                if (edit(tr("New piece"), [&] {
                        row = pieces_.add(begin, end);
                        return row >= 0;
                    }))
                    select(row);
            });
    connect(canvas_, &WaveformCanvas::regionMoved, this, [this](int row, std::int64_t begin) {
        if (edit(tr("Move piece"), [&] { return pieces_.move(row, begin); }))
            select(row);
    });
    connect(canvas_, &WaveformCanvas::regionPlayRequested, this,
            [this](int row) { guarded([&] { playPiece(row); }); });
    connect(canvas_, &WaveformCanvas::renamed, this, [this](int row, const QString& title) {
        edit(tr("Rename piece"), [&] { return pieces_.rename(row, title); });
    });
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& index) {
                if (index.isValid() && index.row() != canvas_->selected()) {
                    canvas_->setSelected(index.row());
                    const auto regions = pieces_.regions();
                    if (index.row() < static_cast<int>(regions.size()))
                        canvas_->setPlayhead(regions[static_cast<size_t>(index.row())].begin);
                    showStatus();
                }
            });

    addKey("editorPlayStop", {QKeySequence(Qt::Key_Space)}, [this] { playOrStop(); });
    addKey("editorPlayCut", {QKeySequence(Qt::Key_C)}, [this] { playAroundCut(); });
    addKey("editorPlayPiece", {QKeySequence(Qt::Key_P)}, [this] { playSelected(); });
    addKey("editorBeginHere", {QKeySequence(Qt::Key_I)}, [this] { setBeginAtPlayhead(); });
    addKey("editorEndHere", {QKeySequence(Qt::Key_O)}, [this] { setEndAtPlayhead(); });
    addKey(
        "editorZoomIn",
        {QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal), QKeySequence::ZoomIn},
        [this] { zoomIn(); }, true);
    addKey(
        "editorZoomOut", {QKeySequence(Qt::Key_Minus), QKeySequence::ZoomOut},
        [this] { zoomOut(); }, true);
    addKey("editorZoomSelection", {QKeySequence(Qt::Key_Z)}, [this] { zoomToSelection(); });
    addKey("editorWholeFile", {QKeySequence(Qt::Key_F)}, [this] { showWholeFile(); });
    addKey("editorRemove", {QKeySequence(Qt::Key_Delete)}, [this] { removeSelected(); });
    addKey("editorRename", {QKeySequence(Qt::Key_F2)}, [this] { renameSelected(); });
    addKey("editorUndo", {QKeySequence(Qt::CTRL | Qt::Key_Z)}, [this] { links_.history.undo(); });
    addKey("editorRedo", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)},
           [this] { links_.history.redo(); });

    // The main window's changes, gathered into one look.
    sync_.setSingleShot(true);
    sync_.setInterval(0);
    connect(&sync_, &QTimer::timeout, this, &WaveformEditor::sync);
    const auto changed = [this] { sync_.start(); };
    for (QAbstractItemModel* model : {static_cast<QAbstractItemModel*>(&links_.lv),
                                      static_cast<QAbstractItemModel*>(&links_.lvTime)}) {
        connect(model, &QAbstractItemModel::dataChanged, this, changed);
        connect(model, &QAbstractItemModel::rowsInserted, this, changed);
        connect(model, &QAbstractItemModel::rowsRemoved, this, changed);
        connect(model, &QAbstractItemModel::modelReset, this, changed);
    }
    connect(&links_.lvSelection, &QItemSelectionModel::selectionChanged, this, changed);
    connect(&links_.builder, &WaveformBuilder::ready, this, changed);
    connect(&links_.builder, &WaveformBuilder::failed, this, changed);
    tick_.setInterval(TickMs);
    connect(&tick_, &QTimer::timeout, this, &WaveformEditor::tick);
    silencePool_.setMaxThreadCount(1);
    sketchPool_.setMaxThreadCount(1);
    // Wide enough for the waveform and every column of the table.
    resize(1180, 560);
    sync();
}

WaveformEditor::~WaveformEditor() {
    sketchWhileReading({}, false);
    sketchPool_.waitForDone();
    silencePool_.clear();
    silencePool_.waitForDone();
}

void WaveformEditor::sketchWhileReading(const QString& path, bool reading) {
    if (reading && path == sketchPath_)
        return;
    if (sketchCancel_)
        *sketchCancel_ = true;
    sketchCancel_.reset();
    sketchPath_.clear();
    canvas_->setSketch(nullptr);
    if (!reading)
        return;
    sketchPath_ = path;
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    sketchCancel_ = cancel;
    sketchPool_.start([this, path, cancel] {
        try {
            // Often enough to fill in visibly, seldom enough to cost nothing.
            WaveformSketch::Read(path, *cancel, 64,
                                 [this, path, cancel](std::shared_ptr<const WaveformSketch> s) {
                                     QMetaObject::invokeMethod(
                                         this,
                                         [this, path, cancel, s] {
                                             if (*cancel || path != sketchPath_)
                                                 return;
                                             canvas_->setSketch(s);
                                             strip_->update();
                                         },
                                         Qt::QueuedConnection);
                                 });
        } catch (const std::exception&) {
            // The builder says why the file cannot be drawn.
        }
    });
}

void WaveformEditor::addKey(const char* name, QList<QKeySequence> keys,
                            std::function<void()> command, bool autoRepeat) {
    auto* action = new QAction(this);
    action->setObjectName(QLatin1String(name));
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    action->setAutoRepeat(autoRepeat);
    connect(action, &QAction::triggered, this,
            [this, command = std::move(command)] { guarded([&] { command(); }); });
    addAction(action);
}

template <typename F> void WaveformEditor::guarded(F&& action) {
    try {
        action();
    } catch (const Error& e) {
        links_.desktop.showError(e.message());
    } catch (const std::exception& e) {
        links_.desktop.showError(QString::fromLocal8Bit(e.what()));
    }
}

void WaveformEditor::sync() {
    sync_.stop();
    const int file = RowSelection(links_.lvSelection).selectedBelow(links_.lv.count());
    pieces_.setFile(file);
    const QString path = pieces_.path();
    if (file != shownFile_ || path != shownPath_) {
        shownFile_ = file;
        shownPath_ = path;
        canvas_->setOverview(nullptr);
        canvas_->setFile(path, pieces_.frames(), std::max(pieces_.rate(), 1));
        setWindowTitle(path.isEmpty() ? tr("Edit waveform")
                                      : tr("Edit waveform - %1").arg(QFileInfo(path).fileName()));
    }
    std::shared_ptr<const AudioOverview> overview;
    if (!path.isEmpty()) {
        overview = links_.builder.overview(path);
        if (!overview && links_.builder.failure(path).isEmpty())
            links_.builder.request(path, true);
    }
    canvas_->setOverview(overview);
    sketchWhileReading(path,
                       !path.isEmpty() && !overview && links_.builder.failure(path).isEmpty());
    findSilences(overview);
    const bool found = silencesFound();
    // Cuts at silences, or moved to them, wait for the silences, so no cut
    // is shown that the run would not make; the other plans need none.
    auto regions = PiecePlan::NeedsSilences(links_.state) && !found
                       ? std::vector<EditorPieces::Region>{}
                       : pieces_.regions(found ? silences_ : std::vector<Silence>{});
    model_->setPieces(regions, std::max(pieces_.rate(), 1), pieces_.editable());
    canvas_->setRegions(std::move(regions), pieces_.editable());
    adopt_->setVisible(pieces_.showsPlan() && !canvas_->regions().empty());
    adopt_->setEnabled(!links_.state.Busy);
    if (!tableFitted_ && isVisible())
        fitTable();
    if (canvas_->selected() >= 0 && table_->currentIndex().row() != canvas_->selected())
        table_->selectRow(canvas_->selected());
    if (links_.state.Playing && !tick_.isActive())
        tick_.start();
    showStatus();
}

bool WaveformEditor::silencesFound() const {
    return canvas_->overview() && silenceKey_.overview == canvas_->overview() &&
           silenceKey_.threshold == links_.state.SilenceThreshold &&
           silenceKey_.minimumMs == links_.state.SilenceMinimumMs;
}

void WaveformEditor::findSilences(const std::shared_ptr<const AudioOverview>& overview) {
    if (!overview) {
        silenceKey_ = pendingSilences_ = {};
        silences_.clear();
        canvas_->setSilences({});
        return;
    }
    const SilenceKey key{overview, links_.state.SilenceThreshold, links_.state.SilenceMinimumMs};
    if (key == silenceKey_ || key == pendingSilences_)
        return;
    pendingSilences_ = key;
    if (silenceKey_.overview != overview)
        canvas_->setSilences({});
    // A long file's silences take a moment; the window stays live meanwhile.
    silencePool_.clear();
    silencePool_.start([this, overview, key] {
        std::vector<Silence> found =
            SilenceFinder::Find(*overview, {static_cast<double>(key.threshold), key.minimumMs});
        QMetaObject::invokeMethod(
            this,
            [this, key, found = std::move(found)]() mutable {
                if (!(key == pendingSilences_))
                    return;
                pendingSilences_ = {};
                silenceKey_ = key;
                silences_ = std::move(found);
                const std::int32_t rate = std::max(pieces_.rate(), 1);
                const std::int64_t frames = pieces_.frames();
                std::vector<std::pair<std::int64_t, std::int64_t>> shaded;
                for (const Silence& s : silences_)
                    shaded.emplace_back(FramePosition::OfMilliseconds(s.beginMs, rate, frames),
                                        FramePosition::OfMilliseconds(s.endMs, rate, frames));
                canvas_->setSilences(std::move(shaded));
                sync();
            },
            Qt::QueuedConnection);
    });
}

void WaveformEditor::fitTable() {
    QHeaderView* header = table_->horizontalHeader();
    int needed = table_->frameWidth() * 2 + 4;
    if (table_->verticalScrollBar())
        needed += table_->verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < PieceTableModel::Columns; ++c) {
        if (c == PieceTableModel::TitleColumn) {
            // The longest title whole, and room for a fair one when there is none.
            int title = header->fontMetrics().horizontalAdvance(tr("Title")) + 24;
            for (const EditorPieces::Region& r : model_->pieces())
                title = std::max(title, table_->fontMetrics().horizontalAdvance(r.title) + 16);
            needed += std::max(title, 180);
        } else if (c == PieceTableModel::ArtistColumn) {
            needed += header->sectionSize(c);
        } else {
            int column = std::max(header->sectionSizeHint(c), header->sectionSize(c));
            for (int row = 0; row < model_->rowCount(); ++row)
                column = std::max(column, table_->fontMetrics().horizontalAdvance(
                                              model_->index(row, c).data().toString()) +
                                              16);
            needed += column;
        }
    }
    const int total = splitter_->width() - splitter_->handleWidth();
    // The waveform keeps at least half the window.
    const int tableWidth = std::min(needed, total / 2);
    splitter_->setSizes({total - tableWidth, tableWidth});
    tableFitted_ = true;
}

void WaveformEditor::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!tableFitted_)
        fitTable();
}

void WaveformEditor::select(int row) {
    canvas_->setSelected(row);
    if (row < 0)
        table_->clearSelection();
    else if (table_->currentIndex().row() != row)
        table_->selectRow(row);
    showStatus();
}

bool WaveformEditor::edit(const QString& text, const std::function<bool()>& change) {
    if (!pieces_.editable()) {
        showStatus(NotEditableNote);
        return false;
    }
    // Whatever changed elsewhere meanwhile is its own step.
    links_.history.commit(tr("Edit segments"));
    if (!change())
        return false;
    links_.history.commit(text);
    if (links_.changed)
        links_.changed();
    sync();
    return true;
}

void WaveformEditor::tick() {
    const std::int64_t played = links_.preview.PlayedFrame();
    if (played >= 0) {
        canvas_->setPlayhead(played);
        canvas_->axis().follow(played);
        canvas_->axisChanged();
        showStatus();
    } else {
        tick_.stop();
    }
}

void WaveformEditor::syncScrollBar() {
    const TimeAxis& axis = canvas_->axis();
    syncingScroll_ = true;
    scroll_->setRange(0, axis.scrollMaximum());
    scroll_->setPageStep(axis.scrollPage());
    scroll_->setSingleStep(std::max(1, axis.scrollPage() / 10));
    scroll_->setValue(axis.scrollValue());
    syncingScroll_ = false;
}

QString WaveformEditor::statusText() const {
    return status_->text();
}

void WaveformEditor::showStatus(const QString& note) {
    if (!note.isNull())
        note_ = note;
    const TimeAxis& axis = canvas_->axis();
    QString text = tr("Playhead %1").arg(TimeAxis::ClockText(canvas_->playhead(), axis.rate()));
    const double perPixel = axis.framesPerPixel();
    text += perPixel >= 1
                ? tr("  ·  %1 frames a pixel").arg(perPixel, 0, 'f', perPixel < 10 ? 1 : 0)
                : tr("  ·  %1 pixels a frame").arg(1.0 / perPixel, 0, 'f', 1);
    const auto& regions = canvas_->regions();
    if (canvas_->selected() >= 0 && canvas_->selected() < static_cast<int>(regions.size())) {
        const EditorPieces::Region& r = regions[static_cast<size_t>(canvas_->selected())];
        text += tr("  ·  piece %1: %2 - %3 (frames %4 - %5)")
                    .arg(r.number)
                    .arg(TimeAxis::ClockText(r.begin, axis.rate()),
                         TimeAxis::ClockText(r.end, axis.rate()))
                    .arg(r.begin)
                    .arg(r.end);
    }
    if (const QString failure = links_.builder.failure(shownPath_); !failure.isEmpty())
        text += tr("  ·  Cannot draw the waveform: %1").arg(failure);
    else if (!shownPath_.isEmpty() && !links_.builder.overview(shownPath_))
        text += tr("  ·  Reading the waveform...");
    if (!note_.isEmpty())
        text += QStringLiteral("  ·  ") + note_;
    status_->setText(text);
}

void WaveformEditor::playOrStop() {
    if (links_.state.Playing) {
        const std::int64_t played = links_.preview.PlayedFrame();
        if (links_.stopPlayback)
            links_.stopPlayback();
        // The playhead stays where the listening stopped.
        if (played >= 0)
            canvas_->setPlayhead(played);
        return;
    }
    if (links_.state.Busy || shownFile_ < 0)
        return;
    links_.preview.PlayFrames(canvas_->playhead(), -1);
    if (links_.state.Playing)
        tick_.start();
}

void WaveformEditor::playAroundCut() {
    const auto regions = canvas_->regions();
    if (regions.empty() || links_.state.Busy)
        return;
    const std::int64_t at = canvas_->playhead();
    std::int64_t cut = regions.front().begin;
    for (const EditorPieces::Region& r : regions)
        for (const std::int64_t edge : {r.begin, r.end})
            if (std::llabs(edge - at) < std::llabs(cut - at))
                cut = edge;
    if (links_.state.Playing && links_.stopPlayback)
        links_.stopPlayback();
    // One second before the cut and one after.
    const std::int64_t rate = std::max(pieces_.rate(), 1);
    const std::int64_t from = std::max<std::int64_t>(0, cut - rate);
    canvas_->axis().follow(cut);
    canvas_->axisChanged();
    links_.preview.PlayFrames(from, std::min(pieces_.frames(), cut + rate));
    canvas_->setPlayhead(from);
    if (links_.state.Playing)
        tick_.start();
}

void WaveformEditor::playPiece(int row) {
    const auto regions = canvas_->regions();
    if (row < 0 || row >= static_cast<int>(regions.size()) || links_.state.Busy)
        return;
    if (links_.state.Playing && links_.stopPlayback)
        links_.stopPlayback();
    const EditorPieces::Region& r = regions[static_cast<size_t>(row)];
    select(row);
    canvas_->axis().follow(r.begin);
    canvas_->axisChanged();
    links_.preview.PlayFrames(r.begin, std::max(r.begin + 1, r.end));
    canvas_->setPlayhead(r.begin);
    if (links_.state.Playing)
        tick_.start();
}

void WaveformEditor::playSelected() {
    playPiece(canvas_->selected());
}

void WaveformEditor::adoptPlan() {
    if (!pieces_.showsPlan() || links_.state.Busy)
        return;
    const std::int32_t function = links_.state.FunctionChoice;
    links_.history.commit(tr("Edit segments"));
    if (!pieces_.adoptPlan(silencesFound() ? silences_ : std::vector<Silence>{}))
        return;
    links_.history.commit(tr("Make cuts segments"), function);
    if (links_.changed)
        links_.changed();
    sync();
    showStatus(tr("The cuts are segments of this file now; the function is \"Custom\"."));
}

void WaveformEditor::setBeginAtPlayhead() {
    const int row = canvas_->selected();
    const auto regions = pieces_.regions();
    if (row < 0 || row >= static_cast<int>(regions.size()))
        return;
    const std::int64_t at = canvas_->playhead();
    if (!edit(tr("Set begin"),
              [&] { return pieces_.setRange(row, at, regions[static_cast<size_t>(row)].end); }))
        showStatus(tr("A piece must begin before it ends."));
}

void WaveformEditor::setEndAtPlayhead() {
    const int row = canvas_->selected();
    const auto regions = pieces_.regions();
    if (row < 0 || row >= static_cast<int>(regions.size()))
        return;
    const std::int64_t at = canvas_->playhead();
    if (!edit(tr("Set end"),
              [&] { return pieces_.setRange(row, regions[static_cast<size_t>(row)].begin, at); }))
        showStatus(tr("A piece must begin before it ends."));
}

void WaveformEditor::zoomIn() {
    TimeAxis& axis = canvas_->axis();
    const double head = axis.xOf(canvas_->playhead());
    axis.zoomBy(ZoomStep, head >= 0 && head <= axis.width() ? head : axis.width() / 2.0);
    canvas_->axisChanged();
}

void WaveformEditor::zoomOut() {
    TimeAxis& axis = canvas_->axis();
    const double head = axis.xOf(canvas_->playhead());
    axis.zoomBy(1 / ZoomStep, head >= 0 && head <= axis.width() ? head : axis.width() / 2.0);
    canvas_->axisChanged();
}

void WaveformEditor::zoomToSelection() {
    const int row = canvas_->selected();
    const auto& regions = canvas_->regions();
    if (row < 0 || row >= static_cast<int>(regions.size()))
        return;
    canvas_->axis().zoomTo(regions[static_cast<size_t>(row)].begin,
                           regions[static_cast<size_t>(row)].end);
    canvas_->axisChanged();
}

void WaveformEditor::showWholeFile() {
    canvas_->axis().showWholeFile();
    canvas_->axisChanged();
}

void WaveformEditor::removeSelected() {
    const int row = canvas_->selected();
    if (row < 0)
        return;
    if (edit(tr("Remove piece"), [&] { return pieces_.remove(row); }))
        select(-1);
}

void WaveformEditor::renameSelected() {
    const int row = canvas_->selected();
    if (row < 0 || !pieces_.editable())
        return;
    table_->setFocus();
    table_->edit(model_->index(row, PieceTableModel::TitleColumn));
}

void WaveformEditor::restorePlace(const QWidget& main) {
    SettingsFile* settings = links_.settings ? links_.settings() : nullptr;
    const int width =
        settings ? settings->ReadInteger(SettingsSection, QStringLiteral("Width"), 0) : 0;
    const int height =
        settings ? settings->ReadInteger(SettingsSection, QStringLiteral("Height"), 0) : 0;
    if (width >= 200 && height >= 150) {
        const QPoint at(settings->ReadInteger(SettingsSection, QStringLiteral("Left"), 0),
                        settings->ReadInteger(SettingsSection, QStringLiteral("Top"), 0));
        resize(width, height);
        // A place on a screen that is gone is given up.
        if (QGuiApplication::screenAt(at + QPoint(20, 20)))
            move(at);
        return;
    }
    move(main.frameGeometry().topRight() + QPoint(10, 0));
}

void WaveformEditor::savePlace() {
    SettingsFile* settings = links_.settings ? links_.settings() : nullptr;
    if (!settings)
        return;
    settings->WriteInteger(SettingsSection, QStringLiteral("Left"), x());
    settings->WriteInteger(SettingsSection, QStringLiteral("Top"), y());
    settings->WriteInteger(SettingsSection, QStringLiteral("Width"), width());
    settings->WriteInteger(SettingsSection, QStringLiteral("Height"), height());
}

void WaveformEditor::closeEvent(QCloseEvent* event) {
    savePlace();
    QWidget::closeEvent(event);
}

void WaveformEditor::hideEvent(QHideEvent* event) {
    savePlace();
    QWidget::hideEvent(event);
}

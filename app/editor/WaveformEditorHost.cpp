#include "app/editor/WaveformEditorHost.h"

#include "app/MenuIcons.h"
#include "app/SegmentEditor.h"
#include "app/Tfm_main.h"
#include "app/WaveformPanel.h"
#include "app/WaveformView.h"
#include "app/editor/SegmentHistory.h"
#include "app/editor/WaveformEditor.h"
#include "app/skin/Skin.h"
#include "core/JobListModel.h"
#include "core/ReportListModel.h"
#include "core/RowSelection.h"
#include "platform/Desktop.h"

#include <QAction>
#include <QMenu>
#include <QMouseEvent>

WaveformEditorHost::WaveformEditorHost(Tfm_main& main) : main_(main) {
    history_ = new SegmentHistory(
        main.state(), main.lvTimeModel(), [this] { showChange(); }, this);

    QAction* openKey =
        addKey("keyEditWaveform", QKeySequence(Qt::CTRL | Qt::Key_E), &WaveformEditorHost::open);
    addKey("keyUndo", QKeySequence(Qt::CTRL | Qt::Key_Z), &WaveformEditorHost::undo);
    addKey("keyRedo", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), &WaveformEditorHost::redo);

    // After "ID3 info", the other command on the selected file.
    auto* item = new QAction(MenuCaption, main.p_action);
    item->setObjectName(QStringLiteral("EditWaveform1Click"));
    item->setShortcut(openKey->shortcut());
    item->setShortcutContext(Qt::WidgetShortcut);
    // The window paints its menu items' icons in the skin's colours by this.
    item->setProperty("menuGlyph", static_cast<int>(MenuIcons::Glyph::Waveform));
    item->setIcon(MenuIcons::icon(MenuIcons::Glyph::Waveform,
                                  main.p_action->palette().color(QPalette::WindowText),
                                  main.p_action->palette().color(QPalette::Window)));
    connect(item, &QAction::triggered, this, &WaveformEditorHost::open);
    const QList<QAction*> actions = main.p_action->actions();
    QAction* before = nullptr;
    for (qsizetype i = 0; i + 1 < actions.size(); ++i)
        if (actions[i]->objectName() == QLatin1String("ID31Click"))
            before = actions[i + 1];
    main.p_action->insertAction(before, item);

    main.Skin1->installEventFilter(this);
    main.installEventFilter(this);
}

WaveformEditorHost::~WaveformEditorHost() {
    delete editor_.data();
}

WaveformEditor* WaveformEditorHost::editor() const {
    return editor_.data();
}

QAction* WaveformEditorHost::addKey(const char* name, const QKeySequence& key,
                                    void (WaveformEditorHost::*command)()) {
    auto* action = new QAction(&main_);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, [this, command] { (this->*command)(); });
    main_.addAction(action);
    return action;
}

void WaveformEditorHost::open() {
    if (RowSelection(main_.lvSelection()).selectedBelow(main_.lvModel().count()) < 0) {
        main_.desktop().warning(NoFileMessage);
        return;
    }
    if (!editor_) {
        WaveformEditor::Links links{main_.state(),
                                    main_.desktop(),
                                    main_.lvModel(),
                                    main_.lvSelection(),
                                    main_.lvTimeModel(),
                                    main_.waveform().builder(),
                                    main_.preview(),
                                    *history_,
                                    [this] { showChange(); },
                                    [this] {
                                        if (main_.state().Playing)
                                            main_.StopPlayback();
                                    },
                                    [this] { return main_.settings(); }};
        editor_ = new WaveformEditor(std::move(links), &main_);
        editor_->setWindowIcon(main_.windowIcon());
        editor_->restorePlace(main_);
    }
    editor_->sync();
    editor_->show();
    editor_->raise();
    editor_->activateWindow();
}

void WaveformEditorHost::undo() {
    history_->undo();
}

void WaveformEditorHost::redo() {
    history_->redo();
}

void WaveformEditorHost::showChange() {
    main_.segmentEditor().ShowSegments();
    main_.ShowTotalTime();
    main_.waveform().refresh();
    if (editor_)
        editor_->sync();
}

bool WaveformEditorHost::eventFilter(QObject* watched, QEvent* event) {
    if (watched == main_.Skin1 && event->type() == QEvent::MouseButtonDblClick) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const WaveformView* strip = main_.waveform().view();
        if (mouse->button() == Qt::LeftButton && strip->isVisible() &&
            strip->geometry().contains(mouse->position().toPoint())) {
            open();
            return true;
        }
    } else if (watched == &main_ && event->type() == QEvent::Close && editor_) {
        editor_->close();
    }
    return QObject::eventFilter(watched, event);
}

#include "app/Shortcuts.h"

#include "app/Tfm_main.h"
#include "app/skin/Skin.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTreeView>

#include <utility>

Shortcuts::Shortcuts(Tfm_main& window) : QObject(&window), window_(window) {
    auto click = [this](const char* name) {
        return [this, name] { window_.Skin1Click(QLatin1String(name)); };
    };
    add({"keyAddFile",
         {QKeySequence(Qt::CTRL | Qt::Key_O)},
         click("addfile"),
         {"addfile"},
         {"AddFile1Click", "AddFile2Click"}});
    add({"keyAddFolder",
         {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O)},
         [this] { window_.AddFolder2Click(); },
         {},
         {"AddFolder1Click", "AddFolder2Click"}});
    // One key for both: it stops what plays and plays what does not.
    add({"keyPlayStop",
         {QKeySequence(Qt::Key_Space)},
         [this] { playOrStop(); },
         {"play", "stop"},
         {}});
    add({"keyStepBack", {QKeySequence(Qt::Key_Left)}, click("hou"), {"hou"}, {}, true});
    add({"keyStepForward", {QKeySequence(Qt::Key_Right)}, click("qian"), {"qian"}, {}, true});
    add({"keyBegin", {QKeySequence(Qt::Key_BracketLeft)}, click("Begin"), {"Begin"}, {}});
    add({"keyEnd", {QKeySequence(Qt::Key_BracketRight)}, click("End"), {"End"}, {}});
    add({"keyOk",
         {QKeySequence(Qt::Key_Enter), QKeySequence(Qt::Key_Return)},
         click("Ok"),
         {"Ok"},
         {}});
    add({"keyRemove",
         {QKeySequence(Qt::Key_Delete)},
         click("Remove"),
         {"Remove"},
         {"Remove1Click", "Remove2Click", "Remove3Click"}});
    add({"keyClear",
         {QKeySequence(Qt::CTRL | Qt::Key_Delete)},
         click("Clear"),
         {"Clear"},
         {"Clear1Click", "Clear2Click"}});
    add({"keySplit", {QKeySequence(Qt::CTRL | Qt::Key_S)}, click("Split"), {"Split"}, {}});
    // The menu's Cutter: the same run, the output folder left closed.
    add({"keyCutter",
         {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
         [this] { window_.Start1Click(); },
         {},
         {"Start1Click"}});
    add({"keyJoin", {QKeySequence(Qt::CTRL | Qt::Key_J)}, click("Join"), {"Join"}, {}});
    add({"keyStop",
         {QKeySequence(Qt::Key_Escape)},
         click("Stop"),
         {"Stop"},
         {"Stop1Click", "Stop2Click"}});
    add({"keySettings",
         {QKeySequence(Qt::CTRL | Qt::Key_Comma)},
         click("Settings"),
         {"Settings", "Set"},
         {}});
    add({"keyHelp",
         {QKeySequence(Qt::Key_F1)},
         click("helpfile"),
         {"helpfile"},
         {"Content1Click"}});
    add({"keyQuit",
         {QKeySequence(Qt::CTRL | Qt::Key_Q)},
         [this] { window_.Exit1Click(); },
         {},
         {"Exit1Click"}});

    // Every key passes here first, so a key the focused widget takes for
    // itself is kept from the shortcuts.
    qApp->installEventFilter(this);

    // Reading order: the file list, the segment list, the output folder,
    // the format.
    QWidget::setTabOrder(window_.lv, window_.lv_time);
    QWidget::setTabOrder(window_.lv_time, window_.edt_dir);
    QWidget::setTabOrder(window_.edt_dir, window_.cb_format);
}

void Shortcuts::add(Entry entry) {
    auto* action = new QAction(&window_);
    action->setObjectName(entry.name);
    action->setShortcuts(entry.keys);
    action->setShortcutContext(Qt::WindowShortcut);
    action->setAutoRepeat(entry.autoRepeat);
    connect(action, &QAction::triggered, this, [command = entry.command] { command(); });
    window_.addAction(action);
    showInMenus(entry);
    entries_.push_back(std::move(entry));
}

void Shortcuts::showInMenus(const Entry& entry) {
    for (QMenu* menu : {window_.p_lv, window_.p_file, window_.p_action, window_.p_help}) {
        for (QAction* item : menu->actions()) {
            if (!entry.menuItems.contains(item->objectName()))
                continue;
            // Shown beside the caption; the window's own action takes the key,
            // and inside an open menu the item's does.
            item->setShortcut(entry.keys.front());
            item->setShortcutContext(Qt::WidgetShortcut);
        }
    }
}

QString Shortcuts::keyText(const Entry& entry) {
    return entry.keys.front().toString(QKeySequence::NativeText);
}

void Shortcuts::showInToolTips() {
    for (const Entry& entry : entries_) {
        const QString suffix = QStringLiteral(" (") + keyText(entry) + QLatin1Char(')');
        for (const QString& name : entry.skinObjects) {
            SkinObject* object = window_.Skin1->FindObject(name);
            if (object->isDetached() || object->toolTip().endsWith(suffix))
                continue;
            object->setToolTip(object->toolTip() + suffix);
        }
    }
}

void Shortcuts::playOrStop() {
    if (!window_.state().Playing && !window_.state().Busy) {
        // The list with the focus says what plays: its file, or its segment.
        const QWidget* focus = QApplication::focusWidget();
        if (focus == window_.lv)
            window_.lvClick();
        else if (focus == window_.lv_time)
            window_.lv_timeClick();
    }
    window_.Skin1Click(QLatin1String(window_.state().Playing ? "stop" : "play"));
}

bool Shortcuts::TakenBy(const QWidget& widget, const QKeyEvent& key) {
    const Qt::KeyboardModifiers commands = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (key.modifiers() & commands)
        return false;
    const int code = key.key();
    const auto* list = qobject_cast<const QComboBox*>(&widget);
    const bool textField =
        qobject_cast<const QLineEdit*>(&widget) || qobject_cast<const QAbstractSpinBox*>(&widget) ||
        qobject_cast<const QTextEdit*>(&widget) || qobject_cast<const QPlainTextEdit*>(&widget) ||
        (list && list->isEditable());
    if (textField) {
        // Typing, moving the caret, deleting and Enter; not the keys that
        // leave the field or ask for something else.
        const bool functionKey = code >= Qt::Key_F1 && code <= Qt::Key_F35;
        return !functionKey && code != Qt::Key_Escape && code != Qt::Key_Tab &&
               code != Qt::Key_Backtab;
    }
    if (list) {
        // The keys that choose an entry, open the list and confirm the choice.
        switch (code) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
        case Qt::Key_F4:
            return true;
        default:
            return false;
        }
    }
    return false;
}

bool Shortcuts::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride && watched->isWidgetType()) {
        const auto* widget = static_cast<QWidget*>(watched);
        if (widget->window() == &window_ && TakenBy(*widget, *static_cast<QKeyEvent*>(event)))
            event->accept();
    }
    return QObject::eventFilter(watched, event);
}

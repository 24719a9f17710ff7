#include "app/Shortcuts.h"

#include "app/Tfm_main.h"
#include "app/skin/Skin.h"

#include <QAction>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
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
         [this] { window_.Skin1Click(QLatin1String(window_.state().Playing ? "stop" : "play")); },
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

    // The lists keep Space for themselves (it selects the current row), the
    // folder field keeps Enter: typing a folder must not confirm a segment.
    for (QWidget* widget :
         {static_cast<QWidget*>(window_.lv), static_cast<QWidget*>(window_.lv_time),
          static_cast<QWidget*>(window_.edt_dir)})
        widget->installEventFilter(this);

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

bool Shortcuts::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool plain =
            key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier;
        const bool list = watched == window_.lv || watched == window_.lv_time;
        if (plain && list && key->key() == Qt::Key_Space)
            event->accept();
        if (plain && watched == window_.edt_dir &&
            (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter))
            event->accept();
    }
    return QObject::eventFilter(watched, event);
}

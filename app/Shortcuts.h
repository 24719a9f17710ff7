#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QAction;
class QKeyEvent;
class Tfm_main;

// The keyboard: a shortcut for every main action of the window. Each one
// runs the command of its skin object or menu item, so it is refused under
// the same guard as a click. The keys show in the tooltips of the skin
// objects and in the menu items of the same command.
//
// A key that the widget with the focus uses itself is left to it: the format
// box keeps the keys that choose and confirm a format, a text field keeps
// whatever is typed. Open menus, drop-down lists and dialogs are windows of
// their own, where the window's shortcuts never act.
class Shortcuts : public QObject {
    Q_OBJECT

public:
    struct Entry {
        QString name; // the action's object name
        QList<QKeySequence> keys;
        std::function<void()> command;
        QStringList skinObjects; // whose tooltips name the key
        QStringList menuItems;   // the menu actions (object names) that show it
        bool autoRepeat = false;
    };

    explicit Shortcuts(Tfm_main& window);

    const std::vector<Entry>& entries() const { return entries_; }
    // The key as the tooltips, the menus and the user guide show it.
    static QString keyText(const Entry& entry);

    // Appends the keys to the skin objects' tooltips; called once the skin's
    // tooltips are in place.
    void showInToolTips();

    // Whether `widget`, holding the focus, takes `key` for itself.
    static bool TakenBy(const QWidget& widget, const QKeyEvent& key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void add(Entry entry);
    void showInMenus(const Entry& entry);
    void playOrStop();

    Tfm_main& window_;
    std::vector<Entry> entries_;
};

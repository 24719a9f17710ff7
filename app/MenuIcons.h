#pragma once

#include <QColor>
#include <QIcon>

// The popup menus' icons, drawn as plain line glyphs in the menu's own
// colours, so they read on whatever background the skin gives the menus
// (the desktop's icon theme is drawn for its own colours, not the skin's).
class MenuIcons {
public:
    enum class Glyph {
        AddFile,
        AddFolder,
        Clear,
        Remove,
        Tags,
        Up,
        Down,
        Stop,
        Cutter,
        Exit,
        Help,
        Web,
        About,
        ImportSegments,
        ExportSegments,
        Waveform,
    };

    // `normal` draws the glyph on the menu, `selected` on the item under the
    // mouse.
    static QIcon icon(Glyph glyph, const QColor& normal, const QColor& selected);
};

#pragma once

#include "app/skin/ISkinElement.h"

#include <QString>

class ISkinText;
struct SkinObjects;

// The window's run display on the skin: the percentage text "pbpos" and the
// bar "convertpb", whose width follows the progress from its left edge. The
// runs only report text and progress (RunHost); this draws them.
class RunProgress {
public:
    // Takes the bar's base rectangle from the skin now. Only its left, top
    // and bottom edges matter, and a run never changes those. Missing objects
    // are skipped.
    RunProgress(ISkinText* pbpos, ISkinElement* pbposElement, ISkinElement* convertpb,
                const bool& skinFlag);
    RunProgress(const SkinObjects& skin, const bool& skinFlag);

    // v in hundredths of a percent, 0..10000; 10000 shows as an empty bar.
    void SetRunProgress(int v);
    // The "pbpos" text, redrawn at once.
    void SetText(const QString& text);

    // Bar widths at 100 %: the wide and the narrow skin.
    static constexpr int WideBar = 501;
    static constexpr int NarrowBar = 454;

private:
    ISkinText* pbpos_;
    ISkinElement* pbposElement_;
    ISkinElement* convertpb_;
    const bool& skinFlag_;
    SkinRect base_;
};

#include "app/RunProgress.h"

#include "app/SkinObjects.h"
#include "app/skin/ISkinText.h"
#include "platform/MulDiv.h"

#include <algorithm>

RunProgress::RunProgress(ISkinText* pbpos, ISkinElement* pbposElement, ISkinElement* convertpb,
                         const bool& skinFlag)
    : pbpos_(pbpos), pbposElement_(pbposElement), convertpb_(convertpb), skinFlag_(skinFlag) {
    if (convertpb_)
        base_ = convertpb_->GetRect();
}

RunProgress::RunProgress(const SkinObjects& skin, const bool& skinFlag)
    : RunProgress(skin.pbpos, skin.pbposElement, skin.convertpbElement, skinFlag) {}

void RunProgress::SetRunProgress(int v) {
    if (!convertpb_)
        return;
    if (v == 10000)
        v = 0;
    const int full = skinFlag_ ? WideBar : NarrowBar;
    int width = MulDiv(v, full, 10000);
    if (!skinFlag_ && width > NarrowBar)
        return;
    // Out-of-range values would draw the bar backwards or past the window.
    width = std::clamp(width, 0, full);
    SkinRect rect = base_;
    rect.right = rect.left + width;
    convertpb_->SetRect(rect);
    convertpb_->Refresh();
}

void RunProgress::SetText(const QString& text) {
    if (pbpos_)
        pbpos_->SetText(text);
    if (pbposElement_)
        pbposElement_->Refresh();
}

#pragma once

class ISkinElement;
class ISkinScrollBar;
class ISkinText;

// The five skin objects the program drives, looked up once when the skin is
// set up. The skin control hands out an object that ignores every call for a
// name the skin lacks, so none of these is ever null once set up.
struct SkinObjects {
    ISkinScrollBar* pb = nullptr;
    ISkinElement* pbElement = nullptr;
    ISkinText* timecaption = nullptr;
    ISkinElement* timecaptionElement = nullptr;
    ISkinText* tataltime = nullptr;
    ISkinElement* tataltimeElement = nullptr;
    ISkinText* pbpos = nullptr;
    ISkinElement* pbposElement = nullptr;
    ISkinText* convertpb = nullptr;
    ISkinElement* convertpbElement = nullptr;
};

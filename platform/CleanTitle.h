#pragma once

#include <QString>

// Makes a title fit to become part of an output file name: the characters a
// file name cannot hold (* ? | : " / \ < >) are removed, and a line break or
// any other control character becomes a blank (none at either end). Dots at
// its start stay: a title keeps them; file names lose them (VisibleName).
QString CleanTitle(const QString& title);

#pragma once

#include <QString>

// Makes a title fit to become part of an output file name: the characters a
// file name cannot hold (* ? | : " / \ < >) are removed, a line break or any
// other control character becomes a blank (none at either end), and dots at
// the start go, since a name that begins with one is hidden.
QString CleanTitle(const QString& title);

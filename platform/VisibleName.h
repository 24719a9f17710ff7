#pragma once

#include <QString>

// A name fit for a file that shows: the dots at its start, and the blanks
// among them, go, since a name that begins with a dot is hidden ("...",
// "../../escape" and " .5 mix" give "", "escape" and "5 mix").
QString VisibleName(const QString& name);

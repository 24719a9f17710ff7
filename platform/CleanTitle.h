#pragma once

#include <QString>

// Removes the characters a file name cannot hold (* ? | : " / \ < >), so a
// title can become part of an output file name.
QString CleanTitle(const QString& title);

#pragma once

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

// Runs `check` on every file of a test corpus, naming the file in its
// failures. A file that could not be made fails; files whose program this
// machine lacks skip the test once the others have been checked.
template <typename Files, typename Check> void ForEachCorpusFile(const Files& files, Check check) {
    QStringList skipped;
    for (const auto& file : files) {
        if (!file.skipped.isEmpty()) {
            skipped << file.name + QStringLiteral(": ") + file.skipped;
            continue;
        }
        SCOPED_TRACE(file.name.toStdString());
        if (!file.failure.isEmpty()) {
            ADD_FAILURE() << "not made: " << file.failure.toStdString();
            continue;
        }
        check(file);
    }
    if (!skipped.isEmpty())
        GTEST_SKIP() << skipped.join(QStringLiteral("; ")).toStdString();
}

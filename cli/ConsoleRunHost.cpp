#include "cli/ConsoleRunHost.h"

#include <cstdio>

ConsoleRunHost::ConsoleRunHost(bool showProgress) : show_(showProgress) {}

ConsoleRunHost::~ConsoleRunHost() {
    clearLine();
}

void ConsoleRunHost::setFile(const QString& name) {
    file_ = name;
    underWay_.clear();
}

void ConsoleRunHost::clearLine() {
    if (!lineShown_)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    lineShown_ = false;
    shownLine_.clear();
}

void ConsoleRunHost::PieceStarted(int file, int row, int rows, const QString& note) {
    ModelRunHost::PieceStarted(file, row, rows, note);
    underWay_.insert(row);
    rows_ = rows;
}

void ConsoleRunHost::PieceEnded(const RunOutcome::Piece& piece) {
    ModelRunHost::PieceEnded(piece);
    underWay_.erase(piece.row);
}

void ConsoleRunHost::SetRunText(const QString& text) {
    ModelRunHost::SetRunText(text);
    if (!show_)
        return;
    if (text.isEmpty()) {
        clearLine();
        return;
    }
    const QString piece =
        underWay_.empty()
            ? QString()
            : QStringLiteral("piece %1 of %2: ").arg(*underWay_.begin() + 1).arg(rows_);
    const QString line = file_ + QStringLiteral(": ") + piece + text;
    // Every block reports; the line changes far less often.
    if (lineShown_ && line == shownLine_)
        return;
    shownLine_ = line;
    std::fprintf(stderr, "\r\033[K%s", qPrintable(line));
    std::fflush(stderr);
    lineShown_ = true;
}

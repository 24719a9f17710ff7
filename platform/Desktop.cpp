#include "platform/Desktop.h"

Desktop::~Desktop() = default;

void Desktop::openOrTell(const QUrl& url, const QString& what) {
    if (openUrl(url))
        return;
    const QString where = url.isLocalFile() ? url.toLocalFile() : url.toString();
    message(QStringLiteral("Tarnwell could not open %1. Please open it yourself:\n\n%2")
                .arg(what, where),
            Severity::Critical);
}

QStringList Desktop::filterEntries(const QString& filter) {
    // Pairs of (caption, pattern); the caption already names the pattern, but
    // Qt wants "Caption (pattern)".
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString caption = parts[i];
        const qsizetype paren = caption.indexOf(QLatin1Char('('));
        if (paren > 0)
            caption = caption.left(paren).trimmed();
        // Several patterns are joined by ";", as Qt wants them by blanks.
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        entries.append(QStringLiteral("%1 (%2)").arg(caption, patterns));
    }
    return entries;
}

#include "platform/CleanTitle.h"

QString CleanTitle(const QString& title) {
    static const QString forbidden = QStringLiteral("*?|:\"/\\<>");
    QString result;
    result.reserve(title.size());
    for (const QChar c : title) {
        if (!forbidden.contains(c))
            result.append(c);
    }
    return result;
}

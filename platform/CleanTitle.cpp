#include "platform/CleanTitle.h"

namespace {

bool isControl(QChar c) {
    return c.category() == QChar::Other_Control;
}

} // namespace

QString CleanTitle(const QString& title) {
    static const QString forbidden = QStringLiteral("*?|:\"/\\<>");
    QString result;
    result.reserve(title.size());
    bool pendingBlank = false;
    for (const QChar c : title) {
        if (forbidden.contains(c))
            continue;
        if (isControl(c)) {
            // A run of them ("\r\n") is one break between words.
            pendingBlank = !result.isEmpty();
            continue;
        }
        if (pendingBlank && !c.isSpace())
            result.append(QLatin1Char(' '));
        pendingBlank = false;
        result.append(c);
    }
    return result;
}

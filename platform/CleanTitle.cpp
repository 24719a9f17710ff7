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

    // "...", "../../escape" or " .5 mix" would give hidden files: the dots
    // (and the blanks among them) in front of the first other character go.
    qsizetype lead = 0;
    while (lead < result.size() && (result[lead] == QLatin1Char('.') || result[lead].isSpace()))
        ++lead;
    if (result.left(lead).contains(QLatin1Char('.')))
        result.remove(0, lead);
    return result;
}

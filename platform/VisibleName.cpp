#include "platform/VisibleName.h"

QString VisibleName(const QString& name) {
    qsizetype lead = 0;
    while (lead < name.size() && (name[lead] == QLatin1Char('.') || name[lead].isSpace()))
        ++lead;
    if (!name.left(lead).contains(QLatin1Char('.')))
        return name;
    return name.mid(lead);
}

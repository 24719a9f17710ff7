#include "settings/Tfm_set.h"

#include "app/Tfm_main.h"

Tfm_set::Tfm_set(Tfm_main& main) : QDialog(&main), main_(main) {
    setWindowTitle(QStringLiteral("Settings"));
}

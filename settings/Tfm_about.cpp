#include "settings/Tfm_about.h"

#include "app/Tfm_main.h"

Tfm_about::Tfm_about(Tfm_main& main) : QDialog(&main), main_(main) {
    setWindowTitle(QStringLiteral("About"));
}

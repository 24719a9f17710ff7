#include "settings/Tfm_dir.h"

#include "app/Tfm_main.h"

Tfm_dir::Tfm_dir(Tfm_main& main) : QDialog(&main), main_(main) {
    setWindowTitle(QStringLiteral("Output Directory"));
}

#include "tags/Tfm_id3.h"

#include "app/Tfm_main.h"

Tfm_id3::Tfm_id3(Tfm_main& main) : QDialog(&main), main_(main) {
    setWindowTitle(QStringLiteral("ID3 info"));
}

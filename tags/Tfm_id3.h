#pragma once

#include <QDialog>

class Tfm_main;

class Tfm_id3 : public QDialog {
    Q_OBJECT

public:
    explicit Tfm_id3(Tfm_main& main);

private:
    Tfm_main& main_;
};

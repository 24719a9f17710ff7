#pragma once

#include <QDialog>

class Tfm_main;

class Tfm_dir : public QDialog {
    Q_OBJECT

public:
    explicit Tfm_dir(Tfm_main& main);

private:
    Tfm_main& main_;
};

#pragma once

#include <QDialog>

class Tfm_main;

class Tfm_set : public QDialog {
    Q_OBJECT

public:
    explicit Tfm_set(Tfm_main& main);

private:
    Tfm_main& main_;
};

#pragma once

#include <QDialog>

class Tfm_main;

class Tfm_about : public QDialog {
    Q_OBJECT

public:
    explicit Tfm_about(Tfm_main& main);

private:
    Tfm_main& main_;
};

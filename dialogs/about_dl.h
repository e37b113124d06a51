#ifndef ABOUT_DL_H
#define ABOUT_DL_H

#include "ui_about_dl.h"

#include <QDialog>

class About_dl : public QDialog, public Ui::About {
    Q_OBJECT

public:
    explicit About_dl(QWidget *parent = nullptr);
};

#endif // ABOUT_DL_H

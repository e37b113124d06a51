#include "dialogs/about_dl.h"

#include "dialogs/makerinfo.h"

static constexpr Qt::WindowFlags dialogFlags =
    Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

About_dl::About_dl(QWidget *parent) : QDialog(parent, dialogFlags) {
    setupUi(this);
    setWindowTitle(QStringLiteral("О программе"));
    label_3->setText(makerName());
    lB_link->setText(linkHtml(makerUrl()));
    lB_link->setOpenExternalLinks(true);
}

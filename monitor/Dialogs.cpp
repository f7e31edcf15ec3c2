#include "Dialogs.h"

#include <QDesktopServices>
#include <QDialog>
#include <QMessageBox>
#include <QUrl>

namespace lw {

int Dialogs::exec(QDialog& dialog) {
    return dialog.exec();
}

void Dialogs::message(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::warning(parent, title, text, QMessageBox::Ok);
}

bool Dialogs::openFile(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace lw

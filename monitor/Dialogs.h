#pragma once
// What the windows ask of the desktop: modal dialogs, message boxes, and opening a file with
// its viewer. Behind a seam so that tests answer dialogs directly instead of waiting on them.

#include <QString>

class QDialog;
class QWidget;

namespace lw {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Shows the dialog modally; its result code (QDialog::Accepted or Rejected).
    virtual int exec(QDialog& dialog);
    // A message box with an OK button.
    virtual void message(QWidget* parent, const QString& title, const QString& text);
    // Opens the file with the desktop's default program; false when none could be started.
    virtual bool openFile(const QString& path);
};

} // namespace lw

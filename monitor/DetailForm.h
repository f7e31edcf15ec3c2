#pragma once
// "Detail Data": the diagnostic log of the monitor (frames, poll requests, errors). Lines are
// added whether it is shown or not; it never blocks the main window.

#include <QString>
#include <QWidget>

class QPlainTextEdit;

namespace lw {

class DetailForm : public QWidget {
    Q_OBJECT
public:
    // Past this many lines the text is emptied.
    static constexpr int kMaxLines = 1'000'000;

    explicit DetailForm(QWidget* parent = nullptr, int maxLines = kMaxLines);

    void addLine(const QString& line);
    QString text() const;
    int lineCount() const;

    void Clear();

private:
    QPlainTextEdit* memo_;
    const int maxLines_;
};

} // namespace lw

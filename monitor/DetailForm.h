#pragma once
// "Detail Data": the diagnostic log of the monitor (frames, poll requests, errors). Lines are
// added whether it is shown or not; it never blocks the main window. Lines reach the text in
// batches, once per turn of the event loop and when the window is shown, which keeps a busy
// line from laying the text out again for every line; reading the text takes them all in.

#include <QString>
#include <QStringList>
#include <QTimer>
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
    QString text();
    int lineCount() const { return lines_; }

    void Clear();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void flush();

    QPlainTextEdit* memo_;
    const int maxLines_;
    int lines_ = 0; // in the text and pending
    QStringList pending_;
    QTimer flushTimer_;
};

} // namespace lw

#include "LocaleFormats.h"

namespace lw {
namespace {

// Drops time-zone letters ('t') and the blanks around them from a Qt time pattern.
std::string withoutTimeZone(const QString& pattern) {
    QString p;
    bool quoted = false;
    for (QChar c : pattern) {
        if (c == '\'')
            quoted = !quoted;
        if (!quoted && c == 't')
            continue;
        p += c;
    }
    return p.trimmed().toStdString();
}

} // namespace

Formats formatsFromLocale(const QLocale& locale) {
    Formats f;
    f.longTimeFormat = withoutTimeZone(locale.timeFormat(QLocale::LongFormat));
    const QString decimal = locale.decimalPoint();
    f.decimalSeparator = decimal.size() == 1 ? decimal.at(0).toLatin1() : '.';
    if (f.decimalSeparator == 0)
        f.decimalSeparator = '.';
    // The time separator is the first non-letter between the hour and the minutes.
    const QString time = locale.timeFormat(QLocale::LongFormat);
    const qsizetype m = time.indexOf('m');
    if (m > 0 && !time.at(m - 1).isLetter())
        f.timeSeparator = time.at(m - 1).toLatin1();
    // The pattern's own separator is kept literally; ':' in the core pattern means the separator.
    for (char& c : f.longTimeFormat)
        if (c == f.timeSeparator)
            c = ':';
    for (int i = 0; i < 12; ++i)
        f.shortMonthNames[static_cast<size_t>(i)] =
            locale.monthName(i + 1, QLocale::ShortFormat).toStdString();
    f.amText = locale.amText().toStdString();
    f.pmText = locale.pmText().toStdString();
    return f;
}

QString qtTimeFormat(const Formats& f) {
    QString pattern = QString::fromStdString(f.longTimeFormat);
    pattern.replace(':', QChar::fromLatin1(f.timeSeparator));
    return pattern;
}

} // namespace lw

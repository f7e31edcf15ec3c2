#include "AboutBox.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace lw {
namespace {

const QString kCaption = QStringLiteral("About Ostrel Levelwatch");
const QString kProductName = QStringLiteral("Levelwatch");
const QColor kMaroon(128, 0, 0);
constexpr QSize kLogoSize(243, 48);
constexpr QSize kMinimumSize(271, 124);

// The maker's mark, drawn so that the program needs no image files.
QPixmap makerLogo() {
    QPixmap logo(kLogoSize);
    logo.fill(Qt::transparent);
    QPainter p(&logo);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kMaroon);
    p.drawRoundedRect(QRect(QPoint(0, 0), kLogoSize).adjusted(1, 1, -1, -1), 6, 6);
    QFont big;
    big.setBold(true);
    big.setPixelSize(26);
    big.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    p.setFont(big);
    p.setPen(Qt::white);
    p.drawText(QRect(12, 0, 140, kLogoSize.height()), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("OSTREL"));
    QFont small;
    small.setPixelSize(10);
    small.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    p.setFont(small);
    p.drawText(QRect(140, 0, kLogoSize.width() - 148, kLogoSize.height()),
               Qt::AlignVCenter | Qt::AlignRight, QStringLiteral("INSTRUMENTS"));
    return logo;
}

} // namespace

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(kCaption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* logo = new QLabel(this);
    logo->setPixmap(makerLogo());
    logo->setAlignment(Qt::AlignCenter);
    auto* name = new QLabel(kProductName, this);
    QFont nameFont = name->font();
    nameFont.setPointSize(nameFont.pointSize() * 2);
    nameFont.setBold(true);
    name->setFont(nameFont);
    QPalette palette = name->palette();
    palette.setColor(QPalette::WindowText, kMaroon);
    name->setPalette(palette);
    auto* version = new QLabel(QString::fromLatin1(kVersionText), this);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(14, 10, 14, 10);
    layout->setVerticalSpacing(4);
    layout->addWidget(logo, 0, 0, 1, 2);
    layout->addWidget(name, 1, 0);
    layout->addWidget(version, 2, 0);
    layout->addWidget(ok, 1, 1, 2, 1, Qt::AlignRight | Qt::AlignVCenter);
    setFixedSize(sizeHint().expandedTo(kMinimumSize));
}

} // namespace lw

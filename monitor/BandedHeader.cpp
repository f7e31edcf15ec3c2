#include "BandedHeader.h"

#include <QPainter>

namespace lw {

BandedHeader::BandedHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

void BandedHeader::setBands(std::vector<HeaderBand> bands) {
    bands_ = std::move(bands);
    updateGeometries();
    viewport()->update();
}

QSize BandedHeader::sizeHint() const {
    QSize size = QHeaderView::sizeHint();
    if (!bands_.empty())
        size.setHeight(size.height() * 2);
    return size;
}

const HeaderBand* BandedHeader::bandOf(int column) const {
    for (const HeaderBand& band : bands_)
        if (column >= band.firstColumn && column < band.firstColumn + band.columns)
            return band.caption.isEmpty() ? nullptr : &band;
    return nullptr;
}

void BandedHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    const HeaderBand* band = bandOf(logicalIndex);
    if (!band) {
        QHeaderView::paintSection(painter, rect, logicalIndex);
        return;
    }
    const int half = rect.height() / 2;
    // The band's caption across all of its shown columns.
    int left = -1, right = -1;
    for (int c = band->firstColumn; c < band->firstColumn + band->columns; ++c) {
        if (isSectionHidden(c))
            continue;
        const int x = sectionViewportPosition(c);
        left = left < 0 ? x : std::min(left, x);
        right = std::max(right, x + sectionSize(c));
    }
    QStyleOptionHeader option;
    initStyleOption(&option);
    option.rect = QRect(left, rect.top(), right - left, half);
    option.section = logicalIndex;
    option.text = band->caption;
    option.textAlignment = Qt::AlignCenter;
    option.position = QStyleOptionHeader::Middle;
    painter->save();
    painter->setClipRect(rect.intersected(option.rect));
    style()->drawControl(QStyle::CE_Header, &option, painter, this);
    painter->restore();
    QHeaderView::paintSection(painter, rect.adjusted(0, half, 0, 0), logicalIndex);
}

} // namespace lw

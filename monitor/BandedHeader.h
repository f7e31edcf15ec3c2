#pragma once
// A grid header with bands: a row of band captions above the column captions, each band
// spanning its columns. A column outside any band (or in a band without a caption) takes both
// rows. Without bands it is a plain header.

#include <QHeaderView>
#include <vector>

namespace lw {

struct HeaderBand {
    int firstColumn;
    int columns;
    QString caption;
};

class BandedHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit BandedHeader(QWidget* parent = nullptr);

    void setBands(std::vector<HeaderBand> bands);
    const std::vector<HeaderBand>& bands() const { return bands_; }

    QSize sizeHint() const override;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    const HeaderBand* bandOf(int column) const;

    std::vector<HeaderBand> bands_;
};

} // namespace lw

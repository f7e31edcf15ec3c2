#pragma once
// "About Ostrel Levelwatch": the maker's logo, the product name and its version.

#include <QDialog>

namespace lw {

inline constexpr char kVersionText[] = "Version: 2.1.2";

class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);
};

} // namespace lw

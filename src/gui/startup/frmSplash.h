#pragma once

#include <QDialog>

class QLabel;

namespace kv {

// The window shown while the program starts: title, version and maker over a gradient.
class frmSplash : public QDialog {
    Q_OBJECT
public:
    explicit frmSplash(QWidget* parent = nullptr);

private:
    QLabel* lblProductName;
    QLabel* lblVersion;
    QLabel* lblCompany;
    QLabel* lblCompanyProduct;
    QLabel* lblCopyright;
    QLabel* imgLogo;
};

} // namespace kv

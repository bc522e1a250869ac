#pragma once
// The About box, laid out from the IDD_ABOUTBOX template. OK, Enter and Escape close it.

#include <QDialog>

namespace vantrell::qt {

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

} // namespace vantrell::qt

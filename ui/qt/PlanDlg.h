#pragma once
// The plan dialog, laid out from the IDD_PLANBOX template: the plan of the fields' values
// or of the running scan, the scan's progress refreshed while it is open, and a preview
// to save. Close, Enter and Escape close it.

#include "PlanView.h"

#include <QDialog>
#include <QTimer>

class QPlainTextEdit;

namespace vantrell::qt {

class CPlanDlg : public QDialog {
    Q_OBJECT
public:
    // form must outlive the dialog.
    explicit CPlanDlg(const CScanForm& form, QWidget* parent = nullptr);

private:
    void ShowProgress();
    void SavePreview();

    CPlanView m_view;
    QPlainTextEdit* m_progress = nullptr;
    QTimer m_refresh;
};

} // namespace vantrell::qt

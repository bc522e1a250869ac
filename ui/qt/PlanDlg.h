#pragma once
// The plan dialog, laid out from the IDD_PLANBOX template: the plan of the fields' values
// or of the running scan, where Vantrell.kml stands in it, the scan's progress and what the
// viewer does, refreshed while it is open; a plan to open, a preview to save, and pacing
// by the viewer, and an area to keep the walk to. Close, Enter and Escape close it.

#include "PlanView.h"

#include <QDialog>
#include <QHash>
#include <QTimer>

class QCheckBox;
class QPlainTextEdit;

namespace vantrell::qt {

class CPlanDlg : public QDialog {
    Q_OBJECT
public:
    // form must outlive the dialog.
    explicit CPlanDlg(CScanForm& form, QWidget* parent = nullptr);

private:
    void ShowPlan();
    void ShowProgress();
    void OpenPlan();
    void OpenArea();
    void SavePreview();
    // The name of the file chosen in an open dialog filtered by the string filterId, or
    // "" when cancelled.
    QString ChooseToOpen(int filterId);
    void OpenFile(int filterId, bool (CPlanView::*read)(std::string_view, std::string&));

    CPlanView m_view;
    QHash<int, QWidget*> m_controls;
    QPlainTextEdit* m_progress = nullptr;
    QTimer m_refresh;
};

} // namespace vantrell::qt

#pragma once
// The scan form: the program's main window, laid out from the IDD_SCAN_DIALOG template.

#include "ScanForm.h"

#include <QDialog>
#include <QHash>
#include <QIcon>

class QContextMenuEvent;
class QMenu;

namespace vantrell::qt {

class CScanDlg : public QDialog, public CScanForm {
    Q_OBJECT
public:
    explicit CScanDlg(QWidget* parent = nullptr);

    // The About box, modal over the form; the scan goes on meanwhile.
    void ShowAbout();
    // The plan dialog, modal over the form likewise; it starts and writes nothing.
    void ShowPlan();

protected:
    std::string ReadFieldText(int id) const override;
    void WriteFieldText(int id, const std::string& text) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Adds the About and Plan entries to menu, in the form's font, and runs it at the global point.
    void ShowMenu(QMenu& menu, const QPoint& at);

    QHash<int, QWidget*> m_controls;
    QIcon m_hIcon;
};

// The application icon in every size the program ships (16, 32 and 48 pixels); the
// application's own once it has one. Main thread, after QApplication.
QIcon ApplicationIcon();

} // namespace vantrell::qt

#include "AboutDlg.h"

#include "DialogLayout.h"
#include "ProgramResources.h"
#include "resource.h"

#include <QAbstractButton>

namespace vantrell::qt {

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    const res::Dialog dialog = LoadDialogTemplate(IDD_ABOUTBOX);
    const QHash<int, QWidget*> controls = BuildDialog(*this, dialog);
    setWindowTitle(QString::fromStdString(dialog.caption));
    connect(qobject_cast<QAbstractButton*>(controls.value(IDOK)), &QAbstractButton::clicked, this,
            &QDialog::accept);
    controls.value(IDOK)->setFocus();
}

} // namespace vantrell::qt

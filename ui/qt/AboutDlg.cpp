#include "AboutDlg.h"

#include "DialogLayout.h"
#include "resource.h"

#include <QAbstractButton>

namespace vantrell::qt {

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    const QHash<int, QWidget*> controls = BuildDialog(*this, kAboutDialogTemplate);
    setWindowTitle(QString::fromUtf8(kAboutDialogTemplate.caption));
    connect(qobject_cast<QAbstractButton*>(controls.value(IDOK)), &QAbstractButton::clicked, this,
            &QDialog::accept);
    controls.value(IDOK)->setFocus();
}

} // namespace vantrell::qt

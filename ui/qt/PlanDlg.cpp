#include "PlanDlg.h"

#include "DialogLayout.h"
#include "ProgramResources.h"
#include "resource.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPlainTextEdit>

namespace vantrell::qt {

CPlanDlg::CPlanDlg(const CScanForm& form, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_view(form)
{
    const res::Dialog dialog = LoadDialogTemplate(IDD_PLANBOX);
    const QHash<int, QWidget*> controls = BuildDialog(*this, dialog);
    setWindowTitle(QString::fromStdString(dialog.caption));

    QString plan = QString::fromStdString(m_view.Plan());
    if (plan.endsWith(u'\n'))
        plan.chop(1); // no empty line after the last
    qobject_cast<QPlainTextEdit*>(controls.value(IDC_PLAN_TEXT))->setPlainText(plan);
    m_progress = qobject_cast<QPlainTextEdit*>(controls.value(IDC_PLAN_PROGRESS));
    m_progress->setPlainText(LoadResourceString(IDS_PLAN_NOT_STARTED));
    if (m_view.Running()) {
        ShowProgress();
        connect(&m_refresh, &QTimer::timeout, this, &CPlanDlg::ShowProgress);
        m_refresh.start(kProgressRefreshMs);
    }

    connect(qobject_cast<QAbstractButton*>(controls.value(IDOK)), &QAbstractButton::clicked, this,
            &QDialog::accept);
    connect(qobject_cast<QAbstractButton*>(controls.value(IDC_PLAN_SAVE)), &QAbstractButton::clicked, this,
            &CPlanDlg::SavePreview);
    // A request without points has nothing to preview.
    controls.value(IDC_PLAN_SAVE)->setEnabled(m_view.HasPoints());
    controls.value(IDOK)->setFocus();
}

// Only a changed text is set: setting it clears the user's selection.
void CPlanDlg::ShowProgress()
{
    const QString progress = QString::fromStdString(m_view.Progress());
    if (progress != m_progress->toPlainText())
        m_progress->setPlainText(progress);
}

void CPlanDlg::SavePreview()
{
    const QString name = QString::fromUtf8(kPreviewFileName.data(), static_cast<qsizetype>(kPreviewFileName.size()));
    QFileDialog files(this, QString(), QDir::current().filePath(name), LoadResourceString(IDS_PLAN_FILTER));
    files.setAcceptMode(QFileDialog::AcceptSave);
    // A name typed without its ending still gets ".kml", as on Windows, so the viewer opens it.
    files.setDefaultSuffix(QStringLiteral("kml"));
    if (files.exec() != QDialog::Accepted || files.selectedFiles().isEmpty())
        return; // cancelled
    const QString path = files.selectedFiles().constFirst();
    std::string error;
    if (!m_view.SavePreview(QFile::encodeName(path).toStdString(), error))
        QMessageBox::warning(this, windowTitle(), QString::fromStdString(error));
}

} // namespace vantrell::qt

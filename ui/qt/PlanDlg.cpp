#include "PlanDlg.h"

#include "DialogLayout.h"
#include "ProgramResources.h"
#include "resource.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>

namespace vantrell::qt {
namespace {

QString FromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

CPlanDlg::CPlanDlg(CScanForm& form, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_view(form)
{
    const res::Dialog dialog = LoadDialogTemplate(IDD_PLANBOX);
    m_controls = BuildDialog(*this, dialog);
    setWindowTitle(QString::fromStdString(dialog.caption));
    m_progress = qobject_cast<QPlainTextEdit*>(m_controls.value(IDC_PLAN_PROGRESS));
    QString notStarted = LoadResourceString(IDS_PLAN_NOT_STARTED);
    if (const std::string reason = m_view.FollowReason(); !reason.empty())
        notStarted += u'\n' + FromUtf8(reason);
    m_progress->setPlainText(notStarted);
    ShowPlan();
    if (m_view.Running()) {
        ShowProgress();
        connect(&m_refresh, &QTimer::timeout, this, &CPlanDlg::ShowProgress);
        m_refresh.start(kProgressRefreshMs);
    }

    const auto button = [&](int id) { return qobject_cast<QAbstractButton*>(m_controls.value(id)); };
    connect(button(IDOK), &QAbstractButton::clicked, this, &QDialog::accept);
    connect(button(IDC_PLAN_SAVE), &QAbstractButton::clicked, this, &CPlanDlg::SavePreview);
    connect(button(IDC_PLAN_OPEN), &QAbstractButton::clicked, this, &CPlanDlg::OpenPlan);
    connect(button(IDC_AREA_OPEN), &QAbstractButton::clicked, this, &CPlanDlg::OpenArea);
    auto* corridor = qobject_cast<QLineEdit*>(m_controls.value(IDC_CORRIDOR));
    corridor->setText(FromUtf8(m_view.CorridorText()));
    connect(corridor, &QLineEdit::textChanged, this, [this](const QString& text) {
        const std::string before = m_view.Plan();
        m_view.SetCorridor(text.toStdString());
        if (m_view.Plan() != before) // setting the text moves the plan back to its top
            ShowPlan();
    });
    connect(button(IDC_RESUME), &QAbstractButton::toggled, this, [this](bool on) { m_view.SetResume(on); });
    auto* follow = button(IDC_FOLLOW);
    follow->setChecked(m_view.Follow());
    follow->setEnabled(m_view.CanFollow());
    connect(follow, &QAbstractButton::toggled, this, [this](bool on) {
        m_view.SetFollow(on);
        ShowPlan();
    });
    m_controls.value(IDOK)->setFocus();
}

// The plan and what goes with it: again after a plan is opened.
void CPlanDlg::ShowPlan()
{
    QString plan = QString::fromStdString(m_view.Plan());
    if (plan.endsWith(u'\n'))
        plan.chop(1); // no empty line after the last
    qobject_cast<QPlainTextEdit*>(m_controls.value(IDC_PLAN_TEXT))->setPlainText(plan);
    // A request without points has nothing to preview; a plan opens before Start only.
    m_controls.value(IDC_PLAN_SAVE)->setEnabled(m_view.HasPoints());
    m_controls.value(IDC_PLAN_OPEN)->setEnabled(m_view.CanOpen());
    m_controls.value(IDC_AREA_OPEN)->setEnabled(m_view.CanOpen());
    m_controls.value(IDC_CORRIDOR)->setEnabled(m_view.CanOpen());
    const QString resume = FromUtf8(m_view.ResumeText());
    qobject_cast<QLabel*>(m_controls.value(IDC_RESUME_TEXT))->setText(resume);
    auto* box = qobject_cast<QAbstractButton*>(m_controls.value(IDC_RESUME));
    box->setChecked(m_view.Resume());
    box->setVisible(!resume.isEmpty());
}

// Only a changed text is set: setting it clears the user's selection.
void CPlanDlg::ShowProgress()
{
    const QString progress = FromUtf8(m_view.Progress());
    if (progress != m_progress->toPlainText())
        m_progress->setPlainText(progress);
    if (m_view.Running() && !m_view.CanFollow())
        m_controls.value(IDC_FOLLOW)->setEnabled(false);
}

QString CPlanDlg::ChooseToOpen(int filterId)
{
    // Qt separates a filter's patterns by spaces, Windows by semicolons.
    QString filter = LoadResourceString(filterId);
    filter.replace(u';', u' ');
    QFileDialog files(this, QString(), QDir::currentPath(), filter);
    files.setAcceptMode(QFileDialog::AcceptOpen);
    files.setFileMode(QFileDialog::ExistingFile);
    if (files.exec() != QDialog::Accepted || files.selectedFiles().isEmpty())
        return {};
    return files.selectedFiles().constFirst();
}

// Open plan and Open area: the open dialog, then the view reads the file chosen.
void CPlanDlg::OpenFile(int filterId, bool (CPlanView::*read)(std::string_view, std::string&))
{
    const QString path = ChooseToOpen(filterId);
    if (path.isEmpty())
        return; // cancelled
    std::string error;
    if (!(m_view.*read)(QFile::encodeName(path).toStdString(), error)) {
        QMessageBox::warning(this, windowTitle(), FromUtf8(error));
        return;
    }
    // A preview with an area brings its corridor back; the same value changes nothing.
    qobject_cast<QLineEdit*>(m_controls.value(IDC_CORRIDOR))->setText(FromUtf8(m_view.CorridorText()));
    ShowPlan();
}

void CPlanDlg::OpenPlan() { OpenFile(IDS_PLAN_FILTER, &CPlanView::OpenPlan); }

void CPlanDlg::OpenArea() { OpenFile(IDS_AREA_FILTER, &CPlanView::OpenArea); }

void CPlanDlg::SavePreview()
{
    const QString name = FromUtf8(kPreviewFileName);
    QFileDialog files(this, QString(), QDir::current().filePath(name), LoadResourceString(IDS_PLAN_FILTER));
    files.setAcceptMode(QFileDialog::AcceptSave);
    // A name typed without its ending still gets ".kml", as on Windows, so the viewer opens it.
    files.setDefaultSuffix(QStringLiteral("kml"));
    if (files.exec() != QDialog::Accepted || files.selectedFiles().isEmpty())
        return; // cancelled
    const QString path = files.selectedFiles().constFirst();
    std::string error;
    if (!m_view.SavePreview(QFile::encodeName(path).toStdString(), error))
        QMessageBox::warning(this, windowTitle(), FromUtf8(error));
}

} // namespace vantrell::qt

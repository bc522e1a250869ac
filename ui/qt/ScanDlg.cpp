#include "ScanDlg.h"

#include "AboutDlg.h"
#include "DialogLayout.h"
#include "PlanDlg.h"
#include "ProgramResources.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QShortcut>

#include <memory>

namespace vantrell::qt {

QIcon ApplicationIcon()
{
    // Decoded once per process: the program gives it to the application before the form asks.
    if (const QIcon set = QGuiApplication::windowIcon(); !set.isNull())
        return set;
    QIcon icon;
    for (const int size : {16, 32, 48}) {
        QFile file(QStringLiteral(":/icons/vantrell-%1.png").arg(size));
        if (!file.open(QIODevice::ReadOnly))
            continue; // the program embeds them, its tests do not
        // Named as PNG and never probed: probing loads every image plugin Qt has to ask it.
        QImageReader reader(&file, "png");
        reader.setAutoDetectImageFormat(false);
        icon.addPixmap(QPixmap::fromImage(reader.read()));
    }
    return icon;
}

CScanDlg::CScanDlg(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      m_hIcon(ApplicationIcon())
{
    // The lists' words come with the template, as its initialisation data.
    m_controls = BuildDialog(*this, LoadDialogTemplate(IDD_SCAN_DIALOG), LoadDialogInit(IDD_SCAN_DIALOG));
    setWindowTitle(QString()); // the form has no caption
    for (const auto& [control, string] : kFieldNameStrings)
        m_controls.value(control)->setAccessibleName(LoadResourceString(string));
    setWindowIcon(m_hIcon);

    connect(qobject_cast<QAbstractButton*>(m_controls.value(IDOK)), &QAbstractButton::clicked, this,
            [this] { OnBnClickedStart(); });
    connect(qobject_cast<QAbstractButton*>(m_controls.value(IDC_PAUSE)), &QAbstractButton::clicked, this,
            [this] { OnBnClickedPause(); });
    connect(qobject_cast<QAbstractButton*>(m_controls.value(IDCANCEL)), &QAbstractButton::clicked, this,
            &QDialog::reject);

    // The edits cover most of the form: their own menus offer the About box and the plan too.
    for (QWidget* control : std::as_const(m_controls)) {
        auto* edit = qobject_cast<QLineEdit*>(control);
        if (!edit)
            continue;
        edit->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(edit, &QWidget::customContextMenuRequested, this, [this, edit](const QPoint& at) {
            std::unique_ptr<QMenu> menu(edit->createStandardContextMenu());
            ShowMenu(*menu, edit->mapToGlobal(at));
        });
    }

    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, &CScanDlg::ShowAbout);
    auto* plan = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_P), this);
    connect(plan, &QShortcut::activated, this, &CScanDlg::ShowPlan);

    m_controls.value(IDC_LAT_DEG)->setFocus();
}

std::string CScanDlg::ReadFieldText(int id) const
{
    const QWidget* control = m_controls.value(id);
    if (const auto* edit = qobject_cast<const QLineEdit*>(control))
        return edit->text().toStdString();
    if (const auto* list = qobject_cast<const QComboBox*>(control))
        return list->currentText().toStdString();
    return {};
}

void CScanDlg::WriteFieldText(int id, const std::string& text)
{
    QWidget* control = m_controls.value(id);
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->setText(QString::fromStdString(text));
    else if (auto* list = qobject_cast<QComboBox*>(control))
        list->setCurrentIndex(list->findText(QString::fromStdString(text))); // -1: none, for ""
}

void CScanDlg::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    ShowMenu(menu, event->globalPos());
}

void CScanDlg::ShowMenu(QMenu& menu, const QPoint& at)
{
    // After a separator, as a system menu carries it; a menu is a window of its own and
    // would otherwise take the desktop's font, not the form's.
    const QString about = LoadResourceString(IDS_ABOUTBOX);
    const QString plan = LoadResourceString(IDS_PLANBOX);
    if (!about.isEmpty() || !plan.isEmpty())
        menu.addSeparator();
    if (!about.isEmpty())
        menu.addAction(about, this, &CScanDlg::ShowAbout);
    if (!plan.isEmpty())
        menu.addAction(plan, this, &CScanDlg::ShowPlan);
    menu.setFont(font());
    if (!menu.isEmpty())
        menu.exec(at);
}

void CScanDlg::ShowAbout()
{
    CAboutDlg about(this);
    about.exec();
}

void CScanDlg::ShowPlan()
{
    CPlanDlg plan(*this, this);
    plan.exec();
}

} // namespace vantrell::qt

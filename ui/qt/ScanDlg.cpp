#include "ScanDlg.h"

#include "AboutDlg.h"
#include "DialogLayout.h"
#include "DialogTemplate.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QShortcut>

namespace vantrell::qt {
namespace {

// Refuses typed characters other than digits, as a digits-only edit does; pasted text
// passes unfiltered and is read by the form's text-to-number rule.
class CDigitsOnly final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            for (const QChar c : key->text()) {
                if (c.isPrint() && !(c >= u'0' && c <= u'9'))
                    return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

void FillList(QWidget* control, const std::array<std::string_view, 2>& words)
{
    auto* list = qobject_cast<QComboBox*>(control);
    for (const std::string_view word : words)
        list->addItem(QString::fromUtf8(word.data(), static_cast<qsizetype>(word.size())));
    list->setCurrentIndex(-1);
}

} // namespace

QIcon ApplicationIcon()
{
    QIcon icon;
    for (const int size : {16, 32, 48})
        icon.addFile(QStringLiteral(":/icons/vantrell-%1.png").arg(size), QSize(size, size));
    return icon;
}

CScanDlg::CScanDlg(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      m_hIcon(ApplicationIcon())
{
    m_controls = BuildDialog(*this, kScanDialogTemplate);
    setWindowTitle(QString()); // the form has no caption
    setWindowIcon(m_hIcon);

    auto* digitsOnly = new CDigitsOnly(this);
    for (QWidget* control : std::as_const(m_controls)) {
        if (qobject_cast<QLineEdit*>(control))
            control->installEventFilter(digitsOnly);
    }
    FillList(m_controls.value(IDC_LAT_DIR), kLatitudeWords);
    FillList(m_controls.value(IDC_LON_DIR), kLongitudeWords);

    connect(qobject_cast<QAbstractButton*>(m_controls.value(IDOK)), &QAbstractButton::clicked, this,
            [this] { OnBnClickedStart(); });
    connect(qobject_cast<QAbstractButton*>(m_controls.value(IDC_PAUSE)), &QAbstractButton::clicked, this,
            [this] { OnBnClickedPause(); });
    connect(qobject_cast<QAbstractButton*>(m_controls.value(IDCANCEL)), &QAbstractButton::clicked, this,
            &QDialog::reject);

    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, &CScanDlg::ShowAbout);

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

void CScanDlg::contextMenuEvent(QContextMenuEvent* event)
{
    const char* about = ResourceString(IDS_ABOUTBOX);
    if (!about || !*about)
        return QDialog::contextMenuEvent(event);
    QMenu menu(this);
    menu.addSeparator();
    menu.addAction(QString::fromUtf8(about), this, &CScanDlg::ShowAbout);
    menu.exec(event->globalPos());
}

void CScanDlg::ShowAbout()
{
    CAboutDlg about(this);
    about.exec();
}

} // namespace vantrell::qt

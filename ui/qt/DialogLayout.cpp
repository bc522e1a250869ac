#include "DialogLayout.h"

#include "DialogTemplate.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>

namespace vantrell::qt {

QFont DialogFont(const res::Dialog& dialog)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSize(dialog.pointSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

BaseUnits DialogBaseUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(letters / 26 + 1) / 2, metrics.height()};
}

namespace {

// Edits lay their text out once in the application's font while they are constructed,
// before they take their dialog's, and that loads a second font, milliseconds at start-up,
// for nothing: meanwhile the application's font is the dialog's. QGuiApplication's setter,
// as QApplication's would also drop the platform theme's fonts for menus and tips. Once
// set, Qt keeps the application's font when the desktop's changes later.
class CApplicationFontScope {
public:
    explicit CApplicationFontScope(const QFont& font) : m_previous(QGuiApplication::font())
    {
        QGuiApplication::setFont(font);
    }
    ~CApplicationFontScope() { QGuiApplication::setFont(m_previous); }
    CApplicationFontScope(const CApplicationFontScope&) = delete;
    CApplicationFontScope& operator=(const CApplicationFontScope&) = delete;

private:
    QFont m_previous;
};

int MulDiv(int value, int numerator, int denominator)
{
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Refuses typed characters other than digits, as a digits-only edit does, however they
// are typed: key presses, and text composed through dead keys, a compose key or an input
// method, which arrives as committed input-method text. Pasted text passes unfiltered and
// is read by the form's text-to-number rule.
class CDigitsOnly final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            for (const QChar c : key->text()) {
                if (c.isPrint() && !IsDigit(c))
                    return true;
            }
        } else if (event->type() == QEvent::InputMethod) {
            auto* input = static_cast<QInputMethodEvent*>(event);
            QString digits = input->commitString();
            digits.removeIf([](QChar c) { return !IsDigit(c); });
            if (digits != input->commitString())
                input->setCommitString(digits, input->replacementStart(), input->replacementLength());
        }
        return QObject::eventFilter(watched, event);
    }
};

Qt::Alignment TextAlignment(TextAlign align)
{
    switch (align) {
    case TextAlign::Center:
        return Qt::AlignHCenter | Qt::AlignTop;
    case TextAlign::Right:
        return Qt::AlignRight | Qt::AlignTop;
    case TextAlign::Left:
        break;
    }
    return Qt::AlignLeft | Qt::AlignTop;
}

QWidget* MakeControl(QWidget& dialog, const res::DialogItem& item, const ControlTraits& traits)
{
    const QString text = QString::fromStdString(item.text);
    switch (traits.kind) {
    case ControlKind::Text: {
        auto* label = new QLabel(text, &dialog);
        label->setAlignment(TextAlignment(traits.align));
        label->setWordWrap(true);
        label->setTextFormat(Qt::PlainText);
        return label;
    }
    case ControlKind::Edit: {
        if (traits.multiLine) {
            auto* edit = new QPlainTextEdit(&dialog);
            edit->setReadOnly(traits.readOnly);
            if (traits.readOnly) // still selectable and copyable from the keyboard
                edit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
            edit->setTabChangesFocus(true); // Tab leaves a dialog's edit
            edit->setLineWrapMode(traits.wraps ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
            edit->setVerticalScrollBarPolicy(traits.vScroll ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
            edit->setHorizontalScrollBarPolicy(traits.wraps ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
            return edit;
        }
        auto* edit = new QLineEdit(&dialog);
        edit->setFrame(true);
        edit->setReadOnly(traits.readOnly);
        if (traits.digitsOnly) {
            edit->installEventFilter(new CDigitsOnly(edit));
            edit->setInputMethodHints(Qt::ImhDigitsOnly); // input methods offer digits
        }
        return edit;
    }
    case ControlKind::DropDownList:
        return new QComboBox(&dialog);
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
        auto* button = new QPushButton(text, &dialog);
        button->setAutoDefault(true);
        button->setDefault(traits.kind == ControlKind::DefPushButton);
        return button;
    }
    case ControlKind::CheckBox:
        return new QCheckBox(text, &dialog);
    case ControlKind::ProgressBar: {
        auto* bar = new QProgressBar(&dialog);
        bar->setTextVisible(false);
        return bar;
    }
    case ControlKind::Other:
        break;
    }
    return new QFrame(&dialog);
}

// Initialisation texts are in the program's ANSI code page, 1252 (the version record's).
QString FromCodePage1252(const std::string& text)
{
    // 0x80..0x9F; elsewhere the code page agrees with Latin-1. Unassigned bytes map to
    // themselves, as the platform's conversion does.
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    QString out;
    out.reserve(static_cast<qsizetype>(text.size()));
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        out += QChar(byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : char16_t{byte});
    }
    return out;
}

// CB_ADDSTRING: at the end, or in case-insensitive order in a sorted list.
void AddString(QComboBox& list, const QString& text, bool sorted)
{
    int at = list.count();
    if (sorted) {
        at = 0;
        while (at < list.count() && QString::compare(list.itemText(at), text, Qt::CaseInsensitive) <= 0)
            ++at;
    }
    list.insertItem(at, text);
}

void ApplyDialogInit(const QHash<int, QWidget*>& byId, const QHash<int, bool>& sortedById,
                     std::span<const res::DialogInitEntry> init)
{
    for (const res::DialogInitEntry& entry : init) {
        auto* list = qobject_cast<QComboBox*>(byId.value(entry.controlId));
        if (entry.message != res::kInitAddString16 || !list)
            continue;
        AddString(*list, FromCodePage1252(entry.text), sortedById.value(entry.controlId));
    }
    // Filling a list selects nothing.
    for (QWidget* control : byId) {
        if (auto* list = qobject_cast<QComboBox*>(control))
            list->setCurrentIndex(-1);
    }
}

} // namespace

QString AccessibleNameOf(const QString& label)
{
    QString name = label.trimmed();
    if (name.endsWith(u':'))
        name.chop(1);
    return name;
}

QRect DialogUnitsToPixels(const BaseUnits& units, int x, int y, int width, int height)
{
    return QRect(MulDiv(x, units.x, 4), MulDiv(y, units.y, 8), MulDiv(width, units.x, 4),
                 MulDiv(height, units.y, 8));
}

QString ControlObjectName(const res::DialogItem& item, int& staticsSoFar)
{
    if (item.id == -1)
        return QStringLiteral("IDC_STATIC_%1").arg(++staticsSoFar);
    const std::string_view name = ControlIdName(item.id);
    if (name.empty())
        return QStringLiteral("ID_%1").arg(item.id);
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

QHash<int, QWidget*> BuildDialog(QWidget& dialog, const res::Dialog& dialogTemplate,
                                 std::span<const res::DialogInitEntry> init)
{
    const QFont font = DialogFont(dialogTemplate);
    dialog.setFont(font);
    const CApplicationFontScope sameFont(font);
    const BaseUnits units = DialogBaseUnits(font);
    dialog.setFixedSize(DialogUnitsToPixels(units, 0, 0, dialogTemplate.cx, dialogTemplate.cy).size());

    QHash<int, QWidget*> byId;
    QHash<int, bool> sortedById;
    QWidget* previousTab = nullptr;
    QLabel* previousLabel = nullptr;
    int statics = 0;
    for (const res::DialogItem& item : dialogTemplate.items) {
        const ControlTraits traits = TraitsOf(item);
        QWidget* widget = MakeControl(dialog, item, traits);
        widget->setObjectName(ControlObjectName(item, statics));
        // A label names the field that follows it in the template, as the platform's
        // accessibility derives a field's name from the static text just before it.
        if (previousLabel && (qobject_cast<QLineEdit*>(widget) || qobject_cast<QPlainTextEdit*>(widget) ||
                              qobject_cast<QComboBox*>(widget))) {
            previousLabel->setBuddy(widget);
            widget->setAccessibleName(AccessibleNameOf(previousLabel->text()));
        }
        previousLabel = qobject_cast<QLabel*>(widget);
        QRect rect = DialogUnitsToPixels(units, item.x, item.y, item.cx, item.cy);
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            // A drop-down list's height is its open list's; closed, it is as tall as its font.
            rect.setHeight(qMin(rect.height(), combo->sizeHint().height()));
        }
        widget->setGeometry(rect);
        // Tab visits exactly the template's tab stops; other controls still take a click.
        if (traits.tabStop)
            widget->setFocusPolicy(Qt::StrongFocus);
        else if (qobject_cast<QLabel*>(widget) || !traits.visible)
            widget->setFocusPolicy(Qt::NoFocus);
        else
            widget->setFocusPolicy(Qt::ClickFocus);
        if (traits.tabStop) {
            if (previousTab)
                QWidget::setTabOrder(previousTab, widget);
            previousTab = widget;
        }
        widget->setVisible(traits.visible);
        if (item.id != -1) {
            byId.insert(item.id, widget);
            sortedById.insert(item.id, traits.sorted);
        }
    }
    ApplyDialogInit(byId, sortedById, init);
    return byId;
}

} // namespace vantrell::qt

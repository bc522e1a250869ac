#include "DialogLayout.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>

namespace vantrell::qt {

QFont DialogFont(const DialogTemplate& dialog)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSize(dialog.fontPointSize);
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

int MulDiv(int value, int numerator, int denominator)
{
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

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

QWidget* MakeControl(QWidget& dialog, const DialogControl& control)
{
    const QString text = QString::fromUtf8(control.text);
    switch (control.kind) {
    case ControlKind::Text: {
        auto* label = new QLabel(text, &dialog);
        label->setAlignment(TextAlignment(control.align));
        label->setWordWrap(true);
        label->setTextFormat(Qt::PlainText);
        return label;
    }
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(&dialog);
        edit->setFrame(true);
        return edit;
    }
    case ControlKind::DropDownList:
        return new QComboBox(&dialog);
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
        auto* button = new QPushButton(text, &dialog);
        button->setAutoDefault(true);
        button->setDefault(control.kind == ControlKind::DefPushButton);
        return button;
    }
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

} // namespace

QRect DialogUnitsToPixels(const BaseUnits& units, int x, int y, int width, int height)
{
    return QRect(MulDiv(x, units.x, 4), MulDiv(y, units.y, 8), MulDiv(width, units.x, 4),
                 MulDiv(height, units.y, 8));
}

QHash<int, QWidget*> BuildDialog(QWidget& dialog, const DialogTemplate& dialogTemplate)
{
    const QFont font = DialogFont(dialogTemplate);
    dialog.setFont(font);
    const BaseUnits units = DialogBaseUnits(font);
    dialog.setFixedSize(DialogUnitsToPixels(units, 0, 0, dialogTemplate.width, dialogTemplate.height).size());

    QHash<int, QWidget*> byId;
    QWidget* previousTab = nullptr;
    int statics = 0;
    for (const DialogControl& control : dialogTemplate.controls) {
        QWidget* widget = MakeControl(dialog, control);
        widget->setObjectName(control.id == -1 ? QStringLiteral("IDC_STATIC_%1").arg(++statics)
                                               : QString::fromUtf8(control.name));
        QRect rect = DialogUnitsToPixels(units, control.x, control.y, control.width, control.height);
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            // A drop-down list's height is its open list's; closed, it is as tall as its font.
            rect.setHeight(qMin(rect.height(), combo->sizeHint().height()));
        }
        widget->setGeometry(rect);
        // Tab visits exactly the template's tab stops; other controls still take a click.
        if (control.tabStop)
            widget->setFocusPolicy(Qt::StrongFocus);
        else if (qobject_cast<QLabel*>(widget) || !control.visible)
            widget->setFocusPolicy(Qt::NoFocus);
        else
            widget->setFocusPolicy(Qt::ClickFocus);
        if (control.tabStop) {
            if (previousTab)
                QWidget::setTabOrder(previousTab, widget);
            previousTab = widget;
        }
        widget->setVisible(control.visible);
        if (control.id != -1)
            byId.insert(control.id, widget);
    }
    return byId;
}

} // namespace vantrell::qt

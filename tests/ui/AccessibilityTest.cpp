// What assistive technology finds in the form, the About box and the plan: every field
// named after the label the script puts before it or by its string-table name, no two
// alike, every control in a role that says what it does, and nothing announced that the
// user cannot see.

#include "AboutDlg.h"
#include "DialogLayout.h"
#include "DialogTemplate.h"
#include "PlanDlg.h"
#include "ProgramResources.h"
#include "ScanDlg.h"
#include "ScanForm.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <map>
#include <set>

using namespace vantrell;
using namespace vantrell::qt;

class AccessibilityTest : public QObject {
    Q_OBJECT

private:
    // Name and role of every accessible child of window, by object name.
    static std::map<QString, std::pair<QString, QAccessible::Role>> Children(QWidget& window)
    {
        std::map<QString, std::pair<QString, QAccessible::Role>> found;
        QAccessibleInterface* root = QAccessible::queryAccessibleInterface(&window);
        for (int i = 0; root && i < root->childCount(); ++i) {
            QAccessibleInterface* child = root->child(i);
            if (!child || child->state().invisible)
                continue;
            found[child->object()->objectName()] = {child->text(QAccessible::Name), child->role()};
        }
        return found;
    }

private Q_SLOTS:
    void fieldsAreNamedByTheirLabelsInTheScript()
    {
        CScanDlg form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const auto children = Children(form);

        // The label each field follows in the script, or the field's string-table name.
        std::map<int, QString> expected;
        const res::Dialog dialog = LoadDialogTemplate(IDD_SCAN_DIALOG);
        for (std::size_t i = 1; i < dialog.items.size(); ++i) {
            if (dialog.items[i - 1].id == -1 && dialog.items[i].id != -1)
                expected[dialog.items[i].id] = AccessibleNameOf(QString::fromStdString(dialog.items[i - 1].text));
        }
        for (const auto& [control, string] : kFieldNameStrings)
            expected[control] = LoadResourceString(string);

        std::set<QString> distinct;
        int fields = 0;
        for (const int id : kScanFieldOrder) {
            const QWidget* control = form.findChild<QWidget*>(QString::fromLatin1(ControlIdName(id).data()));
            QVERIFY(control);
            const auto it = children.find(control->objectName());
            QVERIFY2(it != children.end(), qPrintable(control->objectName()));
            const bool list = id == IDC_LAT_DIR || id == IDC_LON_DIR;
            QCOMPARE(it->second.second, list ? QAccessible::ComboBox : QAccessible::EditableText);
            QCOMPARE(it->second.first, expected.at(id));
            QVERIFY2(!it->second.first.isEmpty(), qPrintable(control->objectName()));
            distinct.insert(it->second.first);
            ++fields;
        }
        QCOMPARE(fields, 13);
        // A screen reader must tell every field from every other, latitude from longitude.
        QCOMPARE(distinct.size(), std::size_t{13});
        // Where the string table names a field, it names it as the plan and the preview do.
        for (const ScanRequestField& field : kScanRequestFields) {
            if (field.string != 0)
                QCOMPARE(LoadResourceString(field.string),
                         QString::fromLatin1(field.name.data(), static_cast<qsizetype>(field.name.size())));
        }
        // Spot checks against the labels as the user reads them.
        QCOMPARE(children.at(QStringLiteral("IDC_MILES_EAST")).first, QStringLiteral("Miles East"));
        QCOMPARE(children.at(QStringLiteral("IDC_RESOLUTION")).first, QStringLiteral("Resolution (1/10 miles)"));
        QCOMPARE(children.at(QStringLiteral("IDC_LAT_DIR")).first, QStringLiteral("NW Latitude hemisphere"));
        QCOMPARE(children.at(QStringLiteral("IDC_LAT_MIN")).first, QStringLiteral("NW Latitude Min"));
        QCOMPARE(children.at(QStringLiteral("IDC_LON_SEC")).first, QStringLiteral("NW Longitude Sec"));

        const std::pair<const char*, const char*> buttons[] = {{"IDOK", "Start"}, {"IDCANCEL", "Quit"}, {"IDC_PAUSE", "Pause"}};
        for (const auto& [name, text] : buttons) {
            const auto& child = children.at(QString::fromLatin1(name));
            QCOMPARE(child.first, QString::fromLatin1(text));
            QCOMPARE(child.second, QAccessible::Button);
        }
        // The hidden progress bar is never shown, so it must not be announced.
        QVERIFY(children.find(QStringLiteral("IDC_PROGRESS")) == children.end());
    }

    // Labels are read with their fields; none is a stop of its own when tabbing.
    void labelsAreNoTabStops()
    {
        CScanDlg form;
        for (const QLabel* label : form.findChildren<QLabel*>())
            QCOMPARE(label->focusPolicy(), Qt::NoFocus);
    }

    // Everything a mouse does, the keyboard does: fields in tab order, a hemisphere by its
    // first letter, Start by Enter, Pause by its button, About by the menu key.
    void keyboardAloneRunsTheForm()
    {
        QTemporaryDir dir;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        {
            CScanDlg form;
            form.show();
            form.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&form));
            const char* typed[] = {"45", "0", "0", "N", "122", "0", "0", "W", "1", "1", "1000", "4", "0"};
            for (const char* text : typed) {
                QWidget* focus = QApplication::focusWidget();
                QVERIFY(focus);
                QTest::keyClicks(focus, QString::fromLatin1(text));
                QTest::keyClick(focus, Qt::Key_Tab);
            }
            QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("IDOK"));
            const auto* latitude = form.findChild<QComboBox*>(QStringLiteral("IDC_LAT_DIR"));
            QCOMPARE(latitude->currentText(), QStringLiteral("North"));

            QTest::keyClick(form.findChild<QWidget*>(QStringLiteral("IDC_RESOLUTION")), Qt::Key_Return);
            QTRY_VERIFY(form.m_pJob != nullptr && QFile::exists(QStringLiteral("Vantrell.kml")));
            auto* pause = form.findChild<QPushButton*>(QStringLiteral("IDC_PAUSE"));
            pause->setFocus();
            QTest::keyClick(pause, Qt::Key_Space);
            QVERIFY(form.m_pJob->m_bPaused.load());

            bool aboutOffered = false;
            QTimer::singleShot(0, [&] {
                QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
                auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                for (QAction* action : menu->actions())
                    aboutOffered = aboutOffered || action->text() == QStringLiteral("&About Vantrell...");
                menu->close();
            });
            QWidget* edit = form.findChild<QWidget*>(QStringLiteral("IDC_RANGE"));
            edit->setFocus();
            // The window system turns the menu key into this request for the focused widget.
            QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(2, 2), edit->mapToGlobal(QPoint(2, 2)));
            QApplication::sendEvent(edit, &menuKey);
            QVERIFY(aboutOffered);
            QTest::keyClick(edit, Qt::Key_Escape);
            QTRY_VERIFY(!form.isVisible());
        }
        EndScanning();
        QVERIFY(QDir::setCurrent(previous));
    }

    // The plan's texts are read out under their labels' names, not edited, and Tab
    // reaches them: a screen reader user reads the plan by tabbing into it.
    void planTextsAreNamedReadOnlyTabStops()
    {
        CScanDlg form;
        CPlanDlg plan(form);
        plan.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plan));
        const auto children = Children(plan);
        using Child = std::pair<QString, QAccessible::Role>;
        QCOMPARE(children.at(QStringLiteral("IDC_PLAN_TEXT")), Child(QStringLiteral("Plan"), QAccessible::EditableText));
        QCOMPARE(children.at(QStringLiteral("IDC_PLAN_PROGRESS")),
                 Child(QStringLiteral("Progress"), QAccessible::EditableText));
        QCOMPARE(children.at(QStringLiteral("IDC_PLAN_SAVE")), Child(QStringLiteral("Save preview..."), QAccessible::Button));
        QCOMPARE(children.at(QStringLiteral("IDOK")), Child(QStringLiteral("Close"), QAccessible::Button));
        auto* text = plan.findChild<QPlainTextEdit*>(QStringLiteral("IDC_PLAN_TEXT"));
        QVERIFY(QAccessible::queryAccessibleInterface(text)->state().readOnly);
        QVERIFY(text->textInteractionFlags() & Qt::TextSelectableByKeyboard);
        QCOMPARE(text->focusPolicy(), Qt::StrongFocus);
        QVERIFY(text->tabChangesFocus());
    }

    void aboutBoxOkIsNamed()
    {
        CAboutDlg about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        const auto children = Children(about);
        QCOMPARE(children.at(QStringLiteral("IDOK")).first, QStringLiteral("OK"));
        QCOMPARE(children.at(QStringLiteral("IDOK")).second, QAccessible::Button);
        QCOMPARE(QAccessible::queryAccessibleInterface(&about)->text(QAccessible::Name), QStringLiteral("About Vantrell"));
    }
};

QTEST_MAIN(AccessibilityTest)
#include "AccessibilityTest.moc"

// Drives the real scan form and About box through their controls, offscreen.

#include "AboutDlg.h"
#include "DialogLayout.h"
#include "DialogTemplate.h"
#include "LookAtDocument.h"
#include "LookAtFile.h"
#include "PlanDlg.h"
#include "ProgramResources.h"
#include "ScanDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QCheckBox>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <clocale>
#include <cstdio>
#include <memory>

using namespace vantrell;
using namespace vantrell::qt;

namespace {

// The form with its points sent to a file of the test's own, so that workers left
// behind by one test cannot write into the next one's directory.
class CTestScanDlg : public CScanDlg {
public:
    explicit CTestScanDlg(const QString& path)
        : m_watch(MakeReadWatch(path.toStdString(), RealClock()).release()),
          m_file(new CLookAtFile(path.toStdString(), m_watch))
    {
    }
    ~CTestScanDlg() override
    {
        // The worker outlives the form, as in the program: park it and silence its file.
        if (m_pJob)
            m_pJob->m_bPaused.store(true);
        m_file->Freeze();
    }
    int failStarts = 0;
    IReadWatch* m_watch; // deliberately leaked with the file
    CLookAtFile* m_file; // deliberately leaked: a parked worker may still hold it

    IReadWatch& ReadWatch() override { return *m_watch; }
    IPointWriter& PointWriter() override { return *m_file; }

protected:
    bool StartWorker(CScanJob& job) override
    {
        if (failStarts > 0) {
            --failStarts;
            return false;
        }
        return CScanDlg::StartWorker(job);
    }
};

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray Document(float latitude, float longitude, std::int32_t range)
{
    char out[kLookAtDocumentMax];
    return QByteArray(out, static_cast<qsizetype>(FormatLookAt(out, latitude, longitude, range)));
}

// Runs act on the modal window of type T once it is up. Polls without blocking the event
// loop it runs in, so act may open a modal window of its own.
template <class T, class Act> void WhenModal(Act act, int triesLeft = 500)
{
    QTimer::singleShot(10, [act, triesLeft] {
        if (auto* modal = qobject_cast<T*>(QApplication::activeModalWidget()))
            act(modal);
        else if (triesLeft > 0)
            WhenModal<T>(act, triesLeft - 1);
    });
}

// Types path as the file name and presses Save. (selectFile could still be undone by
// the dialog's own selection of the suggested name once it has read the folder.)
void Answer(QFileDialog& files, const QString& path)
{
    files.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path);
    static_cast<QDialog&>(files).accept(); // public in QDialog
}

// The pass and point of a progress line, "Pass 3: point 1,412 of ...", as one number to
// compare; -1 when the line says no such thing.
qint64 PassAndPoint(const QString& progress)
{
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("^Pass ([0-9,]+): point ([0-9,]+)")).match(progress);
    if (!m.hasMatch())
        return -1;
    return m.captured(1).remove(u',').toLongLong() * 1000000000 + m.captured(2).remove(u',').toLongLong();
}

} // namespace

class ScanDlgTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<CTestScanDlg> m_form;

    QString Kml() const { return m_dir.filePath(QStringLiteral("Vantrell.kml")); }
    template <class T> T* Control(const char* name) const
    {
        T* widget = m_form->findChild<T*>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }
    void Type(const char* name, const char* text)
    {
        auto* edit = Control<QLineEdit>(name);
        edit->clear();
        QTest::keyClicks(edit, QString::fromLatin1(text));
    }
    void Choose(const char* name, const char* word)
    {
        auto* list = Control<QComboBox>(name);
        list->setCurrentIndex(list->findText(QString::fromLatin1(word)));
    }
    void Click(const char* name) { QTest::mouseClick(Control<QPushButton>(name), Qt::LeftButton); }
    // Ctrl+P in the form, which a closed dialog may have left inactive.
    void PlanByKey()
    {
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        QTest::keyClick(m_form.get(), Qt::Key_P, Qt::ControlModifier);
    }
    // The first worked example's corner and size.
    void FillExample(const char* speed)
    {
        Type("IDC_LAT_DEG", "45");
        Type("IDC_LAT_MIN", "0");
        Type("IDC_LAT_SEC", "0");
        Choose("IDC_LAT_DIR", "North");
        Type("IDC_LON_DEG", "122");
        Choose("IDC_LON_DIR", "West");
        Type("IDC_MILES_EAST", "1");
        Type("IDC_MILES_SOUTH", "1");
        Type("IDC_RANGE", "1000");
        Type("IDC_SPEED", speed);
        Type("IDC_RESOLUTION", "0");
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QFile::remove(Kml());
        m_form = std::make_unique<CTestScanDlg>(Kml());
        m_form->show();
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    }
    void cleanup() { m_form.reset(); }

    // Qt took the locale from the environment; the file must not follow it.
    void commaLocaleLeavesFileAlone()
    {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", 0.5);
        if (QByteArray(text) != "0,5")
            QSKIP("run under a comma-decimal locale (ctest sets de_DE.UTF-8)");
        FillExample("40");
        Type("IDC_LAT_MIN", "25");
        Type("IDC_LAT_SEC", "30");
        Type("IDC_LAT_DEG", "37");
        Click("IDOK");
        QTRY_COMPARE(ReadAll(Kml()), Document(37.424999f, -121.995445f, 1000));
        QVERIFY(ReadAll(Kml()).contains("<latitude>37.424999</latitude>"));
    }

    void layoutFollowsTemplateInDialogUnits()
    {
        const BaseUnits units = DialogBaseUnits(m_form->font());
        QCOMPARE(m_form->font().family(), QStringLiteral("Liberation Sans"));
        QVERIFY(units.x > 0 && units.y > 0);
        QCOMPARE(m_form->size(), DialogUnitsToPixels(units, 0, 0, 267, 220).size());
        int statics = 0;
        for (const res::DialogItem& c : LoadDialogTemplate(IDD_SCAN_DIALOG).items) {
            const QString name = ControlObjectName(c, statics);
            auto* widget = m_form->findChild<QWidget*>(name);
            QVERIFY2(widget, qPrintable(name));
            const QRect expected = DialogUnitsToPixels(units, c.x, c.y, c.cx, c.cy);
            if (qobject_cast<QComboBox*>(widget)) {
                // The template's height is the open list's; closed, the list is one line tall.
                QCOMPARE(widget->geometry().topLeft(), expected.topLeft());
                QCOMPARE(widget->width(), expected.width());
                QVERIFY(widget->height() <= expected.height());
            } else {
                QCOMPARE(widget->geometry(), expected);
            }
            if (auto* label = qobject_cast<QLabel*>(widget))
                QCOMPARE(label->text(), QString::fromStdString(c.text));
        }
        QCOMPARE(Control<QLabel>("IDC_STATIC_7")->text(), QStringLiteral("Miles East"));
        QCOMPARE(Control<QPushButton>("IDOK")->text(), QStringLiteral("Start"));
        QVERIFY(Control<QPushButton>("IDOK")->isDefault());
        QCOMPARE(Control<QPushButton>("IDCANCEL")->text(), QStringLiteral("Quit"));
        QCOMPARE(Control<QPushButton>("IDC_PAUSE")->text(), QStringLiteral("Pause"));
        QVERIFY(!Control<QProgressBar>("IDC_PROGRESS")->isVisible());
        QVERIFY(m_form->windowTitle().isEmpty());
        // Laying a dialog out lends it the application's font only meanwhile.
        const QFont before = QApplication::font();
        CAboutDlg about(m_form.get());
        QCOMPARE(QApplication::font(), before);
        QVERIFY(QApplication::font() != m_form->font());
    }

    void tabOrderAndStartingState()
    {
        QStringList order;
        QWidget* w = Control<QWidget>("IDC_LAT_DEG");
        QTRY_VERIFY(w->hasFocus());
        do {
            order << w->objectName();
            w = w->nextInFocusChain();
            while (w->focusPolicy() != Qt::StrongFocus || !w->isVisible())
                w = w->nextInFocusChain();
        } while (w->objectName() != QStringLiteral("IDC_LAT_DEG") && order.size() < 40);
        const QStringList expected = {
            "IDC_LAT_DEG", "IDC_LAT_MIN", "IDC_LAT_SEC", "IDC_LAT_DIR", "IDC_LON_DEG",
            "IDC_LON_MIN", "IDC_LON_SEC", "IDC_LON_DIR", "IDC_MILES_EAST", "IDC_MILES_SOUTH",
            "IDC_RANGE", "IDC_SPEED", "IDC_RESOLUTION", "IDOK", "IDCANCEL", "IDC_PAUSE"};
        QCOMPARE(order, expected);
        for (const char* list : {"IDC_LAT_DIR", "IDC_LON_DIR"}) {
            QCOMPARE(Control<QComboBox>(list)->currentIndex(), -1);
            QCOMPARE(Control<QComboBox>(list)->currentText(), QString());
        }
        QCOMPARE(Control<QComboBox>("IDC_LAT_DIR")->itemText(0), QStringLiteral("North"));
        QCOMPARE(Control<QComboBox>("IDC_LAT_DIR")->itemText(1), QStringLiteral("South"));
        QCOMPARE(Control<QComboBox>("IDC_LON_DIR")->itemText(0), QStringLiteral("East"));
        QCOMPARE(Control<QComboBox>("IDC_LON_DIR")->itemText(1), QStringLiteral("West"));
        for (const char* edit : {"IDC_LAT_DEG", "IDC_RANGE", "IDC_RESOLUTION"})
            QVERIFY(Control<QLineEdit>(edit)->text().isEmpty());
    }

    void editsTakeTypedDigitsOnlyButPastedTextWhole()
    {
        Type("IDC_RANGE", "1a2-3 .4");
        QCOMPARE(Control<QLineEdit>("IDC_RANGE")->text(), QStringLiteral("1234"));
        // Pasting inserts text as it is; the form reads it with the text-to-number rule.
        auto* edit = Control<QLineEdit>("IDC_LAT_DEG");
        edit->insert(QStringLiteral("-7x"));
        QCOMPARE(edit->text(), QStringLiteral("-7x"));
    }

    void startWritesTheWorkedExample()
    {
        FillExample("40"); // ten seconds a point: the first point stays put
        Click("IDOK");
        QVERIFY(m_form->m_bStarted);
        QTRY_COMPARE(ReadAll(Kml()), Document(45.0f, -121.994888f, 1000));
        QVERIFY(m_form->isVisible());
        QCOMPARE(m_form->m_pJob->m_nRange, 1000);
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("*.tmp")}, QDir::AllEntries | QDir::Hidden), QStringList());
    }

    void pauseHoldsAndStartResumesWithFirstValues()
    {
        Click("IDC_PAUSE"); // before any Start: nothing
        QVERIFY(!m_form->m_pJob);
        QVERIFY(!m_form->m_bStarted);
        FillExample("1");
        auto* milesEast = Control<QLineEdit>("IDC_MILES_EAST");
        milesEast->setFocus();
        QTRY_VERIFY(milesEast->hasFocus());
        QTest::keyClick(milesEast, Qt::Key_Return); // Enter acts as Start
        QVERIFY(m_form->m_bStarted);
        QVERIFY(m_form->isVisible());
        QTRY_VERIFY(m_form->m_file->Written() >= 2);
        Click("IDC_PAUSE");
        // The current point's delay may still end in one more point; then nothing.
        QTest::qWait(400);
        const std::uint64_t held = m_form->m_file->Written();
        QTest::qWait(1300);
        QCOMPARE(m_form->m_file->Written(), held);

        CScanJob* job = m_form->m_pJob;
        Type("IDC_LAT_DEG", "10");
        Type("IDC_RANGE", "5");
        Click("IDOK");
        QCOMPARE(m_form->m_pJob, job);
        QTRY_VERIFY(m_form->m_file->Written() > held);
        const QByteArray now = ReadAll(Kml());
        QVERIFY2(now.contains("<range>1000</range>") && now.contains("<latitude>4"), now.constData());
    }

    void emptyFieldsAndUnselectedWords()
    {
        bool saveEnabled = true;
        WhenModal<CPlanDlg>([&](CPlanDlg* dlg) {
            saveEnabled = dlg->findChild<QPushButton*>(QStringLiteral("IDC_PLAN_SAVE"))->isEnabled();
            dlg->reject();
        });
        QTest::keyClick(m_form.get(), Qt::Key_P, Qt::ControlModifier);
        QVERIFY2(!saveEnabled, "a plan without points offers a preview");
        Click("IDOK"); // every field empty: a valid request with no miles south
        QVERIFY(m_form->m_pJob);
        QCOMPARE(m_form->m_pJob->m_strLatDir, std::string());
        QCOMPARE(m_form->m_pJob->m_nMilesSouth, 0);
        QTest::qWait(300);
        QVERIFY(!QFile::exists(Kml()));

        cleanup();
        init();
        FillExample("40");
        Control<QComboBox>("IDC_LAT_DIR")->setCurrentIndex(-1);
        Control<QComboBox>("IDC_LON_DIR")->setCurrentIndex(-1);
        Click("IDOK"); // no words: the corner is at 0, 0 whatever degrees were typed
        QTRY_VERIFY(ReadAll(Kml()).contains("<longitude>0.003614</longitude>\n<latitude>0.000000</latitude>"));
    }

    void failedWorkerStartIsForgotten()
    {
        m_form->failStarts = 1;
        FillExample("40");
        Click("IDOK");
        QVERIFY(!m_form->m_bStarted);
        QVERIFY(!m_form->m_pJob);
        Click("IDOK");
        QVERIFY(m_form->m_bStarted);
        QTRY_COMPARE(ReadAll(Kml()), Document(45.0f, -121.994888f, 1000));
    }

    void escapeAndQuitCloseTheForm()
    {
        FillExample("0"); // a walk at full speed does not hold the form open
        Click("IDOK");
        QTRY_VERIFY(m_form->m_file->Written() > 10);
        QTest::keyClick(Control<QLineEdit>("IDC_LAT_SEC"), Qt::Key_Escape);
        QTRY_VERIFY(!m_form->isVisible());
        QCOMPARE(m_form->result(), int(QDialog::Rejected));

        cleanup();
        init();
        Click("IDCANCEL");
        QTRY_VERIFY(!m_form->isVisible());
    }

    void aboutBoxFromContextMenuAndF1()
    {
        FillExample("40");
        Click("IDOK");
        QTRY_VERIFY(m_form->m_file->Written() == 1);
        QStringList menuTexts;
        QString aboutCaption;
        QStringList aboutTexts;
        // The menu and the box are modal: inspect and close them from the event loop.
        QTimer::singleShot(0, [&] {
            QTRY_VERIFY(QApplication::activePopupWidget());
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu);
            for (QAction* action : menu->actions())
                menuTexts << (action->isSeparator() ? QStringLiteral("-") : action->text());
            QTimer::singleShot(0, [&] {
                QTRY_VERIFY(qobject_cast<CAboutDlg*>(QApplication::activeModalWidget()));
                QWidget* about = QApplication::activeModalWidget();
                aboutCaption = about->windowTitle();
                for (QLabel* label : about->findChildren<QLabel*>())
                    aboutTexts << label->text();
                QTest::keyClick(about, Qt::Key_Escape);
            });
            menu->actions().at(menu->actions().size() - 2)->trigger();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), m_form->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(m_form.get(), &event);
        QCOMPARE(menuTexts, QStringList({"-", "&About Vantrell...", "&Plan this scan..."}));
        QCOMPARE(aboutCaption, QStringLiteral("About Vantrell"));
        QVERIFY(aboutTexts.contains(QStringLiteral("Vantrell Version 1.1")));
        QVERIFY(aboutTexts.contains(QStringLiteral(
            "To use, enter data into the appropriate fields and click OK.  A file called Vantrell.kml "
            "will be output into the directory where this application was run from. ")));
        QVERIFY(aboutTexts.contains(QStringLiteral(
            "In GE select Add -> Network Link.  Locate the Vantrell.kml file and supply a name.  On the "
            "Refresh tab, check the \"Fly to View on Refresh\" Box.")));
        QVERIFY(aboutTexts.contains(QString(37, u'-')));
        QCOMPARE(m_form->m_file->Written(), 1u); // the scan was not touched

        bool opened = false;
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        QTimer::singleShot(0, [&] {
            auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
            if (!about)
                return;
            opened = true;
            auto* ok = about->findChild<QPushButton*>(QStringLiteral("IDOK"));
            QVERIFY(ok && ok->isDefault());
            QTest::keyClick(ok, Qt::Key_Return);
        });
        QTest::keyClick(m_form.get(), Qt::Key_F1);
        QVERIFY(opened);
        QVERIFY(!QApplication::activeModalWidget() || QApplication::activeModalWidget() == m_form.get());
    }

    // Ctrl+P before Start plans the fields' values and starts nothing; the menu after
    // Start plans the running scan, whose progress moves on while the dialog is open.
    void planBeforeAndAfterStart()
    {
        FillExample("0");
        QString plan, progress, later;
        const auto read = [&](CPlanDlg* dlg) {
            plan = dlg->findChild<QPlainTextEdit*>(QStringLiteral("IDC_PLAN_TEXT"))->toPlainText();
            auto* line = dlg->findChild<QPlainTextEdit*>(QStringLiteral("IDC_PLAN_PROGRESS"));
            progress = line->toPlainText();
            if (m_form->m_bStarted) { // a refresh a second later shows a later point
                static_cast<void>(QTest::qWaitFor([&] { return PassAndPoint(later = line->toPlainText()) > PassAndPoint(progress); }, 5000));
            }
            dlg->reject(); // also when the wait fails: the test goes on
        };
        WhenModal<CPlanDlg>(read);
        QTest::keyClick(m_form.get(), Qt::Key_P, Qt::ControlModifier);
        QVERIFY2(plan.contains(QStringLiteral("20 points per pass")), qPrintable(plan));
        QCOMPARE(progress, LoadResourceString(IDS_PLAN_NOT_STARTED));
        QVERIFY(!m_form->m_bStarted && !m_form->m_pJob);
        QVERIFY(!QFile::exists(Kml()));

        Click("IDOK");
        QTRY_VERIFY(m_form->m_file->Written() > 0);
        plan.clear();
        QTimer::singleShot(0, [&] {
            QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
            WhenModal<CPlanDlg>(read);
            qobject_cast<QMenu*>(QApplication::activePopupWidget())->actions().last()->trigger();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), m_form->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(m_form.get(), &event);
        QVERIFY2(plan.contains(QStringLiteral("20 points per pass")), qPrintable(plan));
        QVERIFY2(PassAndPoint(progress) >= 0, qPrintable(progress));
        QVERIFY2(PassAndPoint(later) > PassAndPoint(progress), qPrintable(progress + " then " + later));
    }

    // Save preview suggests "Vantrell plan.kml" here, writes what is chosen, and says in a
    // message box why it will not write over the scan's own file.
    void savePreviewWritesTheChosenFileOnly()
    {
        FillExample("40");
        const QString preview = m_dir.filePath(QStringLiteral("preview.kml"));
        QString suggested, refusal;
        WhenModal<CPlanDlg>([&](CPlanDlg* dlg) {
            auto* save = dlg->findChild<QPushButton*>(QStringLiteral("IDC_PLAN_SAVE"));
            WhenModal<QFileDialog>([&](QFileDialog* files) {
                suggested = files->selectedFiles().value(0);
                // Typed without its ending: the dialog adds ".kml".
                Answer(*files, m_dir.filePath(QStringLiteral("preview")));
            });
            save->click();
            WhenModal<QFileDialog>([&](QFileDialog* files) {
                Answer(*files, Kml());
                WhenModal<QMessageBox>([&](QMessageBox* box) {
                    refusal = box->text();
                    box->accept();
                });
            });
            save->click();
            dlg->reject();
        });
        QTest::keyClick(m_form.get(), Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(suggested, QDir::current().filePath(QStringLiteral("Vantrell plan.kml")));
        QVERIFY2(ReadAll(preview).contains("<kml"), ReadAll(preview).constData());
        QVERIFY(!refusal.isEmpty());
        QVERIFY(!QFile::exists(Kml()));
        QVERIFY(!m_form->m_bStarted);
    }

    // A preview saved from the plan opens again into the fields, as typed; a file that is
    // no preview is refused in a message box and fills nothing.
    void openPlanFillsTheFieldsAPreviewHolds()
    {
        FillExample("20");
        Type("IDC_LAT_SEC", "30");
        Type("IDC_LON_MIN", "15"); // every field as the plan reads it: an empty one reads as 0
        Type("IDC_LON_SEC", "0");
        const QString preview = m_dir.filePath(QStringLiteral("round trip.kml"));
        QString refusal;
        WhenModal<CPlanDlg>([&](CPlanDlg* dlg) {
            WhenModal<QFileDialog>([&](QFileDialog* files) { Answer(*files, preview); });
            dlg->findChild<QPushButton*>(QStringLiteral("IDC_PLAN_SAVE"))->click();
            dlg->reject();
        });
        PlanByKey();
        const RequestTexts saved = m_form->FieldTexts();
        m_form->FillFields({});
        QFile notPreview(m_dir.filePath(QStringLiteral("notes.kml")));
        QVERIFY(notPreview.open(QIODevice::WriteOnly) && notPreview.write("<kml/>") > 0);
        notPreview.close();
        WhenModal<CPlanDlg>([&](CPlanDlg* dlg) {
            auto* open = dlg->findChild<QPushButton*>(QStringLiteral("IDC_PLAN_OPEN"));
            WhenModal<QFileDialog>([&](QFileDialog* files) {
                Answer(*files, notPreview.fileName());
                WhenModal<QMessageBox>([&](QMessageBox* box) {
                    refusal = box->text();
                    box->accept();
                });
            });
            open->click();
            WhenModal<QFileDialog>([&](QFileDialog* files) { Answer(*files, preview); });
            open->click();
            dlg->reject();
        });
        PlanByKey();
        QVERIFY2(refusal.contains(QStringLiteral("is not a Vantrell preview")), qPrintable(refusal));
        QVERIFY(m_form->FieldTexts() == saved);
    }

    // Open area fills the corner and miles from a drawn shape, leaves Range as typed and
    // keeps the plan and the first Start to the shape; both area controls go with it.
    void openAreaKeepsThePlanAndTheWalkToIt()
    {
        FillExample("0");
        Type("IDC_RANGE", "1500");
        QFile file(m_dir.filePath(QStringLiteral("area.kml")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("<kml><Polygon><outerBoundaryIs><LinearRing><coordinates>"
            "-122.6,45.5 -122.6,45.49 -122.56,45.49</coordinates></LinearRing></outerBoundaryIs></Polygon></kml>") > 0);
        file.close();
        QString plan, corridor;
        bool enabled = false;
        WhenModal<CPlanDlg>([&](CPlanDlg* dlg) {
            corridor = dlg->findChild<QLineEdit*>(QStringLiteral("IDC_CORRIDOR"))->text();
            auto* button = dlg->findChild<QPushButton*>(QStringLiteral("IDC_AREA_OPEN"));
            enabled = button->isEnabled() || dlg->findChild<QLineEdit*>(QStringLiteral("IDC_CORRIDOR"))->isEnabled();
            WhenModal<QFileDialog>([&](QFileDialog* files) { Answer(*files, file.fileName()); });
            button->click();
            plan = dlg->findChild<QPlainTextEdit*>(QStringLiteral("IDC_PLAN_TEXT"))->toPlainText();
            dlg->reject();
        });
        PlanByKey();
        QVERIFY(enabled && corridor == QStringLiteral("5"));
        QVERIFY(m_form->FieldTexts() == (RequestTexts{"45", "30", "0", "North", "122", "36", "0", "West", "2", "1",
                                                       "0", "1500", "0"}));
        QVERIFY2(plan.contains(QStringLiteral(" points per pass lie in the area of \"area.kml\"")), qPrintable(plan));
        Click("IDOK");
        QTRY_VERIFY(m_form->m_file->Written() > 0);
        QVERIFY(m_form->m_pJob->Kept() && m_form->m_pJob->Kept()->AreaName() == "area.kml");
        WhenModal<CPlanDlg>([&](CPlanDlg* dlg) {
            enabled = dlg->findChild<QPushButton*>(QStringLiteral("IDC_AREA_OPEN"))->isEnabled() ||
                      dlg->findChild<QLineEdit*>(QStringLiteral("IDC_CORRIDOR"))->isEnabled();
            dlg->reject();
        });
        PlanByKey();
        QVERIFY(!enabled);
    }

    // After Start the progress says what the viewer does; the box goes to the running scan.
    void waitForTheViewerTicksTheRunningScan()
    {
        FillExample("4");
        Click("IDOK");
        QTRY_VERIFY(m_form->m_file->Written() > 0);
        QString progress;
        WhenModal<CPlanDlg>([&](CPlanDlg* dlg) {
            auto* follow = dlg->findChild<QCheckBox*>(QStringLiteral("IDC_FOLLOW"));
            QVERIFY(follow && follow->isEnabled() && !follow->isChecked());
            follow->click();
            progress = dlg->findChild<QPlainTextEdit*>(QStringLiteral("IDC_PLAN_PROGRESS"))->toPlainText();
            dlg->reject();
        });
        PlanByKey();
        QVERIFY(m_form->m_pJob->m_bFollow.load());
        QVERIFY2(progress.contains(QStringLiteral("\nViewer: has read 0 of ")), qPrintable(progress));
    }

    // However a character is typed, only digits get into a digits-only field; pasted
    // text passes, as the form reads it through the text-to-number rule.
    void digitsOnlyHoldsForEveryKindOfTyping()
    {
        auto* edit = Control<QLineEdit>("IDC_LAT_DEG");
        QVERIFY(edit->inputMethodHints() & Qt::ImhDigitsOnly);
        edit->setFocus();
        QTest::keyClicks(edit, "a1-");
        QCOMPARE(edit->text(), QStringLiteral("1"));
        // Dead keys and a compose key commit their result as input-method text.
        for (const QString& composed : {QStringLiteral("\u00e9"), QStringLiteral("\u00fc"), QStringLiteral("7")}) {
            QInputMethodEvent event;
            event.setCommitString(composed);
            QApplication::sendEvent(edit, &event);
        }
        QCOMPARE(edit->text(), QStringLiteral("17"));
        QInputMethodEvent mixed;
        mixed.setCommitString(QStringLiteral("4x5"));
        QApplication::sendEvent(edit, &mixed);
        QCOMPARE(edit->text(), QStringLiteral("1745"));
        edit->insert(QStringLiteral("x9")); // what a paste does
        QCOMPARE(edit->text(), QStringLiteral("1745x9"));
    }

    // Right-clicking anywhere, an edit included, offers the About box and the plan after a
    // separator, in the form's font.
    void everyContextMenuOffersAboutInTheFormsFont()
    {
        for (const char* where : {"IDC_MILES_EAST", "IDC_LAT_DEG", ""}) {
            QWidget* target = *where ? static_cast<QWidget*>(Control<QLineEdit>(where)) : m_form.get();
            QStringList texts;
            QFont menuFont;
            QTimer::singleShot(0, [&] {
                QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
                auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                for (QAction* action : menu->actions())
                    texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
                menuFont = menu->font();
                menu->close();
            });
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), target->mapToGlobal(QPoint(2, 2)));
            QApplication::sendEvent(target, &event);
            QVERIFY2(texts.size() >= 3, where);
            QCOMPARE(texts.mid(texts.size() - 3), QStringList({"-", "&About Vantrell...", "&Plan this scan..."}));
            if (*where)
                QVERIFY2(texts.size() > 3, "the edit's own entries are kept");
            QCOMPARE(menuFont, m_form->font());
        }
    }
};

// BuildDialog on a template of the test's own: initialisation data applied as the
// platform's dialog initialisation applies it.
class DialogLayoutTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initialisationFillsListsAsTheirStylesSay()
    {
        auto list = [](std::int32_t id, std::uint32_t style) {
            res::DialogItem item;
            item.id = id;
            item.classAtom = res::kAtomComboBox;
            item.style = kStyleVisible | kStyleTabStop | kComboDropDownList | style;
            item.cx = 40;
            item.cy = 30;
            return item;
        };
        res::Dialog dialog;
        dialog.pointSize = 8;
        dialog.cx = 100;
        dialog.cy = 60;
        dialog.items = {list(10, kComboSort), list(11, 0)};
        const std::vector<res::DialogInitEntry> init = {
            {10, res::kInitAddString16, "west"},
            {10, res::kInitAddString16, "East"},
            {10, res::kInitAddString16, "North"},
            {11, res::kInitAddString16, "West"},
            {11, res::kInitAddString16, "East"},
            {11, 0x0401, "not an add-string"},
            {12, res::kInitAddString16, "no such control"},
            {11, res::kInitAddString16, "\x80 5"}, // code page 1252's euro sign
        };
        QWidget form;
        const QHash<int, QWidget*> controls = BuildDialog(form, dialog, init);
        auto items = [](QWidget* widget) {
            auto* combo = qobject_cast<QComboBox*>(widget);
            QStringList texts;
            for (int i = 0; combo && i < combo->count(); ++i)
                texts << combo->itemText(i);
            return texts;
        };
        // A sorted list sorts without regard to case; the other keeps the records' order.
        QCOMPARE(items(controls.value(10)), QStringList({"East", "North", "west"}));
        QCOMPARE(items(controls.value(11)), QStringList({"West", "East", QStringLiteral("\u20AC 5")}));
        for (const int id : {10, 11})
            QCOMPARE(qobject_cast<QComboBox*>(controls.value(id))->currentIndex(), -1);
    }
};

// The real program's file: Vantrell.kml in the working directory.
class ProgramFileTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startWritesIntoTheWorkingDirectory()
    {
        QTemporaryDir dir;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        {
            CScanDlg form;
            form.show();
            auto type = [&](const char* name, const char* text) {
                QTest::keyClicks(form.findChild<QLineEdit*>(QString::fromLatin1(name)), QString::fromLatin1(text));
            };
            type("IDC_LAT_DEG", "33");
            type("IDC_LAT_MIN", "51");
            type("IDC_LON_DEG", "151");
            type("IDC_LON_MIN", "12");
            form.findChild<QComboBox*>(QStringLiteral("IDC_LAT_DIR"))->setCurrentIndex(1);
            form.findChild<QComboBox*>(QStringLiteral("IDC_LON_DIR"))->setCurrentIndex(0);
            type("IDC_MILES_EAST", "1");
            type("IDC_MILES_SOUTH", "1");
            type("IDC_RANGE", "1500");
            type("IDC_SPEED", "40");
            type("IDC_RESOLUTION", "3");
            QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("IDOK")), Qt::LeftButton);
            QTRY_COMPARE(ReadAll(QStringLiteral("Vantrell.kml")), Document(-33.849998f, 151.205215f, 1500));
            form.m_pJob->m_bPaused.store(true);
        }
        EndScanning();
        QVERIFY(QDir::setCurrent(previous));
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int status = 0;
    {
        ScanDlgTest form;
        status |= QTest::qExec(&form, argc, argv);
    }
    {
        DialogLayoutTest layout;
        status |= QTest::qExec(&layout, argc, argv);
    }
    {
        ProgramFileTest program;
        status |= QTest::qExec(&program, argc, argv);
    }
    return status;
}

#include "ScanDlgTest.moc"

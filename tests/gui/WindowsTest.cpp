// The progress window, the About window, the dialog units and the message box: texts, ranges,
// the completion pause, and calls that come from another thread.
#include "GuiTestSupport.h"

#include "ui/shell/CAboutDlg.h"
#include "ui/shell/CProgressDlg.h"
#include "ui/shell/DialogUnits.h"
#include "ui/shell/ProgressWindow.h"
#include "ui/shell/QtMessageSink.h"

#include <QElapsedTimer>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <thread>

namespace ostrel {

using test::clickButton;
using test::whenModal;

class WindowsTest final : public QObject
{
    Q_OBJECT

private slots:
    void progressStepsAndCompletesForHalfASecond()
    {
        CProgressDlg dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Ostrel"));
        QCOMPARE(dialog.findChild<QProgressBar*>("progressBar")->property("controlId").toInt(),
                 1000);
        QCOMPARE(dialog.findChild<QLabel*>("statusText")->property("controlId").toInt(), 1001);
        QCOMPARE(dialog.bar()->maximum(), 100); // before the first run
        QVERIFY(!dialog.isModal());

        dialog.StartProgress(6, 0, 2);
        dialog.show();
        QCOMPARE(dialog.status()->text(), QStringLiteral("PLU Updating..."));
        QCOMPARE(dialog.bar()->minimum(), 0);
        QCOMPARE(dialog.bar()->maximum(), 6);
        dialog.StepProgress();
        dialog.StepProgress();
        QCOMPARE(dialog.bar()->value(), 4);
        dialog.StepProgress();
        dialog.StepProgress(); // never past the end
        QCOMPARE(dialog.bar()->value(), 6);

        QSignalSpy shown(&dialog, &CProgressDlg::completionShown);
        QElapsedTimer clock;
        clock.start();
        dialog.CompleteProgress();
        QCOMPARE(dialog.status()->text(), QStringLiteral("Complete!!"));
        QVERIFY(dialog.isVisible());
        QVERIFY(shown.wait(10000));
        QVERIFY(clock.elapsed() >= CProgressDlg::kCompleteMs);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.bar()->value(), 0);
    }

    void progressOfVeryLongRunsCountsPerMille()
    {
        CProgressDlg dialog;
        dialog.StartProgress(200000, 0, 1);
        QCOMPARE(dialog.bar()->maximum(), 1000);
        for (int i = 0; i < 1000; ++i) {
            dialog.StepProgress();
        }
        QCOMPARE(dialog.bar()->value(), 5);
        dialog.CompleteProgress();
        QCOMPARE(dialog.bar()->value(), 1000);

        // A run that starts during the pause is not hidden by it.
        QSignalSpy shown(&dialog, &CProgressDlg::completionShown);
        dialog.StartProgress(65535, 0, 1);
        dialog.show();
        QCOMPARE(dialog.bar()->maximum(), 65535);
        QVERIFY(!shown.wait(CProgressDlg::kCompleteMs * 2));
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.status()->text(), QStringLiteral("PLU Updating..."));
    }

    void progressFromTheLibraryThreadArrivesInOrder()
    {
        ProgressWindow progress;
        std::thread library([&] {
            progress.StartProgress(300, 0, 1);
            for (int i = 0; i < 300; ++i) {
                progress.StepProgress();
            }
            progress.CompleteProgress();
        });
        library.join();
        QVERIFY(progress.existing() == nullptr); // nothing touched off this thread
        QTRY_VERIFY(progress.existing() != nullptr &&
                    progress.existing()->status()->text() == QStringLiteral("Complete!!"));
        QCOMPARE(progress.existing()->bar()->value(), 300);
        QTRY_VERIFY(!progress.existing()->isVisible());

        // Destroyed by a close request, it is made again by the next run.
        progress.destroyWindow();
        progress.StartProgress(2, 0, 1);
        QTRY_VERIFY(progress.existing() != nullptr && progress.existing()->isVisible());
    }

    void aboutShowsIconVersionAndClosesOnOk()
    {
        CAboutDlg about;
        QCOMPARE(about.windowTitle(), QStringLiteral("Ostrel Information"));
        QCOMPARE(about.findChild<QLabel*>("versionText")->text(),
                 QStringLiteral("Ostrel Version 1.4.15"));
        QVERIFY(about.findChild<QLabel*>("emptyText")->text().isEmpty());
        QVERIFY(!about.findChild<QLabel*>("iconLabel")->pixmap().isNull());
        QVERIFY(!about.windowIcon().isNull());
        const DialogUnits units(about.font());
        QCOMPARE(about.size(), units.size(235, 55));
        QCOMPARE(about.findChild<QPushButton*>("okButton")->geometry(), units.rect(178, 7, 50, 14));

        whenModal([](QWidget* modal) { clickButton(modal, "okButton"); });
        QCOMPARE(about.exec(), int(QDialog::Accepted));
    }

    void dialogUnitsFollowTheFontsAverageCharacter()
    {
        const QFont font = dialogFont();
        QVERIFY(!QFontInfo(font).family().isEmpty());
        const DialogUnits units(font);
        const QFontMetrics metrics(font);
        const int letters = metrics.horizontalAdvance(
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
        QCOMPARE(units.baseX(), (letters / 26 + 1) / 2);
        QCOMPARE(units.baseY(), metrics.ascent() + metrics.descent());
        // Four horizontal units are one average character, eight vertical ones its height.
        QCOMPARE(units.x(4), units.baseX());
        QCOMPARE(units.y(8), units.baseY());
        QCOMPARE(units.x(0), 0);
        // Rounded to the nearest pixel, as MulDiv does.
        QCOMPARE(units.x(2), (2 * units.baseX() + 2) / 4);
        QCOMPARE(units.x(-2), -((2 * units.baseX() + 2) / 4));

        // A bigger font gives bigger windows in the same proportions.
        QFont larger = font;
        larger.setPointSizeF(font.pointSizeF() * 2);
        QVERIFY(DialogUnits(larger).x(100) > units.x(100));
    }

    void messageBoxFromAnotherThreadShowsOnThisOne()
    {
        QtMessageSink sink;
        QString caption;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        bool onThisThread = false;
        whenModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (box == nullptr) {
                return;
            }
            onThisThread = QThread::currentThread() == box->thread();
            caption = box->windowTitle();
            text = box->text();
            icon = box->icon();
            box->button(QMessageBox::No)->click();
        });
        MessageAnswer answer = MessageAnswer::Ok;
        std::atomic<bool> done{false};
        std::thread library([&] {
            answer = sink.ShowMessage("Replace \xE9t\xE9?", "Warning", MessageIcon::Warning,
                                      MessageButtons::YesNo);
            done = true;
        });
        QVERIFY(QTest::qWaitFor([&] { return done.load(); }, 10000));
        library.join();
        QVERIFY(onThisThread);
        QCOMPARE(caption, QStringLiteral("Warning"));
        QCOMPARE(text, QString::fromUtf8("Replace \xC3\xA9t\xC3\xA9?")); // from CP1252
        QCOMPARE(icon, QMessageBox::Warning);
        QVERIFY(answer == MessageAnswer::No);
    }
};

int runWindowsTest(int argc, char** argv)
{
    WindowsTest test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace ostrel

#include "WindowsTest.moc"

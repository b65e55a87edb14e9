// The tray icon's account of the runs: its three icons, the tooltip's two lines and one
// notification per failed run or run that sent values read only in part, through the
// notifier seam.
#include "GuiTestSupport.h"

#include "engine/RunOutcome.h"
#include "ui/shell/TrayStatus.h"

#include <QtTest>

namespace ostrel {

using test::chooseMenuItem;
using test::TrayProgram;

namespace {

struct Notification
{
    QString title;
    QString text;
};

qint64 shownIcon(TrayProgram& program)
{
    return program.mainDlg->trayIcon().icon().icon().cacheKey();
}

qint64 iconOf(TrayStatus::State state)
{
    return TrayStatus::icon(state).cacheKey();
}

} // namespace

class TrayStatusTest final : public QObject
{
    Q_OBJECT

private slots:
    void iconsTooltipAndNotificationFollowTheRuns()
    {
        TrayProgram program;
        program.start();
        std::vector<Notification> shown;
        program.mainDlg->trayStatus().setNotifier([&](const QString& title, const QString& text) {
            shown.push_back({title, text});
        });
        QCOMPARE(shownIcon(program), iconOf(TrayStatus::State::Idle));
        QVERIFY(iconOf(TrayStatus::State::Busy) != iconOf(TrayStatus::State::Idle));
        QVERIFY(iconOf(TrayStatus::State::Failed) != iconOf(TrayStatus::State::Busy));
        QSystemTrayIcon& icon = program.mainDlg->trayIcon().icon();

        // A failed run: the failed icon, the result on the second line, one notification.
        program.library.setUnreachable("127.0.0.2");
        program.writeData("PLU1.TXT", {"1,101,Apple,120"});
        QVERIFY(chooseMenuItem(program.menu(), "directDownloadAction"));
        QTRY_COMPARE(shownIcon(program), iconOf(TrayStatus::State::Failed));
        const QStringList tip = icon.toolTip().split('\n');
        QCOMPARE(tip.size(), 2);
        QCOMPARE(tip[0], QStringLiteral("Ostrel"));
        QVERIFY2(
            QRegularExpression(QStringLiteral("^Last run \\d\\d:\\d\\d \u2014 0 of 1 scale OK$"))
                .match(tip[1])
                .hasMatch(),
            qPrintable(tip[1]));
        QCOMPARE(shown.size(), std::size_t{1});
        QCOMPARE(shown[0].text, QStringLiteral("1 (127.0.0.2:5001): connection refused"));
        QCoreApplication::processEvents();
        QCOMPARE(shown.size(), std::size_t{1}); // once per run

        // A good run: busy while it sends, then the idle icon again and no notification.
        program.library.setReachable("127.0.0.2");
        program.writeData("PLU2.TXT", {"1,102,Pear,130"});
        QVERIFY(chooseMenuItem(program.menu(), "directDownloadAction"));
        QTRY_COMPARE(shownIcon(program), iconOf(TrayStatus::State::Busy));
        QVERIFY(program.runStarted());
        program.library.pump();
        QTRY_COMPARE(shownIcon(program), iconOf(TrayStatus::State::Idle));
        QVERIFY(icon.toolTip().endsWith(QStringLiteral("1 of 1 scale OK")));
        QVERIFY(icon.toolTip().startsWith(QStringLiteral("Ostrel\nLast run ")));
        QCOMPARE(shown.size(), std::size_t{1});

        // A good run that sent a value read only in part: the idle icon, and a notification.
        program.writeData("PLU3.TXT", {"1,103,Plum,n/a"});
        QVERIFY(chooseMenuItem(program.menu(), "directDownloadAction"));
        QTRY_COMPARE(shownIcon(program), iconOf(TrayStatus::State::Busy));
        program.library.pump();
        QTRY_COMPARE(shownIcon(program), iconOf(TrayStatus::State::Idle));
        QTRY_COMPARE(shown.size(), std::size_t{2});
        QCOMPARE(shown[1].title, QStringLiteral("Ostrel: the last run sent values to check"));
        QCOMPARE(shown[1].text, QStringLiteral("PLU3.TXT: 1 line with a number read only in part "
                                               "(first: line 1: price 'n/a' read as 0)"));
    }

    void notificationCanBeTurnedOff()
    {
        TrayProgram program;
        program.writeSettings({TrayProgram::kScale}, "[CYCLE]\nUpdate Cycle=minutes\n"
                                                     "Update Interval=5\nDecimal Point=2\n"
                                                     "[NOTIFY]\nOn Failure=0\n");
        QVERIFY(!notifyOnFailure(program.paths.tarvikIni));
        program.start();
        int shown = 0;
        program.mainDlg->trayStatus().setNotifier([&](const QString&, const QString&) { ++shown; });
        program.library.setUnreachable("127.0.0.2");
        program.writeData("PLU1.TXT", {"1,101,Apple,120"});
        QVERIFY(chooseMenuItem(program.menu(), "directDownloadAction"));
        QTRY_COMPARE(shownIcon(program), iconOf(TrayStatus::State::Failed));
        QCoreApplication::processEvents();
        QCOMPARE(shown, 0);
    }
};

int runTrayStatusTest(int argc, char** argv)
{
    TrayStatusTest test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace ostrel

#include "TrayStatusTest.moc"

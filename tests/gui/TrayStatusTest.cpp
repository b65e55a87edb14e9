// The tray icon's account of the runs: its four icons, the tooltip's lines, one notification
// per failed run or run that sent values read only in part, and the brief answer to a Direct
// Download, through the notifier seam.
#include "GuiTestSupport.h"

#include "engine/RunOutcome.h"
#include "ui/shell/TrayStatus.h"

#include <QtTest>

#include <set>

namespace ostrel {

using test::chooseMenuItem;
using test::TrayProgram;

namespace {

struct Notification
{
    QString title;
    QString text;
    TrayStatus::Notice notice;
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
        program.mainDlg->trayStatus().setNotifier(
            [&](const QString& title, const QString& text, TrayStatus::Notice notice) {
                shown.push_back({title, text, notice});
            });
        QCOMPARE(shownIcon(program), iconOf(TrayStatus::State::Idle));
        const std::vector<qint64> icons{
            iconOf(TrayStatus::State::Idle), iconOf(TrayStatus::State::Busy),
            iconOf(TrayStatus::State::Failed), iconOf(TrayStatus::State::Succeeded)};
        QCOMPARE(std::set<qint64>(icons.begin(), icons.end()).size(), icons.size());
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
        QCOMPARE(shown[0].notice, TrayStatus::Notice::Failure);
        QCoreApplication::processEvents();
        QCOMPARE(shown.size(), std::size_t{1}); // once per run

        // A good run from Direct Download: busy while it sends, then the succeeded icon and a
        // brief notice, so even a run of one line answers the click.
        program.library.setReachable("127.0.0.2");
        program.writeData("PLU2.TXT", {"1,102,Pear,130"});
        QVERIFY(chooseMenuItem(program.menu(), "directDownloadAction"));
        QTRY_COMPARE(shownIcon(program), iconOf(TrayStatus::State::Busy));
        QVERIFY(program.runStarted());
        program.library.pump();
        QTRY_COMPARE(shownIcon(program), iconOf(TrayStatus::State::Succeeded));
        QVERIFY(icon.toolTip().endsWith(QStringLiteral("1 of 1 scale OK")));
        QVERIFY(icon.toolTip().startsWith(QStringLiteral("Ostrel\nLast run ")));
        QCOMPARE(shown.size(), std::size_t{2});
        QCOMPARE(shown[1].title, QStringLiteral("Ostrel: Direct Download done"));
        QCOMPARE(shown[1].text, icon.toolTip().split('\n')[1]);
        QCOMPARE(shown[1].notice, TrayStatus::Notice::Brief);

        // Direct Download with nothing new: the tooltip and a brief notice say where it looked.
        QVERIFY(chooseMenuItem(program.menu(), "directDownloadAction"));
        const QString nothing = QStringLiteral("Nothing to send: no file newer than the last run "
                                               "matches ") +
                                QString::fromStdString(program.pluFolder()) +
                                QStringLiteral("/PLU*.TXT");
        QCOMPARE(icon.toolTip().split('\n').value(2), nothing);
        QCOMPARE(shown.size(), std::size_t{3});
        QCOMPARE(shown[2].text, nothing);
        QCOMPARE(shownIcon(program), iconOf(TrayStatus::State::Succeeded));

        // A timer's good run goes back to the plain icon, without a word.
        program.writeData("PLU3.TXT", {"1,103,Plum,99"});
        program.mainDlg->OnTimer();
        QVERIFY(program.runStarted());
        program.library.pump();
        QTRY_COMPARE(shownIcon(program), iconOf(TrayStatus::State::Idle));
        QCOMPARE(icon.toolTip().split('\n').size(), 2); // the note went with the run
        QCOMPARE(shown.size(), std::size_t{3});

        // A run that sent a value read only in part: a notification to check it.
        program.writeData("PLU4.TXT", {"1,104,Fig,n/a"});
        QVERIFY(chooseMenuItem(program.menu(), "directDownloadAction"));
        QVERIFY(program.runStarted());
        program.library.pump();
        QTRY_COMPARE(shown.size(), std::size_t{4});
        QCOMPARE(shown[3].title, QStringLiteral("Ostrel: the last run sent values to check"));
        QCOMPARE(shown[3].text, QStringLiteral("PLU4.TXT: 1 line with a number read only in part "
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
        program.mainDlg->trayStatus().setNotifier(
            [&](const QString&, const QString&, TrayStatus::Notice) { ++shown; });
        program.library.setUnreachable("127.0.0.2");
        program.writeData("PLU1.TXT", {"1,101,Apple,120"});
        QVERIFY(chooseMenuItem(program.menu(), "directDownloadAction"));
        QTRY_COMPARE(shownIcon(program), iconOf(TrayStatus::State::Failed));
        // Without notifications a Direct Download answers with the icon alone.
        program.library.setReachable("127.0.0.2");
        program.writeData("PLU2.TXT", {"1,102,Pear,130"});
        QVERIFY(chooseMenuItem(program.menu(), "directDownloadAction"));
        QVERIFY(program.runStarted());
        program.library.pump();
        QTRY_COMPARE(shownIcon(program), iconOf(TrayStatus::State::Succeeded));
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

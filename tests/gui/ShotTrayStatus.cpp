// Test-only entry point for scripts/screenshots.sh: the tray's four icons with the tooltip after
// a failed run, and the first-run question, each grabbed into the PNG named on the command line.
#include "engine/RunOutcome.h"
#include "format/FirstRun.h"
#include "platform/MessageBox.h"
#include "ui/shell/TrayStatus.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QToolTip>

#include <iostream>

namespace {

bool grabInto(QWidget& window, const char* file)
{
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::cerr << "shot_tray_status: the window was not shown\n";
        return false;
    }
    QTest::qWait(200);
    if (!window.grab().save(QString::fromLocal8Bit(file))) {
        std::cerr << "shot_tray_status: cannot write " << file << "\n";
        return false;
    }
    return true;
}

ostrel::RunSummary failedRun()
{
    ostrel::RunSummary summary;
    summary.endTime = "2026-12-09T14:02:40+01:00";
    const char* names[] = {"Deli", "Meat", "Bakery", "Cheese"};
    for (int i = 0; i < 4; ++i) {
        ostrel::RunSummary::ScaleResult scale;
        scale.ipText = "192.168.0." + std::to_string(21 + i);
        scale.port = 20304;
        scale.name = names[i];
        scale.reached = i != 3;
        scale.succeeded = i != 3;
        scale.reason = i == 3 ? "connection refused" : "";
        summary.scales.push_back(scale);
    }
    return summary;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: shot_tray_status TRAY.png FIRST_RUN.png\n";
        return 2;
    }
    QApplication app(argc, argv);
    using ostrel::TrayStatus;

    // The icons at tray size and magnified, and the tooltip as the tray shows it.
    QWidget tray;
    tray.setWindowTitle(QStringLiteral("Ostrel tray"));
    auto* grid = new QGridLayout(&tray);
    const std::pair<TrayStatus::State, const char*> states[] = {
        {TrayStatus::State::Idle, "idle"},
        {TrayStatus::State::Busy, "run in progress"},
        {TrayStatus::State::Failed, "last run failed"},
        {TrayStatus::State::Succeeded, "Direct Download done"}};
    int column = 0;
    for (const auto& [state, text] : states) {
        auto* small = new QLabel(&tray);
        small->setPixmap(TrayStatus::icon(state).pixmap(22, 22));
        auto* large = new QLabel(&tray);
        large->setPixmap(TrayStatus::icon(state).pixmap(64, 64));
        grid->addWidget(small, 0, column, Qt::AlignCenter);
        grid->addWidget(large, 1, column, Qt::AlignCenter);
        grid->addWidget(new QLabel(QString::fromLatin1(text), &tray), 2, column, Qt::AlignCenter);
        ++column;
    }
    const ostrel::RunSummary summary = failedRun();
    auto* tip = new QLabel(
        QStringLiteral("Ostrel\n") + QString::fromStdString(ostrel::lastRunLine(summary)), &tray);
    tip->setPalette(QToolTip::palette());
    tip->setAutoFillBackground(true);
    tip->setFrameShape(QFrame::Box);
    tip->setMargin(4);
    grid->addWidget(tip, 3, 0, 1, 4, Qt::AlignLeft);
    auto* notice = new QLabel(QStringLiteral("<b>Ostrel: the last run failed</b><br>") +
                                  QString::fromStdString(ostrel::failureNotice(summary)),
                              &tray);
    notice->setFrameShape(QFrame::StyledPanel);
    notice->setMargin(6);
    grid->addWidget(notice, 4, 0, 1, 4, Qt::AlignLeft);
    if (!grabInto(tray, argv[1])) {
        return 1;
    }

    // The first-run question with the texts the program asks it with.
    // Answered No, so nothing is created there.
    const auto paths = ostrel::SettingsPaths::fromDocuments("/home/shop/Documents");
    ostrel::RecordingMessageSink asked;
    asked.setNextAnswer(ostrel::MessageAnswer::No);
    ostrel::offerFirstRun(paths, "", asked);
    const auto message = asked.messages().at(0);
    QMessageBox box(QMessageBox::Question, QString::fromStdString(message.caption),
                    QString::fromStdString(message.text), QMessageBox::Yes | QMessageBox::No);
    return grabInto(box, argv[2]) ? 0 : 1;
}

#include "ui/shell/TrayStatus.h"

#include "engine/RunOutcome.h"
#include "engine/RunResultFile.h"
#include "ui/shell/CTrayIcon.h"
#include "ui/shell/ProgramIcon.h"

#include <QPainter>
#include <QPixmap>

#include <array>

namespace ostrel {
namespace {

// The program's icon with a round badge in the lower right corner, so all three read as one
// program: blue with three dots while a run sends, red with a bar while the last run failed.
QIcon badged(const QColor& colour, bool busy)
{
    QIcon icon;
    for (const int size : std::array{16, 22, 32, 48, 64, 128, 256}) {
        QPixmap pixmap = programIcon().pixmap(size, size);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal badge = size * 0.56;
        const QRectF circle(size - badge, size - badge, badge, badge);
        painter.setPen(QPen(Qt::white, qMax(1.0, size / 24.0)));
        painter.setBrush(colour);
        painter.drawEllipse(circle.adjusted(0.5, 0.5, -0.5, -0.5));
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        const QPointF centre = circle.center();
        if (busy) {
            const qreal dot = badge / 7;
            for (const int step : {-1, 0, 1}) {
                painter.drawEllipse(QPointF(centre.x() + step * badge / 4, centre.y()), dot, dot);
            }
        } else {
            const qreal width = badge / 6;
            painter.drawRect(
                QRectF(centre.x() - width / 2, circle.top() + badge * 0.2, width, badge * 0.38));
            painter.drawEllipse(QPointF(centre.x(), circle.bottom() - badge * 0.22), width / 1.6,
                                width / 1.6);
        }
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

TrayStatus::TrayStatus(CTrayIcon& tray, std::string tarvikIni, QObject* parent)
    : QObject(parent), m_tray(tray), m_tarvikIni(std::move(tarvikIni)),
      m_notifier([this](const QString& title, const QString& text) {
          if (QSystemTrayIcon::supportsMessages()) {
              m_tray.icon().showMessage(title, text, QSystemTrayIcon::Warning);
          }
      })
{
}

QIcon TrayStatus::icon(State state)
{
    static const QIcon busy = badged(QColor(0x1f, 0x6f, 0xc5), true);
    static const QIcon failed = badged(QColor(0xc6, 0x28, 0x28), false);
    switch (state) {
    case State::Busy:
        return busy;
    case State::Failed:
        return failed;
    case State::Idle:
        break;
    }
    return programIcon();
}

void TrayStatus::show(State state)
{
    m_state = state;
    m_tray.SetIcon(icon(state));
}

void TrayStatus::runStarted()
{
    show(State::Busy);
}

void TrayStatus::runFinished(const RunSummary& summary)
{
    const bool failed = !runSucceeded(summary);
    show(failed ? State::Failed : State::Idle);
    m_tray.icon().setToolTip(QStringLiteral("Ostrel\n") +
                             QString::fromStdString(lastRunLine(summary)));
    // A line set aside, or values read other than they stand, are news even when every scale
    // succeeded.
    const bool tell = failed || !summary.linesSetAside.empty() || runHasWarnings(summary);
    if (tell && m_notifier && notifyOnFailure(m_tarvikIni)) {
        m_notifier(failed ? QStringLiteral("Ostrel: the last run failed")
                   : !summary.linesSetAside.empty()
                       ? QStringLiteral("Ostrel: a line was set aside")
                       : QStringLiteral("Ostrel: the last run sent values to check"),
                   QString::fromStdString(failureNotice(summary)));
    }
}

} // namespace ostrel

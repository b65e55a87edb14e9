#include "ui/shell/TrayStatus.h"

#include "engine/RunOutcome.h"
#include "engine/RunResultFile.h"
#include "ui/shell/CTrayIcon.h"
#include "ui/shell/ProgramIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <array>

namespace ostrel {
namespace {

constexpr int kBriefMs = 4000;

enum class Badge
{
    Dots,
    Bar,
    Tick
};

// The program's icon with a round badge in the lower right corner, so all of them read as one
// program: blue with three dots while a run sends, red with a bar while the last run failed,
// green with a tick after a run that was asked for went well.
QIcon badged(const QColor& colour, Badge badgeKind)
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
        if (badgeKind == Badge::Dots) {
            const qreal dot = badge / 7;
            for (const int step : {-1, 0, 1}) {
                painter.drawEllipse(QPointF(centre.x() + step * badge / 4, centre.y()), dot, dot);
            }
        } else if (badgeKind == Badge::Tick) {
            QPainterPath tick;
            tick.moveTo(circle.left() + badge * 0.26, centre.y() + badge * 0.02);
            tick.lineTo(centre.x() - badge * 0.07, circle.bottom() - badge * 0.28);
            tick.lineTo(circle.right() - badge * 0.24, circle.top() + badge * 0.3);
            painter.setBrush(Qt::NoBrush);
            painter.setPen(
                QPen(Qt::white, qMax(1.5, badge / 7), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.drawPath(tick);
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
      m_notifier([this](const QString& title, const QString& text, Notice notice) {
          if (!QSystemTrayIcon::supportsMessages()) {
              return;
          }
          if (notice == Notice::Brief) {
              m_tray.icon().showMessage(title, text, QSystemTrayIcon::Information, kBriefMs);
          } else {
              m_tray.icon().showMessage(title, text, QSystemTrayIcon::Warning);
          }
      })
{
}

QIcon TrayStatus::icon(State state)
{
    static const QIcon busy = badged(QColor(0x1f, 0x6f, 0xc5), Badge::Dots);
    static const QIcon failed = badged(QColor(0xc6, 0x28, 0x28), Badge::Bar);
    static const QIcon succeeded = badged(QColor(0x2e, 0x8b, 0x3e), Badge::Tick);
    switch (state) {
    case State::Busy:
        return busy;
    case State::Failed:
        return failed;
    case State::Succeeded:
        return succeeded;
    case State::Idle:
        break;
    }
    return programIcon();
}

void TrayStatus::show(State state)
{
    m_state = state;
    m_tray.SetIcon(icon(state));
    emit changed();
}

void TrayStatus::showToolTip()
{
    m_toolTip = QStringLiteral("Ostrel");
    for (const QString* line : {&m_lastRun, &m_note}) {
        if (!line->isEmpty()) {
            m_toolTip += QLatin1Char('\n') + *line;
        }
    }
    m_tray.icon().setToolTip(m_toolTip);
    emit changed();
}

void TrayStatus::runStarted()
{
    m_note.clear();
    showToolTip();
    show(State::Busy);
}

void TrayStatus::runFinished(const RunSummary& summary)
{
    const bool failed = !runSucceeded(summary);
    // A run from a click or another program's message gets a visible answer; a timer's
    // good run just goes back to the plain icon.
    const bool clicked = summary.trigger == "direct-download";
    const bool asked = clicked || summary.trigger == "message";
    show(failed ? State::Failed : asked ? State::Succeeded : State::Idle);
    m_lastRun = QString::fromStdString(lastRunLine(summary));
    showToolTip();
    if (!m_notifier || !notifyOnFailure(m_tarvikIni)) {
        return;
    }
    // A line set aside, or values read other than they stand, are news even when every scale
    // succeeded.
    if (failed || !summary.linesSetAside.empty() || runHasWarnings(summary)) {
        m_notifier(failed ? QStringLiteral("Ostrel: the last run failed")
                   : !summary.linesSetAside.empty()
                       ? QStringLiteral("Ostrel: a line was set aside")
                       : QStringLiteral("Ostrel: the last run sent values to check"),
                   QString::fromStdString(failureNotice(summary)), Notice::Failure);
    } else if (clicked) {
        m_notifier(QStringLiteral("Ostrel: Direct Download done"), m_lastRun, Notice::Brief);
    }
}

void TrayStatus::nothingSent(const std::string& why)
{
    m_note = QString::fromStdString(why);
    showToolTip();
    if (m_notifier && notifyOnFailure(m_tarvikIni)) {
        m_notifier(QStringLiteral("Ostrel: Direct Download"), m_note, Notice::Brief);
    }
}

} // namespace ostrel

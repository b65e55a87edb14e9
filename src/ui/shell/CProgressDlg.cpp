#include "ui/shell/CProgressDlg.h"

#include "ui/shell/DialogUnits.h"
#include "ui/shell/ProgramIcon.h"

#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>

#include <algorithm>

namespace ostrel {
namespace {

constexpr long long kBarLimit = 65535;
constexpr int kPerMille = 1000;
const char* const kUpdating = "PLU Updating...";
const char* const kComplete = "Complete!!";
constexpr int kDetailsTop = 36;
constexpr int kDetailsWidth = 172;
constexpr int kDetailLineHeight = 9;

} // namespace

CProgressDlg::CProgressDlg(QWidget* parent)
    : QDialog(parent), m_bar(new QProgressBar(this)), m_status(new QLabel(this)),
      m_details(new QLabel(this))
{
    setObjectName(QStringLiteral("progressDlg"));
    setWindowTitle(QStringLiteral("Ostrel"));
    setWindowIcon(programIcon());
    setModal(false);
    setFont(dialogFont());
    const DialogUnits units(font());
    setFixedSize(units.size(186, 42));

    m_bar->setObjectName(QStringLiteral("progressBar"));
    m_bar->setProperty("controlId", kBarId);
    m_bar->setTextVisible(false);
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    units.place(*m_bar, 7, 7, 172, 12);

    m_status->setObjectName(QStringLiteral("statusText"));
    m_status->setProperty("controlId", kStatusId);
    units.place(*m_status, 7, 24, 172, 10);

    m_details->setObjectName(QStringLiteral("runDetails"));
    m_details->setProperty("controlId", kDetailsId);
    m_details->setTextFormat(Qt::PlainText);
    m_details->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_details->hide();

    m_completeTimer.setSingleShot(true);
    m_completeTimer.setTimerType(Qt::PreciseTimer);
    m_completeTimer.setInterval(kCompleteMs);
    connect(&m_completeTimer, &QTimer::timeout, this, &CProgressDlg::endCompletion);
}

CProgressDlg::~CProgressDlg() = default;

void CProgressDlg::StartProgress(int maximum, int minimum, int step)
{
    m_completeTimer.stop(); // a run that starts during the pause of the last one
    m_maximum = maximum;
    m_minimum = minimum;
    m_step = step;
    m_position = minimum;
    m_status->setText(QString::fromLatin1(kUpdating));
    m_perMille = m_maximum > kBarLimit || m_minimum < 0 || m_minimum > m_maximum;
    if (m_perMille) {
        m_bar->setRange(0, kPerMille);
    } else {
        m_bar->setRange(static_cast<int>(m_minimum), static_cast<int>(m_maximum));
    }
    showPosition();
}

void CProgressDlg::StepProgress()
{
    m_position = std::min(m_position + m_step, std::max(m_maximum, m_minimum));
    m_status->setText(QString::fromLatin1(kUpdating));
    showPosition();
}

void CProgressDlg::CompleteProgress()
{
    m_status->setText(QString::fromLatin1(kComplete));
    m_position = m_maximum;
    showPosition();
    m_completeTimer.start();
}

void CProgressDlg::ShowDetails(const QStringList& lines)
{
    const DialogUnits units(font());
    QStringList shown;
    const QFontMetrics metrics(m_details->font());
    const int width = units.x(kDetailsWidth);
    for (const QString& line : lines) {
        shown.push_back(metrics.elidedText(line, Qt::ElideRight, width));
    }
    m_details->setText(shown.join(QLatin1Char('\n')));
    m_details->setVisible(!lines.isEmpty());
    const int count = static_cast<int>(lines.size());
    if (count != m_detailLines) {
        m_detailLines = count;
        const int height = count * kDetailLineHeight;
        units.place(*m_details, 7, kDetailsTop, kDetailsWidth, height);
        setFixedSize(units.size(186, count == 0 ? 42 : kDetailsTop + height + 6));
    }
}

void CProgressDlg::showPosition()
{
    if (m_perMille) {
        const long long span = std::max(1LL, m_maximum - m_minimum);
        m_bar->setValue(static_cast<int>(kPerMille * (m_position - m_minimum) / span));
    } else {
        m_bar->setValue(static_cast<int>(m_position));
    }
}

void CProgressDlg::endCompletion()
{
    hide();
    m_position = m_minimum;
    m_bar->setValue(0);
    emit completionShown();
}

} // namespace ostrel

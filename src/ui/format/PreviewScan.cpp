#include "ui/format/PreviewScan.h"

#include "platform/CodePage.h"

#include <QElapsedTimer>

namespace ostrel {

namespace {

constexpr std::size_t kSliceBytes = std::size_t{256} * 1024;
constexpr qint64 kSliceMs = 10; // short enough that input is answered at once

} // namespace

PreviewScan::PreviewScan(QObject* parent) : QObject(parent)
{
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &PreviewScan::slice);
}

PreviewScan::~PreviewScan() = default;

bool PreviewScan::start(const std::string& path, const std::string& commentMarker,
                        const std::string& separator, EncodingSetting encoding, ValuesHandler done)
{
    cancel();
    auto scanner =
        std::make_unique<PreviewLineScanner>(path, commentMarker, activeCodePage(), encoding);
    if (!scanner->opened()) {
        return false;
    }
    m_scanner = std::move(scanner);
    m_separator = separator;
    m_done = std::move(done);
    m_timer.start();
    return true;
}

void PreviewScan::cancel()
{
    m_timer.stop();
    m_scanner.reset();
    m_done = nullptr;
}

void PreviewScan::slice()
{
    QElapsedTimer clock;
    clock.start();
    while (!m_scanner->advance(kSliceBytes)) {
        if (clock.elapsed() >= kSliceMs) {
            return;
        }
    }
    m_timer.stop();
    const std::vector<std::string> values = splitPreviewValues(m_scanner->line(), m_separator);
    const EncodingDecision encoding = m_scanner->encoding();
    const ValuesHandler done = std::move(m_done);
    m_scanner.reset();
    m_done = nullptr;
    if (done) {
        done(values, encoding);
    }
}

} // namespace ostrel

#include "eventloop/DescriptorWatch.h"

namespace ostrel {

DescriptorWatch::DescriptorWatch(int descriptor, std::function<void()> readable, QObject* parent)
    : QObject(parent), m_readable(std::move(readable))
{
    if (descriptor < 0) {
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(descriptor, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { m_readable(); });
}

DescriptorWatch::~DescriptorWatch() = default;

} // namespace ostrel

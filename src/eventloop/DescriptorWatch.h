#pragma once
// DescriptorWatch: calls a function on the event loop's thread whenever a file descriptor is
// readable (the PLU folder's notification queue).

#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <memory>

namespace ostrel {

class DescriptorWatch final : public QObject
{
    Q_DISABLE_COPY_MOVE(DescriptorWatch)

public:
    // Nothing is watched for a descriptor below 0.
    DescriptorWatch(int descriptor, std::function<void()> readable, QObject* parent = nullptr);
    ~DescriptorWatch() override;

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::function<void()> m_readable;
};

} // namespace ostrel

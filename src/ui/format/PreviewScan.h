// Runs the separated preview's scan of a sample file in short slices on the event loop, so the
// window keeps answering input while a large sample is read. One scan at a time: a new one, or
// cancel(), drops the one in progress.
#pragma once

#include "format/SeparatedPreview.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ostrel {

class PreviewScan final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PreviewScan)

public:
    using ValuesHandler = std::function<void(const std::vector<std::string>& values,
                                             const EncodingDecision& encoding)>;

    explicit PreviewScan(QObject* parent = nullptr);
    ~PreviewScan() override;

    // False (and no scan) when the file cannot be opened. `done` gets the preview line's values
    // split at `separator`, and the file's encoding.
    bool start(const std::string& path, const std::string& commentMarker,
               const std::string& separator, EncodingSetting encoding, ValuesHandler done);
    void cancel();
    bool running() const { return m_scanner != nullptr; }

private:
    void slice();

    QTimer m_timer;
    std::unique_ptr<PreviewLineScanner> m_scanner;
    std::string m_separator;
    ValuesHandler m_done;
};

} // namespace ostrel

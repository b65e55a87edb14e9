// A cheap "may any of these files have changed?" for questions asked once per data line:
// one kernel notification queue (inotify) read instead of a stat of every file. Where the
// kernel cannot watch, every question answers yes and the caller compares file stamps.
#pragma once

#include <string>
#include <vector>

namespace ostrel {

class ChangeWatch final
{
public:
    explicit ChangeWatch(std::vector<std::string> paths);
    ~ChangeWatch();
    ChangeWatch(const ChangeWatch&) = delete;
    ChangeWatch& operator=(const ChangeWatch&) = delete;

    // True on the first call, after any change in the files' folders or to the files
    // themselves (also through symbolic links), and always when watching is unavailable.
    // A change completed before the call is always reported.
    bool mayHaveChanged();

    bool watching() const { return m_fd >= 0; }

private:
    bool addWatches();
    void stopWatching();

    std::vector<std::string> m_paths;
    int m_fd = -1;
    bool m_first = true;
};

} // namespace ostrel

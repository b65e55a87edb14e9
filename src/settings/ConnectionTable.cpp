#include "settings/ConnectionTable.h"

#include "settings/ScaleList.h"
#include "settings/ScaleTable.h"

namespace ostrel {

namespace {

bool blank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

std::string trimmedIpText(std::string_view text)
{
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    return rightTrimmedIpText(text);
}

std::string rightTrimmedIpText(std::string_view text)
{
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

std::string ConnectionTable::key(std::string_view ipText, int connectionId)
{
    return std::string(ipText) + "_" + std::to_string(connectionId);
}

void ConnectionTable::rebuild(ScaleTable& rows)
{
    std::lock_guard lock(m_mutex);
    m_ports.clear();
    rows.clearConnections();
    for (const auto& row : rows.rows()) {
        if (const auto port = parsePort(row.columns.port)) {
            m_ports[key(trimmedIpText(row.columns.address), -1)] = *port;
        }
    }
}

void ConnectionTable::setPort(const std::string& key, std::uint16_t port)
{
    std::lock_guard lock(m_mutex);
    m_ports[key] = port;
}

std::optional<std::uint16_t> ConnectionTable::port(const std::string& key) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_ports.find(key);
    if (it == m_ports.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::size_t ConnectionTable::size() const
{
    std::lock_guard lock(m_mutex);
    return m_ports.size();
}

} // namespace ostrel

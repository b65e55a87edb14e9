// ConnectionTable: the scales whose answers the scale list accepts during a scan or test, by
// "<IP text>_<connection id>", with their ports. Rebuilt and extended on the user interface's
// thread and read by the scale library's callbacks, so every access takes its own lock.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

class ScaleTable;

class ConnectionTable final
{
public:
    static std::string key(std::string_view ipText, int connectionId);

    // Empties the table and every row's "Connection" column, then enters each row under its
    // trimmed "IP" column and -1 with the decimal value of its "Port" column.
    void rebuild(ScaleTable& rows);
    void setPort(const std::string& key, std::uint16_t port);
    std::optional<std::uint16_t> port(const std::string& key) const;
    std::size_t size() const;

private:
    mutable std::mutex m_mutex;
    std::map<std::string, std::uint16_t> m_ports;
};

// Blanks (spaces, tabs, line ends) removed at both ends, or at the end only.
std::string trimmedIpText(std::string_view text);
std::string rightTrimmedIpText(std::string_view text);

} // namespace ostrel

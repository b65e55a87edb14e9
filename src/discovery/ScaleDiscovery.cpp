#include "discovery/ScaleDiscovery.h"

#include "discovery/CUDPServer.h"
#include "discovery/ScanMessages.h"
#include "platform/IniFile.h"
#include "platform/Numbers.h"
#include "platform/Trace.h"
#include "protocol/ScaleLibrary.h"
#include "settings/ScaleList.h"
#include "settings/ScaleRecord.h"
#include "settings/SettingsHolder.h"
#include "settings/TarvikKeys.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace ostrel {

ScaleDiscovery::ScaleDiscovery(Dependencies deps)
    : m_deps(std::move(deps)), m_queries(m_deps.library, m_deps.connectScale, m_deps.pauses)
{
}

ScaleDiscovery::~ScaleDiscovery() = default;

bool ScaleDiscovery::refusedForRun()
{
    if (!m_deps.runBusy || !m_deps.runBusy()) {
        return false;
    }
    if (m_deps.showError) {
        m_deps.showError(kRunBusyMessage);
    }
    return true;
}

int ScaleDiscovery::Scan()
{
    if (refusedForRun()) {
        return kRefusedRunBusy;
    }
    m_deps.holder.setRunMode(RunMode::ScaleQuery);
    m_deps.holder.scaleTable().load({});
    m_bindReported = false;
    m_scanAnswers = 0;
    m_tested.clear();
    if (!m_listener) {
        const int port = readProfileInt(tarvik::kSectionCommunication, tarvik::kKeyScanPort,
                                        kDefaultScanPort, m_deps.tarvikIni);
        // 0 lets the system choose (tests); anything beyond 16 bits would listen elsewhere.
        if (port < 0 || port > 65535) {
            if (m_deps.showError) {
                m_deps.showError("The setting [COMMUNICATION] \"SCAN PORT\" is " +
                                 std::to_string(port) + "; it must be a port from 1 to 65535.");
            }
            return CUDPServer::kSendFailed;
        }
        m_listener = std::make_unique<CUDPServer>(static_cast<std::uint16_t>(port));
        CUDPServer::Owner owner;
        owner.datagram = [this](std::vector<std::uint8_t> bytes, std::uint32_t) {
            m_deps.post([this, bytes = std::move(bytes)] { OnDatagram(bytes); });
        };
        owner.bindFailed = [this, port](int error) {
            if (!m_bindReported.exchange(true) && m_deps.showError) {
                m_deps.post([this, port, error] {
                    m_deps.showError(bindFailedMessage(static_cast<std::uint16_t>(port), error));
                });
            }
        };
        m_listener->setOwner(std::move(owner));
        m_listener->start();
    }
    rebuildConnections();
    if (m_deps.listChanged) {
        m_deps.listChanged();
    }
    const auto request = scanRequest();
    return m_listener->send(kScanDestinationPort, request);
}

bool ScaleDiscovery::ConnectionTest()
{
    if (refusedForRun()) {
        return false;
    }
    m_deps.holder.setRunMode(RunMode::ScaleQuery);
    rebuildConnections();
    if (m_deps.listChanged) {
        m_deps.listChanged();
    }
    m_tested.clear();
    for (const auto& row : m_deps.holder.scaleTable().rows()) {
        std::string model = row.columns.model;
        std::transform(model.begin(), model.end(), model.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        const auto port = parsePort(row.columns.port);
        if (!port) {
            continue; // the load named it; a wrapped port would ask another one
        }
        m_tested.push_back(row.columns.address);
        m_queries.enqueue({rightTrimmedIpText(row.columns.address), *port, std::move(model)});
    }
    return true;
}

std::string ScaleDiscovery::scanFoundNothing(int waitedSeconds) const
{
    const std::optional<ScanDestination> destination = scanDestinationFromEnvironment();
    if (m_scanAnswers > 0 || m_bindReported || !m_listener || !destination) {
        return {};
    }
    return scanFoundNothingMessage(*destination, kScanDestinationPort, listenerPort(),
                                   waitedSeconds);
}

bool ScaleDiscovery::markUnanswered()
{
    ScaleTable& table = m_deps.holder.scaleTable();
    bool changed = false;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const ScaleTableRow& row = table.rows()[i];
        if (row.connection.empty() &&
            std::find(m_tested.begin(), m_tested.end(), row.columns.address) != m_tested.end()) {
            table.setConnection(i, kNoAnswerText);
            changed = true;
        }
    }
    m_tested.clear();
    return changed;
}

const ConnectionTable& ScaleDiscovery::connections() const
{
    return m_deps.holder.connections();
}

void ScaleDiscovery::rebuildConnections()
{
    m_deps.holder.connections().rebuild(m_deps.holder.scaleTable());
}

void ScaleDiscovery::OnDatagram(std::span<const std::uint8_t> datagram)
{
    for (const auto& piece : m_reassembly.append(datagram)) {
        OnScanReply(piece);
    }
}

void ScaleDiscovery::OnScanReply(const ScanReplyBytes& reply)
{
    // Checked before the record is kept: a damaged reply must not overwrite a good one.
    if (!isValidScanReply(reply)) {
        return;
    }
    recordScanReply(m_deps.holder.scaleRecords(), reply);
    ++m_scanAnswers;
    char ip[16];
    std::snprintf(ip, sizeof ip, "%d.%d.%d.%d", reply[10], reply[11], reply[12], reply[13]);
    const auto port = static_cast<std::uint16_t>((reply[22] << 8) | reply[23]);
    m_deps.holder.connections().setPort(ConnectionTable::key(ip, -1), port);
    m_queries.enqueue({ip, port, ""});
}

int ScaleDiscovery::OnScaleReply(const SendBlock& block)
{
    if (block.actionCode != kActionInfoRequest || block.data == nullptr ||
        block.ipText == nullptr) {
        return 0;
    }
    const ScaleInformation info = readScaleInformation(
        std::span(static_cast<const std::uint8_t*>(block.data), kReplyDataSize));
    if (!answerPassesFilter(info)) {
        return 2;
    }
    return InsertRecvDataToINI(block.connectionId, block.ipText, info);
}

int ScaleDiscovery::InsertRecvDataToINI(int connectionId, const char* ipText,
                                        const ScaleInformation& info)
{
    trace("InsertRecvDataToINI begin");
    const std::string key = ConnectionTable::key(ipText, static_cast<std::int16_t>(connectionId));
    const std::optional<std::uint16_t> port = m_deps.holder.connections().port(key);
    if (!port) {
        return 0;
    }
    ScaleAnswer answer{ipText, trimmedIpText(ipText), *port, info};
    const std::string trimmed = answer.trimmed;
    m_deps.post([this, answer = std::move(answer)] {
        if (applyScaleAnswer(m_deps.holder.scaleTable(), answer, m_deps.tarvikIni,
                             m_deps.connectedCaption) &&
            m_deps.listChanged) {
            m_deps.listChanged();
        }
    });
    m_deps.library.Disconnect(trimmed.c_str(), -1);
    return 0;
}

void ScaleDiscovery::waitForQueries()
{
    m_queries.waitUntilIdle();
}

std::uint16_t ScaleDiscovery::listenerPort() const
{
    return m_listener ? m_listener->boundPort() : 0;
}

} // namespace ostrel

#include "engine/RunBlocks.h"

#include "engine/RunSettings.h"
#include "protocol/ScaleLibrary.h"

#include <cstring>
#include <string_view>

namespace ostrel {

void RegisterInterpreters(ScaleLibrary& library)
{
    library.SetCommLibrary(1, "VEKTCPIP.DLL", 1);
    library.AddInterpreter(kScaleKind, 7100, "QVInterpreter.DLL");
    library.AddInterpreter(kScaleKind, 7600, "QVInterpreter.DLL");
    library.AddInterpreter(kScaleKind, 7110, "QVMNInterpreter.DLL");
}

ConnectionBlock makeConnectionBlock(const ScaleEntry& scale, ReplyCallback onReply,
                                    EventCallback onEvent)
{
    ConnectionBlock block{};
    block.connectionId = 0xFFFF;
    block.ipText = scale.ip();
    block.port = static_cast<std::uint16_t>(scale.port);
    block.scaleKind = kScaleKind;
    block.modelCode = static_cast<std::uint16_t>(scale.modelCode);
    block.timeoutValue = 3000;
    block.retryValue = 3;
    block.flag18 = 1;
    block.flag19 = 0;
    block.flag20 = 1;
    block.dataKind = kDataKindPlu;
    block.onReply = onReply;
    block.onEvent = onEvent;
    block.version1 = scale.version1;
    block.version2 = scale.version2;
    block.version4 = scale.version4;
    block.version3 = scale.version3;
    return block;
}

SendBlock makeSendBlock(const ScaleEntry& scale, int actionCode, void* record)
{
    SendBlock block{};
    block.connectionId = 0xFFFF;
    block.ipText = scale.ip();
    block.flag8 = 1;
    block.flag9 = 1;
    block.dataKind = kDataKindPlu;
    block.scaleKind = kScaleKind;
    block.modelCode = static_cast<std::uint16_t>(scale.modelCode);
    block.actionCode = static_cast<std::uint16_t>(actionCode);
    block.dataSize = kPluRecordSize;
    block.data = record;
    block.version1 = scale.version1;
    block.version2 = scale.version2;
    block.version4 = scale.version4;
    block.version3 = scale.version3;
    return block;
}

int ClassifyReply(const SendBlock& block)
{
    if (block.dataKind != kDataKindPlu || block.data == nullptr) {
        return kReplyRetry;
    }
    const auto* data = static_cast<const unsigned char*>(block.data);
    std::uint32_t accepted = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        accepted |= std::uint32_t{data[kReplyAcceptedOffset + i]} << (8 * i);
    }
    if (accepted != 0) {
        return kReplyAccepted;
    }
    // The text is bounded by the reply buffer even when its zero is missing.
    const auto* text = reinterpret_cast<const char*>(data + kReplyTextOffset);
    const std::string_view error(text, strnlen(text, kReplyDataSize - kReplyTextOffset));
    return error.find("E88") != std::string_view::npos ? kReplySkip : kReplyRetry;
}

std::string replyErrorText(const SendBlock& block)
{
    if (block.dataKind != kDataKindPlu || block.data == nullptr) {
        return {};
    }
    const auto* text = static_cast<const char*>(block.data) + kReplyTextOffset;
    return {text, strnlen(text, kReplyDataSize - kReplyTextOffset)};
}

std::uint16_t eventCode(const SendBlock& block)
{
    if (block.data == nullptr) {
        return 0;
    }
    const auto* data = static_cast<const unsigned char*>(block.data);
    return static_cast<std::uint16_t>(data[kEventCodeOffset] | (data[kEventCodeOffset + 1] << 8));
}

int ConnectProcessScale(ScaleLibrary& library, const std::string& ipText, std::uint16_t port,
                        std::uint16_t model, ReplyCallback onReply, EventCallback onEvent)
{
    std::string trimmed = ipText;
    while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\t' ||
                                trimmed.back() == '\r' || trimmed.back() == '\n')) {
        trimmed.pop_back();
    }
    library.AddProcConnectionEx(1, trimmed.c_str(), port, kScaleKind, model, 3000, 3, 10, onReply,
                                onEvent, -1, 0);
    return library.Connect(ipText.c_str(), -1);
}

} // namespace ostrel

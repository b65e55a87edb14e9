#include "platform/TextEncoding.h"

#include <algorithm>
#include <cstring>

namespace ostrel {

namespace {

constexpr int kIncomplete = -1;

// The well-formed UTF-8 sequence at `text[pos]` (a byte of 0x80 or more): its length, 0 when
// it is malformed, kIncomplete when the text ends inside a sequence that is good so far.
int sequenceAt(std::string_view text, std::size_t pos)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    int length = 0;
    unsigned char low = 0x80; // the second byte's range excludes overlong forms and surrogates
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    for (int i = 1; i < length; ++i) {
        if (pos + static_cast<std::size_t>(i) >= text.size()) {
            return kIncomplete;
        }
        const unsigned char next = byte(pos + static_cast<std::size_t>(i));
        if (i == 1 ? (next < low || next > high) : (next & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

// ASCII runs are checked eight bytes at a time: most of a data file is ASCII.
std::size_t asciiRunEnd(std::string_view text, std::size_t pos)
{
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    while (pos + 8 <= text.size()) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + pos, 8);
        if ((word & kHighBits) != 0) {
            break;
        }
        pos += 8;
    }
    while (pos < text.size() && static_cast<unsigned char>(text[pos]) < 0x80) {
        ++pos;
    }
    return pos;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) {
                   return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
               };
               return lower(x) == lower(y);
           });
}

} // namespace

bool isAscii(std::string_view text)
{
    return asciiRunEnd(text, 0) == text.size();
}

std::optional<EncodingSetting> parseEncodingSetting(std::string_view text)
{
    if (text.empty() || equalsIgnoringCase(text, "auto")) {
        return EncodingSetting::Auto;
    }
    if (equalsIgnoringCase(text, "utf-8") || equalsIgnoringCase(text, "utf8")) {
        return EncodingSetting::Utf8;
    }
    if (equalsIgnoringCase(text, "codepage")) {
        return EncodingSetting::CodePage;
    }
    return std::nullopt;
}

std::string EncodingDecision::name(const std::string& codePage) const
{
    return utf8() ? std::string("UTF-8") : codePage;
}

std::string_view EncodingDecision::reasonText() const
{
    switch (reason) {
    case EncodingReason::Mark:
        return "byte-order mark";
    case EncodingReason::ValidUtf8:
        return "valid UTF-8";
    case EncodingReason::AsciiOnly:
        return "ASCII only";
    case EncodingReason::NotUtf8:
        return "not UTF-8";
    case EncodingReason::Setting:
        break;
    }
    return "ENCODING";
}

std::string EncodingDecision::describe(const std::string& codePage) const
{
    return name(codePage) + " (" + std::string(reasonText()) + ")";
}

void EncodingDetector::feed(std::string_view bytes)
{
    if (m_seen < kUtf8Mark.size()) {
        // The mark counts at the start of the file only, however the bytes are cut.
        const auto at = static_cast<std::size_t>(m_seen);
        const std::size_t count = std::min(bytes.size(), kUtf8Mark.size() - at);
        if (bytes.substr(0, count) != kUtf8Mark.substr(at, count)) {
            m_seen = kUtf8Mark.size(); // no mark: stop looking
        } else if (at + count == kUtf8Mark.size()) {
            m_marked = true;
        }
    }
    m_seen += bytes.size();
    if (!settled()) {
        scan(bytes);
    }
}

void EncodingDetector::scan(std::string_view bytes)
{
    if (!m_carry.empty()) {
        // Complete the sequence the last piece cut, then go on after it.
        const std::size_t before = m_carry.size();
        m_carry.append(bytes.substr(0, std::min<std::size_t>(bytes.size(), 4 - before)));
        const int length = sequenceAt(m_carry, 0);
        if (length == kIncomplete) {
            return; // still cut: the piece was shorter than the rest of the sequence
        }
        if (length == 0) {
            m_invalid = true;
            m_carry.clear();
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(length) - before);
        m_carry.clear();
    }
    std::size_t pos = 0;
    while (true) {
        pos = asciiRunEnd(bytes, pos);
        if (pos >= bytes.size()) {
            return;
        }
        m_nonAscii = true;
        const int length = sequenceAt(bytes, pos);
        if (length == kIncomplete) {
            m_carry.assign(bytes.substr(pos));
            return;
        }
        if (length == 0) {
            m_invalid = true;
            return;
        }
        pos += static_cast<std::size_t>(length);
    }
}

EncodingDecision EncodingDetector::decide(EncodingSetting setting) const
{
    EncodingDecision decision;
    decision.marked = m_marked;
    if (setting != EncodingSetting::Auto) {
        decision.encoding =
            setting == EncodingSetting::Utf8 ? FileEncoding::Utf8 : FileEncoding::CodePage;
        decision.reason = EncodingReason::Setting;
        return decision;
    }
    // A sequence cut by the end of the file is no UTF-8.
    const bool invalid = m_invalid || !m_carry.empty();
    if (m_marked) {
        decision.encoding = FileEncoding::Utf8;
        decision.reason = EncodingReason::Mark;
    } else if (invalid) {
        decision.reason = EncodingReason::NotUtf8;
    } else if (m_nonAscii) {
        decision.encoding = FileEncoding::Utf8;
        decision.reason = EncodingReason::ValidUtf8;
    }
    return decision;
}

EncodingDecision EncodingDetector::decide(std::string_view file, EncodingSetting setting)
{
    EncodingDetector detector;
    if (setting == EncodingSetting::Auto) {
        detector.feed(file);
    } else {
        detector.m_marked = file.starts_with(kUtf8Mark); // the rest does not matter
    }
    return detector.decide(setting);
}

} // namespace ostrel

// Which encoding a data file is in, decided once per file from its bytes: the UTF-8 mark at the
// start of the file, or valid UTF-8 throughout with some non-ASCII text, is UTF-8; anything
// else is in the code page. [SENDFILE] "ENCODING" can force either. The run, the fixed sample
// and the separated preview share this decision, so the windows show what the scales get.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

inline constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// No byte of 0x80 or more.
bool isAscii(std::string_view text);

enum class EncodingSetting : std::uint8_t
{
    Auto,
    Utf8,
    CodePage
};

// "auto", "utf-8" (also "utf8") or "codepage", ignoring case; "" is auto. nullopt otherwise.
std::optional<EncodingSetting> parseEncodingSetting(std::string_view text);

enum class FileEncoding : std::uint8_t
{
    CodePage,
    Utf8
};

enum class EncodingReason : std::uint8_t
{
    Mark,      // the UTF-8 mark at the start of the file
    ValidUtf8, // valid UTF-8 throughout, with non-ASCII text
    AsciiOnly, // nothing beyond ASCII: both readings agree
    NotUtf8,   // bytes that are no UTF-8
    Setting    // [SENDFILE] "ENCODING" says so
};

struct EncodingDecision
{
    FileEncoding encoding = FileEncoding::CodePage;
    EncodingReason reason = EncodingReason::AsciiOnly;
    bool marked = false; // the file starts with the mark; it is never data

    bool utf8() const { return encoding == FileEncoding::Utf8; }
    // "UTF-8" or the code page's name.
    std::string name(const std::string& codePage) const;
    // Why, in words: "byte-order mark", "valid UTF-8", "ASCII only", "not UTF-8", "ENCODING".
    std::string_view reasonText() const;
    // "UTF-8 (byte-order mark)".
    std::string describe(const std::string& codePage) const;
};

// Looks at a file's bytes as they come, in pieces of any size; a UTF-8 sequence may be cut
// between two pieces.
class EncodingDetector final
{
public:
    void feed(std::string_view bytes);
    // More bytes cannot change the decision under "auto": the mark, or a byte that is no UTF-8.
    bool settled() const { return m_marked || m_invalid; }
    // The decision for the bytes fed so far, taken as the whole file.
    EncodingDecision decide(EncodingSetting setting) const;

    // The whole file at once.
    static EncodingDecision decide(std::string_view file, EncodingSetting setting);

private:
    void scan(std::string_view bytes);

    std::uint64_t m_seen = 0;
    std::string m_carry; // the start of a sequence cut by the end of a piece
    bool m_marked = false;
    bool m_nonAscii = false;
    bool m_invalid = false;
};

} // namespace ostrel

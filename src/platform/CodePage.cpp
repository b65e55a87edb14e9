// Code-page conversion through glibc iconv. Converters are cached per thread because data
// files are converted line by line.
#include "platform/CodePage.h"

#include "platform/Trace.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <iconv.h>
#include <memory>
#include <vector>

namespace ostrel {
namespace {

constexpr const char* kDefaultCodePage = "CP1252";

class Converter
{
public:
    Converter(const std::string& to, const std::string& from)
        : m_handle(::iconv_open(to.c_str(), from.c_str()))
    {
    }
    ~Converter()
    {
        if (valid()) {
            ::iconv_close(m_handle);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // NOLINTNEXTLINE(performance-no-int-to-ptr): iconv_open's failure value is (iconv_t)-1
    bool valid() const { return m_handle != reinterpret_cast<iconv_t>(-1); }
    iconv_t handle() const { return m_handle; }

private:
    iconv_t m_handle;
};

// The cached converter of this thread for (to, from), created on first use.
Converter& converterFor(const std::string& to, const std::string& from)
{
    struct Slot
    {
        std::string to;
        std::string from;
        std::unique_ptr<Converter> converter;
    };
    thread_local std::vector<Slot> slots;
    for (Slot& slot : slots) {
        if (slot.to == to && slot.from == from) {
            return *slot.converter;
        }
    }
    slots.push_back(Slot{to, from, std::make_unique<Converter>(to, from)});
    return *slots.back().converter;
}

// Length of the well-formed UTF-8 sequence at `text[pos]`, 0 when it is malformed.
std::size_t utf8SequenceLength(std::string_view text, std::size_t pos)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (pos + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(pos + i) & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (overlong || surrogate || code > 0x10FFFF) {
        return 0;
    }
    return length;
}

bool isValidUtf8(std::string_view text)
{
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t length = utf8SequenceLength(text, pos);
        if (length == 0) {
            return false;
        }
        pos += length;
    }
    return true;
}

// Converts `input`; on a sequence the target lacks, `onFailure` appends a replacement and
// returns how many input bytes to skip.
template <typename OnFailure>
std::string convert(Converter& converter, std::string_view input, OnFailure onFailure)
{
    std::string output;
    output.reserve(input.size() + 8);
    ::iconv(converter.handle(), nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char buffer[1024];
    while (inLeft > 0) {
        char* out = buffer;
        std::size_t outLeft = sizeof(buffer);
        const std::size_t rc = ::iconv(converter.handle(), &in, &inLeft, &out, &outLeft);
        output.append(buffer, static_cast<std::size_t>(out - buffer));
        if (rc == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG) {
                continue;
            }
            const auto consumed = static_cast<std::size_t>(in - input.data());
            const std::size_t skip = onFailure(output, input, consumed);
            const std::size_t step = skip == 0 ? 1 : std::min(skip, inLeft);
            in += step;
            inLeft -= step;
        }
    }
    char* out = buffer;
    std::size_t outLeft = sizeof(buffer);
    ::iconv(converter.handle(), nullptr, nullptr, &out, &outLeft);
    output.append(buffer, static_cast<std::size_t>(out - buffer));
    return output;
}

} // namespace

std::string activeCodePage()
{
    const char* name = std::getenv("OSTREL_CODEPAGE");
    return (name != nullptr && *name != '\0') ? std::string(name) : std::string(kDefaultCodePage);
}

std::string utf8ToCodePage(std::string_view utf8)
{
    return utf8ToCodePage(utf8, activeCodePage());
}

std::string utf8ToCodePage(std::string_view utf8, const std::string& codePage)
{
    std::size_t unmapped = 0;
    return utf8ToCodePage(utf8, codePage, unmapped);
}

std::string utf8ToCodePage(std::string_view utf8, const std::string& codePage,
                           std::size_t& unmapped)
{
    if (!isValidUtf8(utf8)) {
        return {};
    }
    Converter* converter = &converterFor(codePage, "UTF-8");
    if (!converter->valid()) {
        trace("unknown code page \"" + codePage + "\", using " + kDefaultCodePage);
        converter = &converterFor(kDefaultCodePage, "UTF-8");
    }
    return convert(*converter, utf8,
                   [&unmapped](std::string& out, std::string_view in, std::size_t at) {
                       out += '?';
                       ++unmapped;
                       return utf8SequenceLength(in, at);
                   });
}

bool codePageKeepsAscii(const std::string& codePage)
{
    std::string ascii;
    for (char c = 1; c < 0x7F; ++c) {
        ascii.push_back(c);
    }
    std::size_t unmapped = 0;
    return utf8ToCodePage(ascii, codePage, unmapped) == ascii && unmapped == 0;
}

std::string codePageToUtf8(std::string_view bytes)
{
    const std::string codePage = activeCodePage();
    Converter* converter = &converterFor("UTF-8", codePage);
    if (!converter->valid()) {
        converter = &converterFor("UTF-8", kDefaultCodePage);
    }
    return convert(*converter, bytes, [](std::string& out, std::string_view, std::size_t) {
        out += "\xEF\xBF\xBD";
        return std::size_t{1};
    });
}

} // namespace ostrel

#include "settings/ScaleInput.h"

#include "settings/ScaleList.h"

#include <cctype>

namespace ostrel {
namespace {

bool allDigits(std::string_view text)
{
    for (char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c)) == 0) {
            return false;
        }
    }
    return !text.empty();
}

// The decimal value of a text of digits, capped so that no length overflows.
long digitsValue(std::string_view text)
{
    long value = 0;
    for (char c : text) {
        value = value * 10 + (c - '0');
        if (value > 1'000'000) {
            return value;
        }
    }
    return value;
}

bool beginsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    if (prefix.size() > text.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

} // namespace

int scaleInputModelIndex(std::string_view modelText)
{
    for (std::size_t i = 0; i < kScaleInputModels.size(); ++i) {
        if (beginsWithIgnoringCase(kScaleInputModels[i], modelText)) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

std::optional<std::string> checkScaleInput(const std::array<std::string, 4>& octets,
                                           std::string_view portText)
{
    for (const auto& octet : octets) {
        if (!allDigits(octet) || octet.size() > 3 || digitsValue(octet) > 255) {
            return std::string(kIncompleteAddressMessage);
        }
    }
    if (!allDigits(portText) || portText.size() > 5 || !parsePort(portText)) {
        return std::string(kBadPortMessage);
    }
    return std::nullopt;
}

} // namespace ostrel

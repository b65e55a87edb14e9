#include "platform/CodePage.h"
#include "platform/Numbers.h"
#include "platform/Sha256.h"
#include "platform/TextEncoding.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

TEST(AtoiText, BehavesLikeAtoi)
{
    EXPECT_EQ(atoiText("123"), 123);
    EXPECT_EQ(atoiText("  \t-42abc"), -42);
    EXPECT_EQ(atoiText("+7"), 7);
    EXPECT_EQ(atoiText("0002"), 2);
    EXPECT_EQ(atoiText("12.5"), 12);
    EXPECT_EQ(atoiText(""), 0);
    EXPECT_EQ(atoiText("abc"), 0);
    EXPECT_EQ(atoiText("- 5"), 0);
    EXPECT_EQ(atoiText("\n9"), 9);
}

TEST(AtoiText, ClampsInsteadOfOverflowing)
{
    EXPECT_EQ(atoiText("2147483647"), 2147483647);
    EXPECT_EQ(atoiText("2147483648"), 2147483647);
    EXPECT_EQ(atoiText("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(atoiText("-99999999999999999999999"), -2147483647 - 1);
    EXPECT_EQ(atoi64Text("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(atoi64Text("99999999999999999999"), INT64_MAX);
    EXPECT_EQ(atoi64Text("-9223372036854775808"), INT64_MIN);
}

TEST(CodePageConversion, Cp1252Bytes)
{
    // é is E9 in CP1252, € is 80.
    EXPECT_EQ(utf8ToCodePage("Caf\xC3\xA9 \xE2\x82\xAC", "CP1252"), "Caf\xE9 \x80");
    EXPECT_EQ(utf8ToCodePage("plain", "CP1252"), "plain");
    EXPECT_EQ(utf8ToCodePage("", "CP1252"), "");
}

TEST(CodePageConversion, MissingCharacterBecomesQuestionMark)
{
    // Hangul and a 4-byte emoji have no CP1252 form.
    EXPECT_EQ(utf8ToCodePage("a\xEC\x82\xAC"
                             "b\xF0\x9F\x8D\x8E"
                             "c",
                             "CP1252"),
              "a?b?c");
    std::size_t unmapped = 1;
    EXPECT_EQ(utf8ToCodePage("\xC5\x81\xC3\xB3"
                             "d\xC5\xBA",
                             "CP1252", unmapped),
              "?\xF3"
              "d?");
    EXPECT_EQ(unmapped, 3u); // added to what was there
}

TEST(CodePageConversion, InvalidUtf8GivesEmptyText)
{
    EXPECT_EQ(utf8ToCodePage("ab\xFF"
                             "cd",
                             "CP1252"),
              "");
    EXPECT_EQ(utf8ToCodePage("\xC3", "CP1252"), "");         // cut sequence
    EXPECT_EQ(utf8ToCodePage("\xC0\xAF", "CP1252"), "");     // overlong
    EXPECT_EQ(utf8ToCodePage("\xED\xA0\x80", "CP1252"), ""); // surrogate
}

TEST(CodePageConversion, EnvironmentChoosesTheCodePage)
{
    test::ScopedEnv env("OSTREL_CODEPAGE", "CP949");
    EXPECT_EQ(activeCodePage(), "CP949");
    // 사 (U+C0AC) is BB E7 in CP949.
    EXPECT_EQ(utf8ToCodePage("\xEC\x82\xAC"), "\xBB\xE7");
    EXPECT_EQ(codePageToUtf8("\xBB\xE7"), "\xEC\x82\xAC");
}

TEST(CodePageConversion, DefaultIsCp1252)
{
    test::ScopedEnv env("OSTREL_CODEPAGE", std::nullopt);
    EXPECT_EQ(activeCodePage(), "CP1252");
    EXPECT_EQ(codePageToUtf8("Caf\xE9"), "Caf\xC3\xA9");
}

TEST(Sha256, PublishedVectorsAndEveryPaddingCase)
{
    const auto hex = [](const std::string& text) {
        const auto digest =
            sha256({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
        std::string out;
        for (const std::uint8_t byte : digest) {
            out += "0123456789abcdef"[byte >> 4];
            out += "0123456789abcdef"[byte & 15];
        }
        return out;
    };
    // FIPS 180-4's examples, and lengths at the edges of the last block.
    EXPECT_EQ(hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(hex(std::string(55, 'a')),
              "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
    EXPECT_EQ(hex(std::string(64, 'a')),
              "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
    EXPECT_EQ(hex(std::string(1000, 'a')),
              "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3");
}

TEST(EncodingDetector, DecidesByTheWholeFileHoweverItsBytesAreCut)
{
    using enum FileEncoding;
    using enum EncodingReason;
    const std::string mark(kUtf8Mark);
    const struct
    {
        std::string bytes;
        FileEncoding encoding;
        EncodingReason reason;
    } cases[] = {
        {"", CodePage, AsciiOnly},
        {"12,Milk\r\n", CodePage, AsciiOnly},
        {mark + "12,Milk", Utf8, Mark},
        {mark + "Caf\xE9", Utf8, Mark}, // the mark decides; bad lines are skipped later
        {"Cr\xC3\xA8me", Utf8, ValidUtf8},
        {"0123456789abcdef\xC3\xA9xyz", Utf8, ValidUtf8}, // past a run of ASCII words
        {"x\xF0\x9F\x8D\x8E" + mark, Utf8, ValidUtf8},    // a mark inside is only text
        {"Caf\xE9,3.50", CodePage, NotUtf8},              // CP1252
        {"123456789\xE9", CodePage, NotUtf8},
        {"Cr\xC3\xA8me\r\nCaf\xE9", CodePage, NotUtf8}, // valid at first only
        {"abc\xC3", CodePage, NotUtf8},                 // cut by the end of the file
        {"\xC0\xAF", CodePage, NotUtf8},                // overlong
        {"\xED\xA0\x80", CodePage, NotUtf8},            // surrogate
        {"\xF4\x90\x80\x80", CodePage, NotUtf8},        // beyond U+10FFFF
    };
    for (const auto& c : cases) {
        const EncodingDecision whole = EncodingDetector::decide(c.bytes, EncodingSetting::Auto);
        EXPECT_EQ(whole.encoding, c.encoding) << c.bytes;
        EXPECT_EQ(whole.reason, c.reason) << c.bytes;
        EncodingDetector pieces;
        for (const char byte : c.bytes) {
            pieces.feed(std::string_view(&byte, 1));
        }
        const EncodingDecision cut = pieces.decide(EncodingSetting::Auto);
        EXPECT_EQ(cut.encoding, c.encoding) << c.bytes;
        EXPECT_EQ(cut.reason, c.reason) << c.bytes;
        EXPECT_EQ(cut.marked, c.reason == Mark) << c.bytes;
    }
    // A setting overrides the bytes; the mark is still known, to be removed.
    const EncodingDecision forced =
        EncodingDetector::decide(mark + "Cr\xC3\xA8me", EncodingSetting::CodePage);
    EXPECT_EQ(forced.encoding, CodePage);
    EXPECT_EQ(forced.reason, Setting);
    EXPECT_TRUE(forced.marked);
    EXPECT_EQ(EncodingDetector::decide("Caf\xE9", EncodingSetting::Utf8).describe("CP1252"),
              "UTF-8 (ENCODING)");
}

TEST(EncodingSetting, TakesThreeWordsIgnoringCase)
{
    EXPECT_EQ(parseEncodingSetting(""), EncodingSetting::Auto);
    EXPECT_EQ(parseEncodingSetting("AUTO"), EncodingSetting::Auto);
    EXPECT_EQ(parseEncodingSetting("UTF-8"), EncodingSetting::Utf8);
    EXPECT_EQ(parseEncodingSetting("utf8"), EncodingSetting::Utf8);
    EXPECT_EQ(parseEncodingSetting("CodePage"), EncodingSetting::CodePage);
    EXPECT_EQ(parseEncodingSetting("latin1"), std::nullopt);
}

} // namespace
} // namespace ostrel

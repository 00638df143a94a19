// A long deterministic random run over the INI reader and writer: arbitrary text must never crash
// or hang it, and what it writes must read back.

#include <gtest/gtest.h>

#include <random>

#include "common/ini_file.h"

using namespace tessaly;

namespace {

// Text biased towards the characters that matter to the format.
std::string randomText(std::mt19937& random, std::size_t maxLength)
{
    static const std::string alphabet = "[]=;\n\r\t \"'0xX-+19aAfFzZ\xEF\xBB\xBF\xE3\x81\x82\0";
    std::uniform_int_distribution<std::size_t> length(0, maxLength);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string text(length(random), ' ');
    for (char& c : text)
        c = random() % 8 == 0 ? char(byte(random)) : alphabet[pick(random)];
    return text;
}

std::string randomName(std::mt19937& random)
{
    static const char* names[] = {"a", "A", "k", "K", "State", "0x", "x"};
    return names[random() % 7];
}

}  // namespace

TEST(IniFuzzTest, RandomTextNeverBreaksReadingOrWriting)
{
    std::mt19937 random(20261208);
    for (int round = 0; round < 20000; ++round) {
        const std::string text = randomText(random, round % 100 == 0 ? 5000 : 200);
        IniFile ini = IniFile::parse(text);
        // Read untouched, the file is written back byte for byte.
        ASSERT_EQ(ini.text(), text);
        for (int i = 0; i < 4; ++i) {
            const std::string section = randomName(random), key = randomName(random);
            EXPECT_LE(ini.readString(section, key, "").size(), IniMaxValueLength);
            ini.readInteger(section, key, 0);
            const std::string value = randomText(random, 30);
            const bool stored = ini.writeString(section, key, value);
            EXPECT_EQ(stored, value.find_first_of("\r\n") == std::string::npos);
            // The value reads back, also after the text has been parsed again. Names with blanks,
            // brackets or "=" are not written by the program and are not checked here.
            if (stored) {
                ASSERT_EQ(ini.readString(section, key, "default"), value) << "round " << round;
                ASSERT_EQ(IniFile::parse(ini.text()).readString(section, key, "default"), value);
            }
            if (random() % 4 == 0) {
                ini.eraseSection(section);
                ASSERT_FALSE(ini.hasSection(section));
                ASSERT_FALSE(IniFile::parse(ini.text()).hasSection(section));
            }
        }
        const std::string written = ini.text();
        ASSERT_EQ(IniFile::parse(written).text(), written);
    }
}

TEST(IniFuzzTest, RandomIntegerTexts)
{
    std::mt19937 random(7);
    for (int round = 0; round < 200000; ++round) {
        const std::string text = randomText(random, 12);
        const auto value = ParseProfileInteger(text);
        if (value && text.size() < 3) {
            // Short texts are decimal only: the value prints back to the same digits.
            const std::string digits = text[0] == '+' ? text.substr(1) : text;
            if (digits.find_first_not_of("0123456789-") == std::string::npos && digits.size() > 0 &&
                digits[0] != '0' && digits != "-0")
                EXPECT_EQ(std::to_string(*value), digits);
        }
    }
}

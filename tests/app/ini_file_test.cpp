#include <gtest/gtest.h>

#include "common/ini_file.h"

using namespace tessaly;

TEST(IniFileTest, MissingEmptyAndPresentValues)
{
    const IniFile ini = IniFile::parse("[OPTION]\nInitialDir=\nName = /p/x \n[Other]\nKey=v\n");
    EXPECT_EQ(ini.readString("OPTION", "InitialDir", "/default/"), "");
    EXPECT_EQ(ini.readString("OPTION", "Name", "d"), "/p/x");
    EXPECT_EQ(ini.readString("OPTION", "Missing", "d"), "d");
    EXPECT_EQ(ini.readString("Nowhere", "Name", "d"), "d");
    // A key of another section is not found in this one.
    EXPECT_EQ(ini.readString("OPTION", "Key", "d"), "d");
    EXPECT_EQ(IniFile().readString("A", "B", "first start"), "first start");
}

TEST(IniFileTest, NamesMatchWithoutRegardToCase)
{
    const IniFile ini = IniFile::parse("[position]\nstate=2\n[Option]\nSTATE=1\n");
    EXPECT_EQ(ini.readInteger("POSITION", "State", 0), 2);
    EXPECT_EQ(ini.readInteger("Position", "STATE", 0), 2);
    EXPECT_EQ(ini.readInteger("OPTION", "state", 0), 1);
    // The first of two sections or keys of the same name counts.
    const IniFile twice = IniFile::parse("[A]\nk=1\nK=2\n[a]\nk=3\n");
    EXPECT_EQ(twice.readInteger("A", "k", 0), 1);
}

TEST(IniFileTest, IntegersDecimalHexAndInvalid)
{
    const IniFile ini = IniFile::parse(
        "[P]\nLeft=0x20\nUp=0X1f\nNeg=-17\nPlus=+5\nBad=12a\nEmpty=\nShort=0x\nMax=2147483647\nOver=2147483648\n"
        "Min=-2147483648\nUnder=-2147483649\nWrap=0xFFFFFFFF\nLong=0x100000000\nSpace=1 2\nMinusHex=-0x20\n");
    EXPECT_EQ(ini.readInteger("P", "Left", 0), 32);
    EXPECT_EQ(ini.readInteger("P", "Up", 0), 31);
    EXPECT_EQ(ini.readInteger("P", "Neg", 0), -17);
    EXPECT_EQ(ini.readInteger("P", "Plus", 0), 5);
    EXPECT_EQ(ini.readInteger("P", "Bad", 7), 7);
    EXPECT_EQ(ini.readInteger("P", "Empty", 7), 7);
    EXPECT_EQ(ini.readInteger("P", "Short", 7), 7);
    EXPECT_EQ(ini.readInteger("P", "Max", 7), 2147483647);
    EXPECT_EQ(ini.readInteger("P", "Over", 7), 7);
    EXPECT_EQ(ini.readInteger("P", "Min", 7), -2147483647 - 1);
    EXPECT_EQ(ini.readInteger("P", "Under", 7), 7);
    EXPECT_EQ(ini.readInteger("P", "Wrap", 7), -1);
    EXPECT_EQ(ini.readInteger("P", "Long", 7), 7);
    EXPECT_EQ(ini.readInteger("P", "Space", 7), 7);
    EXPECT_EQ(ini.readInteger("P", "MinusHex", 7), 7);
    EXPECT_EQ(ini.readInteger("P", "Missing", -3), -3);
    EXPECT_TRUE(ini.readBool("P", "Neg", false));
    EXPECT_FALSE(IniFile::parse("[P]\nB=0\n").readBool("P", "B", true));
    EXPECT_TRUE(IniFile::parse("[P]\nB=x\n").readBool("P", "B", true));
}

TEST(IniFileTest, LongValuesAreCutWithoutSplittingACharacter)
{
    const std::string ascii(3000, 'a');
    IniFile ini;
    ASSERT_TRUE(ini.writeString("S", "K", ascii));
    EXPECT_EQ(ini.readString("S", "K", ""), std::string(2047, 'a'));
    // "あ" is three bytes; 2046 + 3 would cross the limit, so the character goes as a whole.
    ini.writeString("S", "J", std::string(2046, 'b') + "あいう");
    EXPECT_EQ(ini.readString("S", "J", ""), std::string(2046, 'b'));
    ini.writeString("S", "E", std::string(2044, 'b') + "あいう");
    EXPECT_EQ(ini.readString("S", "E", ""), std::string(2044, 'b') + "あ");
}

TEST(IniFileTest, WritingKeepsEverythingElse)
{
    const std::string original =
        "; written by hand\r\n[PROGRAM]\r\nName=old\r\nExtra=keep me\r\n\r\n[Unknown]\r\nz=1\r\n";
    IniFile ini = IniFile::parse(original);
    EXPECT_EQ(ini.text(), original);
    ini.writeString("program", "Name", "Tessaly");
    ini.writeString("PROGRAM", "Version", "V1.3");
    ini.writeInteger("POSITION", "Left", -12);
    ini.writeBool("OPTION", "SaveStatus", true);
    EXPECT_EQ(ini.text(),
              "; written by hand\r\n[PROGRAM]\r\nName=Tessaly\r\nExtra=keep me\r\nVersion=V1.3\r\n\r\n[Unknown]\r\nz=1\r\n"
              "[POSITION]\r\nLeft=-12\r\n[OPTION]\r\nSaveStatus=1\r\n");
    EXPECT_EQ(ini.readInteger("POSITION", "Left", 0), -12);
}

TEST(IniFileTest, EraseSectionRemovesEveryCopyAndOnlyThose)
{
    IniFile ini = IniFile::parse("[PROGRAM]\nName=a\n[POSITION]\nLeft=1\n[OPTION]\nx=1\n[position]\nTop=2\n[Keep]\ny=2");
    ini.eraseSection("POSITION");
    ini.eraseSection("OPTION");
    ini.eraseSection("Absent");
    EXPECT_EQ(ini.text(), "[PROGRAM]\nName=a\n[Keep]\ny=2");
    EXPECT_FALSE(ini.hasSection("Position"));
    EXPECT_EQ(ini.readInteger("POSITION", "Top", 5), 5);
    // A key added to a file without a final line end starts on a line of its own.
    ini.writeString("Keep", "z", "3");
    EXPECT_EQ(ini.text(), "[PROGRAM]\nName=a\n[Keep]\ny=2\nz=3\n");
}

TEST(IniFileTest, ValuesRoundTripWhateverTheirEdges)
{
    for (const std::string value : {"", " lead", "trail ", "\"quoted\"", "'single'", "a=b", "; not a comment",
                                    "[x]", "\"", "x\"", "日本語のフォルダ/"}) {
        IniFile ini;
        ASSERT_TRUE(ini.writeString("S", "K", value));
        EXPECT_EQ(IniFile::parse(ini.text()).readString("S", "K", "default"), value) << value;
    }
    // A line break cannot be kept in one line: refused, and nothing changes.
    IniFile ini = IniFile::parse("[S]\nK=old\n");
    EXPECT_FALSE(ini.writeString("S", "K", "a\nb"));
    EXPECT_FALSE(ini.writeString("S", "New", "a\r[Injected]"));
    EXPECT_EQ(ini.text(), "[S]\nK=old\n");
    ini.eraseKey("s", "k");
    EXPECT_EQ(ini.text(), "[S]\n");
}

TEST(IniFileTest, ByteOrderMarkAndOddLines)
{
    const std::string text = "\xEF\xBB\xBF[A]\nno equals sign\n=novalue\n;k=comment\n  k  =  v  \n[broken\nq=1\n";
    IniFile ini = IniFile::parse(text);
    EXPECT_EQ(ini.text(), text);
    EXPECT_EQ(ini.readString("A", "k", "d"), "v");
    EXPECT_EQ(ini.readString("A", ";k", "d"), "d");
    // "[broken" is no header, so q still belongs to A.
    EXPECT_EQ(ini.readInteger("A", "q", 0), 1);
}

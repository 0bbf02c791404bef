#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include <random>

#include "base/exceptions.h"
#include "settings/text_encoding.h"
#include "support/test_support.h"

namespace fk {
namespace {

TEST(IniFile, FindsSectionsAndKeysWithoutRegardToCaseAndTrimsBlanks) {
    const IniFile ini =
        IniFile::parse("[WindowPosition]\r\n  x = 12 \r\nY=\t-4\r\n[format]\nTYPE=3\n");
    EXPECT_EQ(ini.value("WindowPosition", "X"), "12");
    EXPECT_EQ(ini.value("windowposition", "y"), "-4");
    EXPECT_EQ(ini.value("Format", "Type"), "3");
    EXPECT_EQ(ini.value("Format", "X"), std::nullopt);
    EXPECT_EQ(ini.value("Masks", "Last"), std::nullopt);
}

TEST(IniFile, TheFirstOfDuplicateSectionsAndKeysWins) {
    const IniFile ini = IniFile::parse(
        "[Format]\nType=1\nType=2\n[Other]\nA=1\n[Format]\nType=3\nJPEG_Quality=50\n");
    EXPECT_EQ(ini.value("Format", "Type"), "1");
    // Keys of a later section of the same name are not seen at all.
    EXPECT_EQ(ini.value("Format", "JPEG_Quality"), std::nullopt);
    const auto entries = ini.entries("Format");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1], (std::pair<std::string, std::string>{"Type", "2"}));
}

TEST(IniFile, ReadsWhatItCanOfBrokenText) {
    // A header without ']', a line without '=', a comment, a truncated last line, a BOM.
    const IniFile ini = IniFile::parse(
        "\xEF\xBB\xBFstray=1\n[Masks\n[Masks]\njunk line\n;Mask9=no\n=empty\nMask0=a.jpg\nMas");
    EXPECT_EQ(ini.value("Masks", "Mask0"), "a.jpg");
    EXPECT_EQ(ini.value("Masks", "Mask9"), std::nullopt);
    const auto entries = ini.entries("Masks");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].first, "Mask0");
}

TEST(IniFile, WritesBackEveryLineItDoesNotTouch) {
    const std::string text =
        "; written by hand\n[WindowPosition]\nX=1\nUnknown=keep me\n\n[Mine]\nfoo=bar\n"
        "garbage without equals\n[WindowPosition]\nX=99\n";
    IniFile ini = IniFile::parse(text);
    EXPECT_EQ(ini.serialize(), text);
    ini.setValue("WindowPosition", "X", "5");
    ini.setValue("WindowPosition", "Y", "6");
    EXPECT_EQ(ini.serialize(),
              "; written by hand\n[WindowPosition]\nX=5\nUnknown=keep me\nY=6\n\n[Mine]\nfoo=bar\n"
              "garbage without equals\n[WindowPosition]\nX=99\n");
}

TEST(IniFile, AddsMissingSectionsAtTheEndAfterABlankLine) {
    IniFile ini = IniFile::parse("[A]\nk=1");
    ini.setValue("B", "x", "2");
    ini.setValue("B", "y", "3");
    EXPECT_EQ(ini.serialize(), "[A]\nk=1\n\n[B]\nx=2\ny=3\n");
    IniFile empty;
    empty.setValue("Format", "Type", "-1");
    EXPECT_EQ(empty.serialize(), "[Format]\nType=-1\n");
}

TEST(IniFile, ALineBreakInAValueCannotStartAKeyOfItsOwn) {
    IniFile ini;
    ini.setValue("Masks", "Last", "a.jpg\nMask0=injected\r\n[Format]\nType=3");
    const IniFile back = IniFile::parse(ini.serialize());
    EXPECT_EQ(back.entries("Masks").size(), 1u);
    EXPECT_EQ(back.value("Format", "Type"), std::nullopt);
    EXPECT_EQ(back.value("Masks", "Last"), "a.jpg Mask0=injected  [Format] Type=3");
}

TEST(IniFile, RemovesKeysByPrefixAsWritten) {
    IniFile ini = IniFile::parse("[Masks]\nLast=x\nMask0=a\nmask1=b\nMaskZ=c\nOther=d\n");
    ini.removeKeysWithPrefix("Masks", "Mask");
    EXPECT_EQ(ini.serialize(), "[Masks]\nLast=x\nmask1=b\nOther=d\n");
}

TEST(IniFile, ReadsWindows1251ValuesAndKeepsUtf8Ones) {
    // "Снимок" in Windows-1251 and in UTF-8.
    const IniFile ini = IniFile::parse(
        "[Masks]\nLast=\xD1\xED\xE8\xEC\xEE\xEA_###.jpg\n"
        "Mask0=Снимок_#.png\n");
    EXPECT_EQ(ini.value("Masks", "Last"), "Снимок_###.jpg");
    EXPECT_EQ(ini.value("Masks", "Mask0"), "Снимок_#.png");
}

TEST(TextEncoding, EveryWindows1251ByteDecodesAsPythonsCodecSays) {
    if (!test::toolAvailable(test::python()))
        GTEST_SKIP() << "no Python";
    const auto r = test::runCommand(
        test::python() +
        " -c \"import sys; sys.stdout.write(' '.join('%04X' % ord(bytes([b]).decode('cp1251', "
        "'replace')) for b in range(128, 256)))\"");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::string bytes;
    for (int b = 128; b < 256; ++b)
        bytes += char(b);
    const std::string ours = cp1251ToUtf8(bytes);
    // Decode our UTF-8 back to code points.
    std::vector<uint32_t> points;
    for (size_t i = 0; i < ours.size();) {
        const uint8_t c = uint8_t(ours[i]);
        const int n = c < 0xE0 ? 2 : 3;
        uint32_t cp = c & (n == 2 ? 0x1F : 0x0F);
        for (int k = 1; k < n; ++k)
            cp = (cp << 6) | (uint8_t(ours[i + size_t(k)]) & 0x3F);
        points.push_back(cp);
        i += size_t(n);
    }
    ASSERT_EQ(points.size(), 128u);
    for (int b = 128; b < 256; ++b) {
        const unsigned expected = std::stoul(r.output.substr(size_t(b - 128) * 5, 4), nullptr, 16);
        if (b == 0x98)
            continue;  // undefined in the code page; Python gives U+FFFD
        EXPECT_EQ(points[size_t(b - 128)], expected) << "byte " << b;
    }
}

TEST(TextEncoding, TellsUtf8FromOtherBytes) {
    EXPECT_TRUE(isValidUtf8("plain"));
    EXPECT_TRUE(isValidUtf8("Путь"));
    EXPECT_FALSE(isValidUtf8("\xCF\xF3\xF2\xFC"));  // "Путь" in Windows-1251
    EXPECT_FALSE(isValidUtf8("\xC0\x80"));          // overlong
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(isValidUtf8("\xE2\x82"));          // cut short
}

TEST(IniFile, SurvivesBinaryGarbageAndStillWritesSoundKeys) {
    std::mt19937 random(7);
    std::string bytes(200000, '\0');
    for (char& c : bytes)
        c = char(random());
    IniFile ini = IniFile::parse(bytes);
    ini.setValue("Format", "Type", "2");
    ini.setValue("Masks", "Last", "scr_###.jpg");
    const IniFile back = IniFile::parse(ini.serialize());
    EXPECT_EQ(back.value("Format", "Type"), "2");
    EXPECT_EQ(back.value("Masks", "Last"), "scr_###.jpg");
}

TEST(IniFile, LoadsFilesAndTellsAMissingOneFromAnUnreadableOne) {
    test::TempDir dir;
    EXPECT_EQ(IniFile::loadFile(dir.file("none.ini")), std::nullopt);
    EXPECT_THROW(IniFile::loadFile(dir.path()), EReadError);
    test::writeFileBytes(dir.file("a.ini"), {'[', 'A', ']', '\n', 'k', '=', 'v'});
    EXPECT_EQ(IniFile::loadFile(dir.file("a.ini"))->value("A", "k"), "v");
}

}  // namespace
}  // namespace fk

#include "foundation/ini_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/error_code.h"
#include "foundation/platform/platform.h"
#include "foundation/text.h"
#include "tests/support/test_support.h"

namespace fw {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;
using Strings = std::vector<std::string>;

std::string Blanks(size_t n) { return std::string(n, ' '); }

class IniFileTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::SetFileFaultHook(nullptr); }

  // Writes `content` to a fresh file and opens it.
  std::string Given(const std::string& content, MIniFile* ini, int mode = MIniFile::kModeComments) {
    const std::string path =
        dir_.File(std::string("t").append(std::to_string(++files_)).append(".ini"));
    WriteFileBytes(path, content);
    EXPECT_EQ(ini->Open(path, mode), 1);
    return path;
  }

  TempDir dir_;
  int files_ = 0;
};

TEST_F(IniFileTest, MissingFileIsAnErrorAndLeavesTheOpenModelAlone) {
  MIniFile ini;
  const std::string first = Given("[a]\r\nk=1\r\n", &ini);
  const int32_t rc = ini.Open(dir_.File("missing.ini"), MIniFile::kModeComments);
  EXPECT_LT(rc, 0);
  EXPECT_TRUE(IsSystemErrorCode(rc));
  EXPECT_EQ(ini.Path(), first);
  EXPECT_EQ(ini.GetString("a", "k", "none"), "1");
}

TEST_F(IniFileTest, OneLineReadInBothModes) {
  MIniFile full;
  Given("[s]\r\nk = a b ; c\r\n", &full, MIniFile::kModeComments);
  EXPECT_EQ(full.GetString("s", "k", "?"), "a b");
  EXPECT_EQ(full.KeyComments(1, 0), Strings{"c"});

  MIniFile simple;
  Given("[s]\r\nk = a b ; c\r\n", &simple, MIniFile::kModeSimple);
  EXPECT_EQ(simple.GetString("s", "k", "?"), "a");
  EXPECT_TRUE(simple.KeyComments(1, 0).empty());
}

TEST_F(IniFileTest, SimpleModeCutsKeysAndValuesAtBlanks) {
  struct Case {
    const char* line;
    const char* key;
    const char* value;
  };
  const Case cases[] = {
      {"k x=v", "k", "v"}, {"k=v w", "k", "v"}, {"k=v;c", "k", "v"}, {"k=   v", "k", "v"},
      {"k", "k", ""},      {"k=", "k", ""},     {"k =  ", "k", ""},  {"word1 word2", "word1", ""},
  };
  for (const Case& c : cases) {
    MIniFile ini;
    Given(std::string("[s]\r\n") + c.line + "\r\n", &ini, MIniFile::kModeSimple);
    ASSERT_EQ(ini.KeyCount(1), 1) << c.line;
    EXPECT_EQ(ini.KeyName(1, 0), c.key) << c.line;
    EXPECT_EQ(ini.KeyValue(1, 0), c.value) << c.line;
  }
  MIniFile nameless;
  Given("[s]\r\n=v\r\n", &nameless, MIniFile::kModeSimple);
  EXPECT_EQ(nameless.KeyCount(1), 0);
}

TEST_F(IniFileTest, SimpleModeLooksAtTheFirst99BytesOnly) {
  MIniFile ini;
  // The "=" stands at byte 100, outside what is looked at: the line is a key without value.
  Given("[s]\r\n" + std::string(99, 'k') + "=v\r\n", &ini, MIniFile::kModeSimple);
  ASSERT_EQ(ini.KeyCount(1), 1);
  EXPECT_EQ(ini.KeyName(1, 0), std::string(31, 'k'));
  EXPECT_EQ(ini.KeyValue(1, 0), "");
}

TEST_F(IniFileTest, CommentsGoToTheSectionOrTheLastKey) {
  MIniFile ini;
  Given("; top\r\n[s] ; head\r\n; second\r\nk=1\r\n;after key   \r\nj=2 ; own\r\n;more\r\n", &ini);
  EXPECT_EQ(ini.SectionComments(0), Strings{" top"});
  EXPECT_EQ(ini.SectionComments(1), (Strings{"head", " second"}));
  EXPECT_EQ(ini.KeyComments(1, 0), Strings{"after key"});
  EXPECT_EQ(ini.KeyComments(1, 1), (Strings{"own", "more"}));
}

TEST_F(IniFileTest, FullWidthSemicolonMarksComments) {
  MIniFile ini;
  Given("[s] ；注释\r\nk = 值 ；说明\r\n；行\r\n", &ini);
  EXPECT_EQ(ini.SectionComments(1), Strings{"注释"});
  EXPECT_EQ(ini.GetString("s", "k", "?"), "值");
  EXPECT_EQ(ini.KeyComments(1, 0), (Strings{"说明", "行"}));
}

TEST_F(IniFileTest, AsciiSemicolonWinsOverTheFullWidthOne) {
  MIniFile ini;
  Given("[s]\r\nk = a；b ; c\r\n", &ini);
  EXPECT_EQ(ini.GetString("s", "k", "?"), "a；b");
  EXPECT_EQ(ini.KeyComments(1, 0), Strings{"c"});
}

TEST_F(IniFileTest, MarkersInsideADoubleByteCharacterAreNotMarkers) {
  MIniFile ini;
  // B0 A3 and BB AF are two characters; the bytes A3 BB across them are no full-width ";".
  Given("[s]\r\nk = \xB0\xA3\xBB\xAF\r\n", &ini);
  EXPECT_EQ(ini.KeyValue(1, 0), "\xB0\xA3\xBB\xAF");
  EXPECT_TRUE(ini.KeyComments(1, 0).empty());
}

TEST_F(IniFileTest, CommentBeforeAnyKeyOfASectionStaysWithThatSection) {
  MIniFile ini;
  // "junk" is a key line without "=": it adds nothing, and the comment after it has no key of
  // its own section to belong to.
  Given("[a]\r\nk=1\r\n[b]\r\njunk\r\n;c\r\n", &ini);
  EXPECT_TRUE(ini.KeyComments(1, 0).empty());
  EXPECT_EQ(ini.SectionComments(2), Strings{"c"});

  MIniFile same;
  Given("[a]\r\nk=1\r\njunk\r\n;c\r\n", &same);
  EXPECT_EQ(same.KeyComments(1, 0), Strings{"c"});

  MIniFile first;
  Given("junk\r\n;c\r\n", &first);
  EXPECT_EQ(first.SectionComments(0), Strings{"c"});
}

TEST_F(IniFileTest, HeaderWithoutNameOpensNoSectionButKeepsItsComments) {
  MIniFile ini;
  Given("[a]\r\nk=1\r\n[ ] ;x\r\n;y\r\n", &ini);
  EXPECT_EQ(ini.SectionCount(), 2);
  EXPECT_EQ(ini.SectionComments(1), (Strings{"x", "y"}));
  EXPECT_TRUE(ini.KeyComments(1, 0).empty());
}

TEST_F(IniFileTest, SectionNameEndingInALeadByteSurvivesAWriteBack) {
  MIniFile ini;
  const std::string path = Given("[ab\x81 ]\r\nk=1\r\n", &ini);
  EXPECT_EQ(ini.SectionName(1), "ab\x81");
  EXPECT_EQ(ini.WriteString("ab\x81", "k", "2"), 1);
  EXPECT_EQ(ini.Close(), 1);
  ASSERT_EQ(ini.Open(path, MIniFile::kModeComments), 1);
  ASSERT_EQ(ini.SectionCount(), 2);
  EXPECT_EQ(ini.SectionName(1), "ab\x81");
  EXPECT_EQ(ini.GetString("ab\x81", "k", "?"), "2");
}

TEST_F(IniFileTest, LineShapesThatAddNothing) {
  MIniFile ini;
  Given("\r\n\r\n   \t\r\n[broken\r\nno equals here\r\n  [s]\r\n\tk = v\r\n\r\n\r\nj=w", &ini);
  ASSERT_EQ(ini.SectionCount(), 2);
  EXPECT_EQ(ini.SectionName(1), "s");
  EXPECT_EQ(ini.KeyCount(0), 0);
  ASSERT_EQ(ini.KeyCount(1), 2);
  EXPECT_EQ(ini.GetString("s", "k", "?"), "v");
  EXPECT_EQ(ini.GetString("s", "j", "?"), "w");
}

TEST_F(IniFileTest, LinesLongerThan512BytesAreReadWhole) {
  MIniFile ini;
  Given("[s]\r\nk = " + Blanks(600) + "v\r\n;" + std::string(700, 'c') + "\r\n", &ini);
  ASSERT_EQ(ini.KeyCount(1), 1);
  EXPECT_EQ(ini.KeyValue(1, 0), "v");
  EXPECT_EQ(ini.KeyComments(1, 0), Strings{std::string(700, 'c')});
}

TEST_F(IniFileTest, NulByteEndsTheLine) {
  MIniFile ini;
  Given(std::string("[s]\r\nk=ab\0cd\r\nj=1\r\n", 18), &ini);
  EXPECT_EQ(ini.GetString("s", "k", "?"), "ab");
  EXPECT_EQ(ini.GetString("s", "j", "?"), "1");

  MIniFile early;
  Given(std::string("[s]\r\nk\0=v\r\n", 11), &early);
  EXPECT_EQ(early.KeyCount(1), 0);
}

TEST_F(IniFileTest, LookUpIgnoresCaseOfSectionsAndKeys) {
  MIniFile ini;
  Given("[Binary]\r\nPort=9129\r\n", &ini);
  EXPECT_EQ(ini.GetString("BINARY", "port", "?"), "9129");
  EXPECT_EQ(ini.GetString("binary", "ports", "none"), "none");
  EXPECT_EQ(ini.GetString("other", "port", "none"), "none");
}

TEST(IniNameEqualsTest, AsciiFoldsAndGbkBytesCompareExactly) {
  EXPECT_TRUE(IniNameEquals("Binary", "bINARY"));
  EXPECT_TRUE(IniNameEquals("", ""));
  EXPECT_FALSE(IniNameEquals("ab", "abc"));
  EXPECT_FALSE(IniNameEquals("a_", "a-"));
  // 81 41 and 81 61 are two different characters whose second bytes are "A" and "a".
  EXPECT_FALSE(IniNameEquals("\x81\x41", "\x81\x61"));
  EXPECT_TRUE(IniNameEquals("\x81\x41x", "\x81\x41X"));
}

TEST(GbkCutLengthTest, CutsAtNulAndNeverSplitsACharacter) {
  EXPECT_EQ(GbkCutLength("abcdef", 4), 4u);
  EXPECT_EQ(GbkCutLength("ab", 4), 2u);
  EXPECT_EQ(GbkCutLength(std::string_view("ab\0cd", 5), 4), 2u);
  EXPECT_EQ(GbkCutLength("a\xB0\xA1", 2), 1u);
  EXPECT_EQ(GbkCutLength("a\xB0\xA1", 3), 3u);
  // A high byte without a valid second byte is one byte on its own.
  EXPECT_EQ(GbkCutLength("a\xB0;", 2), 2u);
  EXPECT_EQ(GbkCutLength("ab\xD6", 3), 3u);
  EXPECT_EQ(GbkCutLength("abc", 0), 0u);
}

TEST_F(IniFileTest, TwoSectionsOfOneNameSurviveAndTheFirstIsChanged) {
  MIniFile ini;
  const std::string path = Given("[a]\r\nk=1\r\n[A]\r\nk=2\r\nj=3\r\n", &ini);
  EXPECT_EQ(ini.GetString("a", "k", "?"), "1");
  EXPECT_EQ(ini.GetString("a", "j", "?"), "3");
  EXPECT_EQ(ini.WriteString("A", "k", "9"), 1);
  EXPECT_EQ(ini.Close(), 1);
  EXPECT_EQ(ReadFileBytes(path), "\r\n[a]" + Blanks(45) + "\r\n" +      //
                                     "k = 9" + Blanks(45) + "\r\n" +    //
                                     "\r\n[A]" + Blanks(45) + "\r\n" +  //
                                     "k = 2" + Blanks(45) + "\r\n" +    //
                                     "j = 3" + Blanks(45) + "\r\n");
}

TEST_F(IniFileTest, KeyBeforeAnySectionIsWrittenBeforeTheFirstHeader) {
  MIniFile ini;
  const std::string path = Given("top=1\r\n[s]\r\nk=2\r\n", &ini);
  EXPECT_EQ(ini.GetString("", "top", "?"), "1");
  EXPECT_EQ(ini.WriteString("s", "k", "3"), 1);
  EXPECT_EQ(ini.Close(), 1);
  EXPECT_EQ(ReadFileBytes(path), "top = 1" + Blanks(43) + "\r\n" +      //
                                     "\r\n[s]" + Blanks(45) + "\r\n" +  //
                                     "k = 3" + Blanks(45) + "\r\n");
}

TEST_F(IniFileTest, GoldenWriteBack) {
  MIniFile ini;
  const std::string path = Given(
      "; Fenwright\r\n"
      "[binary] ; feed\r\n"
      "ip=127.0.0.1 ; gateway\r\n"
      "; second line\r\n"
      "port = 9129\r\n"
      "\r\n"
      "[logon]\r\n"
      "password = 0123456789012345678901234567890123456789\r\n"
      "ver = " +
          std::string(44, 'v') + "\r\n",
      &ini);
  EXPECT_EQ(ini.WriteString("binary", "port", "9130"), 1);
  EXPECT_EQ(ini.WriteString("logon", "heartbt", "30", "new key"), 1);
  EXPECT_EQ(ini.WriteString("other", "autostart", "false"), 1);
  EXPECT_EQ(ini.Close(), 1);

  const std::string expected =
      "; Fenwright\r\n"
      "\r\n[binary]" +
      Blanks(40) + ";feed\r\n" + "ip = 127.0.0.1" + Blanks(36) + ";gateway\r\n" +
      "; second line\r\n" + "port = 9130" + Blanks(39) + "\r\n" + "\r\n[logon]" + Blanks(41) +
      "\r\n" + "password = 0123456789012345678901234567890123456789" + Blanks(1) + "\r\n" +
      "ver = " + std::string(44, 'v') + Blanks(1) + "\r\n" + "heartbt = 30" + Blanks(38) +
      ";new key\r\n" + "\r\n[other]" + Blanks(41) + "\r\n" + "autostart = false" + Blanks(33) +
      "\r\n";
  EXPECT_EQ(ReadFileBytes(path), expected);
  EXPECT_FALSE(platform::FileExists(path + ".new"));
}

// Each value is written so that it reads back whole: in quotes when the file's syntax would take
// it apart, and only then. The line holds the key, " = ", the written form and its padding.
TEST_F(IniFileTest, ValuesAreWrittenInQuotesOnlyWhenTheyWouldNotReadBackOtherwise) {
  struct Case {
    std::string value;
    std::string written;
    std::string read;
  };
  const Case cases[] = {
      {"plain text", "plain text", "plain text"},
      {";abc", "\";abc\"", ";abc"},
      {"a ;b", "\"a ;b\"", "a ;b"},
      {"a；b", "\"a；b\"", "a；b"},
      {" lead", "\" lead\"", " lead"},
      {"trail\t", "\"trail\t\"", "trail\t"},
      {"\"x\"", "\"\"x\"\"", "\"x\""},
      {"'it' ;s\"", "\"'it' ;s\"\"", "'it' ;s\""},
      {"\"", "\"\"\"", "\""},
      {"k=v", "k=v", "k=v"},
      // No quote carries both: the longest part that one does is kept.
      {"a\" ;b' ;c", "'a\" ;b' '", "a\" ;b' "},
      {"a\r\nb", "a", "a"},
  };
  for (const Case& c : cases) {
    MIniFile ini;
    const std::string path = Given("", &ini);
    ASSERT_EQ(ini.WriteString("s", "k", c.value), 1);
    ASSERT_EQ(ini.Close(), 1);
    const std::string line = "k = " + c.written;
    EXPECT_EQ(ReadFileBytes(path), "\r\n[s]" + Blanks(45) + "\r\n" + line +
                                       Blanks(line.size() < 50 ? 50 - line.size() : 1) + "\r\n")
        << c.value;
    ASSERT_EQ(ini.Open(path, MIniFile::kModeComments), 1);
    EXPECT_EQ(ini.GetString("s", "k", "?"), c.read) << c.value;
  }
}

TEST_F(IniFileTest, QuotedValueKeepsItsQuotesAndItsCommentUntilItChanges) {
  MIniFile ini;
  const std::string path = Given("[s]\r\nk = \"a;b\" ; note\r\nj = 'x'\r\n", &ini);
  EXPECT_EQ(ini.GetString("s", "k", "?"), "a;b");
  EXPECT_EQ(ini.KeyComments(1, 0), Strings{"note"});
  EXPECT_EQ(ini.GetString("s", "j", "?"), "x");
  ASSERT_EQ(ini.WriteString("s", "k", "a;b"), 1);
  ASSERT_EQ(ini.WriteString("s", "j", "x"), 1);
  ASSERT_EQ(ini.Close(), 1);
  const std::string header = "\r\n[s]" + Blanks(45) + "\r\n";
  EXPECT_EQ(ReadFileBytes(path),
            header + "k = \"a;b\"" + Blanks(41) + ";note\r\n" + "j = 'x'" + Blanks(43) + "\r\n");

  ASSERT_EQ(ini.Open(path, MIniFile::kModeComments), 1);
  ASSERT_EQ(ini.WriteString("s", "j", "y"), 1);
  // A quote at the end of a comment must not close a value that begins with a quote.
  ASSERT_EQ(ini.WriteString("s", "q", "'1.00", "it's'"), 1);
  ASSERT_EQ(ini.Close(), 1);
  EXPECT_EQ(ReadFileBytes(path), header + "k = \"a;b\"" + Blanks(41) + ";note\r\n" + "j = y" +
                                     Blanks(45) + "\r\n" + "q = \"'1.00\"" + Blanks(39) +
                                     ";it's'\r\n");
  ASSERT_EQ(ini.Open(path, MIniFile::kModeComments), 1);
  EXPECT_EQ(ini.GetString("s", "q", "?"), "'1.00");
  EXPECT_EQ(ini.KeyComments(1, 2), Strings{"it's'"});
}

TEST_F(IniFileTest, OpenedAndClosedWithoutWritesIsLeftByteIdentical) {
  const std::string content = "  [s]  \n\n k=v ; c\n;x\r\n[t]";
  MIniFile ini;
  const std::string path = Given(content, &ini);
  EXPECT_FALSE(ini.IsModified());
  EXPECT_EQ(ini.Close(), 1);
  EXPECT_EQ(ReadFileBytes(path), content);
  EXPECT_FALSE(platform::FileExists(path + ".new"));
}

TEST_F(IniFileTest, WritesReplaceValuesAndComments) {
  MIniFile ini;
  Given("[s]\r\nk = v ; old\r\n", &ini);
  EXPECT_EQ(ini.WriteString("s", "k", "w"), 1);
  EXPECT_EQ(ini.KeyComments(1, 0), Strings{"old"});
  EXPECT_EQ(ini.WriteString("s", "K", "x", "new"), 1);
  EXPECT_EQ(ini.KeyCount(1), 1);
  EXPECT_EQ(ini.GetString("s", "k", "?"), "x");
  EXPECT_EQ(ini.KeyComments(1, 0), Strings{"new"});
  EXPECT_TRUE(ini.IsModified());
}

TEST_F(IniFileTest, NumbersAndFlagsAreWrittenAsText) {
  MIniFile ini;
  EXPECT_EQ(ini.WriteInt("s", "neg", -5), 1);
  EXPECT_EQ(ini.WriteInt("s", "max", 2147483647), 1);
  EXPECT_EQ(ini.WriteBool("s", "one", 1), 1);
  EXPECT_EQ(ini.WriteBool("s", "two", 2), 1);
  EXPECT_EQ(ini.WriteBool("s", "zero", 0), 1);
  EXPECT_EQ(ini.GetString("s", "neg", "?"), "-5");
  EXPECT_EQ(ini.GetString("s", "max", "?"), "2147483647");
  EXPECT_EQ(ini.GetString("s", "one", "?"), "true");
  EXPECT_EQ(ini.GetString("s", "two", "?"), "false");
  EXPECT_EQ(ini.GetString("s", "zero", "?"), "false");
}

TEST_F(IniFileTest, LongTextsAreCut) {
  MIniFile ini;
  const std::string path150(150, 'p');
  EXPECT_EQ(ini.WriteString("s", "path", path150), 1);
  EXPECT_EQ(ini.GetString("s", "path", "?"), path150.substr(0, 99));

  // Names are cut before they are compared, so a long name finds its own key again.
  const std::string longKey(40, 'k');
  EXPECT_EQ(ini.WriteString("s", longKey, "1"), 1);
  EXPECT_EQ(ini.WriteString("s", longKey, "2"), 1);
  EXPECT_EQ(ini.KeyCount(1), 2);
  EXPECT_EQ(ini.KeyName(1, 1), std::string(31, 'k'));
  EXPECT_EQ(ini.GetString("s", longKey, "?"), "2");

  // 98 bytes and a double-byte character: the character does not fit and is dropped whole.
  EXPECT_EQ(ini.WriteString("s", "gbk", std::string(98, 'a') + "\xB0\xA1"), 1);
  EXPECT_EQ(ini.GetString("s", "gbk", "?"), std::string(98, 'a'));
}

TEST_F(IniFileTest, EmptyKeyNameIsRefused) {
  MIniFile ini;
  EXPECT_EQ(ini.WriteString("s", "", "v"), kErrBadArgument);
  EXPECT_EQ(ini.SectionCount(), 1);
  EXPECT_FALSE(ini.IsModified());
}

TEST_F(IniFileTest, ClosedObjectCanBeOpenedAgainAndDestructionWritesBack) {
  const std::string path = dir_.File("again.ini");
  WriteFileBytes(path, "[s]\r\nk=1\r\n");
  {
    MIniFile ini;
    ASSERT_EQ(ini.Open(path, MIniFile::kModeComments), 1);
    EXPECT_EQ(ini.Close(), 1);
    EXPECT_EQ(ini.SectionCount(), 1);
    EXPECT_EQ(ini.GetString("s", "k", "none"), "none");
    ASSERT_EQ(ini.Open(path, MIniFile::kModeComments), 1);
    EXPECT_EQ(ini.WriteString("s", "k", "2"), 1);
  }
  EXPECT_EQ(ReadFileBytes(path), "\r\n[s]" + Blanks(45) + "\r\nk = 2" + Blanks(45) + "\r\n");
}

TEST_F(IniFileTest, OpeningAnotherFileWritesBackTheFirst) {
  const std::string first = dir_.File("first.ini");
  const std::string second = dir_.File("second.ini");
  WriteFileBytes(first, "k=1\r\n");
  WriteFileBytes(second, "k=2\r\n");
  MIniFile ini;
  ASSERT_EQ(ini.Open(first, MIniFile::kModeComments), 1);
  EXPECT_EQ(ini.WriteString("", "k", "3"), 1);
  ASSERT_EQ(ini.Open(second, MIniFile::kModeComments), 1);
  EXPECT_EQ(ReadFileBytes(first), "k = 3" + Blanks(45) + "\r\n");
  EXPECT_EQ(ini.GetString("", "k", "?"), "2");
  EXPECT_FALSE(ini.IsModified());
}

TEST_F(IniFileTest, ChangesWithoutAFileAreReportedOnClose) {
  MIniFile ini;
  EXPECT_EQ(ini.WriteString("s", "k", "v"), 1);
  EXPECT_EQ(ini.Close(), kErrNotInitialized);
  EXPECT_EQ(ini.SectionCount(), 1);
  EXPECT_FALSE(ini.IsModified());
}

TEST_F(IniFileTest, NameWithoutSeparatorLiesBesideTheExecutable) {
  const std::string exe = platform::ExecutablePath();
  ASSERT_FALSE(exe.empty());
  const std::string folder = exe.substr(0, exe.find_last_of("/\\") + 1);
  EXPECT_EQ(MIniFile::ResolvePath("beside.ini"), folder + "beside.ini");
  EXPECT_EQ(MIniFile::ResolvePath("./here.ini"), "./here.ini");
  EXPECT_EQ(MIniFile::ResolvePath("sub\\here.ini"), "sub\\here.ini");

  const std::string name = "fw_ini_beside_exe_" + std::to_string(platform::TickCount()) + ".ini";
  WriteFileBytes(folder + name, "[s]\r\nk=beside\r\n");
  MIniFile ini;
  EXPECT_EQ(ini.Open(name, MIniFile::kModeComments), 1);
  EXPECT_EQ(ini.GetString("s", "k", "?"), "beside");
  EXPECT_EQ(ini.Path(), folder + name);
  platform::RemoveFile(folder + name);
}

// Every step of the write-back made to fail in turn: the old file stays as it was, no new file is
// left behind, and the model is emptied all the same.
TEST_F(IniFileTest, InterruptedWriteBackLeavesTheOldFileIntact) {
  constexpr int32_t kDiskFull = SystemErrorCode(28);
  struct Case {
    platform::FileOp op;
    int32_t answer;
    int32_t expected;  // 0: any negative code
  };
  const Case cases[] = {
      {platform::FileOp::kCreate, kDiskFull, kDiskFull},
      {platform::FileOp::kWrite, kDiskFull, kDiskFull},
      {platform::FileOp::kWrite, 7, kErrFileShortWrite},
      {platform::FileOp::kSetEnd, kDiskFull, kDiskFull},
      {platform::FileOp::kFlush, kDiskFull, kDiskFull},
      {platform::FileOp::kRename, -1, 0},
  };
  const std::string content = "[s]\r\nk = 1\r\n";
  for (const Case& c : cases) {
    MIniFile ini;
    const std::string path = Given(content, &ini);
    const std::string fresh = path + ".new";
    EXPECT_EQ(ini.WriteString("s", "k", "2"), 1);
    platform::SetFileFaultHook([&](platform::FileOp op, const std::string& p, uint32_t) {
      return op == c.op && p == fresh ? c.answer : 0;
    });
    const int32_t rc = ini.Close();
    platform::SetFileFaultHook(nullptr);
    if (c.expected != 0) {
      EXPECT_EQ(rc, c.expected) << static_cast<int>(c.op);
    } else {
      EXPECT_LT(rc, 0);
    }
    EXPECT_EQ(ReadFileBytes(path), content) << static_cast<int>(c.op);
    EXPECT_FALSE(platform::FileExists(fresh)) << static_cast<int>(c.op);
    EXPECT_EQ(ini.SectionCount(), 1);
  }
}

TEST_F(IniFileTest, LeftoverNewFileLongerThanTheContentIsCut) {
  MIniFile ini;
  const std::string path = Given("k=1\r\n", &ini);
  WriteFileBytes(path + ".new", std::string(1000, '#'));
  EXPECT_EQ(ini.WriteString("", "k", "2"), 1);
  EXPECT_EQ(ini.Close(), 1);
  EXPECT_EQ(ReadFileBytes(path), "k = 2" + Blanks(45) + "\r\n");
}

TEST_F(IniFileTest, ErrorTextOfAFullStore) {
  EXPECT_EQ(static_cast<uint32_t>(kArrayFull), 0xA0000020u);
  EXPECT_EQ(MErrorCode::Text(kArrayFull), "<MSelfRiseArry>超过限定空间不能再增加元素");
}

TEST_F(IniFileTest, KeyStoreHolds20000Keys) {
  std::string keys;
  for (int i = 0; i < 20000; ++i) {
    keys.append("k").append(std::to_string(i)).append("=").append(std::to_string(i)).append("\n");
  }
  MIniFile ini;
  Given(keys, &ini);
  EXPECT_EQ(ini.KeyCount(0), 20000);
  EXPECT_EQ(ini.GetString("", "k19999", "?"), "19999");
  // The 20001st key is refused and nothing else changes; an existing key can still be set.
  EXPECT_EQ(ini.WriteString("s", "new", "v"), kArrayFull);
  EXPECT_EQ(ini.SectionCount(), 1);
  EXPECT_EQ(ini.GetString("s", "new", "none"), "none");
  EXPECT_FALSE(ini.IsModified());
  EXPECT_EQ(ini.WriteString("", "k5", "five"), 1);
  EXPECT_EQ(ini.GetString("", "k5", "?"), "five");

  // A file with one key more is refused whole: a write-back could only lose it.
  const std::string path = dir_.File("over.ini");
  WriteFileBytes(path, keys + "last=1\n");
  EXPECT_EQ(ini.Open(path, MIniFile::kModeComments), kArrayFull);
  EXPECT_NE(ini.Path(), path);
}

TEST_F(IniFileTest, SectionStoreHolds20000SectionsWithSectionZero) {
  std::string sections;
  for (int i = 1; i < 20000; ++i) sections += "[s" + std::to_string(i) + "]\n";
  MIniFile ini;
  Given(sections, &ini);
  EXPECT_EQ(ini.SectionCount(), 20000);
  EXPECT_EQ(ini.WriteString("one more", "k", "v"), kArrayFull);
  EXPECT_EQ(ini.SectionCount(), 20000);
  EXPECT_EQ(ini.WriteString("s19999", "k", "v"), 1);

  const std::string path = dir_.File("over.ini");
  WriteFileBytes(path, sections + "[last]\n");
  EXPECT_EQ(ini.Open(path, MIniFile::kModeComments), kArrayFull);
}

TEST_F(IniFileTest, CommentStoresHold20000CommentsAnd20000TextBytes) {
  std::string comments;
  for (int i = 0; i < 20000; ++i) comments += ";\n";
  MIniFile many;
  Given(comments, &many);
  EXPECT_EQ(many.SectionComments(0).size(), 20000u);
  const std::string path = dir_.File("over.ini");
  WriteFileBytes(path, comments + ";\n");
  EXPECT_EQ(many.Open(path, MIniFile::kModeComments), kArrayFull);

  // Each text takes its bytes and a NUL: two texts of 9998 bytes take 19998 bytes, so one more
  // byte of text fills the store exactly and two bytes overflow it.
  MIniFile text;
  const std::string line = std::string(";").append(9998, 'x').append("\n");
  Given(line + line + ";y\n", &text);
  EXPECT_EQ(text.SectionComments(0).size(), 3u);
  WriteFileBytes(path, line + line + ";yz\n");
  EXPECT_EQ(text.Open(path, MIniFile::kModeComments), kArrayFull);
  EXPECT_EQ(text.SectionComments(0).size(), 3u);
}

TEST_F(IniFileTest, ReplacedCommentsDoNotFillTheTextStore) {
  MIniFile ini;
  const std::string long1(9000, 'a');
  const std::string long2(9000, 'b');
  for (int i = 0; i < 10; ++i) {
    ASSERT_EQ(ini.WriteString("s", "k", "v", i % 2 == 0 ? long1 : long2), 1) << i;
  }
  EXPECT_EQ(ini.KeyComments(1, 0), Strings{long2});
  // With 9000 bytes held, a second comment of 12000 bytes does not fit.
  EXPECT_EQ(ini.WriteString("s", "j", "v", std::string(12000, 'c')), kArrayFull);
  EXPECT_EQ(ini.KeyCount(1), 1);
}

}  // namespace
}  // namespace fw

// The command tail cut from the whole command line: the program's name,
// quoted or not, then the blanks and control characters after it.
#include <gtest/gtest.h>

#include <string>

#include "app/command_tail.h"

namespace {

bool NoLeadBytes(unsigned char) { return false; }
// The lead bytes of code page 932 (Shift JIS).
bool ShiftJisLeadBytes(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

struct LineCase {
  const char* line;
  const char* tail;
};

void ExpectTails(const LineCase* cases, size_t count, LeadByteTest isLeadByte) {
  for (size_t i = 0; i < count; ++i) {
    SCOPED_TRACE(std::string("command line \"") + cases[i].line + "\"");
    EXPECT_STREQ(CommandTailOf(cases[i].line, isLeadByte), cases[i].tail);
  }
}

TEST(CommandLine, QuotedNameEndsAtItsClosingQuote) {
  const LineCase cases[] = {
      {"\"C:\\x\\pipeserver.exe\" -p 378", "-p 378"},
      {"\"C:\\x\\pipeserver.exe\"-p 378", "-p 378"},  // No blank after the quote.
      {"\"C:\\Program Files\\p\\pipeserver.exe\" -P 3bc", "-P 3bc"},
      {"\"C:\\x\\pipeserver.exe\"", ""}, {"\"C:\\x\\pipeserver.exe\"   ", ""},
      {"\"\" -p 378", "-p 378"},                       // An empty quoted name.
      {"\"C:\\x\"\\pipeserver.exe -p 378", "\\pipeserver.exe -p 378"},
      {"\"C:\\x\\pipeserver.exe -p 378", ""},          // No closing quote: all name.
      {"\"a\"\"b\"", "\"b\""},
  };
  ExpectTails(cases, std::size(cases), NoLeadBytes);
}

TEST(CommandLine, UnquotedNameEndsAtTheFirstByteOf32OrLess) {
  const LineCase cases[] = {
      {"C:\\x\\pipeserver.exe -p 378", "-p 378"}, {"pipeserver.exe\t-p 378", "-p 378"},
      {"pipeserver.exe\x01-p 378", "-p 378"}, {"pipeserver.exe", ""}, {"", ""},
      {"C:\\\xE9t\xE9\\pipeserver.exe -p 378", "-p 378"},  // Bytes above 0x7F are part of the name.
      {"C:\\\xFF\x80\\p.exe -p 378", "-p 378"},
      {"pipe\"server.exe\" -p 378", "-p 378"},  // A quote inside the name is a byte like others.
      {" pipeserver.exe -p 378", "pipeserver.exe -p 378"},  // A leading blank ends an empty name.
  };
  ExpectTails(cases, std::size(cases), NoLeadBytes);
}

TEST(CommandLine, OnlyCodes1To32AreSkippedAfterTheName) {
  const LineCase cases[] = {
      {"p.exe \t\r\n\x01\x1F -p 378", "-p 378"}, {"\"p.exe\"\x20\x20\x09-p 378", "-p 378"},
      {"p.exe \xA0-p 378", "\xA0-p 378"},  // 0xA0 (a no-break space in code page 1252) is kept.
      {"p.exe \x7F-p 378", "\x7F-p 378"}, {"\"p.exe\" \x81-p 378", "\x81-p 378"},
      {"p.exe -p 378  ", "-p 378  "},  // Blanks at the end stay.
  };
  ExpectTails(cases, std::size(cases), NoLeadBytes);
  ExpectTails(cases, std::size(cases), ShiftJisLeadBytes);
}

// "\x81\x22" is one double-byte character whose second byte is the code of
// '"': it does not close the name.
TEST(CommandLine, SecondByteOfADoubleByteCharacterIsNeverTheClosingQuote) {
  const LineCase shiftJis[] = {
      {"\"C:\\\x81\"x.exe\" -p 378", "-p 378"}, {"\"C:\\\x81\"\" -p 378", "-p 378"},
      {"\"\x81\"", ""},             // The name's only character, then the end.
      {"\"\x81", ""},               // A lead byte last: the zero still ends the line.
      {"\"\x81\" -p 378", ""},      // No closing quote after the character.
      {"\"C:\\\x82\xA0\" -p 378", "-p 378"},
      {"C:\\\x81\x20x.exe -p 378", "x.exe -p 378"},  // Unquoted: only bytes count.
  };
  ExpectTails(shiftJis, std::size(shiftJis), ShiftJisLeadBytes);
  // Without double-byte characters the same bytes close the name early.
  const LineCase singleByte[] = {
      {"\"C:\\\x81\"x.exe\" -p 378", "x.exe\" -p 378"}, {"\"C:\\\x81\"\" -p 378", "\" -p 378"},
      {"\"\x81\" -p 378", "-p 378"},
  };
  ExpectTails(singleByte, std::size(singleByte), NoLeadBytes);
}

TEST(CommandLine, NullLineIsAnEmptyTail) {
  EXPECT_STREQ(CommandTailOf(nullptr, NoLeadBytes), "");
}

}  // namespace

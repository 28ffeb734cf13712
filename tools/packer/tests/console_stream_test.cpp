#include "console_stream.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <ostream>
#include <string>

namespace tenvik::packer {
namespace {

// What reaches the read end of a pipe the buffer writes into.
std::string throughPipe(const std::string& text, bool flush) {
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  EXPECT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 1 << 16));
  {
    ConsoleBuffer buffer(writeEnd);
    EXPECT_FALSE(buffer.isConsole());
    std::ostream stream(&buffer);
    stream << text;
    if (flush) stream.flush();
  }  // the buffer's end writes what is left
  CloseHandle(writeEnd);
  std::string received;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got != 0) received.append(chunk, got);
  CloseHandle(readEnd);
  return received;
}

// A pipe or file gets the packer's UTF-8 bytes as they are: JSON and
// messages compare equal to the Linux build's.
TEST(ConsoleBuffer, PipesGetTheBytesUnchanged) {
  const std::string texts[] = {
      "{\"name\":\"caf\xc3\xa9/\xe6\x97\xa5\xe6\x9c\xac.txt\"}\n",
      "line one\nline two\n",
      "no line end \xe2\x98\x95",
      std::string(20000, 'x') + "\n",  // within the pipe's room: nobody reads yet
  };
  for (const std::string& text : texts) {
    EXPECT_EQ(throughPipe(text, true), text);
    EXPECT_EQ(throughPipe(text, false), text);
  }
}

}  // namespace
}  // namespace tenvik::packer

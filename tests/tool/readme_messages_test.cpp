// The messages tables of the README, checked against the command: each case below provokes
// a message as a user would, and its text must be one of the table's (the table's `…`
// standing for any text, N for a number, PATH for a file name). The messages of damaged
// videos need videos made for them and are checked verbatim in video_faults_test.cpp.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>

#include "raw_pictures.h"
#include "tool_runner.h"

namespace {

using korvel_test::RandomFrames;
using korvel_test::RunKorvel;
using korvel_test::ScratchFolder;
using korvel_test::WriteBytes;

// A message of the table: literal text, and places that stand for any text (`…`), for a
// file name (PATH) or for a number (N).
struct Piece {
  enum Kind { kText, kAny, kName, kNumber } kind;
  std::string text;
};
using Pattern = std::vector<Piece>;

bool Matches(const Pattern& pattern, size_t piece, const std::string& message, size_t at) {
  if (piece == pattern.size()) return at == message.size();
  const Piece& p = pattern[piece];
  switch (p.kind) {
    case Piece::kText:
      return message.compare(at, p.text.size(), p.text) == 0 &&
             Matches(pattern, piece + 1, message, at + p.text.size());
    case Piece::kNumber:
      if (at == message.size() || !std::isdigit(static_cast<unsigned char>(message[at])))
        return false;
      while (at < message.size() && std::isdigit(static_cast<unsigned char>(message[at]))) ++at;
      return Matches(pattern, piece + 1, message, at);
    case Piece::kAny:
    case Piece::kName:
      for (size_t end = p.kind == Piece::kName ? at + 1 : at; end <= message.size(); ++end)
        if (Matches(pattern, piece + 1, message, end)) return true;
      return false;
  }
  return false;
}

Pattern PatternOf(const std::string& text) {
  Pattern pattern;
  auto add = [&](Piece::Kind kind, const std::string& literal = "") {
    if (kind == Piece::kText && !pattern.empty() && pattern.back().kind == Piece::kText)
      pattern.back().text += literal;
    else
      pattern.push_back({kind, literal});
  };
  for (size_t i = 0; i < text.size();) {
    const bool word_start = i == 0 || text[i - 1] == ' ';
    if (text.compare(i, 3, "…") == 0) {
      add(Piece::kAny);
      i += 3;
    } else if (word_start && text.compare(i, 4, "PATH") == 0) {
      add(Piece::kName);
      i += 4;
    } else if (word_start && text[i] == 'N' &&
               (i + 1 == text.size() || !std::isalpha(static_cast<unsigned char>(text[i + 1])))) {
      add(Piece::kNumber);
      ++i;
    } else {
      add(Piece::kText, std::string(1, text[i++]));
    }
  }
  return pattern;
}

// Every message in backquotes in the first column of the tables under "### Messages".
std::vector<Pattern> ReadmeMessages() {
  std::ifstream readme(KORVEL_README_PATH);
  std::string line;
  bool in_section = false;
  std::vector<Pattern> patterns;
  while (std::getline(readme, line)) {
    if (line.rfind("#", 0) == 0) in_section = line == "### Messages";
    if (!in_section || line.rfind("| `", 0) != 0) continue;
    const std::string first_column = line.substr(0, line.find(" | "));
    for (size_t open = first_column.find('`'); open != std::string::npos;) {
      const size_t close = first_column.find('`', open + 1);
      if (close == std::string::npos) break;
      patterns.push_back(PatternOf(first_column.substr(open + 1, close - open - 1)));
      open = first_column.find('`', close + 1);
    }
  }
  return patterns;
}

struct Case {
  std::vector<std::string> arguments;
  int status;
};

TEST(ReadmeMessages, EveryMessageProvokedIsInTheTable) {
  const std::vector<Pattern> table = ReadmeMessages();
  ASSERT_GE(table.size(), 20u) << "no messages table found in " << KORVEL_README_PATH;

  ScratchFolder folder;
  WriteBytes(folder.Path("in.raw"), RandomFrames({48, 40, 3}, 2, 1));
  WriteBytes(folder.Path("clip.raw"), std::vector<uint8_t>(1000));
  WriteBytes(folder.Path("empty.raw"), {});
  WriteBytes(folder.Path("clip.avs"), {'B', 'l', 'a', 'n', 'k', 'C', 'l', 'i', 'p', '(', ')'});
  std::filesystem::create_symlink("loop.raw", folder.Path("loop.raw"));
  std::filesystem::create_directory(folder.Path("folder.avs"));
  const std::vector<std::string> raw{"in.raw", "out.raw", "--size", "48x40"};
  auto with = [&](std::vector<std::string> extra) {
    std::vector<std::string> arguments = raw;
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
  };
  std::vector<Case> cases{
      {{}, 2},
      {{"a.raw", "b.raw", "c.raw"}, 2},
      {{"--bogus"}, 2},
      {with({"-x"}), 2},
      {with({"--quiet=yes"}), 2},
      {with({"-x", "two"}), 2},
      {with({"--frames", "0"}), 2},
      {with({"--plugin="}), 2},
      {{"in.raw", "out.raw", "--size", "640"}, 2},
      {with({"--format", "nv12"}), 2},
      {{"in.raw", "out.raw"}, 2},
      {{"in.png", "out.png", "--size", "48x40"}, 2},
      {{"in.mp4", "out.mp4", "--size", "48x40"}, 2},
      {{"clip.avs", "out.raw", "-x", "3"}, 2},
      {{"in.raw", "out.avs", "--size", "48x40"}, 2},
      {with({"-x", "7"}), 1},
      {with({"-x", "0", "-y", "-6"}), 1},
      {with({"-x", "0", "-y", "0"}), 1},
      {with({"-b", "Line"}), 1},
      {with({"-b", "focus", "-x", "1"}), 1},
      {with({"-b", "rect", "-x", "0"}), 1},
      {with({"--format", "yuy2"}), 2},
      {{"clip.raw", "out.raw", "--size", "10x10"}, 1},
      {{"in.mp4", "out.mp4"}, 1},
      {{"in.raw", "frame%02d.bmp", "--size", "48x40"}, 1},
      {{"in.raw", "out", "--size", "48x40"}, 1},
      {{"in.raw", "in.raw", "--size", "48x40"}, 1},
      {{"in.raw", "loop.raw", "--size", "48x40"}, 1},
      {with({"--plugin", "no-such.so"}), 1},
      {{"empty.raw", "out.raw", "--size", "48x40"}, 1},
      {{"in.raw", "out.m3u8", "--size", "48x40"}, 1},
      {{"in.raw", "out.mp3", "--size", "48x40"}, 1},
      {{"folder.avs", "out.raw"}, 1},
  };
#ifdef KORVEL_TOOL_PNG
  cases.push_back({{"in.raw", "out.png", "--size", "48x40"}, 1});
#endif
  // Where AviSynth+ is not on the library path, as on a fresh machine.
  if (void* library = dlopen("libavisynth.so", RTLD_LAZY))
    dlclose(library);
  else
    cases.push_back({{"clip.avs", "out.raw"}, 1});

  for (const Case& c : cases) {
    std::string shown;
    for (const std::string& argument : c.arguments) shown += argument + " ";
    SCOPED_TRACE(shown);
    const auto result = RunKorvel(folder, c.arguments);
    EXPECT_EQ(result.status, c.status);
    const std::string first_line =
        result.standard_error.substr(0, result.standard_error.find('\n'));
    ASSERT_EQ(first_line.rfind("korvel: ", 0), 0u) << result.standard_error;
    const std::string message = first_line.substr(8);
    bool listed = false;
    for (const Pattern& pattern : table) listed = listed || Matches(pattern, 0, message, 0);
    EXPECT_TRUE(listed) << "not in the README's messages tables: " << message;
  }
}

}  // namespace

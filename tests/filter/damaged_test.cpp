// Damaged inputs: a file cut short or overwritten is refused before the
// library reads past its end for ever; what the library dies of, or prints
// without end, is reported by the file it was reading.
#include <cstring>

#include "tests/filter/filter_case.h"

namespace {

using Bytes = std::string;

int32_t word_at(const Bytes& b, size_t offset) {
  int32_t w;
  std::memcpy(&w, b.data() + offset, 4);
  return w;
}

void set_word(Bytes& b, size_t offset, int32_t w) { std::memcpy(&b[offset], &w, 4); }

size_t header_start(const Bytes& mtz) { return size_t(word_at(mtz, 4) - 1) * 4; }

// Replaces the first `from` at or after the header records.
Bytes replaced(Bytes b, const std::string& from, const std::string& to) {
  size_t at = b.find(from, header_start(b));
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? b : b.replace(at, from.size(), to);
}

struct Damage {
  const char* what;
  std::function<Bytes(const Bytes&)> change;
  const char* message = "HKLIN unable to open file";
};

const Damage MTZ_DAMAGE[] = {
    {"cut inside the main header", [](const Bytes& b) { return b.substr(0, b.size() - 500); }},
    {"cut inside the batch headers",
     [](const Bytes& b) { return b.substr(0, b.size() - 80 * 30); }},
    {"cut before the end record", [](const Bytes& b) { return b.substr(0, b.size() - 80); }},
    {"header position one word on",
     [](Bytes b) { return set_word(b, 4, word_at(b, 4) + 1), b; },
     "HKLIN: the library's log ran on without end while reading the file header"},
    {"header position 1", [](Bytes b) { return set_word(b, 4, 1), b; }},
    {"header position past the end", [](Bytes b) { return set_word(b, 4, 1 << 30), b; }},
    {"more columns than COLUMN records",
     [](const Bytes& b) { return replaced(b, "NCOL       15", "NCOL       16"); }},
    {"reflections of no columns",
     [](const Bytes& b) { return replaced(b, "NCOL       15", "NCOL        0"); }},
    {"one reflection more than the file holds",
     [](const Bytes& b) { return replaced(b, "5508 ", "5509 "); }},
    {"more reflections than the file holds",
     [](const Bytes& b) { return replaced(b, "5508 ", "9508 "); }},
};

void expect_refused(const FilterTest& t, const std::string& message) {
  const Bytes map = read_file(t.path("mask.map")), mtz = read_file(t.path("in.mtz"));
  RunResult r = t.run();
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.status, 1);
  // The normal listing is some 4 KB; a log that runs on is cut at 1 MiB more.
  EXPECT_LT(r.out.size(), (1u << 20) + 80000u);
  EXPECT_EQ(last_lines(r.out, 3), (std::vector<std::string>{"", " ERROR: " + message, ""}));
  EXPECT_TRUE(r.err.size() >= message.size() + 13 &&
              r.err.substr(r.err.size() - message.size() - 13) ==
                  "\n ERROR: " + message + "\n\n1\n")
      << r.err;
  EXPECT_FALSE(file_exists(t.path("out.mtz")));
  EXPECT_EQ(read_file(t.path("mask.map")), map);
  EXPECT_EQ(read_file(t.path("in.mtz")), mtz);
}

void write_bytes(const std::string& path, const Bytes& b) {
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(b.data(), 1, b.size(), f);
  std::fclose(f);
}

TEST_F(FilterTest, DamagedMtzFilesAreRefused) {
  const Bytes good = read_file(KORVEN_DATA_DIR "/unmerged_c2c_900batches.mtz");
  write_mask(path("mask.map"), MaskMap{});
  for (const Damage& d : MTZ_DAMAGE) {
    SCOPED_TRACE(d.what);
    write_bytes(path("in.mtz"), d.change(good));
    expect_refused(*this, d.message);
  }
}

// Files over 2 GiB give the header position as a 64-bit word.
TEST_F(FilterTest, SixtyFourBitHeaderPositionIsRead) {
  Bytes mtz = read_file(KORVEN_DATA_DIR "/merged_c121.mtz");
  int64_t position = word_at(mtz, 4);
  set_word(mtz, 4, -1);
  std::memcpy(&mtz[12], &position, 8);
  write_bytes(path("in.mtz"), mtz);
  write_mask(path("mask.map"), MaskMap{});
  RunResult r = run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(last_lines(r.out, 8), report(367, 0, 0));
}

TEST_F(FilterTest, DamagedMapsAreRefused) {
  write_mtz(path("in.mtz"), simple_mtz({{0, 0, 0}}));
  const std::pair<std::pair<int, int32_t>, std::string> cases[] = {
      {{56, -1}, "MSKIN header damaged: label count -1"},
      {{24, -80}, "MSKIN header damaged: symmetry record of -80 bytes"},
  };
  for (const auto& [word, message] : cases) {
    SCOPED_TRACE(message);
    MaskMap map;
    map.extent = {2, 1, 1};
    map.words = {word};
    write_mask(path("mask.map"), map);
    expect_refused(*this, message);
  }
}

// A million labels: the library writes them past the end of its own array
// and prints a notice for each past the end of the file.  Whichever comes
// first, the crash or the log's bound at 1 MiB, ends the run.
TEST_F(FilterTest, MillionLabelsEndTheRun) {
  write_mtz(path("in.mtz"), simple_mtz({{0, 0, 0}}));
  MaskMap map;
  map.words = {{56, 1048576}};
  write_mask(path("mask.map"), map);
  RunResult r = run();
  EXPECT_EQ(r.status, 1);
  EXPECT_LT(r.out.size(), (1u << 20) + 80000u);
  std::vector<std::string> end = last_lines(r.out, 3);
  ASSERT_EQ(end.size(), 3u);
  const std::string crashed = " ERROR: MSKIN: the library crashed (";
  const std::string ran_on = " ERROR: MSKIN: the library's log ran on without end";
  EXPECT_TRUE(end[1].rfind(crashed, 0) == 0 || end[1].rfind(ran_on, 0) == 0) << end[1];
  EXPECT_NE(end[1].find(" while reading the map header"), std::string::npos) << end[1];
  EXPECT_FALSE(file_exists(path("out.mtz")));
}

// What the library reads by itself goes on as for any map: no labels or
// 11; 12
// in a file that holds 11, where the library's own road ends in the section
// read; a symmetry record past the end of the file; a grid numbered past
// 2^31 - 1.
TEST_F(FilterTest, MapHeadersTheLibraryReads) {
  const MtzFile mtz = simple_mtz({{0, 0, 0}, {1, 0, 0}});
  struct Case {
    std::pair<int, int32_t> word;
    std::vector<std::string> end;
  } cases[] = {
      {{56, 0}, report(0, 0, 2)},
      {{56, 11}, report(0, 0, 2)},
      {{56, 12}, {"", " ERROR: MSKIN unable to read section(s)", ""}},
      {{24, 1 << 20}, {"", " ERROR: MSKIN unable to read section(s)", ""}},
      {{5, 2147483647}, report(2, 0, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.word.first);
    MaskMap map;
    map.extent = {2, 1, 1};
    map.words = {c.word};
    RunResult r = run(map, mtz);
    EXPECT_EQ(last_lines(r.out, c.end.size()), c.end);
  }
}

// Sections of more than 2^31 - 1 bytes are refused only when one is read:
// the library counts them in 32 bits.
TEST_F(FilterTest, SectionSizeLimit) {
  const MtzFile mtz = simple_mtz({{0, 0, 0}, {1, 0, 0}});
  struct Case {
    std::vector<std::pair<int, int32_t>> words;
    std::vector<std::string> end;
  } cases[] = {
      {{{1, 65536}, {2, 65536}, {3, 0}}, report(2, 0, 0)},
      {{{1, 2147483647}, {2, 1}, {3, 0}}, report(2, 0, 0)},
      {{{1, 2147483647}, {2, 1}, {3, 1}}, {"", " ERROR: MSKIN unable to read section(s)", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.words[0].second);
    MaskMap map;
    map.words = c.words;
    RunResult r = run(map, mtz);
    EXPECT_EQ(last_lines(r.out, c.end.size()), c.end);
  }
}

}  // namespace

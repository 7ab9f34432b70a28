// Damaged inputs are refused before the library reads them: such files made
// it loop for ever on its signal texts or crash inside its open.
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
};

const Damage MTZ_DAMAGE[] = {
    {"cut inside the main header", [](const Bytes& b) { return b.substr(0, b.size() - 500); }},
    {"cut inside the batch headers",
     [](const Bytes& b) { return b.substr(0, b.size() - 80 * 30); }},
    {"cut before the end record", [](const Bytes& b) { return b.substr(0, b.size() - 80); }},
    {"header position one word on",
     [](Bytes b) { return set_word(b, 4, word_at(b, 4) + 1), b; }},
    {"header position 1", [](Bytes b) { return set_word(b, 4, 1), b; }},
    {"header position past the end", [](Bytes b) { return set_word(b, 4, 1 << 30), b; }},
    {"broken COLUMN keyword",
     [](const Bytes& b) { return replaced(b, "COLUMN I ", "COLUMNI  "); }},
    {"more columns than COLUMN records",
     [](const Bytes& b) { return replaced(b, "NCOL       15", "NCOL       16"); }},
    {"more reflections than the file holds",
     [](const Bytes& b) { return replaced(b, "5508 ", "9508 "); }},
    {"a column in an undeclared dataset",
     [](Bytes b) { return b.replace(b.find("COLUMN LP", header_start(b)) + 79, 1, "7"); }},
};

void expect_refused(const FilterTest& t, const std::string& message) {
  const Bytes map = read_file(t.path("mask.map")), mtz = read_file(t.path("in.mtz"));
  RunResult r = t.run();
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.status, 1);
  EXPECT_LT(r.out.size(), 20000u);
  EXPECT_EQ(last_lines(r.out, 3), (std::vector<std::string>{"", " ERROR: " + message, ""}));
  EXPECT_EQ(r.err, "\n ERROR: " + message + "\n\n1\n");
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
    expect_refused(*this, "HKLIN unable to open file");
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
      {{56, -1}, "label count -1, not 0 to 10"},
      {{56, 1048576}, "label count 1048576, not 0 to 10"},
      {{24, -80}, "symmetry record of -80 bytes"},
      {{24, 1 << 20}, "symmetry record runs past the end of the file"},
      {{5, 2147483647}, "grid numbered beyond 2147483647"},
  };
  for (const auto& [word, message] : cases) {
    SCOPED_TRACE(message);
    MaskMap map;
    map.extent = {2, 1, 1};
    map.words = {word};
    write_mask(path("mask.map"), map);
    expect_refused(*this, "MSKIN header damaged: " + message);
  }
}

}  // namespace

// Test inputs and output checks, written and read with gemmi, not libccp4.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// A mask map over Miller indices: columns h, rows k, sections l.
struct MaskMap {
  std::array<int, 3> start = {0, 0, 0};   // first column, row, section
  std::array<int, 3> extent = {1, 1, 1};  // columns, rows, sections
  std::vector<uint8_t> bytes;             // h fastest; zeros where short
  int spacegroup = 1;
  std::array<int, 3> axes = {1, 2, 3};
  int mode = 0;
  std::vector<std::pair<int, int32_t>> words;  // header words (from 1) set last
  long keep = -1;                              // data bytes written; all when < 0
};

// Sets the byte of grid point (h, k, l), growing the bytes as needed.
void set_byte(MaskMap& map, int h, int k, int l, uint8_t value);
// Sets every byte of the grid to byte(h, k, l).
void fill(MaskMap& map, const std::function<uint8_t(int, int, int)>& byte);
void write_mask(const std::string& path, const MaskMap& map);

struct MtzDataset {
  int id = 0;  // HKL_base is 0
  std::string project, crystal, dataset;
  std::array<double, 6> cell = {0, 0, 0, 0, 0, 0};  // the file's cell when 0
  double wavelength = 0;
};

struct MtzColumn {
  std::string label;
  char type = 'F';
  int dataset = 0;
};

struct MtzBatch {
  int number = 0;
  int dataset = 1;
  std::string title;
  std::vector<int32_t> ints;  // as read; gemmi's defaults are written
  std::vector<float> floats;  // as read; the file's cell is written
  std::vector<std::string> axes;
};

// An MTZ file in flat form; datasets other than HKL_base are written with
// their ids; rows hold the values in the column order.
struct MtzFile {
  std::string title = "korven test";
  std::array<double, 6> cell = {50, 60, 70, 90, 100, 90};
  std::string spacegroup = "P 1 2 1";
  std::string spacegroup_text;  // quoted in SYMINF instead of the symbol, when set
  int spacegroup_number = 0;    // as read; the symbol's own is written
  std::vector<MtzDataset> datasets;
  std::vector<MtzColumn> columns;
  std::vector<std::vector<float>> rows;
  std::vector<MtzBatch> batches;
  std::vector<std::string> history;
};

// One dataset "d1", and columns H K L F SIGF FREE.
MtzFile simple_mtz(const std::vector<std::array<float, 3>>& hkl = {});

void write_mtz(const std::string& path, const MtzFile& mtz);
MtzFile read_mtz(const std::string& path);

// The header as text lines: title, cell, symmetry, datasets, columns sorted by
// label, batches and history; no reflection count and no column ranges.
std::vector<std::string> header_lines(const MtzFile& mtz);

// One line per record, "label=value" sorted by label, values exact.
std::vector<std::string> record_lines(const MtzFile& mtz);

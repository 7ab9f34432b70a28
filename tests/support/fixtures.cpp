#define GEMMI_WRITE_IMPLEMENTATION
#include "tests/support/fixtures.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <gemmi/ccp4.hpp>
#include <gemmi/mtz.hpp>
#include <map>
#include <stdexcept>

namespace {

gemmi::UnitCell unit_cell(const std::array<double, 6>& c) {
  return gemmi::UnitCell(c[0], c[1], c[2], c[3], c[4], c[5]);
}

std::array<double, 6> six(const gemmi::UnitCell& c) {
  return {c.a, c.b, c.c, c.alpha, c.beta, c.gamma};
}

std::string format(const char* fmt, double value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, fmt, value);
  return buf;
}

std::string cell_text(const gemmi::UnitCell& c) {
  std::string s;
  for (double v : {c.a, c.b, c.c, c.alpha, c.beta, c.gamma})
    s += format(" %.4f", v);
  return s;
}

std::string rtrim(std::string s) {
  while (!s.empty() && s.back() == ' ')
    s.pop_back();
  return s;
}

// Puts another name between the quotes of the SYMINF record.
void rename_spacegroup(std::string& text, const std::string& name) {
  size_t at = text.find("SYMINF");
  size_t q1 = text.find('\'', at);
  size_t q2 = text.find('\'', q1 + 1);
  std::string record = text.substr(at, q1 + 1 - at) + name + text.substr(q2, at + 80 - q2);
  record.resize(80, ' ');
  text.replace(at, 80, record);
}

}  // namespace

void fill(MaskMap& map, const std::function<uint8_t(int, int, int)>& byte) {
  const auto& s = map.start;
  for (int l = s[2]; l < s[2] + map.extent[2]; ++l)
    for (int k = s[1]; k < s[1] + map.extent[1]; ++k)
      for (int h = s[0]; h < s[0] + map.extent[0]; ++h)
        set_byte(map, h, k, l, byte(h, k, l));
}

void set_byte(MaskMap& map, int h, int k, int l, uint8_t value) {
  const auto& s = map.start;
  const auto& n = map.extent;
  size_t at =
      size_t(h - s[0]) + size_t(n[0]) * (size_t(k - s[1]) + size_t(n[1]) * size_t(l - s[2]));
  if (map.bytes.size() <= at)
    map.bytes.resize(at + 1, 0);
  map.bytes[at] = value;
}

// gemmi makes the header of a 1-point P1 map, with its symmetry record (the
// library refuses files of 1024 bytes or less); every word that matters is
// then set from the description and the data written as raw bytes.
void write_mask(const std::string& path, const MaskMap& m) {
  gemmi::Ccp4<int8_t> ccp4;
  ccp4.grid.spacegroup = gemmi::find_spacegroup_by_number(1);
  ccp4.grid.set_unit_cell(100, 100, 100, 90, 90, 90);
  ccp4.grid.set_size(1, 1, 1);
  ccp4.update_ccp4_header(0, true);
  const auto& n = m.extent;
  ccp4.set_header_3i32(1, n[0], n[1], n[2]);
  ccp4.set_header_i32(4, m.mode);
  ccp4.set_header_3i32(5, m.start[0], m.start[1], m.start[2]);
  ccp4.set_header_3i32(8, std::max(n[0], 1), std::max(n[1], 1), std::max(n[2], 1));
  ccp4.set_header_3i32(17, m.axes[0], m.axes[1], m.axes[2]);
  ccp4.set_header_i32(23, m.spacegroup);
  for (const auto& [word, value] : m.words)
    ccp4.set_header_i32(word, value);
  size_t points =
      size_t(std::max(n[0], 0)) * size_t(std::max(n[1], 0)) * size_t(std::max(n[2], 0));
  size_t word = m.mode == 2 ? 4 : m.mode == 1 || m.mode == 6 ? 2 : 1;
  std::vector<uint8_t> data(points * word, 0);
  std::copy_n(m.bytes.begin(), std::min(m.bytes.size(), data.size()), data.begin());
  if (m.keep >= 0 && size_t(m.keep) < data.size())
    data.resize(size_t(m.keep));
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(ccp4.ccp4_header.data()),
            std::streamsize(4 * ccp4.ccp4_header.size()));
  out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
  if (!out)
    throw std::runtime_error("cannot write " + path);
}

MtzFile simple_mtz(const std::vector<std::array<float, 3>>& hkl) {
  MtzFile f;
  f.datasets.push_back({1, "proj", "xtal", "d1", f.cell, 1.5});
  f.columns = {{"H", 'H', 0}, {"K", 'H', 0},    {"L", 'H', 0},
               {"F", 'F', 1}, {"SIGF", 'Q', 1}, {"FREE", 'I', 1}};
  for (size_t i = 0; i < hkl.size(); ++i)
    f.rows.push_back({hkl[i][0], hkl[i][1], hkl[i][2], 100.f + float(i),
                      0.5f + 0.25f * float(i), float(i % 20)});
  return f;
}

void write_mtz(const std::string& path, const MtzFile& f) {
  gemmi::Mtz mtz;
  mtz.title = f.title;
  mtz.cell = unit_cell(f.cell);
  mtz.spacegroup = gemmi::find_spacegroup_by_name(f.spacegroup);
  if (!mtz.spacegroup)
    throw std::runtime_error("unknown space group " + f.spacegroup);
  mtz.spacegroup_name = f.spacegroup;
  mtz.datasets.push_back({0, "HKL_base", "HKL_base", "HKL_base", mtz.cell, 0.});
  for (const MtzDataset& d : f.datasets) {
    gemmi::UnitCell cell = d.cell[0] > 0 ? unit_cell(d.cell) : mtz.cell;
    mtz.datasets.push_back({d.id, d.project, d.crystal, d.dataset, cell, d.wavelength});
  }
  for (const MtzColumn& c : f.columns)
    mtz.add_column(c.label, c.type, c.dataset, -1, false);
  std::vector<float> data;
  for (const auto& row : f.rows)
    data.insert(data.end(), row.begin(), row.end());
  mtz.nreflections = int(f.rows.size());
  mtz.data = data;
  for (const MtzBatch& b : f.batches) {
    gemmi::Mtz::Batch batch;
    batch.number = b.number;
    batch.title = b.title;
    batch.set_cell(mtz.cell);
    batch.set_dataset_id(b.dataset);
    batch.axes = b.axes;
    mtz.batches.push_back(batch);
  }
  mtz.history = f.history;
  std::string text;
  mtz.write_to_string(text);
  if (!f.spacegroup_text.empty())
    rename_spacegroup(text, f.spacegroup_text);
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out)
    throw std::runtime_error("cannot write " + path);
}

MtzFile read_mtz(const std::string& path) {
  gemmi::Mtz mtz = gemmi::read_mtz_file(path);
  MtzFile f;
  f.title = mtz.title;
  f.cell = six(mtz.cell);
  f.spacegroup = mtz.spacegroup_name;
  f.spacegroup_number = mtz.spacegroup_number;
  f.datasets.clear();
  for (const auto& d : mtz.datasets)
    f.datasets.push_back(
        {d.id, d.project_name, d.crystal_name, d.dataset_name, six(d.cell), d.wavelength});
  for (const auto& col : mtz.columns)
    f.columns.push_back({col.label, col.type, col.dataset_id});
  size_t ncol = mtz.columns.size();
  for (size_t i = 0; i < size_t(mtz.nreflections); ++i)
    f.rows.emplace_back(mtz.data.begin() + long(i * ncol),
                        mtz.data.begin() + long((i + 1) * ncol));
  for (const auto& b : mtz.batches)
    f.batches.push_back({b.number, b.dataset_id(), b.title, b.ints, b.floats, b.axes});
  f.history = mtz.history;
  return f;
}

std::vector<std::string> header_lines(const MtzFile& f) {
  std::vector<std::string> lines;
  lines.push_back("TITLE " + rtrim(f.title));
  lines.push_back("CELL" + cell_text(unit_cell(f.cell)));
  lines.push_back("SYMMETRY " + f.spacegroup + " " + std::to_string(f.spacegroup_number));
  for (const MtzDataset& d : f.datasets)
    lines.push_back("DATASET " + std::to_string(d.id) + " " + d.project + "/" + d.crystal +
                    "/" + d.dataset + cell_text(unit_cell(d.cell)) +
                    format(" %.5f", d.wavelength));
  std::vector<std::string> columns;
  for (const MtzColumn& c : f.columns)
    columns.push_back("COLUMN " + c.label + " " + c.type + " " + std::to_string(c.dataset));
  std::sort(columns.begin(), columns.end());
  lines.insert(lines.end(), columns.begin(), columns.end());
  for (const MtzBatch& b : f.batches) {
    std::string s = "BATCH " + std::to_string(b.number) + " " + std::to_string(b.dataset) +
                    " " + rtrim(b.title) + " |";
    for (int32_t i : b.ints)
      s += " " + std::to_string(i);
    s += " |";
    for (float x : b.floats)
      s += format(" %.9g", x);
    for (const std::string& axis : b.axes)
      s += " " + axis;
    lines.push_back(s);
  }
  for (const std::string& h : f.history)
    lines.push_back("HISTORY " + rtrim(h));
  return lines;
}

std::vector<std::string> record_lines(const MtzFile& f) {
  std::vector<std::string> lines;
  for (const auto& row : f.rows) {
    std::map<std::string, float> by_label;
    for (size_t i = 0; i < f.columns.size() && i < row.size(); ++i)
      by_label[f.columns[i].label] = row[i];
    std::string s;
    for (const auto& [label, value] : by_label)
      s += label + format("=%.9g ", double(value));
    lines.push_back(rtrim(s));
  }
  return lines;
}

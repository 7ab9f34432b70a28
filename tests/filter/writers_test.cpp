// Files as other programs write them, and the real files of tests/data, each
// through a mask that passes every reflection: the output must hold every
// record of the input under the same header.
#include <algorithm>
#include <filesystem>
#include <gemmi/mtz.hpp>

#include "tests/filter/filter_case.h"

namespace {

// Zero bytes over exactly the range of the indices of these records.
MaskMap pass_all(const MtzFile& in) {
  MaskMap mask;
  for (size_t j = 0; j < 3; ++j) {
    auto [lo, hi] =
        std::minmax_element(in.rows.begin(), in.rows.end(),
                            [j](const auto& a, const auto& b) { return a[j] < b[j]; });
    mask.start[j] = int((*lo)[j]);
    mask.extent[j] = int((*hi)[j]) - mask.start[j] + 1;
  }
  return mask;
}

// Records at these indices; every other value tells its record and column.
void set_rows(MtzFile& f, const std::vector<std::array<float, 3>>& hkl) {
  f.rows.clear();
  for (size_t i = 0; i < hkl.size(); ++i) {
    std::vector<float> row(hkl[i].begin(), hkl[i].end());
    for (size_t c = 3; c < f.columns.size(); ++c)
      row.push_back(float(i * 1000 + c) / 4);
    f.rows.push_back(row);
  }
}

// What stands as dataset 0: HKL_base as the CCP4 programs and gemmi write it,
// the name that reciprocalspaceship (and careless) give project, crystal and
// dataset alike, or nothing, as cctbx writes when no column is in it.
enum Base { HKL_BASE, NAMED_BY_RS, NO_BASE };

void write_with_base(const std::string& path, const MtzFile& f, Base base) {
  write_mtz(path, f);
  if (base == HKL_BASE)
    return;
  gemmi::Mtz mtz = gemmi::read_mtz_file(path);
  gemmi::Mtz::Dataset& d = mtz.datasets.at(0);
  d.project_name = d.crystal_name = d.dataset_name = "reciprocalspaceship";
  if (base == NO_BASE)
    mtz.datasets.erase(mtz.datasets.begin());
  mtz.write_to_file(path);
}

struct Form {
  const char* name;
  Base base;
  MtzFile file;
};

std::vector<Form> forms() {
  const auto hkl = sweep({-2, 0, 1}, {2, 3, 4});
  MtzFile rs = simple_mtz(hkl);  // every column in dataset 0, no title
  rs.title = "";
  rs.datasets.clear();
  for (MtzColumn& c : rs.columns)
    c.dataset = 0;

  MtzFile cctbx = simple_mtz(hkl);  // H, K and L in dataset 1
  for (MtzColumn& c : cctbx.columns)
    c.dataset = 1;

  // Five crystals of three datasets each, each crystal with its own cell;
  // the columns of each kind go through all datasets in turn, and so do the
  // batches.
  MtzFile many = simple_mtz();
  many.title = "five crystals, three datasets each";
  many.columns.resize(3);
  for (int x = 1; x <= 5; ++x)
    for (int d = 1; d <= 3; ++d)
      many.datasets.push_back({3 * x + d - 3,
                               "proj" + std::to_string(x % 2),
                               "xtal" + std::to_string(x),
                               "wave" + std::to_string(d),
                               {40. + x, 50. + x, 60. + x, 90, 90. + x, 90},
                               0.9 + 0.1 * d});
  for (const auto& [kind, type] : {std::pair{"F", 'F'}, {"SIGF", 'Q'}, {"DANO", 'D'}})
    for (int id = 1; id <= 15; ++id)
      many.columns.push_back({kind + std::to_string(id), type, id});
  for (int n = 1; n <= 30; ++n)
    many.batches.push_back(
        {n, (n - 1) % 15 + 1, "batch " + std::to_string(n), {}, {}, {"PHI"}});
  set_rows(many, hkl);

  // More than 500 columns: FilterTest.MoreThan500Columns.
  MtzFile history = simple_mtz(hkl);
  for (int n = 1; n <= 30; ++n)
    history.history.push_back("From writer " + std::to_string(n) + " of 30");

  return {{"dataset 0 named by reciprocalspaceship", NAMED_BY_RS, rs},
          {"no base dataset", NO_BASE, cctbx},
          {"a single reflection", HKL_BASE, simple_mtz({{3, -1, 7}})},
          {"many crystals and datasets", HKL_BASE, many},
          {"30 history lines", HKL_BASE, history}};
}

// The library writes every output with a dataset 0 named HKL_base, and H,
// K and L in it: a file that names dataset 0 otherwise, or has none, gains
// one.  The header is compared without them.
std::vector<std::string> without_base(const std::vector<std::string>& lines) {
  std::vector<std::string> kept;
  for (const std::string& line : lines)
    if (line.rfind("DATASET 0 HKL_base/", 0) != 0 && line.rfind("COLUMN H H ", 0) != 0 &&
        line.rfind("COLUMN K H ", 0) != 0 && line.rfind("COLUMN L H ", 0) != 0)
      kept.push_back(line);
  return kept;
}

// Runs korven on the file through a mask that passes every record of it:
// every record that gemmi reads must come out, under the same header.
struct WritersTest : FilterTest {
  void expect_whole(const std::string& mtz) const {
    MtzFile in = read_mtz(mtz);
    MaskMap mask = pass_all(in);
    write_mask(path("mask.map"), mask);
    std::filesystem::remove(path("out.mtz"));
    RunResult r = run_args({"MSKIN", "mask.map", "HKLIN", mtz, "HKLOUT", "out.mtz"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(last_lines(r.out, 8), report(0, 0, int(in.rows.size())));
    MtzFile out = read_mtz(path("out.mtz"));
    EXPECT_EQ(without_base(header_lines(out)), without_base(header_lines(in)));
    EXPECT_EQ(record_lines(out), record_lines(in));
  }
};

TEST_F(WritersTest, FormsPassWhole) {
  for (const Form& form : forms()) {
    SCOPED_TRACE(form.name);
    write_with_base(path("in.mtz"), form.file, form.base);
    MtzFile in = read_mtz(path("in.mtz"));
    ASSERT_EQ(record_lines(in), record_lines(form.file));
    ASSERT_EQ(in.datasets.at(0).id, form.base == NO_BASE ? 1 : 0);
    ASSERT_EQ(in.datasets[0].project == "HKL_base", form.base == HKL_BASE);
    expect_whole(path("in.mtz"));
  }
}

TEST_F(WritersTest, RealFilesPassWhole) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(KORVEN_DATA_DIR))
    if (entry.path().extension() == ".mtz")
      files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  ASSERT_FALSE(files.empty());
  for (const std::string& real : files) {
    SCOPED_TRACE(real);
    expect_whole(real);
  }
}

}  // namespace

// Seeded inputs for the benchmark: MTZ files and mode-0 masks.
//   make_inputs unmerged rotation|sparse|random N NBATCH SEED out.mtz
//   make_inputs merged N SEED out.mtz
//   make_inputs mask REJECT_FRACTION SEED out.map
// Indices lie in -70..70 on every axis, the masks cover exactly that box.
#define GEMMI_WRITE_IMPLEMENTATION
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <gemmi/ccp4.hpp>
#include <gemmi/mtz.hpp>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kEdge = 70;
constexpr int kSide = 2 * kEdge + 1;

struct ColumnSpec {
  const char* label;
  char type;
};

const ColumnSpec kUnmerged[] = {
    {"M/ISYM", 'Y'}, {"BATCH", 'B'},        {"I", 'J'},     {"SIGI", 'Q'}, {"IPR", 'J'},
    {"SIGIPR", 'Q'}, {"FRACTIONCALC", 'R'}, {"XDET", 'R'},  {"YDET", 'R'}, {"ROT", 'R'},
    {"WIDTH", 'R'},  {"LP", 'R'},           {"MPART", 'I'}, {"FLAG", 'I'}, {"BGPKRATIOS", 'R'}};

const ColumnSpec kMerged[] = {{"FreeR_flag", 'I'}, {"F", 'F'},        {"SIGF", 'Q'},
                              {"DANO", 'D'},       {"SIGDANO", 'Q'},  {"F(+)", 'G'},
                              {"SIGF(+)", 'L'},    {"F(-)", 'G'},     {"SIGF(-)", 'L'},
                              {"IMEAN", 'J'},      {"SIGIMEAN", 'Q'}, {"I(+)", 'K'},
                              {"SIGI(+)", 'M'},    {"I(-)", 'K'},     {"SIGI(-)", 'M'}};

template <size_t N>
gemmi::Mtz new_mtz(const ColumnSpec (&columns)[N]) {
  gemmi::Mtz mtz(true);
  mtz.spacegroup = gemmi::find_spacegroup_by_name("P 1");
  mtz.set_cell_for_all(gemmi::UnitCell(100, 100, 100, 90, 90, 90));
  mtz.add_dataset("bench").wavelength = 1.0;
  mtz.datasets.back().cell = mtz.cell;
  for (const ColumnSpec& c : columns)
    mtz.add_column(c.label, c.type, -1, -1, false);
  return mtz;
}

// Every column after H, K, L gets a plausible positive value.
void fill_values(float* row, size_t ncol, std::mt19937& rng) {
  std::uniform_real_distribution<float> value(0.0f, 1000.0f);
  for (size_t j = 3; j < ncol; ++j)
    row[j] = value(rng);
}

gemmi::Mtz unmerged_mtz(int nbatch) {
  gemmi::Mtz mtz = new_mtz(kUnmerged);
  const float width = 720.0f / float(nbatch);
  for (int b = 0; b < nbatch; ++b) {
    gemmi::Mtz::Batch batch;
    batch.number = b + 1;
    batch.title = "image " + std::to_string(b + 1);
    batch.set_cell(mtz.cell);
    batch.set_dataset_id(1);
    batch.set_wavelength(1.0f);
    batch.floats[36] = width * float(b % (nbatch / 2));
    batch.floats[37] = batch.floats[36] + width;
    batch.axes = {"PHI"};
    mtz.batches.push_back(batch);
  }
  return mtz;
}

struct Spot {
  int batch;
  int h, k, l;
};

// Two 360-degree sweeps about different axes, nbatch/2 images each, with a
// 1 A beam and reflections out to 70 index units: each image records the
// lattice points crossing the Ewald sphere, as an integration program would
// list them.  In image order, the first n spots are kept or, when `sparse`,
// n spots taken evenly from all of them, so that every image has its share.
std::vector<Spot> rotation_spots(long n, int nbatch, bool sparse) {
  const int per_sweep = nbatch / 2;
  const double step = 2 * M_PI / per_sweep;
  const double astar = 0.01;  // 1/100 A
  std::vector<std::vector<Spot>> images(size_t(2 * per_sweep));
  for (int h = -kEdge; h <= kEdge; ++h)
    for (int k = -kEdge; k <= kEdge; ++k)
      for (int l = -kEdge; l <= kEdge; ++l) {
        if (h * h + k * k + l * l > kEdge * kEdge || (h | k | l) == 0)
          continue;
        for (int sweep = 0; sweep < 2; ++sweep) {
          // Rotation about z in the first sweep, about x in the second.
          double x = astar * (sweep ? k : h), y = astar * (sweep ? l : k);
          double r2 = astar * astar * (h * h + k * k + l * l);
          double rho = std::hypot(x, y);
          double c = -r2 / (2 * rho);
          if (rho == 0 || std::fabs(c) > 1)
            continue;
          double alpha = std::atan2(y, x);
          for (double phi : {std::acos(c) - alpha, -std::acos(c) - alpha}) {
            phi = std::fmod(phi + 4 * M_PI, 2 * M_PI);
            int image = std::min(int(phi / step), per_sweep - 1);
            images[size_t(sweep * per_sweep + image)].push_back({0, h, k, l});
          }
        }
      }
  long total = 0;
  for (const std::vector<Spot>& image : images)
    total += long(image.size());
  std::vector<Spot> spots;
  long seen = 0;
  for (size_t b = 0; b < images.size() && long(spots.size()) < n; ++b)
    for (Spot s : images[b]) {
      if (long(spots.size()) == n)
        break;
      // Spot number `seen` is kept when it is the first at or after the
      // next even step through all `total`.
      bool keep = !sparse || seen++ * n >= long(spots.size()) * total;
      if (!keep)
        continue;
      s.batch = int(b) + 1;
      spots.push_back(s);
    }
  return spots;
}

// Indices drawn at random: the mask is read with no locality at all.
std::vector<Spot> random_spots(long n, int nbatch, std::mt19937& rng) {
  std::uniform_int_distribution<int> index(-kEdge, kEdge);
  std::vector<Spot> spots(static_cast<size_t>(n));
  for (long i = 0; i < n; ++i)
    spots[size_t(i)] = {int(i * nbatch / n + 1), index(rng), index(rng), index(rng)};
  return spots;
}

void write_unmerged(const std::string& order, long n, int nbatch, unsigned seed,
                    const char* path) {
  gemmi::Mtz mtz = unmerged_mtz(nbatch);
  std::mt19937 rng(seed);
  if (order != "rotation" && order != "sparse" && order != "random")
    throw std::runtime_error("no order " + order);
  std::vector<Spot> spots = order == "random" ? random_spots(n, nbatch, rng)
                                              : rotation_spots(n, nbatch, order == "sparse");
  if (long(spots.size()) < n)
    throw std::runtime_error("only " + std::to_string(spots.size()) + " reflections");
  const size_t ncol = mtz.columns.size();
  mtz.data.resize(spots.size() * ncol);
  for (size_t i = 0; i < spots.size(); ++i) {
    float* row = &mtz.data[i * ncol];
    fill_values(row, ncol, rng);
    row[0] = float(spots[i].h);
    row[1] = float(spots[i].k);
    row[2] = float(spots[i].l);
    row[3] = 1;
    row[4] = float(spots[i].batch);
  }
  mtz.nreflections = int(spots.size());
  mtz.write_to_file(path);
}

void write_merged(long n, unsigned seed, const char* path) {
  gemmi::Mtz mtz = new_mtz(kMerged);
  const size_t ncol = mtz.columns.size();
  std::vector<float> data(size_t(n) * ncol);
  std::mt19937 rng(seed);
  // Unique indices in sorted order, l fastest.
  for (long i = 0; i < n; ++i) {
    float* row = &data[size_t(i) * ncol];
    fill_values(row, ncol, rng);
    row[0] = float(i / (kSide * kSide) - kEdge);
    row[1] = float(i / kSide % kSide - kEdge);
    row[2] = float(i % kSide - kEdge);
    row[3] = float(i % 20);
  }
  mtz.set_data(data.data(), data.size());
  mtz.write_to_file(path);
}

// Grid points whose byte is 1 reject the reflections that land on them.
void write_mask(double reject, unsigned seed, const char* path) {
  gemmi::Ccp4<int8_t> map;
  map.grid.spacegroup = gemmi::find_spacegroup_by_name("P 1");
  map.grid.unit_cell.set(100, 100, 100, 90, 90, 90);
  map.grid.axis_order = gemmi::AxisOrder::XYZ;
  map.grid.set_size_without_checking(kSide, kSide, kSide);
  std::mt19937 rng(seed);
  std::bernoulli_distribution rejected(reject);
  for (int8_t& b : map.grid.data)
    b = rejected(rng) ? 1 : 0;
  map.update_ccp4_header(0, true);
  map.set_header_3i32(5, -kEdge, -kEdge, -kEdge);
  map.write_ccp4_map(path);
}

}  // namespace

int main(int argc, char** argv) {
  std::string what = argc > 1 ? argv[1] : "";
  try {
    if (what == "unmerged" && argc == 7)
      write_unmerged(argv[2], std::atol(argv[3]), std::atoi(argv[4]),
                     unsigned(std::atol(argv[5])), argv[6]);
    else if (what == "merged" && argc == 5)
      write_merged(std::atol(argv[2]), unsigned(std::atol(argv[3])), argv[4]);
    else if (what == "mask" && argc == 5)
      write_mask(std::atof(argv[2]), unsigned(std::atol(argv[3])), argv[4]);
    else {
      std::fprintf(stderr,
                   "usage: make_inputs unmerged rotation|sparse|random N NBATCH SEED out.mtz\n"
                   "       make_inputs merged N SEED out.mtz\n"
                   "       make_inputs mask REJECT_FRACTION SEED out.map\n");
      return 2;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_inputs: %s\n", e.what());
    return 1;
  }
  return 0;
}

#include "estimate/options.hpp"

#include <charconv>
#include <cmath>

#include "estimate/estimate_error.hpp"
#include "estimate/raster/grid_estimate.hpp"
#include "model/command_line.hpp"
#include "model/transiograms.hpp"

namespace tgram::estimate {

namespace {

std::optional<double> realValue(std::string text) {
  if (!text.empty() && text.front() == '+') text.erase(0, 1);
  double value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

template <typename Integer>
std::optional<Integer> wholeValue(const std::string& text) {
  Integer value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

// What a raster's command line may not hold: the options of samples.
std::string rasterConflicts(const EstimateOptions& options) {
  if (options.direction) {
    return "--direction for a raster is one of east, west, north, south, northeast, northwest, southeast, "
           "southwest or axes";
  }
  const std::pair<bool, const char*> samplesOnly[] = {
      {options.x.has_value(), "--x"},           {options.y.has_value(), "--y"},
      {options.z.has_value(), "--z"},           {options.category.has_value(), "--category"},
      {options.group.has_value(), "--group"},   {options.delimiter != 0, "--delimiter"},
      {options.tolerance.has_value(), "--tolerance"}, {options.bandwidth.has_value(), "--bandwidth"},
      {options.bothWays, "--both-ways"}};
  for (const auto& [given, name] : samplesOnly) {
    if (given) return std::string(name) + " is for samples; " + options.input + " is read as a raster";
  }
  return {};
}

}  // namespace

bool readsRaster(const EstimateOptions& options) {
  return options.format == FileFormat::Raster ||
         (options.format == FileFormat::Auto && raster::hasRasterName(options.input));
}

ParsedOptions parseOptions(const std::vector<std::string>& arguments) {
  ParsedOptions parsed;
  std::string& error = parsed.error;
  EstimateOptions& options = parsed.options;
  bool haveInput = false;
  for (std::size_t i = 0; i < arguments.size() && error.empty(); ++i) {
    const std::string& argument = arguments[i];
    // The value of an option: "--name=value", or the next argument.
    std::string value;
    const auto valueOf = [&](const std::string& name) {
      return model::optionValue(arguments, i, name, value, error);
    };
    const auto real = [&](const char* name, std::optional<double>& target) {
      if (!error.empty()) return;
      target = realValue(value);
      if (!target) error = std::string(name) + ": \"" + value + "\" is not a number";
    };
    const auto whole = [&](const char* name, auto& target) {
      if (!error.empty()) return;
      const auto parsedValue = wholeValue<std::remove_reference_t<decltype(target)>>(value);
      if (!parsedValue) {
        error = std::string(name) + ": \"" + value + "\" is not a whole number in range";
      } else {
        target = *parsedValue;
      }
    };
    const auto text = [&](std::optional<std::string>& target) {
      if (error.empty()) target = value;
    };
    if (argument == "--help" || argument == "-h") {
      options.action = EstimateOptions::Action::Help;
      return parsed;
    } else if (argument == "--version") {
      options.action = EstimateOptions::Action::Version;
    } else if (valueOf("--x")) {
      text(options.x);
    } else if (valueOf("--y")) {
      text(options.y);
    } else if (valueOf("--z")) {
      text(options.z);
    } else if (valueOf("--category")) {
      text(options.category);
    } else if (valueOf("--group")) {
      text(options.group);
    } else if (valueOf("--format")) {
      if (value == "csv") {
        options.format = FileFormat::Csv;
      } else if (value == "gslib" || value == "geoeas") {
        options.format = FileFormat::Gslib;
      } else if (value == "raster") {
        options.format = FileFormat::Raster;
      } else if (value == "auto") {
        options.format = FileFormat::Auto;
      } else if (error.empty()) {
        error = "--format: \"" + value + "\" is not csv, gslib, raster or auto";
      }
    } else if (valueOf("--delimiter")) {
      if (value == "," || value == ";") {
        options.delimiter = value[0];
      } else if (value == "tab" || value == "\t" || value == "\\t") {
        options.delimiter = '\t';
      } else if (error.empty()) {
        error = "--delimiter: \"" + value + "\" is not ',', ';' or tab";
      }
    } else if (valueOf("--missing")) {
      real("--missing", options.missing);
    } else if (valueOf("--categories")) {
      if (error.empty()) options.categories = model::splitCommaList(value);
    } else if (valueOf("--lag-width")) {
      real("--lag-width", options.lagWidth);
    } else if (valueOf("--max-class")) {
      whole("--max-class", options.maxClass);
    } else if (valueOf("--min-pairs")) {
      whole("--min-pairs", options.minPairs);
    } else if (valueOf("--max-lag")) {
      int maxLag = 0;
      whole("--max-lag", maxLag);
      options.maxLag = maxLag;
    } else if (valueOf("--direction")) {
      if (!error.empty()) break;
      if (raster::gridDirection(value)) {
        options.gridDirection = value;
        continue;
      }
      std::vector<double> components;
      for (const std::string& item : model::splitCommaList(value)) {
        const std::optional<double> component = realValue(item);
        if (!component) {
          error = "--direction: \"" + item + "\" is not a number";
          break;
        }
        components.push_back(*component);
      }
      if (components.size() > 3) error = "--direction: at most 3 components (dx,dy,dz)";
      options.direction = components;
    } else if (valueOf("--band")) {
      int band = 0;
      whole("--band", band);
      options.band = band;
    } else if (valueOf("--tolerance")) {
      real("--tolerance", options.tolerance);
    } else if (valueOf("--bandwidth")) {
      real("--bandwidth", options.bandwidth);
    } else if (argument == "--both-ways") {
      options.bothWays = true;
    } else if (valueOf("-o") || valueOf("--output")) {
      if (error.empty() && value.empty()) error = "the output's file name is empty";
      options.output = value;
    } else if (valueOf("--pairs")) {
      if (error.empty() && value.empty()) error = "the pair table's file name is empty";
      options.pairs = value;
    } else if (argument == "--force") {
      options.force = true;
    } else if (valueOf("--threads")) {
      whole("--threads", options.threads);
      if (error.empty() && options.threads == 0) error = "--threads: at least 1";
    } else if (argument == "--quiet" || argument == "-q") {
      options.quiet = true;
    } else if (argument.size() > 1 && argument[0] == '-') {
      error = "unknown option " + argument;
    } else if (haveInput) {
      error = "more than one data file (" + options.input + ", " + argument + ")";
    } else {
      options.input = argument;
      haveInput = true;
    }
  }
  if (!error.empty() || options.action != EstimateOptions::Action::Estimate) return parsed;
  const bool raster = readsRaster(options);
  if (!haveInput) {
    error = "no data file given";
  } else if (raster) {
    error = rasterConflicts(options);
  } else if (options.gridDirection) {
    error = "--direction " + *options.gridDirection +
            " is for rasters; give the samples' direction as DX,DY[,DZ]";
  } else if (options.band) {
    error = "--band is for rasters (" + options.input + " is read as samples; --format raster reads it as a raster)";
  } else if (!options.lagWidth) {
    error = "--lag-width is needed (the width of a lag class, in the unit of the coordinates)";
  } else if (!options.direction && (options.tolerance || options.bandwidth || options.bothWays)) {
    error = "--tolerance, --bandwidth and --both-ways need --direction";
  }
  return parsed;
}

void checkOptions(const EstimateOptions& options) {
  if (readsRaster(options)) {
    // A raster's lags are whole cells.
    const double cells = options.lagWidth.value_or(1);
    if (!(cells >= 1 && cells <= 1e6 && cells == std::floor(cells)))
      fail("--lag-width for a raster is a whole number of cells, from 1 to 1000000");
    if (options.band && *options.band < 1) fail("--band must be 1 or more");
  } else if (!(*options.lagWidth > 0)) {
    fail("--lag-width must be above 0");
  }
  if (options.maxClass < 1 || options.maxClass > model::kMaxPoints - 1) {
    fail("--max-class must be from 1 to " + std::to_string(model::kMaxPoints - 1) + " (tgraminterp takes at most " +
         std::to_string(model::kMaxPoints) + " points, lag 0 among them)");
  }
  if (!std::isfinite((options.maxClass + 0.5) * options.lagWidth.value_or(1))) fail("--lag-width is too large");
  if (options.maxLag && (*options.maxLag < 0 || *options.maxLag > model::kMaxLag)) {
    fail("--max-lag must be from 0 to " + std::to_string(model::kMaxLag));
  }
  if (options.direction) {
    bool zero = true;
    for (const double c : *options.direction) zero = zero && c == 0;
    if (zero) fail("--direction is zero: it needs a component other than 0");
  }
  if (options.tolerance && !(*options.tolerance > 0 && *options.tolerance <= 90)) {
    fail("--tolerance must be above 0 and at most 90 degrees");
  }
  if (options.bandwidth && !(*options.bandwidth > 0)) fail("--bandwidth must be above 0");
  if (options.categories) {
    for (std::size_t k = 0; k < options.categories->size(); ++k) {
      if ((*options.categories)[k].empty()) fail("--categories: category " + std::to_string(k + 1) + " is empty");
    }
  }
}

std::string usageText() {
  std::string text =
         "Usage: tgramest [options] --lag-width W FILE\r\n"
         "       tgramest [options] MAP\r\n"
         "\r\n"
         "Estimates experimental transiograms from the samples in FILE (CSV with a\r\n"
         "header row, or a GSLIB/GeoEAS point file), or from the cells of a\r\n"
         "categorical raster MAP, and writes them as ExpTgrams.txt for tgraminterp,\r\n"
         "with a pair table beside it (ExpTgrams.pairs.csv).\r\n"
         "p_ij(k) = n_ij(k) / n_i(k): of the ordered pairs whose tail is in category i\r\n"
         "and whose separation d lies in lag class k, (k - 1/2) W < d <= (k + 1/2) W,\r\n"
         "the share whose head is in category j.\r\n"
         "\r\n"
         "Columns (a name, or a number from 1):\r\n"
         "  --x COL, --y COL, --z COL  the coordinates (default: the columns named x, y, z)\r\n"
         "  --category COL         the category (default: the one other column)\r\n"
         "  --group COL            pair only samples of the same group (borehole)\r\n"
         "  --categories A,B,C     the categories in this order (default: codes by value,\r\n"
         "                         labels by their bytes)\r\n"
         "  --format csv|gslib     the file's format (default: found from its layout)\r\n"
         "  --delimiter , ; tab    the CSV delimiter (default: found from the header)\r\n"
         "  --missing VALUE        numbers at or below VALUE are missing (GSLIB default\r\n"
         "                         -999); empty fields and NA always are; such rows are\r\n"
         "                         skipped\r\n"
         "Lag classes:\r\n"
         "  --lag-width W          the class width, in the coordinates' unit (needed)\r\n"
         "  --max-class K          classes 1..K (default 10, at most 400)\r\n"
         "  --min-pairs N          write a class only if every category has at least N\r\n"
         "                         pairs starting in it (default 30)\r\n"
         "  --max-lag L            maxLag of ExpTgrams.txt (default: the last class written)\r\n"
         "Direction (default: every pair, in both orders):\r\n"
         "  --direction DX[,DY[,DZ]]  count a pair only when its head lies ahead of its\r\n"
         "                         tail along this direction (one component per coordinate)\r\n"
         "  --tolerance DEG        the largest angle from the direction (default 22.5)\r\n"
         "  --bandwidth B          the largest distance from the direction's axis\r\n"
         "  --both-ways            count pairs ahead and behind alike\r\n"
         "Rasters (a name ending in .asc, .tif, .tiff, .img, .vrt, .nc, ... or\r\n"
         "--format raster; this build reads ";
  text += raster::rasterFormats();
  text += "):\r\n"
         "  --band N               the band to read (default 1)\r\n"
         "  --direction NAME       east, west, north, south, northeast, northwest,\r\n"
         "                         southeast, southwest, or axes (the default: east,\r\n"
         "                         west, north and south pooled); north is up\r\n"
         "  --lag-width N          cells per lag class (default 1: lag k is k cells)\r\n"
         "  --missing VALUE        cells of this value are nodata, besides the band's\r\n"
         "                         own nodata value\r\n"
         "  --categories 1,2,3     the class values in this order (default: increasing)\r\n"
         "Output:\r\n"
         "  -o FILE, --output FILE the transiograms (default ExpTgrams.txt)\r\n"
         "  --pairs FILE           the pair table (default: the output's name with\r\n"
         "                         .pairs.csv in place of its extension)\r\n"
         "  --force                replace existing files (else an existing file is an\r\n"
         "                         error and nothing is written)\r\n"
         "  --threads N            count on N threads (default: one per processor)\r\n"
         "  -q, --quiet            no progress line\r\n"
         "  -h, --help             show this text\r\n"
         "  --version              show the program's version\r\n"
         "\r\n"
         "Exit status: 0 when both files are written; 1 when the data or a value is\r\n"
         "wrong or a file cannot be written (nothing is written then); 2 for a wrong\r\n"
         "command line.\r\n";
  return text;
}

}  // namespace tgram::estimate

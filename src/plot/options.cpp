#include "plot/options.hpp"

#include "model/command_line.hpp"

namespace tgram::plot {

ParsedOptions parseOptions(const std::vector<std::string>& arguments) {
  ParsedOptions parsed;
  std::string& error = parsed.error;
  PlotOptions& options = parsed.options;
  for (std::size_t i = 0; i < arguments.size() && error.empty(); ++i) {
    const std::string& argument = arguments[i];
    // The value of an option: "--name=value", or the next argument.
    const auto valueOf = [&](const std::string& name, std::string& value) {
      return model::optionValue(arguments, i, name, value, error);
    };
    std::string value;
    if (argument == "--help" || argument == "-h") {
      options.action = PlotOptions::Action::Help;
      return parsed;
    } else if (argument == "--quiet" || argument == "-q") {
      options.quiet = true;
    } else if (argument == "--error-bars") {
      options.errorBars = true;
    } else if (argument == "--version") {
      options.action = PlotOptions::Action::Version;
    } else if (valueOf("-o", value) || valueOf("--output", value)) {
      if (error.empty() && value.empty()) error = "the picture's file name is empty";
      options.output = value;
    } else if (valueOf("--pairs", value)) {
      if (error.empty() && value.empty()) error = "the pair table's file name is empty";
      options.pairs = value;
    } else if (valueOf("--names", value)) {
      if (!error.empty()) break;
      options.names = model::splitCommaList(value);
      for (std::size_t k = 0; k < options.names->size(); ++k) {
        if ((*options.names)[k].empty()) {
          error = "--names: name " + std::to_string(k + 1) + " is empty";
          break;
        }
      }
    } else if (argument.size() > 1 && argument[0] == '-') {
      error = "unknown option " + argument;
    } else {
      error = "unexpected argument " + argument + " (the input is always ExpTgrams.txt in the current folder)";
    }
  }
  return parsed;
}

std::string usageText() {
  return "Usage: tgramplot [-o FILE] [--names \"A,B,C\"] [--pairs FILE] [--error-bars] [--quiet]\r\n"
         "\r\n"
         "Draws the transiograms of ExpTgrams.txt in the current folder as an SVG\r\n"
         "picture: one panel per category pair p(i,j) (row i = from, column j = to),\r\n"
         "with the experimental points and the linear model that tgraminterp writes\r\n"
         "to TgramModels.txt. The input is read exactly as tgraminterp reads it; the\r\n"
         "models are computed the same way. Neither ExpTgrams.txt nor TgramModels.txt\r\n"
         "is created or changed.\r\n"
         "\r\n"
         "When the pair table that tgramest writes beside its output is there\r\n"
         "(ExpTgrams.pairs.csv in the current folder, or --pairs FILE), the categories\r\n"
         "are named by its labels, each point's tooltip gives its pair counts\r\n"
         "n_ij / n_i, and a point whose n_i is below twice the table's minimum pairs\r\n"
         "is drawn hollow. A table that does not match ExpTgrams.txt (other\r\n"
         "categories, a lag or a value it does not hold) or cannot be read is not\r\n"
         "used, with a warning.\r\n"
         "\r\n"
         "Options:\r\n"
         "  -o FILE, --output FILE  write the picture to FILE (default: Transiograms.svg\r\n"
         "                          in the current folder); an existing file is replaced\r\n"
         "                          only by a complete picture; a device or pipe is\r\n"
         "                          written through; - is standard output\r\n"
         "  --names \"A,B,C\"         label the categories with these names, one per\r\n"
         "                          category, in order, separated by commas (for a\r\n"
         "                          matrix of panels only); they take the place of the\r\n"
         "                          pair table's labels\r\n"
         "  --pairs FILE            read the pair table from FILE (default:\r\n"
         "                          ExpTgrams.pairs.csv, when it is there)\r\n"
         "  --error-bars            draw +-2 standard errors of the pair table around\r\n"
         "                          each estimated point, cut at the panel's edge\r\n"
         "  -q, --quiet             give no warnings about the input or the pair table\r\n"
         "  -h, --help              show this text\r\n"
         "  --version               show the program's version\r\n"
         "\r\n"
         "When the number of value columns is not the number of categories squared,\r\n"
         "the panels show the columns in order, titled by column number.\r\n"
         "\r\n"
         "Warnings on standard error point at input that tgraminterp reads without a\r\n"
         "word but that is most likely not what was meant: values left over at the\r\n"
         "end of a record (a decimal comma, as in 0,7, reads as two values), values\r\n"
         "outside 0..1, rows p(i,1..M) that do not sum to 1 (within 0.01), lags that\r\n"
         "do not increase, a first lag that is not 0, and maxLag below the last lag.\r\n"
         "Each names its line in ExpTgrams.txt; they change neither the picture nor\r\n"
         "the exit status.\r\n"
         "\r\n"
         "Exit status: 0 when the picture is written; 1 when the input cannot be read\r\n"
         "(the same report as tgraminterp gives) or the picture cannot be written to\r\n"
         "its target (a folder, a read-only file, a missing folder...); 2 for a wrong\r\n"
         "command line or a name list of the wrong length.\r\n";
}

}  // namespace tgram::plot

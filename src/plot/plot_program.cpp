#include "plot/plot_program.hpp"

#include <memory>

#include "model/model_line.hpp"
#include "model/transiograms.hpp"
#include "plot/input_check.hpp"
#include "plot/options.hpp"
#include "plot/pair_table.hpp"
#include "plot/picture_file.hpp"
#include "plot/transiogram_picture.hpp"
#include "recio/record_io.hpp"
#include "runtime/fpenv.hpp"
#include "runtime/os.hpp"
#include "runtime/replace_file.hpp"
#include "runtime/termination.hpp"

namespace tgram::plot {

namespace {

constexpr int kUsageStatus = 2;
constexpr int kFailureStatus = 1;

// "-o -" sends the picture to standard output.
constexpr const char* kStandardOutput = "-";

// Like everything the programs write, lines end in CR LF.
void say(runtime::os::Handle stream, const std::string& text) { runtime::os::writeAll(stream, text); }

int usageError(const recio::ConsoleStreams& streams, const std::string& message) {
  say(streams.error, "tgramplot: " + message + "\r\nRun 'tgramplot --help' for the options.\r\n");
  return kUsageStatus;
}

// The names must match the categories one to one, and can only label a
// matrix of panels.
std::string checkNames(const std::vector<std::string>& names, const model::Transiograms& tables) {
  if (!panelGrid(tables).matrix) {
    return "--names labels the categories of a matrix of panels, but ExpTgrams.txt has " +
           std::to_string(tables.pairCount) + " value columns, which is not the number of categories (" +
           std::to_string(tables.categoryCount) + ") squared";
  }
  if (names.size() != static_cast<std::size_t>(tables.categoryCount)) {
    return "--names gives " + std::to_string(names.size()) + " name" + (names.size() == 1 ? "" : "s") +
           ", but ExpTgrams.txt has " + std::to_string(tables.categoryCount) + " categories";
  }
  return {};
}

}  // namespace

int runPlot(const recio::ConsoleStreams& streams, const std::vector<std::string>& arguments) {
  const ParsedOptions parsed = parseOptions(arguments);
  if (!parsed.error.empty()) return usageError(streams, parsed.error);
  const PlotOptions& options = parsed.options;
  if (options.action == PlotOptions::Action::Help) {
    say(streams.output, usageText());
    return 0;
  }
  if (options.action == PlotOptions::Action::Version) {
    say(streams.output, "tgramplot " TGRAM_VERSION "\r\n");
    return 0;
  }
  // A target that cannot receive the picture fails the run like a write
  // that fails, before the input is read.
  const bool toStandardOutput = options.output == kStandardOutput;
  const std::filesystem::path target = runtime::pathFromUtf8(options.output);
  const auto notWritten = [&](const std::string& reason) {
    say(streams.error, "tgramplot: the picture " + options.output + " is not written: " + reason + "\r\n");
    return kFailureStatus;
  };
  if (!toStandardOutput) {
    if (const std::string refusal = refuseTarget(target); !refusal.empty()) return notWritten(refusal);
  }

  // The same start-up as tgraminterp's, so that a fault in the input ends
  // the run with the same report; no console record is ever written.
  runtime::initFloatingPoint();
  recio::UnitTable units(streams);
  runtime::Termination termination(streams.output, streams.error);
  termination.registerExitProcessing(&units);
  recio::RecordIo io(units);
  return termination.runProgram([&] {
    const auto warn = [&](const std::string& text) {
      if (!options.quiet) say(streams.error, "tgramplot: warning: " + text + "\r\n");
    };
    auto tables = std::make_unique<model::Transiograms>();
    // Where the values stand is noted only for the warnings.
    model::InputTrace trace;
    tables->readExperimental(io, model::InputOpening::ExistingOnly, {}, options.quiet ? nullptr : &trace);
    if (!options.quiet) {
      for (const std::string& warning : checkInput(*tables, trace)) {
        warn(std::string(model::kInputFile) + ", " + warning);
      }
    }
    if (options.names) {
      if (const std::string wrong = checkNames(*options.names, *tables); !wrong.empty()) {
        termination.exitProgram(usageError(streams, wrong));
      }
    }
    // The pair table is a help, never a condition: one that does not serve
    // is passed over with a warning, and the run goes on without it.
    const std::string pairFile = options.pairs.value_or(kDefaultPairTable);
    PairTableReading pairs = readPairTable(runtime::pathFromUtf8(pairFile), !options.pairs, *tables);
    if (!pairs.problem.empty()) {
      warn("the pair table " + pairFile + " is not used: " + pairs.problem);
    } else if (options.errorBars && !pairs.table) {
      warn("--error-bars draws the standard errors of the pair table " + pairFile + ", which is not there");
    }
    std::vector<std::string> names;
    if (options.names) {
      names = *options.names;
    } else if (pairs.table) {
      names = pairs.table->labels;
      // A category without a label keeps its number.
      for (std::size_t k = 0; k < names.size(); ++k) {
        if (names[k].empty()) names[k] = std::to_string(k + 1);
      }
    }
    tables->interpolate();
    const std::string picture = drawTransiograms(*tables, model::modelVertexLags(*tables), names,
                                                 pairs.table ? &*pairs.table : nullptr, options.errorBars);
    if (toStandardOutput) {
      // Nothing else goes there: the picture alone.
      if (const runtime::os::Error error = runtime::os::writeAll(streams.output, picture);
          error != runtime::os::Error::None) {
        termination.exitProgram(notWritten("cannot write it to standard output"));
      }
      return;
    }
    if (const std::string failure = runtime::replaceFile(target, picture); !failure.empty()) {
      termination.exitProgram(notWritten(failure));
    }
    // Written through to standard output (-o /dev/stdout): the picture alone
    // goes there.
    if (runtime::os::sameFile(runtime::os::identityOfName(options.output),
                              runtime::os::identityOf(streams.output))) {
      return;
    }
    const PanelGrid grid = panelGrid(*tables);
    say(streams.output, "tgramplot: " + options.output + " written (" + std::to_string(grid.rows) + " x " +
                            std::to_string(grid.columns) + " panels)\r\n");
  });
}

}  // namespace tgram::plot

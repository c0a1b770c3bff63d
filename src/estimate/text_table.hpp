// The first stage of reading samples: a data file cut into a header and
// rows of text fields, each with its place in the file. The CSV and GSLIB
// readers give this; what the fields mean is decided afterwards.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tgram::estimate {

struct TextField {
  std::string text;
  std::int64_t line = 1;    // from 1
  std::int64_t column = 1;  // from 1, in bytes
};

struct TextRow {
  std::vector<TextField> fields;
  std::int64_t line = 1;  // where the row begins
};

struct TextTable {
  std::vector<std::string> columnNames;
  std::vector<TextRow> rows;
};

// Raster: a categorical map (an ESRI ASCII grid, or any raster GDAL reads);
// Auto takes a name with a raster's extension (.asc, .tif, ...) as one.
enum class FileFormat { Auto, Csv, Gslib, Raster };

// The field delimiter of a CSV file; 0: found from the header (the one of
// ',', ';' and tab that occurs most often in it outside quotes; ',' when
// none does).
struct CsvLayout {
  char delimiter = 0;
};

// Cuts CSV text: a header row, then one row per record; fields quoted as
// spreadsheets write them ("" inside quotes is one quote; a quoted field
// may hold delimiters and line ends); records end in LF or CR LF; empty
// lines are skipped; a UTF-8 byte-order mark before the header is dropped.
// Raises an EstimateError naming `file`, the line and column for an
// unterminated quote, text after a closing quote, or a row whose number of
// fields is not the header's.
TextTable readCsvText(std::string_view bytes, const std::filesystem::path& file, CsvLayout layout);

// Cuts a GSLIB (GeoEAS) point file: a title line, a line that begins with
// the number of variables n, n lines each naming one variable, then rows of
// n values separated by blanks or tabs (empty lines skipped). Raises an
// EstimateError for a missing or bad count, missing names, or a row that
// has not n values.
TextTable readGslibText(std::string_view bytes, const std::filesystem::path& file);

// Whether `bytes` has the layout of a GSLIB file: its second line holds
// only whole numbers separated by blanks, the first at least 1, and no
// comma or semicolon.
bool looksLikeGslib(std::string_view bytes);

// `text` without the blanks and tabs around it (and a CR at its end).
std::string_view trimmed(std::string_view text);

}  // namespace tgram::estimate

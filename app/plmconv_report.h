#pragma once
// The report of `plmconv convert --report`: one row for every spacing value the
// switches change, taken from the document right before and right after the rule,
// so the report lists exactly what the conversion changes.
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "jww/spacingrule.h"
#include "shell/conversion.h"

namespace plm {

const char* SpacingPlaceName(SpacingPlace place);

struct SpacingReportRow {
  std::string File;  // as named on the command line
  SpacingPlace Place = SpacingPlace::Text;
  std::string Block;  // the block definition's name (code page 932); empty outside one
  // The entity's layer group and layer; none for a text-type table entry.
  std::optional<uint16_t> LayerGroup, Layer;
  std::string Text;            // code page 932, as loaded
  uint32_t TextTypeClass = 0;  // TextTypeCode % 1000; for a table entry its number 1..10
  double Spacing = 0;          // before the rule
};

// Collects the rows of the file being converted.
class SpacingReportObserver : public ConversionObserver {
 public:
  // Starts a file: the rows collected so far are dropped.
  void StartFile(std::string file);
  const std::vector<SpacingReportRow>& Rows() const { return rows_; }

  void BeforeRule(const SpacingView& doc) override;
  void AfterRule(const SpacingView& doc) override;

 private:
  std::string file_;
  std::vector<double> before_;  // every spacing value, in the rule's order
  std::vector<SpacingReportRow> rows_;
};

enum class ReportFormat { Csv, Json };

// By the report file's extension, in any letter case: ".csv" or ".json".
std::optional<ReportFormat> ReportFormatOf(const std::filesystem::path& file);

// Writes rows as they come. CSV: UTF-8 with a byte-order mark (so spreadsheets take
// it as UTF-8), a header row, CRLF line ends, quoted cells where needed. JSON: one
// array of objects. Texts and block names are decoded from code page 932; file names,
// which need not be UTF-8, are shown as the command's lines show them (ShownName), so
// a file's cell holds no line break and both reports are always valid UTF-8. A CSV
// text cell that starts with "=", "+", "-", "@", a tab or a carriage return gets a
// leading apostrophe, so a spreadsheet shows it as text and never runs it as a formula.
class SpacingReportWriter {
 public:
  SpacingReportWriter(std::ostream& out, ReportFormat format);
  void Begin();
  void Add(const std::vector<SpacingReportRow>& rows);
  void End();

 private:
  std::ostream& out_;
  ReportFormat format_;
  bool firstRow_ = true;
};

}  // namespace plm

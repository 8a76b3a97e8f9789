#include "app/plmconv_report.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <string_view>

#include "text/cp932.h"

namespace plm {
namespace {

std::vector<double> SpacingsOf(const SpacingView& doc) {
  std::vector<double> spacings;
  ForEachSpacing(doc, [&](const SpacingSite&, double spacing) { spacings.push_back(spacing); });
  return spacings;
}

// Rows for the sites whose value is no longer the same bits as before (a NaN made
// +0.0 counts; -0.0 is never touched by the rule).
std::vector<SpacingReportRow> ChangedSpacings(const std::string& file, const SpacingView& doc,
                                              const std::vector<double>& before) {
  std::vector<SpacingReportRow> rows;
  size_t i = 0;
  ForEachSpacing(doc, [&](const SpacingSite& site, double spacing) {
    if (i >= before.size()) return;
    const double old = before[i++];
    if (std::bit_cast<uint64_t>(old) == std::bit_cast<uint64_t>(spacing)) return;
    SpacingReportRow row;
    row.File = file;
    row.Place = site.Place;
    if (site.BlockName) row.Block = *site.BlockName;
    if (site.Attr) {
      row.LayerGroup = site.Attr->LayerGroup;
      row.Layer = site.Attr->Layer;
    }
    if (site.Text) row.Text = *site.Text;
    row.TextTypeClass = site.TextTypeClass;
    row.Spacing = old;
    rows.push_back(std::move(row));
  });
  return rows;
}

// The shortest text that reads back as the same double; "NaN" for any NaN.
std::string SpacingText(double v) {
  if (std::isnan(v)) return "NaN";
  char buffer[32];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
  return std::string(buffer, end);
}


// A text cell. A spreadsheet takes a cell that starts with "=", "+", "-", "@", a tab or
// a carriage return as a formula, so such a text gets a leading apostrophe and is
// shown as the text it is; then the usual quoting.
std::string CsvCell(const std::string& raw) {
  std::string text = ValidUtf8(raw);
  if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos)
    text.insert(text.begin(), '\'');
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string cell = "\"";
  for (char c : text) {
    if (c == '"') cell += '"';
    cell += c;
  }
  return cell + "\"";
}

std::string JsonString(const std::string& raw) {
  const std::string text = ValidUtf8(raw);
  std::string s = "\"";
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      s += '\\';
      s += c;
    } else if (b < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", b);
      s += escape;
    } else {
      s += c;
    }
  }
  return s + "\"";
}

std::string OptionalNumber(const std::optional<uint16_t>& v, const char* none) {
  return v ? std::to_string(*v) : none;
}

}  // namespace

const char* SpacingPlaceName(SpacingPlace place) {
  switch (place) {
    case SpacingPlace::TextTypeTable: return "text-type table";
    case SpacingPlace::Text: return "main list";
    case SpacingPlace::DimensionText: return "dimension";
    case SpacingPlace::BlockText: return "block definition";
    case SpacingPlace::BlockDimensionText: return "block definition dimension";
  }
  return "";
}

void SpacingReportObserver::StartFile(std::string file) {
  file_ = std::move(file);
  before_.clear();
  rows_.clear();
}

void SpacingReportObserver::BeforeRule(const SpacingView& doc) { before_ = SpacingsOf(doc); }
void SpacingReportObserver::AfterRule(const SpacingView& doc) { rows_ = ChangedSpacings(file_, doc, before_); }

std::optional<ReportFormat> ReportFormatOf(const std::filesystem::path& file) {
  std::string ext = file.extension().string();
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (ext == ".csv") return ReportFormat::Csv;
  if (ext == ".json") return ReportFormat::Json;
  return std::nullopt;
}

SpacingReportWriter::SpacingReportWriter(std::ostream& out, ReportFormat format) : out_(out), format_(format) {}

void SpacingReportWriter::Begin() {
  if (format_ == ReportFormat::Csv)
    out_ << "\xEF\xBB\xBF" "file,where,block,layer_group,layer,text,text_type_class,spacing\r\n";
  else
    out_ << "[";
  out_.flush();
}

void SpacingReportWriter::Add(const std::vector<SpacingReportRow>& rows) {
  for (const SpacingReportRow& r : rows) {
    // The file as the command's lines name it: a name that is not UTF-8 (a code page
    // 932 name from a Japanese archive) decoded, one with a control character quoted,
    // so its cell never breaks the record's line.
    const std::string file = ShownName(r.File), block = Cp932ToUtf8(r.Block), text = Cp932ToUtf8(r.Text);
    if (format_ == ReportFormat::Csv) {
      out_ << CsvCell(file) << ',' << SpacingPlaceName(r.Place) << ',' << CsvCell(block) << ','
           << OptionalNumber(r.LayerGroup, "") << ',' << OptionalNumber(r.Layer, "") << ',' << CsvCell(text) << ','
           << r.TextTypeClass << ',' << SpacingText(r.Spacing) << "\r\n";
    } else {
      const std::string spacing = SpacingText(r.Spacing);
      out_ << (firstRow_ ? "\n" : ",\n") << "  {\"file\": " << JsonString(file) << ", \"where\": \""
           << SpacingPlaceName(r.Place) << "\", \"block\": " << JsonString(block)
           << ", \"layer_group\": " << OptionalNumber(r.LayerGroup, "null")
           << ", \"layer\": " << OptionalNumber(r.Layer, "null") << ", \"text\": " << JsonString(text)
           << ", \"text_type_class\": " << r.TextTypeClass
           << ", \"spacing\": " << (std::isnan(r.Spacing) ? "\"NaN\"" : spacing) << "}";
    }
    firstRow_ = false;
  }
  out_.flush();
}

void SpacingReportWriter::End() {
  if (format_ == ReportFormat::Json) out_ << (firstRow_ ? "]\n" : "\n]\n");
  out_.flush();
}

}  // namespace plm

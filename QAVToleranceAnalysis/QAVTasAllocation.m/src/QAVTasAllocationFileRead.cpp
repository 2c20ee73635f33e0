// QAVTasAllocationFile::Read: the problem file, checked item by item, each refusal naming its path.
// The file's own rules (structure, keys, names) are checked here; the model's are Validate's.
#include "QAVTasAllocationFile.h"

#include "QAVTasAllocationFileDrawing.h"
#include "QAVTasAllocationFileFunction.h"
#include "QAVTasJsonItems.h"
#include "QAVTasStackupLaw.h"
#include "QAVTasStackupLaws.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <map>
#include <set>
#include <unordered_map>
#include <utility>

namespace
{
using namespace QAVTasJsonItems;
using Problem = QAVTasAllocationProblem;

// A name is unique in its list and can be named by a sensitivity (an "x-" key would be a note).
std::string Name(const Json& iObject, const std::string& iPath, std::map<std::string, std::string>& ioSeen)
{
  const std::string path = Member(iPath, "name");
  const std::string name = Text(Required(iObject, iPath, "name"), path);
  if (name.empty())
    Refuse(path, "empty name");
  if (IsNote(name))
    Refuse(path, "names beginning with 'x-' are reserved for notes");
  const auto [found, added] = ioSeen.emplace(name, iPath);
  if (!added)
    Refuse(path, "duplicate name '" + name + "' (also " + found->second + ")");
  return name;
}

std::vector<std::pair<double, double>> Table(const Json& iCost, const std::string& iPath)
{
  const std::string path = Member(iPath, "points");
  std::vector<std::pair<double, double>> points;
  for (const Json& point : Array(Required(iCost, iPath, "points"), path))
  {
    const std::string at = At(path, points.size());
    if (!point.is_array() || point.size() != 2)
      Refuse(at, "expected a pair [t, cost]");
    const double t = Number(point[0], At(at, 0)), cost = Number(point[1], At(at, 1));
    points.emplace_back(t, cost);
  }
  return points;
}

Problem::Cost CostOf(const Json& iNode, const std::string& iPath)
{
  Problem::Cost cost;
  Object(iNode, iPath, {"model", "a", "b", "k", "m", "points"});
  const std::string model = Text(Required(iNode, iPath, "model"), Member(iPath, "model"));
  const std::pair<const char*, Problem::CostModel> kModels[] = {{"reciprocal", Problem::CostModel::Reciprocal},
                                                                {"power", Problem::CostModel::Power},
                                                                {"exponential", Problem::CostModel::Exponential},
                                                                {"table", Problem::CostModel::Table}};
  for (const auto& [name, value] : kModels)
    cost.Model = model == name ? value : cost.Model;
  if (cost.Model == Problem::CostModel::None)
    Refuse(Member(iPath, "model"), "unknown cost model '" + model + "' (reciprocal, power, exponential, table)");
  const bool table = cost.Model == Problem::CostModel::Table;
  const std::pair<const char*, bool> kUses[] = {{"a", !table},
                                                {"b", !table},
                                                {"k", cost.Model == Problem::CostModel::Power},
                                                {"m", cost.Model == Problem::CostModel::Exponential},
                                                {"points", table}};
  for (const auto& [key, used] : kUses)
    if (!used && iNode.contains(key))
      Refuse(Member(iPath, key), "not a parameter of the " + model + " model");
  if (table)
  {
    cost.Points = Table(iNode, iPath);
    return cost;
  }
  cost.A = Number(iNode, iPath, "a", 0.0);
  cost.B = Number(iNode, iPath, "b");
  if (cost.Model == Problem::CostModel::Power)
    cost.K = Number(iNode, iPath, "k");
  if (cost.Model == Problem::CostModel::Exponential)
    cost.M = Number(iNode, iPath, "m");
  return cost;
}

void ReadBounds(const Json& iNode, const std::string& iPath, Problem::Dimension& ioDimension)
{
  // A table's bounds default to its first and last t.
  const auto& points = ioDimension.CostOf.Points;
  if (ioDimension.CostOf.Model != Problem::CostModel::Table || points.empty())
  {
    ioDimension.Min = Number(iNode, iPath, "min");
    ioDimension.Max = Number(iNode, iPath, "max");
    return;
  }
  ioDimension.Min = Number(iNode, iPath, "min", points.front().first);
  ioDimension.Max = Number(iNode, iPath, "max", points.back().first);
}

void ReadFixed(const Json& iNode, const std::string& iPath, Problem::Dimension& ioDimension)
{
  ioDimension.Tolerance = ioDimension.Fixed ? ioDimension.Tolerance : Number(iNode, iPath, "tolerance");
  ioDimension.Fixed = true;
  ioDimension.Min = ioDimension.Max = ioDimension.Tolerance;
  if (iNode.contains("cost"))
    ioDimension.CostOf = CostOf(iNode["cost"], Member(iPath, "cost"));
}

void ReadOptions(const Json& iNode, const std::string& iPath, Problem::Dimension& ioDimension)
{
  const std::string path = Member(iPath, "options");
  for (const Json& option : Array(iNode["options"], path))
  {
    const std::string at = At(path, ioDimension.Options.size());
    Object(option, at, {"tolerance", "cost", "process"});
    Problem::Option read;
    read.Tolerance = Number(option, at, "tolerance");
    read.CostValue = Number(option, at, "cost");
    if (option.contains("process"))
      read.Process = Text(option["process"], Member(at, "process"));
    ioDimension.Options.push_back(read);
    ioDimension.Min = ioDimension.Options.size() == 1 ? read.Tolerance : std::min(ioDimension.Min, read.Tolerance);
    ioDimension.Max = std::max(ioDimension.Max, read.Tolerance);
  }
  if (ioDimension.Options.empty())
    Refuse(path, "at least one option is needed");
}

Problem::Dimension DimensionOf(const Json& iNode, const std::string& iPath, std::map<std::string, std::string>& ioSeen)
{
  Object(iNode, iPath,
         {"name", "min", "max", "cost", "mean_shift", "distribution", "tolerance", "options", "nominal", "plus",
          "minus", "cp", "sigma", "process_mean"});
  Problem::Dimension dimension;
  dimension.Name = Name(iNode, iPath, ioSeen);
  QAVTasAllocationFileDrawing::ReadZone(iNode, iPath, dimension);
  const bool fixed = dimension.Fixed || iNode.contains("tolerance"), options = iNode.contains("options");
  if (fixed && options)
    Refuse(Member(iPath, "options"), "a dimension has either a fixed tolerance or options, not both");
  for (const char* key : {"min", "max", "cost"})
    if ((options || (fixed && std::strcmp(key, "cost") != 0)) && iNode.contains(key))
      Refuse(Member(iPath, key), fixed ? "a fixed dimension has no bounds" : "a dimension with options has none");
  if (fixed)
    ReadFixed(iNode, iPath, dimension);
  else if (options)
    ReadOptions(iNode, iPath, dimension);
  else
  {
    dimension.CostOf = CostOf(Required(iNode, iPath, "cost"), Member(iPath, "cost"));
    ReadBounds(iNode, iPath, dimension);
  }
  dimension.MeanShift = Number(iNode, iPath, "mean_shift", 0.0);
  QAVTasAllocationFileDrawing::ReadProcess(iNode, iPath, dimension);
  return dimension;
}

void ReadLaw(const Json& iNode, const std::string& iPath, Problem::Stackup& ioStackup)
{
  const std::string path = Member(iPath, "law");
  if (!iNode.contains("law") && QAVTasAllocationFileDrawing::HasWindow(iNode))
  {
    for (const char* key : {"limit", "factor", "lower", "upper"})
      if (iNode.contains(key))
        Refuse(Member(iPath, key), "not used without a law");
    ioStackup.HasLaw = false;
    return;
  }
  const std::string law = Text(Required(iNode, iPath, "law"), path);
  const QAVTasStackupLaw* rule = QAVTasStackupLaws::Find(law, ioStackup.Rule);
  if (rule == nullptr)
  {
    std::string names;
    for (const QAVTasStackupLaw* known : QAVTasStackupLaws::All())
      names += (names.empty() ? "" : ", ") + std::string(known->Name());
    Refuse(path, "unknown law '" + law + "' (" + names + ")");
  }
  const bool band = rule->Band();
  const std::pair<const char*, bool> kUses[] = {
    {"limit", !band}, {"factor", rule->TakesFactor()}, {"lower", band}, {"upper", band}};
  for (const auto& [key, used] : kUses)
    if (!used && iNode.contains(key))
      Refuse(Member(iPath, key), "not used by the " + law + " law");
}

using Index = std::unordered_map<std::string, std::int32_t>;

Problem::Stackup StackupOf(const Json& iNode, const std::string& iPath, const Index& iDimensions,
                           std::map<std::string, std::string>& ioSeen)
{
  Object(
    iNode, iPath,
    {"name", "law", "limit", "factor", "lower", "upper", "sensitivities", "function", "constant", "lsl", "usl", "cpk"});
  Problem::Stackup stackup;
  stackup.Name = Name(iNode, iPath, ioSeen);
  ReadLaw(iNode, iPath, stackup);
  if (stackup.HasLaw && stackup.LawOf().Band())
  {
    stackup.Lower = Number(iNode, iPath, "lower");
    stackup.Upper = Number(iNode, iPath, "upper");
  }
  else if (stackup.HasLaw && (iNode.contains("limit") || !QAVTasAllocationFileDrawing::HasWindow(iNode)))
    stackup.Limit = Number(iNode, iPath, "limit");
  stackup.Factor = Number(iNode, iPath, "factor", 1.0);
  if (iNode.contains("function"))
    return stackup;
  const std::string path = Member(iPath, "sensitivities");
  const Json& sensitivities = Required(iNode, iPath, "sensitivities");
  if (!sensitivities.is_object())
    Refuse(path, "expected an object");
  for (const auto& item : sensitivities.items())
  {
    if (IsNote(item.key()))
      continue;
    const auto index = iDimensions.find(item.key());
    if (index == iDimensions.end())
      Refuse(Member(path, item.key()), "unknown dimension");
    stackup.Sensitivity.emplace_back(index->second, Number(item.value(), Member(path, item.key())));
  }
  return stackup;
}

Problem ProblemOf(const Json& iRoot)
{
  Object(iRoot, "", {"format", "dimensions", "stackups", "yield"});
  if (iRoot.contains("format") && Text(iRoot["format"], "format") != QAVTasAllocationFile::kFormat)
    Refuse("format", std::string("expected \"") + QAVTasAllocationFile::kFormat + "\"");
  Problem problem;
  std::map<std::string, std::string> seen;
  for (const Json& node : Array(Required(iRoot, "", "dimensions"), "dimensions"))
    problem.Dimensions.push_back(DimensionOf(node, At("dimensions", problem.Dimensions.size()), seen));
  if (problem.Dimensions.empty())
    Refuse("dimensions", "at least one dimension is needed");
  seen.clear();
  Index dimensions;
  for (const Problem::Dimension& dimension : problem.Dimensions)
    dimensions.emplace(dimension.Name, static_cast<std::int32_t>(dimensions.size()));
  for (const Json& node : Array(Required(iRoot, "", "stackups"), "stackups"))
  {
    const std::string path = At("stackups", problem.Stackups.size());
    problem.Stackups.push_back(StackupOf(node, path, dimensions, seen));
    QAVTasAllocationFileFunction::Read(node, path, problem, problem.Stackups.back());
    QAVTasAllocationFileDrawing::ReadRequirement(node, path, problem, problem.Stackups.back());
  }
  QAVTasAllocationFileDrawing::ReadYield(iRoot, problem);
  const std::vector<std::string> defects = problem.Validate();
  if (!defects.empty())
    throw Refusal{defects.front()};
  return problem;
}

// Builds the document as the text is read, as the library's own reader would, and refuses a key that
// appears twice in one object (the document would keep only the last), with the path of the second
// one. It tracks the path of the item being read. No callback reader: that one rescans a whole array
// each time one of its objects ends, which is quadratic in the number of dimensions.
class Reader
{
public:
  explicit Reader(Json& oRoot) : _Dom(oRoot) {}

  bool null() { return Begun() && _Dom.null(); }
  bool boolean(bool iValue) { return Begun() && _Dom.boolean(iValue); }
  bool number_integer(Json::number_integer_t iValue) { return Begun() && _Dom.number_integer(iValue); }
  bool number_unsigned(Json::number_unsigned_t iValue) { return Begun() && _Dom.number_unsigned(iValue); }
  bool number_float(Json::number_float_t iValue, const std::string& iText)
  {
    return Begun() && _Dom.number_float(iValue, iText);
  }
  bool string(std::string& ioValue) { return Begun() && _Dom.string(ioValue); }
  bool binary(Json::binary_t& ioValue) { return Begun() && _Dom.binary(ioValue); }
  bool start_object(std::size_t iSize) { return Open(true) && _Dom.start_object(iSize); }
  bool end_object() { return Close() && _Dom.end_object(); }
  bool start_array(std::size_t iSize) { return Open(false) && _Dom.start_array(iSize); }
  bool end_array() { return Close() && _Dom.end_array(); }
  bool key(std::string& ioKey)
  {
    _Frames.back().key = ioKey;
    if (!_Frames.back().keys.insert(ioKey).second && _First.empty())
      _First = Path() + ": duplicate key";
    return _Dom.key(ioKey);
  }
  template <class Exception>
  bool parse_error(std::size_t iPosition, const std::string& iToken, const Exception& iError)
  {
    return _Dom.parse_error(iPosition, iToken, iError);
  }

  // The path of the item being read: in an array, the element after those begun so far.
  std::string Path() const
  {
    std::string path;
    for (std::size_t k = 0; k < _Frames.size(); ++k)
    {
      const Frame& frame = _Frames[k];
      path = frame.object ? Member(path, frame.key) : At(path, frame.count - (k + 1 < _Frames.size() ? 1 : 0));
    }
    return path;
  }

  const std::string& First() const { return _First; }

private:
  struct Frame
  {
    bool object;
    std::size_t count; // elements of an array begun so far
    std::string key;   // key of an object's current member
    std::set<std::string> keys;
  };

  bool Begun()
  {
    if (!_Frames.empty() && !_Frames.back().object)
      ++_Frames.back().count;
    return true;
  }
  bool Open(bool iObject)
  {
    Begun();
    _Frames.push_back({iObject, 0, {}, {}});
    return true;
  }
  bool Close()
  {
    _Frames.pop_back();
    return true;
  }

  nlohmann::detail::json_sax_dom_parser<Json> _Dom;
  std::vector<Frame> _Frames;
  std::string _First;
};

// "line L, column C: what" for text that is no JSON, from the reader's byte offset.
std::string SyntaxError(const std::string& iText, const Json::parse_error& iError)
{
  const std::size_t end = std::min<std::size_t>(iError.byte == 0 ? 0 : iError.byte - 1, iText.size());
  std::size_t line = 1, column = 1;
  for (std::size_t k = 0; k < end; ++k)
  {
    line += iText[k] == '\n';
    column = iText[k] == '\n' ? 1 : column + 1;
  }
  std::string what = iError.what();
  const std::size_t colon = what.find(": ", what.find("column"));
  what = colon == std::string::npos ? "not valid JSON" : "not valid JSON (" + what.substr(colon + 2) + ")";
  return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + what;
}
// A refusal quotes keys and names from the file: their control characters are shown escaped, so
// that the refusal stays one line.
std::string OneLine(const std::string& iText)
{
  std::string line;
  for (const char c : iText)
  {
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f)
      line += c;
    else if (c == '\n')
      line += "\\n";
    else
    {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
      line += escaped;
    }
  }
  return line;
}
} // namespace

bool QAVTasAllocationFile::Read(const std::string& iText, QAVTasAllocationProblem& oProblem, std::string& oError)
{
  Json root;
  Reader reader(root);
  try
  {
    Json::sax_parse(iText, &reader);
    if (!reader.First().empty())
      throw Refusal{reader.First()};
    oProblem = ProblemOf(root);
    return true;
  }
  catch (const Json::parse_error& e)
  {
    oError = SyntaxError(iText, e);
  }
  catch (const Json::out_of_range&)
  {
    oError = (reader.Path().empty() ? "top level" : reader.Path()) + ": not a finite number";
  }
  catch (const Refusal& e)
  {
    oError = e.message;
  }
  catch (const std::bad_alloc&)
  {
    oError = "not enough memory to read the file";
  }
  catch (const std::exception& e)
  {
    oError = std::string("cannot read the file: ") + e.what();
  }
  oError = OneLine(oError);
  return false;
}

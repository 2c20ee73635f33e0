#include "QAVToolCli.h"

#include "QAVTasOptimizerVersion.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <sstream>

namespace
{
bool ParseReal(const std::string& iText, double& oValue)
{
  char* end = nullptr;
  errno = 0;
  oValue = std::strtod(iText.c_str(), &end);
  return !iText.empty() && *end == '\0' && errno != ERANGE && std::isfinite(oValue);
}

// The whole text must be the number: "12abc", "", an overflow or (for reals) inf and nan are not.
// A count written with an exponent ("1e6") is an integer too, when its value is one.
bool ParseInt(const std::string& iText, std::int32_t& oValue)
{
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(iText.c_str(), &end, 10);
  if (!iText.empty() && *end == '\0' && errno != ERANGE && value >= INT32_MIN && value <= INT32_MAX)
  {
    oValue = static_cast<std::int32_t>(value);
    return true;
  }
  double real = 0.0;
  const bool exponent =
    iText.find_first_of("eE") != std::string::npos && iText.find_first_of("xX") == std::string::npos;
  if (!exponent || !ParseReal(iText, real) || real != std::floor(real) || real < INT32_MIN || real > INT32_MAX)
    return false;
  oValue = static_cast<std::int32_t>(real);
  return true;
}

std::string Number(double iValue)
{
  std::ostringstream out;
  out << iValue;
  return out.str();
}

std::string RangeText(double iLo, double iHi)
{
  if (iHi == std::numeric_limits<std::int32_t>::max() || iHi == std::numeric_limits<double>::max())
    return Number(iLo) + " or more";
  return "from " + Number(iLo) + " to " + Number(iHi);
}

CLI::Validator IntIn(std::int32_t iLo, std::int32_t iHi)
{
  return CLI::Validator(
    [=](std::string& ioText)
    {
      std::int32_t v = 0;
      if (!ParseInt(ioText, v) || v < iLo || v > iHi)
        return "takes an integer " + RangeText(iLo, iHi) + ", not '" + ioText + "'";
      return std::string();
    },
    "");
}

CLI::Validator RealIn(double iLo, double iHi)
{
  return CLI::Validator(
    [=](std::string& ioText)
    {
      double v = 0;
      if (!ParseReal(ioText, v) || v < iLo || v > iHi)
        return "takes a finite number " + RangeText(iLo, iHi) + ", not '" + ioText + "'";
      return std::string();
    },
    "");
}

CLI::Validator FileName()
{
  return CLI::Validator(
    [](std::string& ioText)
    {
      if (ioText.empty())
        return std::string("takes a file name, not an empty text");
      if (ioText[0] == '-' && ioText != "-")
        return "takes a file name, not '" + ioText + "' (write ./" + ioText + " for a file of that name)";
      return std::string();
    },
    "");
}

// "option --dim takes ..." instead of CLI11's wording where our validators speak.
std::string Message(const CLI::ParseError& iError)
{
  std::string text = iError.what();
  const std::size_t flag = text.find(" was given a disallowed flag override");
  if (flag != std::string::npos)
    return "option --" + text.substr(0, flag) + " is a flag and takes no value";
  const std::size_t colon = text.find(": takes ");
  if (colon != std::string::npos)
    text = "option " + text.substr(0, colon) + text.substr(colon + 1);
  return text;
}
} // namespace

QAVToolCli::QAVToolCli(const std::string& iCommand, const std::string& iDescription, const std::string& iFooter)
  : _pApp(std::make_unique<CLI::App>(iDescription, "qavtas " + iCommand))
{
  _pApp->set_version_flag("--version", Version(), "print the version and exit");
  _pApp->footer(iFooter);
  _pApp->get_formatter()->column_width(24);
  Flag("--quiet", common.quiet, "no engine reports and no progress, only the answer");
  Flag("--debug", common.debug, "name the library's source file and line in error messages");
}

QAVToolCli::~QAVToolCli() = default;

const char* QAVToolCli::Version()
{
  return "qavtas " QAV_TASOPT_VERSION;
}

void QAVToolCli::Declare(const Declaration& iDeclaration)
{
  _Declarations.push_back(iDeclaration);
}

void QAVToolCli::Flag(const char* iName, bool& oTarget, const char* iHelp)
{
  _pApp->add_flag(iName, oTarget, iHelp)->disable_flag_override();
  Declare({iName, Kind::Flag, 0, 1, 0, iHelp});
}

void QAVToolCli::Int(const char* iName, std::int32_t& oTarget, std::int32_t iLo, std::int32_t iHi, const char* iHelp,
                     std::int32_t iFuzzMost)
{
  _pApp
    ->add_option_function<std::string>(
      iName, [&oTarget](const std::string& s) { ParseInt(s, oTarget); }, iHelp)
    ->check(IntIn(iLo, iHi))
    ->type_name("N");
  Declare({iName, Kind::Int, double(iLo), double(iHi), double(iFuzzMost), iHelp});
}

void QAVToolCli::Int(const char* iName, std::optional<std::int32_t>& oTarget, std::int32_t iLo, std::int32_t iHi,
                     const char* iHelp, std::int32_t iFuzzMost)
{
  _pApp
    ->add_option_function<std::string>(
      iName,
      [&oTarget](const std::string& s)
      {
        std::int32_t v = 0;
        ParseInt(s, v);
        oTarget = v;
      },
      iHelp)
    ->check(IntIn(iLo, iHi))
    ->type_name("N");
  Declare({iName, Kind::Int, double(iLo), double(iHi), double(iFuzzMost), iHelp});
}

void QAVToolCli::Real(const char* iName, std::optional<double>& oTarget, double iLo, double iHi, const char* iHelp)
{
  _pApp
    ->add_option_function<std::string>(
      iName,
      [&oTarget](const std::string& s)
      {
        double v = 0;
        ParseReal(s, v);
        oTarget = v;
      },
      iHelp)
    ->check(RealIn(iLo, iHi))
    ->type_name("X");
  Declare({iName, Kind::Real, iLo, iHi, 0, iHelp});
}

void QAVToolCli::Real(const char* iName, double& oTarget, double iLo, double iHi, const char* iHelp)
{
  _pApp
    ->add_option_function<std::string>(
      iName, [&oTarget](const std::string& s) { ParseReal(s, oTarget); }, iHelp)
    ->check(RealIn(iLo, iHi))
    ->type_name("X");
  Declare({iName, Kind::Real, iLo, iHi, 0, iHelp});
}

void QAVToolCli::Choice(const char* iName, std::string& oTarget, const std::vector<std::string>& iChoices,
                        const char* iHelp)
{
  _pApp->add_option(iName, oTarget, iHelp)->check(CLI::IsMember(iChoices))->type_name("NAME");
  Declare({iName, Kind::Choice, 0, double(iChoices.size()), 0, iHelp});
}

void QAVToolCli::InFile(const char* iName, std::string& oTarget, const char* iHelp, bool iRequired)
{
  CLI::Option* option = _pApp->add_option(iName, oTarget, iHelp)->type_name("FILE");
  // A positional argument starting with '-' can only come after "--", which makes it a name.
  if (iName[0] == '-')
    option->check(FileName());
  if (iRequired)
    option->required();
  Declare({iName, Kind::InFile, 0, 0, 0, iHelp});
}

void QAVToolCli::OutFile(const char* iName, std::string& oTarget, const char* iHelp)
{
  _pApp->add_option(iName, oTarget, iHelp)->check(FileName())->type_name("OUT");
  Declare({iName, Kind::OutFile, 0, 0, 0, iHelp});
}

void QAVToolCli::WithProgress()
{
  Flag("--progress", common.progress, "show the one-line progress on standard error even when it is no terminal");
}

void QAVToolCli::WithJson()
{
  Flag("--json", common.json, "print one JSON object with the answer on standard output, and nothing else");
}

void QAVToolCli::Excludes(const char* iName, const char* iOther)
{
  _pApp->get_option(iName)->excludes(_pApp->get_option(iOther));
}

bool QAVToolCli::Parse(int argc, char** argv)
{
  std::vector<std::string> args(argv, argv + argc);
  std::reverse(args.begin(), args.end()); // CLI11 takes them last first
  try
  {
    _pApp->parse(args);
  }
  catch (const CLI::CallForHelp&)
  {
    std::cout << _pApp->help();
    return false;
  }
  catch (const CLI::CallForVersion&)
  {
    std::cout << Version() << '\n';
    return false;
  }
  catch (const CLI::ParseError& e)
  {
    throw QAVToolUsageError{Message(e)};
  }
  if (common.quiet && common.progress)
    throw QAVToolUsageError{"--quiet and --progress exclude each other"};
  return true;
}

std::string QAVToolCli::CommandLine(const std::string& iCommand, int argc, char** argv)
{
  std::string line = "qavtas " + iCommand;
  for (int k = 0; k < argc; ++k)
    line += std::string(" ") + argv[k];
  return line;
}

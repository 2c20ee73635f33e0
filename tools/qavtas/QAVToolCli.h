#ifndef QAVToolCli_H
#define QAVToolCli_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace CLI
{
class App;
}

// A usage error: main() prints its one-line message on standard error and exits 2.
struct QAVToolUsageError
{
  std::string message;
};

// The options of one qavtas command, each declared once (name, kind, range, help): that
// declaration drives the parsing (CLI11), the --help text and the bounds of the fuzz targets.
// Every command also takes --help, --version, --quiet and --debug; --progress and --json when it
// asks for them. A name without dashes is a positional argument. File values are "-" for standard
// input or output; any other value starting with '-' is refused, so that "--plot --help" never
// writes a file named "--help". A flag takes no value: "--flag=value" is refused.
class QAVToolCli
{
public:
  enum class Kind
  {
    Flag,
    Int,
    Real,
    Choice,
    InFile,
    OutFile
  };
  struct Declaration
  {
    std::string name;
    Kind kind;
    double lo, hi;   // the accepted range of a number
    double fuzzMost; // the largest value a fuzz target passes (0: the range's own)
    std::string help;
  };
  // Switches every command has.
  struct Common
  {
    bool quiet = false, debug = false, progress = false, json = false;
  };

  QAVToolCli(const std::string& iCommand, const std::string& iDescription, const std::string& iFooter = "");
  ~QAVToolCli();
  QAVToolCli(const QAVToolCli&) = delete;
  QAVToolCli& operator=(const QAVToolCli&) = delete;

  void Flag(const char* iName, bool& oTarget, const char* iHelp);
  void Int(const char* iName, std::int32_t& oTarget, std::int32_t iLo, std::int32_t iHi, const char* iHelp,
           std::int32_t iFuzzMost = 0);
  void Int(const char* iName, std::optional<std::int32_t>& oTarget, std::int32_t iLo, std::int32_t iHi,
           const char* iHelp, std::int32_t iFuzzMost = 0);
  void Real(const char* iName, std::optional<double>& oTarget, double iLo, double iHi, const char* iHelp);
  void Real(const char* iName, double& oTarget, double iLo, double iHi, const char* iHelp);
  void Choice(const char* iName, std::string& oTarget, const std::vector<std::string>& iChoices, const char* iHelp);
  void InFile(const char* iName, std::string& oTarget, const char* iHelp, bool iRequired = true);
  void OutFile(const char* iName, std::string& oTarget, const char* iHelp);
  void WithProgress();
  void WithJson();
  // Marks two declared options as exclusive.
  void Excludes(const char* iName, const char* iOther);

  // Parses the arguments after the command name. False when --help or --version was answered
  // (exit 0); a usage error throws QAVToolUsageError.
  bool Parse(int argc, char** argv);

  Common common;
  const std::vector<Declaration>& Declarations() const { return _Declarations; }
  static const char* Version();
  // "qavtas COMMAND ARG ...", as the pages show what made them.
  static std::string CommandLine(const std::string& iCommand, int argc, char** argv);

private:
  void Declare(const Declaration& iDeclaration);

  std::unique_ptr<CLI::App> _pApp;
  std::vector<Declaration> _Declarations;
};

#endif

#include "QAVToolFuzzEntry.h"

#include "QAVToolCommands.h"
#include "QAVToolOptions.h"

#include <cstdlib>
#include <iostream>
#include <streambuf>
#include <string>
#include <vector>

namespace
{
// Swallows everything written to std::cout while it lives: reports would only slow a fuzzer.
class QuietCout
{
public:
  QuietCout() : _Saved(std::cout.rdbuf(&_Null)) {}
  ~QuietCout() { std::cout.rdbuf(_Saved); }
  QuietCout(const QuietCout&) = delete;
  QuietCout& operator=(const QuietCout&) = delete;

private:
  struct NullBuffer : std::streambuf
  {
    int overflow(int iChar) override { return traits_type::not_eof(iChar); }
    std::streamsize xsputn(const char*, std::streamsize iCount) override { return iCount; }
  };
  NullBuffer _Null;
  std::streambuf* _Saved;
};

std::vector<std::string> SplitLines(const std::uint8_t* ipData, std::size_t iSize)
{
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < iSize; ++i)
  {
    if (ipData[i] == '\n')
      lines.emplace_back();
    else
      lines.back().push_back(static_cast<char>(ipData[i]));
  }
  // An argument is a C string: it ends at its first NUL, as argv would.
  for (std::string& line : lines)
    line.resize(line.find('\0') == std::string::npos ? line.size() : line.find('\0'));
  return lines;
}

// The value an option names, in either "--name value" or "--name=value" form.
bool OptionValue(const std::vector<std::string>& iArgs, std::size_t iAt, const std::string& iName, std::string& oValue)
{
  const std::string& arg = iArgs[iAt];
  if (arg == iName && iAt + 1 < iArgs.size())
  {
    oValue = iArgs[iAt + 1];
    return true;
  }
  if (arg.compare(0, iName.size() + 1, iName + "=") == 0)
  {
    oValue = arg.substr(iName.size() + 1);
    return true;
  }
  return false;
}

// False when any size option could ask for more than its bound; a value that is no number is
// left to the tool to refuse.
bool WithinRunBounds(const std::vector<std::string>& iArgs)
{
  struct Bound
  {
    const char* name;
    long long most;
  };
  static const Bound kBounds[] = {{"--dim", 16}, {"--pop", 64}, {"--generations", 200}};
  for (std::size_t i = 0; i < iArgs.size(); ++i)
    for (const Bound& b : kBounds)
    {
      std::string text;
      if (!OptionValue(iArgs, i, b.name, text))
        continue;
      char* end = nullptr;
      const long long value = std::strtoll(text.c_str(), &end, 10);
      if (end != text.c_str() && value > b.most)
        return false;
    }
  return true;
}
} // namespace

int QAVToolFuzzDeOptions(const std::uint8_t* ipData, std::size_t iSize)
{
  std::vector<std::string> args = SplitLines(ipData, iSize);
  if (args.size() == 1 && args[0].empty())
    args.clear();
  if (args.size() > 64 || !WithinRunBounds(args))
    return 0;
  std::vector<char*> argv;
  for (std::string& arg : args)
    argv.push_back(&arg[0]);
  argv.push_back(nullptr);
  QuietCout quiet;
  try
  {
    QAVToolRunDe(static_cast<int>(args.size()), argv.data());
  }
  catch (const QAVToolUsageError&)
  {
    // The tool's own refusal: one line and exit status 2.
  }
  return 0;
}

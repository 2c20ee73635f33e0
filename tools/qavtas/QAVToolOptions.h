#ifndef QAVToolOptions_H
#define QAVToolOptions_H

#include <cstdint>
#include <string>
#include <vector>

// Command-line parsing shared by every qavtas command. A bad option or value throws
// QAVToolUsageError; main() prints its one-line message on standard error and exits 2.
struct QAVToolUsageError
{
  std::string message;
};

class QAVToolOptions
{
public:
  // Arguments after the command name.
  QAVToolOptions(int argc, char** argv);

  bool Done() const { return _Next >= _Args.size(); }
  // The next argument; "--name=value" is split so that Value() returns "value".
  std::string NextName();
  bool IsHelp(const std::string& name) const { return name == "--help" || name == "-h"; }

  std::string Value(const std::string& name);
  std::int32_t Int32Value(const std::string& name);
  double DoubleValue(const std::string& name);

  [[noreturn]] static void Fail(const std::string& message);

private:
  std::vector<std::string> _Args;
  std::size_t _Next = 0;
  std::string _Pending;
  bool _HasPending = false;
};

#endif

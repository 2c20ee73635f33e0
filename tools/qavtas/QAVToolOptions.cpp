#include "QAVToolOptions.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

QAVToolOptions::QAVToolOptions(int argc, char** argv) : _Args(argv, argv + argc) {}

std::string QAVToolOptions::NextName()
{
  std::string arg = _Args[_Next++];
  _HasPending = false;
  const std::size_t eq = arg.find('=');
  if (arg.rfind("--", 0) == 0 && eq != std::string::npos)
  {
    _Pending = arg.substr(eq + 1);
    _HasPending = true;
    arg.resize(eq);
  }
  return arg;
}

std::string QAVToolOptions::Value(const std::string& name)
{
  if (_HasPending)
  {
    _HasPending = false;
    return _Pending;
  }
  if (Done())
    Fail("option " + name + " needs a value");
  return _Args[_Next++];
}

std::int32_t QAVToolOptions::Int32Value(const std::string& name)
{
  const std::string text = Value(name);
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE || value < INT32_MIN || value > INT32_MAX)
    Fail("option " + name + " takes a 32-bit integer, not '" + text + "'");
  return static_cast<std::int32_t>(value);
}

double QAVToolOptions::DoubleValue(const std::string& name)
{
  const std::string text = Value(name);
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(value))
    Fail("option " + name + " takes a finite number, not '" + text + "'");
  return value;
}

void QAVToolOptions::Fail(const std::string& message)
{
  throw QAVToolUsageError{message};
}

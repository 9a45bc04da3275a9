// Option parsing shared by the `wendrel` commands: "--name value" options, flags and plain
// arguments, with one clear error line for anything else.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace wendrel {

class UsageError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

class Arguments {
 public:
  // Options that take a value, options that are flags, and how many plain arguments are allowed.
  // Throws UsageError on an unknown option, a missing value or too many plain arguments.
  Arguments(const std::vector<std::string>& args, const std::set<std::string>& valueOptions,
            const std::set<std::string>& flagOptions = {}, size_t maxPlain = 0);

  bool Has(const std::string& name) const { return m_values.count(name) || m_flags.count(name); }
  std::optional<std::string> Value(const std::string& name) const;
  // The option's value; throws UsageError naming the option when it is absent.
  std::string Required(const std::string& name) const;
  // The option's value as a whole number within [min, max]; `fallback` when absent.
  long long Number(const std::string& name, long long fallback, long long min, long long max) const;
  const std::vector<std::string>& Plain() const { return m_plain; }

 private:
  std::map<std::string, std::string> m_values;
  std::set<std::string> m_flags;
  std::vector<std::string> m_plain;
};

// True when the arguments ask for help ("--help" or "-h" anywhere).
bool WantsHelp(const std::vector<std::string>& args);

}  // namespace wendrel

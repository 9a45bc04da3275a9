#include "cli/arguments.h"

#include <charconv>

namespace wendrel {

Arguments::Arguments(const std::vector<std::string>& args, const std::set<std::string>& valueOptions,
                     const std::set<std::string>& flagOptions, size_t maxPlain) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
      if (valueOptions.count(a)) {
        if (i + 1 >= args.size()) throw UsageError(a + " needs a value");
        m_values[a] = args[++i];
      } else if (flagOptions.count(a)) {
        m_flags.insert(a);
      } else {
        throw UsageError("unknown option " + a);
      }
    } else {
      if (m_plain.size() >= maxPlain) throw UsageError("unexpected argument " + a);
      m_plain.push_back(a);
    }
  }
}

std::optional<std::string> Arguments::Value(const std::string& name) const {
  auto it = m_values.find(name);
  if (it == m_values.end()) return std::nullopt;
  return it->second;
}

std::string Arguments::Required(const std::string& name) const {
  auto v = Value(name);
  if (!v) throw UsageError(name + " is required");
  return *v;
}

long long Arguments::Number(const std::string& name, long long fallback, long long min, long long max) const {
  auto v = Value(name);
  if (!v) return fallback;
  long long n = 0;
  auto [end, ec] = std::from_chars(v->data(), v->data() + v->size(), n);
  if (ec != std::errc() || end != v->data() + v->size() || n < min || n > max)
    throw UsageError(name + " takes a whole number from " + std::to_string(min) + " to " + std::to_string(max) +
                     ", not '" + *v + "'");
  return n;
}

bool WantsHelp(const std::vector<std::string>& args) {
  for (const auto& a : args)
    if (a == "--help" || a == "-h") return true;
  return false;
}

}  // namespace wendrel

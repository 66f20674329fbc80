#include "runner_cli.h"

namespace runner {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// One token from `at`: blanks outside double quotes end it, the quotes themselves are dropped.
// Returns false at the end of the text; *next is where the following token search starts.
bool NextToken(const std::wstring& text, std::size_t at, std::wstring* token, std::size_t* next) {
  while (at < text.size() && IsBlank(text[at])) ++at;
  if (at >= text.size()) return false;
  token->clear();
  bool quoted = false;
  for (; at < text.size() && (quoted || !IsBlank(text[at])); ++at) {
    if (text[at] == L'"') quoted = !quoted;
    else token->push_back(text[at]);
  }
  *next = at;
  return true;
}

bool ParseMs(const std::wstring& text, DWORD* value) {
  if (text.empty() || text.size() > 9) return false;
  DWORD v = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    v = v * 10 + (c - L'0');
  }
  *value = v;
  return true;
}

}  // namespace

int ParseRunnerCommandLine(const std::wstring& command_line, RunOptions* options,
                           std::wstring* error) {
  *options = RunOptions();
  std::wstring token;
  std::size_t at = 0;
  if (!NextToken(command_line, 0, &token, &at)) {
    *error = L"empty command line";
    return kRunnerBadArguments;
  }
  for (;;) {
    if (!NextToken(command_line, at, &token, &at)) {
      *error = L"no installer given";
      return kRunnerBadArguments;
    }
    if (token.compare(0, 2, L"--") != 0) break;
    std::wstring value;
    if (!NextToken(command_line, at, &value, &at)) {
      *error = token + L" needs a value";
      return kRunnerBadArguments;
    }
    if (token == L"--env") {
      std::size_t eq = value.find(L'=');
      if (eq == std::wstring::npos || eq == 0) {
        *error = L"--env wants NAME=VALUE, not " + value;
        return kRunnerBadArguments;
      }
      options->env.push_back(SetEnv(value.substr(0, eq), value.substr(eq + 1)));
    } else if (token == L"--unset") {
      options->env.push_back(UnsetEnv(value));
    } else if (token == L"--cwd") {
      options->current_folder = value;
    } else if (token == L"--dismiss-after") {
      if (!ParseMs(value, &options->dismiss_after_ms)) {
        *error = L"--dismiss-after wants milliseconds, not " + value;
        return kRunnerBadArguments;
      }
    } else if (token == L"--timeout") {
      if (!ParseMs(value, &options->timeout_ms)) {
        *error = L"--timeout wants milliseconds, not " + value;
        return kRunnerBadArguments;
      }
    } else {
      *error = L"unknown option " + token;
      return kRunnerBadArguments;
    }
  }
  options->exe_path = token;
  // Everything after the one blank that ends the installer's path goes on verbatim.
  if (at < command_line.size()) options->arguments = command_line.substr(at + 1);
  return kRunnerOk;
}

}  // namespace runner

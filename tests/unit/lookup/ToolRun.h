// kelvara-dict run in-process, and the file helpers its tests share.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "DictTool.h"

namespace kelvara::test {

struct ToolRun {
  int code;
  std::string out, err;
};

inline ToolRun Tool(std::vector<std::string> args, const ToolHooks& hooks = {}) {
  ToolRun r{};
  r.code = RunDictTool(args, r.out, r.err, hooks);
  return r;
}

inline std::string U8(const std::filesystem::path& p) {
  const std::u8string s = p.u8string();
  return std::string(s.begin(), s.end());
}

inline void WriteText(const std::filesystem::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary | std::ios::trunc) << text;
}

inline std::string ReadText(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace kelvara::test

// Copied texts in, one a line on stdin, and for each the first headword the word box would list
// after the resolver (an empty line when nothing is listed): bench/prose_goals.py's view of the
// program, without starting a process per word.
//
//   kelvara-resolve-batch [--as-copied] DATA.db < copies.txt
//
// --as-copied looks each text up exactly as copied, as the program did before the resolver.
#include <cstdio>
#include <iostream>
#include <string>

#include "lookup/Dictionary.h"
#include "lookup/Resolve.h"
#include "lookup/SearchWords.h"

int main(int argc, char** argv) {
  const bool asCopied = argc == 3 && std::string(argv[1]) == "--as-copied";
  if (argc != 2 && !asCopied) {
    std::fprintf(stderr, "usage: kelvara-resolve-batch [--as-copied] DATA.db < copies.txt\n");
    return 2;
  }
  kelvara::OpenResult opened = kelvara::Dictionary::Open(argv[argc - 1]);
  if (!opened.dict) {
    std::fprintf(stderr, "kelvara-resolve-batch: %s\n", opened.message.c_str());
    return 1;
  }
  std::ios::sync_with_stdio(false);
  std::string line, out;
  while (std::getline(std::cin, line)) {
    const std::string text = asCopied ? line : kelvara::ResolveCopied(*opened.dict, line).text;
    const kelvara::Matches m = text.empty() ? kelvara::Matches() : kelvara::FindMatches(*opened.dict, text);
    if (!m.empty()) out += m.Headword(0);
    out += '\n';
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}

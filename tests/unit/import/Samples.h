// Hand-made dictionary bytes for the importers' tests: gzip and dictzip packed here with zlib,
// StarDict and dictd files written field by field, damage applied on purpose.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace kelvara::import::samples {

inline std::string Gzip(std::string_view text) {
  z_stream zs{};
  deflateInit2(&zs, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&zs, static_cast<uLong>(text.size())) + 64, '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  zs.avail_in = static_cast<uInt>(text.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

inline void PutLe16(std::string& s, std::uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}

inline void PutLe32(std::string& s, std::uint32_t v) {
  PutLe16(s, v & 0xFFFF);
  PutLe16(s, v >> 16);
}

inline void PutBe32(std::string& s, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) s += static_cast<char>((v >> shift) & 0xFF);
}

// dictzip as the dictzip program writes it: each chunk of `chunkLength` bytes deflated and
// ended with a full flush, the table of packed sizes in the header's RA field, then an empty
// final block and the gzip trailer.
inline std::string Dictzip(std::string_view text, std::uint32_t chunkLength) {
  std::vector<std::string> chunks;
  z_stream zs{};
  deflateInit2(&zs, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  for (std::size_t at = 0; at < text.size(); at += chunkLength) {
    const std::string_view piece = text.substr(at, chunkLength);
    std::string packed(deflateBound(&zs, chunkLength) + 64, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
    zs.avail_in = static_cast<uInt>(piece.size());
    zs.next_out = reinterpret_cast<Bytef*>(packed.data());
    zs.avail_out = static_cast<uInt>(packed.size());
    deflate(&zs, Z_FULL_FLUSH);
    packed.resize(packed.size() - zs.avail_out);
    chunks.push_back(packed);
  }
  std::string tail(64, '\0');
  zs.next_in = nullptr;
  zs.avail_in = 0;
  zs.next_out = reinterpret_cast<Bytef*>(tail.data());
  zs.avail_out = static_cast<uInt>(tail.size());
  deflate(&zs, Z_FINISH);
  tail.resize(tail.size() - zs.avail_out);
  deflateEnd(&zs);

  std::string out = "\x1F\x8B\x08\x04";
  PutLe32(out, 0);
  out += '\x02';
  out += '\x03';
  std::string ra = "RA";
  PutLe16(ra, static_cast<std::uint32_t>(6 + 2 * chunks.size()));
  PutLe16(ra, 1);
  PutLe16(ra, chunkLength);
  PutLe16(ra, static_cast<std::uint32_t>(chunks.size()));
  for (const std::string& c : chunks) PutLe16(ra, static_cast<std::uint32_t>(c.size()));
  PutLe16(out, static_cast<std::uint32_t>(ra.size()));
  out += ra;
  for (const std::string& c : chunks) out += c;
  out += tail;
  PutLe32(out, static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(text.data()),
                                                static_cast<uInt>(text.size()))));
  PutLe32(out, static_cast<std::uint32_t>(text.size()));
  return out;
}

// A StarDict dictionary in the making: entries appended in order.
struct StarDictSample {
  std::string idx, dict, syn;
  std::size_t words = 0, synonyms = 0;
  bool offsets64 = false;

  void Add(std::string_view word, std::string_view data) {
    idx += word;
    idx += '\0';
    if (offsets64) PutBe32(idx, 0);
    PutBe32(idx, static_cast<std::uint32_t>(dict.size()));
    PutBe32(idx, static_cast<std::uint32_t>(data.size()));
    dict += data;
    ++words;
  }
  void AddSynonym(std::string_view word, std::uint32_t target) {
    syn += word;
    syn += '\0';
    PutBe32(syn, target);
    ++synonyms;
  }
  std::string Ifo(std::string_view sameTypes, std::string_view extra = {}) const {
    std::string ifo = "StarDict's dict ifo file\nversion=3.0.0\nbookname=Sample Book\nwordcount=" +
                      std::to_string(words) + "\nidxfilesize=" + std::to_string(idx.size()) + "\n";
    if (synonyms > 0) ifo += "synwordcount=" + std::to_string(synonyms) + "\n";
    if (offsets64) ifo += "idxoffsetbits=64\n";
    if (!sameTypes.empty()) ifo += "sametypesequence=" + std::string(sameTypes) + "\n";
    ifo += extra;
    return ifo;
  }
};

// dictd's base 64 numbers.
inline std::string Base64(std::uint64_t v) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string s;
  do {
    s.insert(s.begin(), kDigits[v & 63]);
    v >>= 6;
  } while (v != 0);
  return s;
}

// A dictd dictionary in the making: definitions appended, index lines written as given.
struct DictdSample {
  std::string index, dict;
  void Add(std::string_view headword, std::string_view definition) {
    index += std::string(headword) + "\t" + Base64(dict.size()) + "\t" + Base64(definition.size()) + "\n";
    dict += definition;
  }
};

inline void WriteFile(const std::filesystem::path& file, std::string_view bytes) {
  std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace kelvara::import::samples

#include "package/gzstream.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace tenvik {
namespace {

// The stream is fed by files made the way other tools make them: GNU gzip
// itself, zlib's writer, or headers assembled byte by byte.
class GzstreamReading : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "gzstream-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  std::string writeRaw(const std::string& name, const std::string& bytes) const {
    std::ofstream(path(name), std::ios::binary) << bytes;
    return path(name);
  }

  std::string readRaw(const std::string& file) const {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // GNU gzip at its best level; it stores the original file name in the
  // header, which the reader has to skip.
  std::string gnuGzip(const std::string& name, const std::string& content) const {
    writeRaw(name, content);
    const std::string command = "/bin/gzip -9 -N -f '" + path(name) + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return path(name + ".gz");
  }

  static std::string readAll(igzstream& in) {
    std::ostringstream out;
    char c;
    while (in.get(c)) out.put(c);
    return out.str();
  }

  fs::path dir_;
};

std::string sampleBytes(size_t size, unsigned seed = 7) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  // Half text, half noise: compressible enough for several deflate blocks.
  for (size_t i = 0; i < size; ++i) {
    bytes[i] = (i / 1024) % 2 ? static_cast<char>(random()) : static_cast<char>('a' + i % 23);
  }
  return bytes;
}

// A gzip member with every optional header field (extra, name, comment,
// header CRC) around a raw deflate stream.
std::string memberWithAllHeaderFields(const std::string& content) {
  std::string header = {'\x1f', '\x8b', 8, 0x04 | 0x08 | 0x10 | 0x02, 0, 0, 0, 0, 0, 3};
  header += std::string{6, 0, 'A', 'B', 2, 0, 'x', 'y'};  // extra: one subfield
  header += std::string("payload.bin") + '\0';
  header += std::string("made by hand") + '\0';
  const uLong headerCrc = crc32(0, reinterpret_cast<const Bytef*>(header.data()), header.size());
  header += static_cast<char>(headerCrc & 0xFF);
  header += static_cast<char>((headerCrc >> 8) & 0xFF);

  z_stream stream{};
  EXPECT_EQ(deflateInit2(&stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string deflated(deflateBound(&stream, content.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
  stream.avail_in = static_cast<uInt>(content.size());
  stream.next_out = reinterpret_cast<Bytef*>(deflated.data());
  stream.avail_out = static_cast<uInt>(deflated.size());
  EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
  deflated.resize(stream.total_out);
  deflateEnd(&stream);

  std::string trailer;
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(content.data()), content.size());
  for (int i = 0; i < 4; ++i) trailer += static_cast<char>((crc >> (8 * i)) & 0xFF);
  for (int i = 0; i < 4; ++i) trailer += static_cast<char>((content.size() >> (8 * i)) & 0xFF);
  return header + deflated + trailer;
}

TEST_F(GzstreamReading, DeliversWhatGnuGzipCompressed) {
  // Lengths around the 299-byte refill boundary catch off-by-one errors in
  // the get area.
  for (const size_t size : {1u, 298u, 299u, 300u, 598u, 1000u, 300000u}) {
    const std::string content = sampleBytes(size, static_cast<unsigned>(size));
    igzstream in(gnuGzip("data" + std::to_string(size), content).c_str());
    ASSERT_TRUE(in.good());
    EXPECT_EQ(readAll(in), content) << "size " << size;
  }
}

TEST_F(GzstreamReading, CountedReadOfTheWholeContentSucceeds) {
  const std::string content = sampleBytes(70000);
  igzstream in(gnuGzip("whole", content).c_str());
  std::string got(content.size(), '\0');
  in.read(got.data(), static_cast<std::streamsize>(got.size()));
  EXPECT_TRUE(in.good());
  EXPECT_EQ(got, content);
  EXPECT_EQ(in.peek(), EOF);
  EXPECT_TRUE(in.eof());
}

TEST_F(GzstreamReading, ShortReadSetsEofAndFail) {
  const std::string content = sampleBytes(1234);
  igzstream in(gnuGzip("short", content).c_str());
  std::string got(content.size() + 10, '\0');
  in.read(got.data(), static_cast<std::streamsize>(got.size()));
  EXPECT_EQ(in.gcount(), static_cast<std::streamsize>(content.size()));
  EXPECT_TRUE(in.eof());
  EXPECT_TRUE(in.fail());
  EXPECT_FALSE(in.bad());
  EXPECT_EQ(got.substr(0, content.size()), content);
}

TEST_F(GzstreamReading, ConcatenatedMembersReadAsOneStream) {
  const std::string first = sampleBytes(5000, 1), second = sampleBytes(700, 2);
  const std::string joined = readRaw(gnuGzip("a", first)) + readRaw(gnuGzip("b", second));
  igzstream in(writeRaw("joined.gz", joined).c_str());
  EXPECT_EQ(readAll(in), first + second);
}

TEST_F(GzstreamReading, SkipsEveryOptionalHeaderField) {
  const std::string content = sampleBytes(4000);
  igzstream in(writeRaw("fields.gz", memberWithAllHeaderFields(content)).c_str());
  EXPECT_EQ(readAll(in), content);
}

TEST_F(GzstreamReading, PassesBytesThatAreNotGzipThroughUnchanged) {
  const std::string plain = "not compressed at all\n" + sampleBytes(900);
  igzstream in(writeRaw("plain.txt", plain).c_str());
  EXPECT_EQ(readAll(in), plain);
}

TEST_F(GzstreamReading, IgnoresTrailingBytesThatStartNoMember) {
  const std::string content = sampleBytes(3000);
  const std::string file = readRaw(gnuGzip("tail", content)) + "trailing junk";
  igzstream in(writeRaw("tail2.gz", file).c_str());
  EXPECT_EQ(readAll(in), content);
}

TEST_F(GzstreamReading, TruncatedFileEndsTheStreamEarly) {
  const std::string content = sampleBytes(200000);
  const std::string whole = readRaw(gnuGzip("cut", content));
  // A cut inside the deflate data loses the rest; a cut inside the 8-byte
  // trailer may still deliver every byte, but never more than there was.
  const std::pair<size_t, bool> cuts[] = {
      {5, true}, {30, true}, {whole.size() / 2, true}, {whole.size() - 4, false}};
  for (const auto& [keep, losesData] : cuts) {
    igzstream in(writeRaw("cut.part", whole.substr(0, keep)).c_str());
    const std::string got = readAll(in);
    if (losesData) {
      EXPECT_LT(got.size(), content.size()) << "kept " << keep;
    }
    EXPECT_EQ(got, content.substr(0, got.size())) << "kept " << keep;
    EXPECT_TRUE(in.eof());
  }
}

TEST_F(GzstreamReading, FailedTrailerCheckEndsTheStream) {
  const std::string content = sampleBytes(50000);
  std::string file = readRaw(gnuGzip("crc", content));
  file[file.size() - 8] ^= 0x55;  // first byte of the CRC-32
  igzstream in(writeRaw("crc.bad.gz", file).c_str());
  std::string got(content.size(), '\0');
  in.read(got.data(), static_cast<std::streamsize>(got.size()));
  EXPECT_TRUE(in.eof());
  EXPECT_TRUE(in.fail());
  EXPECT_LT(in.gcount(), static_cast<std::streamsize>(content.size()));
}

TEST_F(GzstreamReading, EmptyMemberAndEmptyFileEndAtOnce) {
  for (const std::string& file : {gnuGzip("empty", ""), writeRaw("zero", "")}) {
    igzstream in(file.c_str());
    EXPECT_TRUE(in.good()) << file;
    EXPECT_EQ(in.peek(), EOF) << file;
    EXPECT_TRUE(in.eof()) << file;
  }
}

TEST_F(GzstreamReading, MissingFileLeavesTheStreamBad) {
  igzstream in(path("no-such-file.gz").c_str());
  EXPECT_TRUE(in.bad());
  EXPECT_FALSE(in.rdbuf()->is_open());
  EXPECT_EQ(in.peek(), EOF);
  char c;
  EXPECT_FALSE(in.read(&c, 1));
  EXPECT_EQ(in.gcount(), 0);
}

}  // namespace
}  // namespace tenvik

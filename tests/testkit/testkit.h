#pragma once
// Helpers shared by the tests of every folder.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qubo::testkit {

// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Where a test may leave files for a person to look at (actual images, diffs):
// $QUBO_TEST_OUT, or a folder under the temporary folder.
std::filesystem::path OutputDir();

std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// Little-endian byte builders for hand-made records.
struct Bytes {
  std::vector<uint8_t> b;
  Bytes& u8(uint8_t v) {
    b.push_back(v);
    return *this;
  }
  Bytes& i16(int16_t v) {
    for (int i = 0; i < 2; ++i) b.push_back(static_cast<uint8_t>(static_cast<uint16_t>(v) >> (8 * i)));
    return *this;
  }
  Bytes& i32(int32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
    return *this;
  }
  Bytes& str(const std::string& s) {
    i32(static_cast<int32_t>(s.size()));
    b.insert(b.end(), s.begin(), s.end());
    return *this;
  }
  Bytes& raw(const std::string& s) {
    b.insert(b.end(), s.begin(), s.end());
    return *this;
  }
};

}  // namespace qubo::testkit

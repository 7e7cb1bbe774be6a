// make_seeds MODULE DIR: the fuzzer's starting points. The whole module, the
// module cut at its structural edges and at fractions of its length, and
// copies with single and scattered flipped bits, more of them in the header
// where the parser decides what to read. Deterministic: same input, same seeds.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

bool Write(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_seeds MODULE DIR\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const Bytes module((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (module.size() < 256) {
    std::fprintf(stderr, "make_seeds: %s is missing or too short\n", argv[1]);
    return 1;
  }
  const std::filesystem::path dir = argv[2];
  std::filesystem::create_directories(dir);
  int written = 0;
  bool ok = true;
  const auto put = [&](const std::string& name, const Bytes& bytes) {
    ok = Write(dir / name, bytes) && ok;
    ++written;
  };

  put("whole", module);

  // Cut short: inside the header, just past it, and at fractions of the body.
  const std::size_t n = module.size();
  for (const std::size_t at : {std::size_t{16}, std::size_t{44}, std::size_t{48}, std::size_t{96}, std::size_t{128},
                               std::size_t{256}, n / 8, n / 4, n / 2, 3 * n / 4, n - 1}) {
    put("cut-" + std::to_string(at), Bytes(module.begin(), module.begin() + static_cast<std::ptrdiff_t>(at)));
  }

  // One flipped bit: 24 in the first 256 bytes, 24 anywhere.
  std::mt19937 random(1564);
  for (int i = 0; i < 48; ++i) {
    const std::size_t limit = i < 24 ? 256 : n;
    const std::size_t at = std::uniform_int_distribution<std::size_t>(0, limit - 1)(random);
    const int bit = std::uniform_int_distribution<int>(0, 7)(random);
    Bytes copy = module;
    copy[at] = static_cast<unsigned char>(copy[at] ^ (1u << bit));
    put("flip-" + std::to_string(at) + "-" + std::to_string(bit), copy);
  }

  // Scattered damage: one byte in a thousand set at random.
  for (int i = 0; i < 8; ++i) {
    Bytes copy = module;
    for (std::size_t k = 0; k < n / 1000; ++k) {
      copy[std::uniform_int_distribution<std::size_t>(0, n - 1)(random)] =
          static_cast<unsigned char>(std::uniform_int_distribution<int>(0, 255)(random));
    }
    put("noise-" + std::to_string(i), copy);
  }

  if (!ok) {
    std::fprintf(stderr, "make_seeds: cannot write into %s\n", argv[2]);
    return 1;
  }
  std::printf("make_seeds: %d seeds in %s\n", written, argv[2]);
  return 0;
}

// Writes the pictures of the bitmap buttons ("question.bmp", "full.bmp") into a folder, so they
// lie beside the program in the build and are installed with it.

#include <filesystem>
#include <fstream>
#include <iostream>

#include "app/builtin_pictures.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: r7k_make_pictures FOLDER\n";
    return 2;
  }
  for (const char* name : {"question.bmp", "full.bmp"}) {
    const auto bytes = r7k::BmpFileBytes(*r7k::BuiltinPicture(name));
    const std::filesystem::path path = std::filesystem::path(argv[1]) / name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
      std::cerr << "r7k_make_pictures: cannot write " << path << '\n';
      return 1;
    }
  }
  return 0;
}

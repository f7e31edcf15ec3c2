#pragma once
// Files for tests and benchmarks: whole-file reading and writing, and a folder of one's own.

#include <stdlib.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>

namespace lw::test {

// The file's bytes; empty when it is missing or cannot be read.
inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The file holds `bytes` and nothing else; throws std::system_error when it cannot be written.
inline void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    if (!out)
        throw std::system_error(errno, std::generic_category(), "write " + path.string());
}

// Whether one of the lines of `text` is `line`.
inline bool hasLine(const std::string& text, const std::string& line) {
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        if (l == line)
            return true;
    return false;
}

// A new, empty folder in the system's temporary folder, its name starting with `prefix`; it is
// removed with everything in it when the object goes.
class TempDir {
public:
    explicit TempDir(std::string_view prefix = "levelwatch") {
        std::string name =
            (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
        if (!::mkdtemp(name.data()))
            throw std::system_error(errno, std::generic_category(), "mkdtemp " + name);
        path_ = name;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    operator const std::filesystem::path&() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const {
        return path_ / name;
    }

private:
    std::filesystem::path path_;
};

} // namespace lw::test

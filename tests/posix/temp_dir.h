// A private folder under /tmp for one test, removed with everything in it.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace nilo::test {

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/nilo-posix-XXXXXX";
        const char* made = mkdtemp(pattern);
        m_path = made ? made : "";
    }
    ~TempDir() {
        if (m_path.empty()) return;
        std::error_code ec;
        chmod(m_path.c_str(), 0700);
        // Folders a test made read-only must be writable again to empty them.
        for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            if (it->is_directory(ec)) chmod(it->path().c_str(), 0700);
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool Ok() const { return !m_path.empty(); }
    const std::string& Path() const { return m_path; }
    std::string Path(const std::string& name) const { return m_path + "/" + name; }

    // The same file as the program names it: drive letter and backslashes.
    std::u16string WinPath(const std::string& name) const {
        std::u16string out = u"C:";
        for (char c : Path(name)) out += c == '/' ? u'\\' : char16_t(static_cast<unsigned char>(c));
        return out;
    }

private:
    std::string m_path;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string Utf16LeWithBom(const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) bytes += char(c & 0xFF), bytes += char(c >> 8);
    return bytes;
}

}  // namespace nilo::test

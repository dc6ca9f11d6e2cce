// A scratch directory for one test, removed with everything in it when the test ends.
#pragma once
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class TempDir {
public:
    TempDir() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/zrtest_XXXXXX";
        if (mkdtemp(pattern.data())) path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Host path of `name` inside the directory.
    std::string Host(const std::string& name = "") const { return name.empty() ? path_ : path_ + "/" + name; }
    // The same path in the game's form (backslashes).
    std::string Game(const std::string& name = "") const {
        std::string p = Host(name);
        for (char& c : p) {
            if (c == '/') c = '\\';
        }
        return p;
    }
    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(Host(name), std::ios::binary) << bytes;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(Host(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::string path_;
};

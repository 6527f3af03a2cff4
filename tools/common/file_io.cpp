// Whole-file reads and writes.
#include "common/file_io.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/text.h"

#if defined(_WIN32)
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <dirent.h>
#endif

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

bool IsDirectory(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == S_IFDIR;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
    bytes.clear();
    if (IsDirectory(path)) {
        error = Format("cannot read %s: it is a directory", path.c_str());
        return false;
    }
    FileHandle file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        error = Format("cannot read %s: %s", path.c_str(), std::strerror(errno));
        return false;
    }
    std::uint8_t buffer[65536];
    for (;;) {
        size_t n = std::fread(buffer, 1, sizeof buffer, file.get());
        bytes.insert(bytes.end(), buffer, buffer + n);
        if (n < sizeof buffer) break;
    }
    if (std::ferror(file.get())) {
        error = Format("cannot read %s: read error", path.c_str());
        return false;
    }
    return true;
}

bool WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes,
                    std::string& error) {
    if (path == "-") {
        BinaryStdout();
        bool written = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
        if (std::fflush(stdout) != 0) written = false;
        if (!written) error = "cannot write to standard output";
        return written;
    }
    FileHandle file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        error = Format("cannot write %s: %s", path.c_str(), std::strerror(errno));
        return false;
    }
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    // The close flushes: a full disk shows there.
    if (std::fclose(file.release()) != 0) written = false;
    if (!written) error = Format("cannot write %s: %s", path.c_str(), std::strerror(errno));
    return written;
}

bool MakeDirectory(const std::string& path, std::string& error) {
    if (IsDirectory(path)) return true;
#if defined(_WIN32)
    int made = _mkdir(path.c_str());
#else
    int made = mkdir(path.c_str(), 0777);
#endif
    if (made != 0) {
        error = Format("cannot make directory %s: %s", path.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

std::vector<std::string> FileNames(const std::string& dir) {
    std::vector<std::string> names;
#if defined(_WIN32)
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            names.emplace_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
#else
    std::unique_ptr<DIR, int (*)(DIR*)> folder(opendir(dir.c_str()), closedir);
    if (!folder) return names;
    while (const dirent* entry = readdir(folder.get()))
        if (!IsDirectory(dir + "/" + entry->d_name)) names.emplace_back(entry->d_name);
#endif
    return names;
}

bool RemoveFile(const std::string& path, std::string& error) {
    if (std::remove(path.c_str()) == 0) return true;
    error = Format("cannot remove %s: %s", path.c_str(), std::strerror(errno));
    return false;
}

void BinaryStdout() {
#if defined(_WIN32)
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}

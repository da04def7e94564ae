// A temporary folder for one test, removed with everything in it afterwards.
#pragma once
#include <string>

namespace kp::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& rel) const { return m_path + "/" + rel; }

    // Creates the file (and its folders) with the given content.
    std::string write(const std::string& rel, const std::string& content) const;
    std::string mkdir(const std::string& rel) const;

private:
    std::string m_path;
};

std::string readFile(const std::string& path);
// Runs a shell command; returns its exit status and fills out with its standard output.
int run(const std::string& command, std::string* out = nullptr);
// Sets a file's modification time.
void touch(const std::string& path, long long epochSeconds);

} // namespace kp::test

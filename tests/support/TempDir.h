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
// Environment settings, for a shell command line, that start a program's clock at a local
// time ("2010-12-03 15:30:00") and let it run on. The library is preloaded into the program
// itself: the faketime wrapper keeps a named semaphore per process id, and one left behind by
// a killed run makes a later run of the same id fail at random.
std::string clockAt(const std::string& when);
// Sets a file's modification time.
void touch(const std::string& path, long long epochSeconds);

} // namespace kp::test

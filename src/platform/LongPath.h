// System calls on paths of any length. Linux takes a path whole only when it is shorter than
// PATH_MAX (4,096 bytes); a project may hold deeper files than that. A short path goes to the
// system as it is; a longer one is reached by opening its folders a few at a time, each
// relative to the one before, and the call is then made relative to the folder that holds
// its last part.
#pragma once
#include <string>

namespace kp {

// The folder holding a path's last part, opened if the path is too long to be used whole.
class ParentFolder {
public:
    // False (errno set) when the folders on the way cannot be opened.
    bool open(const std::string& path);
    ~ParentFolder();
    ParentFolder() = default;
    ParentFolder(const ParentFolder&) = delete;
    ParentFolder& operator=(const ParentFolder&) = delete;

    int fd() const { return m_fd; }                     // AT_FDCWD for a short path
    const char* name() const { return m_name.c_str(); } // the path itself, or its last part

private:
    int m_fd = -100; // AT_FDCWD
    bool m_owned = false;
    std::string m_name;
};

// ::open of a path of any length; -1 with errno set on failure.
int openAnyLength(const std::string& path, int flags, unsigned mode = 0);
// ::rename and ::unlink of paths of any length; false with errno set on failure.
bool renameAnyLength(const std::string& from, const std::string& to);
bool unlinkAnyLength(const std::string& path);

} // namespace kp

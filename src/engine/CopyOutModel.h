// What the "Copy files out…" window shows and decides: the files of a stored state, which of
// them a filter keeps, when Copy may be pressed, and the words for the outcome. The copy
// itself is the history layer's copyFilesOut, with all its refusals.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "history/CopyOut.h"
#include "store/Project.h"

namespace kp {

struct CopyRow {
    std::string path; // the item's name, as stored ("Site/docs/a.txt")
    std::string size; // in bytes
};

class CopyOutModel {
public:
    CopyOutModel(const Project& project, std::string archive);

    std::string caption() const; // "Copy files out of NAME.zip"
    // Reads the state's files (folders are not offered); false with loadError() when it
    // cannot be read.
    bool load();
    const std::vector<CopyRow>& rows() const { return m_rows; }
    const std::string& loadError() const { return m_loadError; }

    // The filter keeps the rows whose path contains it, ignoring case.
    static bool rowShown(const CopyRow& row, const std::string& filter);
    // Copy needs a target folder and at least one chosen file.
    static bool copyEnabled(const std::string& folder, std::size_t chosen);
    static int percent(const CopyProgress& progress);

    // Copies the chosen paths into the folder as the user wrote it; nothing happens without a
    // folder or a chosen path.
    CopyResult copy(const std::vector<std::string>& paths, const std::string& folder, bool overwrite,
                    const CopyProgressCallback& progress = {}) const;
    // The refusal to replace files without being asked to.
    static std::string existingText(const std::vector<std::string>& existing);
    // The status line after a copy.
    static std::string copiedText(const CopyResult& result, const std::string& folder);

private:
    const Project& m_project;
    std::string m_archive;
    std::vector<CopyRow> m_rows;
    std::string m_loadError;
};

} // namespace kp

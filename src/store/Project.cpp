#include "store/Project.h"

#include "platform/FileSystem.h"
#include "store/IgnoreRules.h"
#include "store/Layout.h"

namespace kp {

IgnoreRules readIgnoreRules(const Project& project) {
    if (project.projectKind != ProjectKind::Folder) return {};
    std::string text;
    // A missing or unreadable ignore file leaves everything in: nothing is lost by it.
    if (!readRegularFile(project.projectPath + project.projectName() + "/" + kIgnoreFileName, kMaxIgnoreFileBytes, text))
        return {};
    return IgnoreRules::parse(text);
}

ProjectListing listProjectItems(const Project& project, ScanOptions options) {
    ProjectListing listing;
    if (project.projectKind == ProjectKind::File) {
        options.mask = project.projectName();
        options.literalMask = true;
        ScanProject(listing, project.projectPath, options);
        if (!listing.empty()) listing.erase(listing.begin()); // the folder's own line: only the file is the project
    } else {
        options.excluded = {kArchiveFolderName, kOldArchiveFolderName};
        IgnoreRules rules;
        if (!options.ignore) {
            rules = readIgnoreRules(project);
            options.ignore = &rules;
        }
        ScanProject(listing, project.projectPath + project.projectName(), options);
    }
    return listing;
}

} // namespace kp

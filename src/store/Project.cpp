#include "store/Project.h"

#include "store/Layout.h"

namespace kp {

ProjectListing listProjectItems(const Project& project, ScanOptions options) {
    ProjectListing listing;
    if (project.projectKind == ProjectKind::File) {
        options.mask = project.projectName();
        options.literalMask = true;
        ScanProject(listing, project.projectPath, options);
        if (!listing.empty()) listing.erase(listing.begin()); // the folder's own line: only the file is the project
    } else {
        options.excluded = {kArchiveFolderName, kOldArchiveFolderName};
        ScanProject(listing, project.projectPath + project.projectName(), options);
    }
    return listing;
}

} // namespace kp

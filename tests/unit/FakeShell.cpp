// The shell side of the in-memory platform: links, started programs, opened documents.
#include "platform/Error.h"
#include "platform/Shell.h"
#include "tests/unit/FakePlatform.h"

namespace platform {

void WriteShellLink(const std::string& target, const std::string& workingDirectory,
                    const std::string& linkPath) {
    auto& world = fake::TheWorld();
    if (!world.linkFailure.empty()) throw Error(world.linkFailure);
    world.links[linkPath] = {target, workingDirectory};
    world.files[linkPath] = "shell link";
}

void StartProcess(const std::string& path, const std::string& currentDirectory) {
    fake::TheWorld().started.emplace_back(path, currentDirectory);
}

void OpenDocument(const std::string& path) {
    fake::TheWorld().opened.push_back(path);
}

void SetShellOwner(void*) {}

std::string UserDesktopFolder() {
    return fake::TheWorld().shellDesktop;
}

std::string CommonProgramsFolder() {
    return fake::TheWorld().shellCommonPrograms;
}

void NotifyAssociationsChanged() {
    ++fake::TheWorld().associationNotices;
}

} // namespace platform

#include "EngineFixture.h"

#include <algorithm>
#include <cstdlib>

#include "platform/FileSystem.h"
#include "zip/ZipArchive.h"

namespace kp::test {

OptionsChoice TestHost::openOptions(const RunState& state) {
    ++optionsShown;
    if (onOptions) onOptions(state);
    if (answers.empty()) return okWith();
    OptionsChoice c = answers.front();
    answers.pop_front();
    return c;
}

OptionsChoice okWith(const std::string& comment, int status) {
    OptionsChoice c;
    c.ok = true;
    c.comment = comment;
    c.projectStatus = status;
    c.versionPart1 = c.versionPart2 = "0";
    return c;
}

EngineTest::EngineTest() {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) m_savedConfig = old;
    setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
    at(2010, 12, 3, 15, 30);
}

EngineTest::~EngineTest() {
    if (m_savedConfig.empty()) unsetenv("XDG_CONFIG_HOME");
    else setenv("XDG_CONFIG_HOME", m_savedConfig.c_str(), 1);
}

void EngineTest::at(int year, int month, int day, int hour, int minute) {
    m_clock.set(fromLocalTime({year, month, day, hour, minute, 10}));
}

RunOutcome EngineTest::runOnce(const std::string& project, TestHost& host, bool ctrlHeld) {
    Engine engine(host, m_clock);
    host.engine = &engine;
    engine.start({m_dir / project, ctrlHeld});
    if (m_beforeRun) m_beforeRun(engine);
    host.run(engine);
    m_lastArchive = engine.storedArchive();
    m_lastState = engine.state();
    m_lastIncomplete = engine.incomplete();
    m_lastFailure = engine.failure();
    return engine.outcome();
}

std::vector<std::string> EngineTest::archives(const std::string& archiveFolder) const {
    std::vector<std::string> names;
    for (const auto& fi : listFolder(m_dir / archiveFolder))
        if (!fi.isFolder) names.push_back(fi.name);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> EngineTest::items(const std::string& archivePath) const {
    ZipArchive zip;
    zip.open(archivePath);
    std::vector<std::string> names;
    for (std::size_t i = 0; i < zip.count(); ++i) names.push_back(zip.item(i).fileName);
    return names;
}

std::string EngineTest::member(const std::string& archivePath, const std::string& name) const {
    ZipArchive zip;
    zip.open(archivePath);
    return zip.extractToString(name);
}

} // namespace kp::test

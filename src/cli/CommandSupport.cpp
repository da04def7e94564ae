#include "cli/CommandSupport.h"

#include <cstdio>

#include "engine/EntryChecks.h"
#include "engine/Startup.h"
#include "hosts/ConsoleHost.h"

namespace kp::cli {

bool ArgWalker::next() {
    if (++m_at >= m_args.size()) return false;
    if (!m_optionsEnded && m_args[m_at] == "--") {
        m_optionsEnded = true;
        return next();
    }
    return true;
}

bool ArgWalker::takeValue(std::string& out) {
    if (m_at + 1 >= m_args.size()) return false;
    out = m_args[++m_at];
    return true;
}

std::optional<RunState> openProject(const std::string& param) {
    const EntryCheck check = checkEntry(param);
    for (const auto& w : check.warnings)
        std::fprintf(stderr, "Warning: %s\n", printable(forTerminal(w), true).c_str());
    if (!check.ok()) return std::nullopt;
    RunState state;
    resolveProjectItem(state, check.param);
    state.archives =
        FindArchives(state.archiveFolder, kRepositoryName, state.projectName(), systemClock());
    return state;
}

namespace {

// Length of the valid UTF-8 sequence at text[i], or 0.
std::size_t utf8SequenceAt(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (n == 0 || i + n > text.size()) return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
    std::uint32_t cp = n == 1 ? c : c & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k)
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    const bool overlong = (n == 2 && cp < 0x80) || (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000);
    if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

bool isControl(std::string_view sequence) {
    const auto c = static_cast<unsigned char>(sequence[0]);
    if (sequence.size() == 1) return c < 0x20 || c == 0x7F;
    // C1 controls (U+0080..U+009F): some terminals act on them as on ESC sequences.
    return sequence.size() == 2 && c == 0xC2 && static_cast<unsigned char>(sequence[1]) < 0xA0;
}

} // namespace

std::string printable(std::string_view text, bool keepLineBreaks) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = utf8SequenceAt(text, i);
        const std::string_view sequence = text.substr(i, n ? n : 1);
        if (n && (!isControl(sequence) || (keepLineBreaks && sequence == "\n"))) {
            out += sequence;
        } else {
            for (unsigned char c : sequence) {
                char hex[5];
                std::snprintf(hex, sizeof hex, "\\x%02x", c);
                out += hex;
            }
        }
        i += sequence.size();
    }
    return out;
}

int failed(const std::string& message) {
    std::fprintf(stderr, "kpad: %s\n", printable(forTerminal(message), true).c_str());
    return exitCode(FailureKind::Refused);
}

int failed(const Failure& failure) {
    std::fprintf(stderr, "kpad: %s\n", printable(forTerminal(failure.text), true).c_str());
    return exitCode(failure.kind);
}

} // namespace kp::cli

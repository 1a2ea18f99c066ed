#include "tests/support/gui_e2e.h"

#include "winemu/profile.h"
#include "winemu/registry.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include <nlohmann/json.hpp>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <thread>

#include <sys/types.h>

namespace zel::test {

namespace {

std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

// A process that has left but was never reaped (adopted by an init that does not reap) has
// left all the same.
bool gone(pid_t pid) {
    if (::kill(pid, 0) != 0 && errno == ESRCH)
        return true;
    const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    const auto paren = stat.rfind(')');
    return paren != std::string::npos && stat.size() > paren + 2 && stat[paren + 2] == 'Z';
}

} // namespace

void PrintTo(const ProgmanItem& item, std::ostream* out) {
    *out << "{\"" << item.command << "\", \"" << item.name << "\", \"" << item.icon << "\"}";
}

void EndToEndTest::SetUp() {
    // Program Manager, started by the wizard's first conversation, leaves soon after the last
    // one ends, so every test can wait for it instead of killing it.
    ::setenv("ZEL_PROGMAN_IDLE", "0.3", 1);
    WizardTest::SetUp();
}

void EndToEndTest::TearDown() {
    // Ending the wizard ends the conversation; the server then leaves by itself.
    WizardTest::TearDown();
    EXPECT_TRUE(awaitProgmanGone()) << "Program Manager did not leave after its idle time";
    ::unsetenv("ZEL_PROGMAN_IDLE");
    // For a look at what a run left: $ZEL_E2E_KEEP/<test name>/ gets the machine and medium.
    if (const char* keep = std::getenv("ZEL_E2E_KEEP"); keep != nullptr && *keep != '\0') {
        const fs::path to =
            fs::path(keep) / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::error_code ec;
        fs::remove_all(to, ec);
        fs::create_directories(to, ec);
        fs::copy(prefix, to / "prefix",
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
        fs::copy(medium(), to / "medium", fs::copy_options::recursive, ec);
        EXPECT_FALSE(ec) << "cannot keep the machine in " << to << ": " << ec.message();
    }
}

fs::file_time_type EndToEndTest::kitTime() {
    using namespace std::chrono;
    return file_clock::from_sys(sys_days{year{1998} / March / 14} + hours{10} + minutes{20} +
                                seconds{31});
}

void EndToEndTest::copyDemoKit() {
    fs::copy(sourceDir() / "kit", medium(),
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    fs::remove(medium() / "README.md");
    fs::remove(medium() / ".gitattributes");
    for (const auto& entry : fs::recursive_directory_iterator(medium())) {
        if (entry.is_regular_file())
            fs::last_write_time(entry.path(), kitTime());
    }
}

void EndToEndTest::click(QAbstractButton* button) {
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isVisible() && button->isEnabled())
        << button->objectName().toStdString() << " of "
        << button->window()->objectName().toStdString() << " cannot be clicked";
    button->click();
    QApplication::processEvents();
}

QString EndToEndTest::currentPage() const {
    const QStringList pages = visiblePages();
    return pages.size() == 1 ? pages.front() : QString();
}

void EndToEndTest::screenshot(QWidget& page, const std::string& name) {
    const char* dir = std::getenv("ZEL_SCREENSHOTS");
    if (dir == nullptr || *dir == '\0')
        return;
    QApplication::processEvents();
    const QImage client = page.grab().toImage();

    // The window as the user sees it: a 3-pixel grey frame and the caption bar of the era.
    constexpr int kFrame = 3;
    constexpr int kCaption = 18;
    QImage shot(client.width() + 2 * kFrame, client.height() + 2 * kFrame + kCaption,
                QImage::Format_RGB32);
    shot.fill(QColor(0xc0, 0xc0, 0xc0));
    QPainter painter(&shot);
    painter.setPen(QColor(0xff, 0xff, 0xff));
    painter.drawLine(1, 1, shot.width() - 3, 1);
    painter.drawLine(1, 1, 1, shot.height() - 3);
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawLine(1, shot.height() - 2, shot.width() - 2, shot.height() - 2);
    painter.drawLine(shot.width() - 2, 1, shot.width() - 2, shot.height() - 2);
    painter.setPen(QColor(0, 0, 0));
    painter.drawLine(0, shot.height() - 1, shot.width() - 1, shot.height() - 1);
    painter.drawLine(shot.width() - 1, 0, shot.width() - 1, shot.height() - 1);
    const QRect caption(kFrame, kFrame, client.width(), kCaption);
    painter.fillRect(caption, QColor(0, 0, 0x80));
    QFont font = page.font();
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(caption.adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter,
                     page.windowTitle());
    painter.drawImage(kFrame, kFrame + kCaption, client);
    painter.end();

    const fs::path file = fs::path(dir) / (name + ".png");
    fs::create_directories(file.parent_path());
    const QImage indexed = shot.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    EXPECT_TRUE(indexed.save(QString::fromStdString(file.string()), "PNG", 9)) << file;
}

std::vector<ProgmanGroup> EndToEndTest::progmanGroups() {
    const std::string command = "ZEL_PREFIX=" + shellQuoted(prefix.string()) + " " +
                                shellQuoted((binDir() / "progman").string()) + " --list --json";
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << "cannot run " << command;
        return {};
    }
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    const int status = ::pclose(pipe);
    if (status != 0) {
        ADD_FAILURE() << command << " ended with " << status << ": " << output;
        return {};
    }
    std::vector<ProgmanGroup> groups;
    try {
        const auto json = nlohmann::json::parse(output);
        for (const auto& g : json.at("groups")) {
            ProgmanGroup group{g.at("name").get<std::string>(), {}};
            for (const auto& i : g.at("items"))
                group.items.push_back({i.at("command").get<std::string>(),
                                       i.at("name").get<std::string>(),
                                       i.at("icon").get<std::string>()});
            groups.push_back(std::move(group));
        }
    } catch (const std::exception& e) {
        ADD_FAILURE() << "progman --list --json printed no groups (" << e.what() << "): " << output;
    }
    return groups;
}

const ProgmanGroup* EndToEndTest::findGroup(const std::vector<ProgmanGroup>& groups,
                                            std::string_view name) {
    for (const ProgmanGroup& group : groups) {
        if (group.name == name)
            return &group;
    }
    return nullptr;
}

bool EndToEndTest::awaitProgmanGone() {
    // The server names its pid in its lock file.
    const std::string text = readFile(prefix / "progman.lock");
    if (text.empty())
        return true;
    const auto pid = static_cast<pid_t>(std::stol(text));
    for (int i = 0; i < 800; ++i) {
        if (gone(pid))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    return false;
}

std::string EndToEndTest::awaitFile(const fs::path& path) {
    std::string text;
    for (int i = 0; i < 500 && text.empty(); ++i) {
        text = readFile(path);
        if (text.empty())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return text;
}

fs::path EndToEndTest::host(std::string_view winPath) {
    const auto path = machine().toHost(winPath);
    EXPECT_TRUE(path.has_value()) << winPath;
    return path.value_or(fs::path());
}

void EndToEndTest::expectCopied(const fs::path& source, const fs::path& copy) {
    ASSERT_TRUE(fs::is_regular_file(copy)) << copy << " is missing";
    EXPECT_EQ(readFile(copy), readFile(source)) << copy;
    const auto difference = fs::last_write_time(copy) - fs::last_write_time(source);
    EXPECT_LE(std::chrono::abs(std::chrono::duration_cast<std::chrono::milliseconds>(difference)),
              std::chrono::seconds(2))
        << copy << " does not keep the date of " << source;
}

std::string EndToEndTest::profileValue(std::string_view winPath, std::string_view section,
                                       std::string_view key) {
    const ProfileFile file(machine(), std::string(winPath));
    return file.readText(section, key, "(none)");
}

std::string EndToEndTest::registryValue(std::string_view key, std::string_view name) {
    Registry registry(machine().registryFile());
    if (!registry.openKey(key, false))
        return "(no key)";
    std::string value = registry.valueExists(name) ? registry.readString(name) : "(no value)";
    registry.closeKey();
    return value;
}

} // namespace zel::test

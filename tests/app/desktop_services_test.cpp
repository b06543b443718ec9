// The desktop's helpers (the file manager, the folder opener, xdg-mime and
// the editor's launcher) are started without the window waiting on them:
// stand-ins on PATH hold until the test lets them go.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QUrl>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/app_test_support.h"
#include "app/desktop/desktop_services.h"
#include "engine/scoped_env.h"
#include "support/test_support.h"

namespace tembrel::app {
namespace {

std::string Contents(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A program that notes its arguments in NAME.started, holds until the
// release file appears (20 s at most), prints `output` and notes NAME.ended.
void WriteStandIn(const test::ScratchDir& bin, const std::string& markers, const std::string& name,
                  const std::string& output, int status) {
    const std::string path = bin.File(name);
    std::ofstream script(path);
    script << "#!/bin/sh\n"
           // Written aside and renamed, so a marker the test sees is whole.
           << "echo \"$@\" > " << test::ShellQuote(markers + "/" + name + ".part") << " && mv "
           << test::ShellQuote(markers + "/" + name + ".part") << " "
           << test::ShellQuote(markers + "/" + name + ".started") << "\n"
           << "i=0\n"
           << "while [ ! -e " << test::ShellQuote(markers + "/release") << " ] && [ $i -lt 200 ]; do\n"
           << "  sleep 0.1; i=$((i+1))\n"
           << "done\n"
           << "echo '" << output << "'\n"
           << ": > " << test::ShellQuote(markers + "/" + name + ".ended") << "\n"
           << "exit " << status << "\n";
    script.close();
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

// A name that is not UTF-8 reaches each helper as its bytes: as they are in
// an argument, percent-encoded in a file:// address.
TEST(DesktopServicesTest, FileManagerAndEditorStartWithoutTheWindowWaitingForThem) {
    test::TestApplication();
    // A real file manager on the bus would take the call, and the folder
    // opener this test waits for would never run.
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && bus.interface()->isServiceRegistered("org.freedesktop.FileManager1"))
        GTEST_SKIP() << "a file manager answers on the session bus";
    for (const auto& [name, encoded] : {std::pair<std::string, std::string>{"song", "song"}, {"caf\xE9", "caf%E9"}}) {
        SCOPED_TRACE(encoded);
        test::ScratchDir bin, markers, files;
        WriteStandIn(bin, markers.Path(), "dbus-send", "", 1);
        WriteStandIn(bin, markers.Path(), "xdg-open", "", 0);
        WriteStandIn(bin, markers.Path(), "xdg-mime", "tembrel-test-editor.desktop", 0);
        WriteStandIn(bin, markers.Path(), "gtk-launch", "", 0);
        test::ScopedEnv env;
        env.Set("PATH", bin.Path() + ":" + std::getenv("PATH"));
        std::filesystem::create_directory(files.File(name));
        const std::string swf = files.File(name + "/" + name + ".swf"), html = files.File(name + "/" + name + ".htm");
        test::WriteAll(swf, {1});
        test::WriteAll(html, {1});
        const std::string folder = std::filesystem::canonical(files.Path()).string();
        const auto marker = [&](const std::string& helper) { return markers.File(helper); };
        const auto started = [&](const std::string& helper) {
            EXPECT_TRUE(test::WaitFor([&] { return std::filesystem::exists(marker(helper + ".started")); }, 60000));
            const std::string arguments = Contents(marker(helper + ".started"));
            std::filesystem::remove(marker(helper + ".started"));
            return arguments;
        };

        // Each call is back while its helper is still held.
        Desktop().ShowInFileManager(swf);
        Desktop().OpenInTextEditor(html);
        EXPECT_FALSE(std::filesystem::exists(marker("dbus-send.ended")));
        EXPECT_FALSE(std::filesystem::exists(marker("xdg-open.ended")));
        EXPECT_FALSE(std::filesystem::exists(marker("xdg-mime.ended")));

        // The helpers really ran: with no file manager answering on the bus,
        // the folder is opened; the editor the desktop names gets the page.
        EXPECT_EQ(started("xdg-open"), folder + "/" + name + "\n");
        EXPECT_TRUE(test::WaitFor([&] { return std::filesystem::exists(marker("xdg-mime.started")); }, 60000));
        // The page's default application (Open HTML File, Play) gets its address.
        Desktop().OpenFile(html);
        const std::string address = QUrl::fromLocalFile(QString::fromStdString(folder)).toEncoded().toStdString();
        EXPECT_EQ(started("xdg-open"), address + "/" + encoded + "/" + encoded + ".htm\n");
        test::WriteAll(marker("release"), {});
        EXPECT_TRUE(test::WaitFor([&] { return std::filesystem::exists(marker("gtk-launch.started")); }, 60000));
        EXPECT_EQ(Contents(marker("gtk-launch.started")), "tembrel-test-editor " + html + "\n");
        // The held helpers finish before their folders go.
        test::WaitFor([&] { return std::filesystem::exists(marker("xdg-open.ended")); }, 60000);
    }
}

}  // namespace
}  // namespace tembrel::app

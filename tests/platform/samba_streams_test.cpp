// Streams that Windows clients keep on a Samba share: a real smbd on the loopback address with a
// share using vfs_streams_xattr in the test's folder. smbclient writes streams through SMB and
// Tessaly's file layer lists and reads them on the share's folder; what Tessaly writes there,
// smbclient reads back.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "platform/linux/linux_filesystem.h"
#include "support/tempdir.h"

using namespace tessaly;

namespace {

int freePort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(s);
    return port;
}

bool accepts(int port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(std::uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

// smbd for one share of a temporary folder, stopped when the object goes.
class SambaServer {
public:
    explicit SambaServer(const std::string& root) : root_(root) {}
    ~SambaServer()
    {
        if (pid_ > 0) {
            // smbd's own children go with it: they share its process group.
            ::kill(-pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    // "" when the server answers, otherwise why it does not.
    std::string start()
    {
        if (::geteuid() != 0)
            return "smbd needs root to start";
        if (std::system("command -v smbd >/dev/null && command -v smbclient >/dev/null") != 0)
            return "smbd or smbclient is not installed (Debian samba, smbclient)";
        port_ = freePort();
        std::system(("mkdir -p '" + root_ + "/share' '" + root_ + "/run'").c_str());
        // Every place the server keeps state is inside the test's folder.
        std::ofstream(root_ + "/smb.conf")
            << "[global]\n  server role = standalone server\n  interfaces = 127.0.0.1\n  bind interfaces only = yes\n"
            << "  smb ports = " << port_ << "\n  disable netbios = yes\n  load printers = no\n"
            << "  printcap name = /dev/null\n  disable spoolss = yes\n  map to guest = Bad User\n"
            << "  lock directory = " << root_ << "/run\n  state directory = " << root_ << "/run\n"
            << "  cache directory = " << root_ << "/run\n  private dir = " << root_ << "/run\n"
            << "  pid directory = " << root_ << "/run\n  ncalrpc dir = " << root_ << "/run/ncalrpc\n"
            << "  log file = " << root_ << "/log.%m\n"
            << "[share]\n  path = " << root_ << "/share\n  read only = no\n  guest ok = yes\n"
            << "  force user = root\n  vfs objects = streams_xattr\n";
        pid_ = ::fork();
        if (pid_ == 0) {
            // A group of its own: smbd ends its whole group when told to stop, which is not ours.
            ::setpgid(0, 0);
            const std::string config = root_ + "/smb.conf", log = root_ + "/smbd.log";
            std::freopen(log.c_str(), "w", stdout);
            std::freopen(log.c_str(), "a", stderr);
            ::execlp("smbd", "smbd", "--foreground", "--no-process-group", "--debug-stdout", "-s", config.c_str(),
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // A loaded machine may take long to start smbd: the wait is for its answer, bounded only
        // against a server that hangs.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        while (std::chrono::steady_clock::now() < deadline) {
            if (accepts(port_))
                return "";
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                return "smbd ended at start; see " + root_ + "/smbd.log";
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return "smbd did not answer on 127.0.0.1";
    }

    // Runs smbclient commands in folder local; true when smbclient succeeded.
    bool client(const std::string& local, const std::string& commands) const
    {
        const std::string line = "cd '" + local + "' && smbclient -N //127.0.0.1/share -p " + std::to_string(port_) +
                                 " -c '" + commands + "' >>'" + root_ + "/client.log' 2>&1";
        return std::system(line.c_str()) == 0;
    }

    std::string share() const { return root_ + "/share"; }

private:
    std::string root_;
    int port_ = 0;
    pid_t pid_ = -1;
};

}  // namespace

TEST(SambaStreams, WindowsClientsAndTessalySeeTheSameStreams)
{
    test::TempDir dir;
    SambaServer server(dir.path());
    if (const std::string reason = server.start(); !reason.empty())
        GTEST_SKIP() << reason;

    const std::string zone = "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://example.org/a.zip\r\n";
    const std::string second = std::string("bytes\0with NUL\n", 15);
    dir.write("data.txt", "main data\n");
    dir.write("zone.txt", zone);
    dir.write("second.bin", second);
    ASSERT_TRUE(server.client(dir.path(), "put data.txt file.txt; put zone.txt file.txt:Zone.Identifier; "
                                          "put second.bin file.txt:second"));

    LinuxFileSystem fs;
    const std::string file = server.share() + "/file.txt";
    // In the file system's order, which is not the order of writing; the server's own DOSATTRIB
    // record is no stream.
    std::vector<StreamInfo> listed = fs.listStreams(file);
    std::sort(listed.begin(), listed.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    EXPECT_EQ(listed, (std::vector<StreamInfo>{{"Zone.Identifier", zone.size()}, {"second", second.size()}}));
    auto read = fs.readItem({file, "Zone.Identifier"});
    ASSERT_TRUE(read.ok()) << read.error().message;
    EXPECT_EQ(read.value(), zone);
    read = fs.readItem({file, "second"});
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.value(), second);
    EXPECT_TRUE(fs.streamExists(file, "second"));

    // A new stream and a replaced one, both through the piecewise writer the saves use.
    const std::string written = std::string("from Tessaly\0\xff\n", 15), replaced = "replaced";
    for (const auto& [name, data] : {std::pair{std::string("tessaly"), written}, std::pair{std::string("second"), replaced}}) {
        auto writer = fs.openWrite({file, name});
        ASSERT_TRUE(writer.ok());
        ASSERT_FALSE(writer.value()->write(data));
        ASSERT_FALSE(writer.value()->finish());
    }
    ASSERT_TRUE(server.client(dir.path(), "get file.txt:tessaly got1.bin; get file.txt:second got2.bin; "
                                          "get file.txt got0.txt"));
    EXPECT_EQ(test::ReadFile(dir.file("got1.bin")), written);
    EXPECT_EQ(test::ReadFile(dir.file("got2.bin")), replaced);
    EXPECT_EQ(test::ReadFile(dir.file("got0.txt")), "main data\n");
    EXPECT_EQ(fs.listStreams(file).size(), 3u);

    // A whole save under a new name assembles the file beside its target first, where it has no
    // marks of the server yet: a folder that a client made tells that the streams are for clients.
    ASSERT_TRUE(server.client(dir.path(), "mkdir sub"));
    auto pending = fs.createPending(server.share() + "/sub/new.txt");
    ASSERT_TRUE(pending.ok()) << pending.error().message;
    ASSERT_FALSE(fs.writeItem({pending.value()->path(), {}}, "new main"));
    ASSERT_FALSE(fs.writeItem({pending.value()->path(), "child"}, "child data"));
    ASSERT_FALSE(pending.value()->commit());
    ASSERT_TRUE(server.client(dir.path(), "get sub/new.txt:child got3.bin"));
    EXPECT_EQ(test::ReadFile(dir.file("got3.bin")), "child data");
}

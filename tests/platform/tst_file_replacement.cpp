// Replacing a file keeps what belongs to the file, not to its content.
#include "FileReplacement.h"
#include "TestFiles.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstring>

namespace fs = std::filesystem;

namespace {

// A POSIX access control list as the system stores it (version 2, entries
// sorted by tag), for a file that also grants user 4321 read and write.
std::string accessAcl()
{
    struct Entry
    {
        std::uint16_t tag, perm;
        std::uint32_t id;
    };
    const Entry entries[] = {{0x01, 6, ~0u}, {0x02, 6, 4321}, {0x04, 4, ~0u}, {0x10, 6, ~0u}, {0x20, 0, ~0u}};
    std::string blob(4, '\0');
    blob[0] = 2;
    for (const Entry &entry : entries) {
        char bytes[8];
        std::memcpy(bytes, &entry.tag, 2);
        std::memcpy(bytes + 2, &entry.perm, 2);
        std::memcpy(bytes + 4, &entry.id, 4);
        blob.append(bytes, 8);
    }
    return blob;
}

std::string attribute(const fs::path &path, const char *name)
{
    char value[256];
    const ssize_t size = ::lgetxattr(path.c_str(), name, value, sizeof value);
    return size < 0 ? std::string() : std::string(value, static_cast<std::size_t>(size));
}

std::error_code replace(const fs::path &path, const std::string &text, std::vector<std::string> *notKept = nullptr)
{
    platform::FileReplacement file(path);
    std::error_code error = file.open();
    if (!error)
        error = file.write(text.data(), text.size());
    if (!error)
        error = file.commit();
    if (notKept)
        *notKept = file.notKept();
    return error;
}

// Child mode: replaces a file as whichever user runs it and prints what was not kept.
int replaceAsChild(const char *path)
{
    std::vector<std::string> notKept;
    if (const std::error_code error = replace(path, "new\n", &notKept)) {
        std::printf("error: %s\n", error.message().c_str());
        return 1;
    }
    for (const std::string &what : notKept)
        std::printf("%s;", what.c_str());
    return 0;
}

} // namespace

class FileReplacementTest : public QObject
{
    Q_OBJECT

private slots:
    // Root replacing a user's file: owner, group, permissions, access
    // control list and extended attributes stay; nothing is left beside it.
    void keepsWhatBelongsToTheFile()
    {
        if (::geteuid() != 0)
            QSKIP("giving a file to another user needs root");
        QTemporaryDir dir;
        const fs::path file = fs::path(dir.path().toStdString()) / "notes.txt";
        writeFile(file, "old\n");
        QCOMPARE(::chown(file.c_str(), 1234, 5678), 0);
        const std::string acl = accessAcl();
        const bool hasAcl = ::setxattr(file.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) == 0;
        QCOMPARE(::chmod(file.c_str(), 02640), 0);
        const bool hasXattr = ::setxattr(file.c_str(), "user.origin", "mail", 4, 0) == 0;
        struct stat before {};
        ::lstat(file.c_str(), &before);
        const std::string aclBefore = attribute(file, "system.posix_acl_access"); // its mask follows the mode

        std::vector<std::string> notKept;
        QCOMPARE(replace(file, "new\n", &notKept), std::error_code());
        QCOMPARE(readAll(QString::fromStdString(file.string())), QByteArray("new\n"));
        struct stat after {};
        ::lstat(file.c_str(), &after);
        QVERIFY(after.st_ino != before.st_ino); // a new file took the place, in one step
        QCOMPARE(after.st_uid, uid_t(1234));
        QCOMPARE(after.st_gid, gid_t(5678));
        QCOMPARE(after.st_mode & 07777, before.st_mode & 07777);
        if (hasAcl)
            QCOMPARE(attribute(file, "system.posix_acl_access"), aclBefore);
        if (hasXattr)
            QCOMPARE(attribute(file, "user.origin"), std::string("mail"));
        QVERIFY(notKept.empty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"notes.txt"});
        if (!hasAcl || !hasXattr)
            QSKIP("this file system takes no access control lists or extended attributes");
    }

    // What cannot be kept is said: another user cannot give the file away,
    // and a second name of the old file keeps the old content.
    void saysWhatCannotBeKept()
    {
        if (::geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            QSKIP("running as another user needs root and setpriv");
        QTemporaryDir dir;
        ::chmod(QFile::encodeName(dir.path()).constData(), 0777);
        const fs::path file = fs::path(dir.path().toStdString()) / "shared.txt";
        writeFile(file, "old\n");
        ::chmod(file.c_str(), 0666);
        fs::create_hard_link(file, file.parent_path() / "other-name.txt");

        QProcess child;
        child.start(QStringLiteral("setpriv"), {"--reuid=65534", "--regid=65534", "--clear-groups",
                                                 QCoreApplication::applicationFilePath(), "--replace-as-child",
                                                 QString::fromStdString(file.string())});
        QVERIFY(child.waitForFinished(-1));
        QCOMPARE(child.exitCode(), 0);
        const QStringList notKept = QString::fromUtf8(child.readAllStandardOutput()).split(u';', Qt::SkipEmptyParts);
        QCOMPARE(notKept, (QStringList{"owner", "group", "its other names (hard links), which keep the old content"}));
        struct stat after {};
        ::lstat(file.c_str(), &after);
        QCOMPARE(after.st_uid, uid_t(65534));
        QCOMPARE(after.st_mode & 07777, mode_t(0666));
        QCOMPARE(readAll(QString::fromStdString(file.string())), QByteArray("new\n"));
        QCOMPARE(readAll(dir.filePath("other-name.txt")), QByteArray("old\n"));
    }

    // A link is followed: the file it names gets the new content, the link stays.
    void replacesWhatALinkNames()
    {
        QTemporaryDir dir;
        const fs::path root = dir.path().toStdString();
        writeFile(root / "real/bundle.txt", "old\n");
        fs::create_symlink("real/bundle.txt", root / "link.txt");
        QCOMPARE(replace(root / "link.txt", "new\n"), std::error_code());
        QVERIFY(fs::is_symlink(root / "link.txt"));
        QCOMPARE(readAll(QString::fromStdString((root / "real/bundle.txt").string())), QByteArray("new\n"));
        QCOMPARE(QDir(dir.filePath("real")).entryList(QDir::Files | QDir::Hidden), QStringList{"bundle.txt"});
    }
};

int main(int argc, char *argv[])
{
    if (argc == 3 && std::strcmp(argv[1], "--replace-as-child") == 0)
        return replaceAsChild(argv[2]);
    QCoreApplication app(argc, argv);
    FileReplacementTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_file_replacement.moc"

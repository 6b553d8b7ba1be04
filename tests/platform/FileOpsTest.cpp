#include "QtPrint.h"
#include "platform/FileOps.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

using namespace brindle;

namespace {

void writeFile(const QString& path, const QByteArray& bytes = "x")
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

TEST(FileOps, ListsPlainVisibleFilesOnly)
{
    QTemporaryDir dir;
    const QString d = dir.path();
    writeFile(d + "/a.mp3");
    writeFile(d + "/b.MP3");
    writeFile(d + "/.e.mp3");
    QDir(d).mkdir("d.mp3");
    ASSERT_EQ(::symlink("a.mp3", QFile::encodeName(d + "/link.mp3").constData()), 0);
    ASSERT_EQ(::symlink("d.mp3", QFile::encodeName(d + "/dirlink.mp3").constData()), 0);
    ASSERT_EQ(::symlink("gone.mp3", QFile::encodeName(d + "/dangling.mp3").constData()), 0);

    PosixFileOps fs;
    QStringList names = fs.listPlainFiles(d);
    names.sort();
    EXPECT_EQ(names, QStringList({"a.mp3", "b.MP3", "link.mp3"}));
    EXPECT_TRUE(fs.hasPlainFile(d));
    EXPECT_TRUE(fs.hasPlainFile(d + "/"));
    EXPECT_EQ(fs.listPlainFiles(d + "/"), fs.listPlainFiles(d));

    EXPECT_TRUE(fs.exists(d + "/a.mp3"));
    EXPECT_TRUE(fs.exists(d + "/link.mp3"));
    EXPECT_FALSE(fs.exists(d + "/d.mp3"));
    EXPECT_FALSE(fs.exists(d + "/dangling.mp3"));
    EXPECT_FALSE(fs.exists(""));
    EXPECT_TRUE(fs.isDirectory(d + "/d.mp3"));
}

TEST(FileOps, EmptyOrMissingFolderHasNoFiles)
{
    QTemporaryDir dir;
    PosixFileOps fs;
    QDir(dir.path()).mkdir("sub");
    writeFile(dir.path() + "/.hidden");
    EXPECT_FALSE(fs.hasPlainFile(dir.path()));
    EXPECT_TRUE(fs.listPlainFiles(dir.path()).isEmpty());
    EXPECT_FALSE(fs.hasPlainFile(dir.path() + "/missing"));
    EXPECT_TRUE(fs.listPlainFiles(dir.path() + "/missing").isEmpty());
}

TEST(FileOps, LengthAttributesAndWritability)
{
    QTemporaryDir dir;
    PosixFileOps fs;
    const QString f = dir.path() + "/.Song ü.mp3";
    writeFile(f, QByteArray(1536, 'z'));
    EXPECT_EQ(fs.length(f).value_or(-1), 1536);
    EXPECT_FALSE(fs.length(dir.path() + "/none"));
    EXPECT_FALSE(fs.length(dir.path()));

    ASSERT_EQ(::chmod(QFile::encodeName(f).constData(), 0444), 0);
    FileAttributes a = fs.attributes(f);
    EXPECT_TRUE(a.exists);
    EXPECT_TRUE(a.plainFile);
    EXPECT_TRUE(a.hidden);
    EXPECT_TRUE(a.readOnly);
    EXPECT_FALSE(a.directory);

    EXPECT_TRUE(fs.makeWritable(f));
    a = fs.attributes(f);
    EXPECT_FALSE(a.readOnly);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(f).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u); // only the owner's write bit was added

    EXPECT_FALSE(fs.attributes(dir.path() + "/none").exists);
    EXPECT_FALSE(fs.makeWritable(dir.path() + "/none"));
    EXPECT_TRUE(fs.attributes(dir.path()).directory);

    // By bytes: the mode to put back is given only where one was changed.
    ASSERT_EQ(::chmod(QFile::encodeName(f).constData(), 0440), 0);
    EXPECT_EQ(fs.makeWritableAt(QFile::encodeName(f), nullptr), std::optional<unsigned>(0440u));
    EXPECT_EQ(fs.makeWritableAt(QFile::encodeName(f), nullptr), std::nullopt);
    EXPECT_EQ(fs.setModeAt(QFile::encodeName(f), 0440), 0);

    EXPECT_TRUE(fs.remove(f));
    EXPECT_FALSE(fs.exists(f));
    EXPECT_EQ(fs.removeAt(QFile::encodeName(f)), 0); // gone already: where the user wanted it
    EXPECT_EQ(fs.removeAt(QFile::encodeName(dir.path())), EISDIR);
    EXPECT_FALSE(fs.remove(f));
}

TEST(FileOps, JoinPathUsesOneSeparator)
{
    EXPECT_EQ(joinPath("/m", "a.mp3"), "/m/a.mp3");
    EXPECT_EQ(joinPath("/m/", "a.mp3"), "/m/a.mp3");
    EXPECT_EQ(joinPath("/", "a.mp3"), "/a.mp3");
    EXPECT_EQ(withTrailingSlash("/m"), "/m/");
    EXPECT_EQ(withTrailingSlash("/m/"), "/m/");
    EXPECT_EQ(withoutTrailingSlash("/m/"), "/m");
    EXPECT_EQ(withoutTrailingSlash("/m//"), "/m/"); // one separator only
    EXPECT_EQ(withoutTrailingSlash("/"), "/");
}

#include "QtPrint.h"
#include "platform/FileOps.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>


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

// A folder has a plain file when it holds a regular file, or a link to one, under a
// name that is not hidden.
TEST(FileOps, PlainVisibleFilesOnlyCount)
{
    QTemporaryDir dir;
    const QString d = dir.path();
    PosixFileOps fs;
    auto folderWith = [&](const QString& name, auto&& make) {
        QString sub = d + "/" + name;
        EXPECT_TRUE(QDir(d).mkdir(name));
        make(sub);
        return sub;
    };
    auto link = [](const char* target, const QString& at) {
        ASSERT_EQ(::symlink(target, QFile::encodeName(at).constData()), 0);
    };
    const QString plain = folderWith("plain", [](const QString& s) { writeFile(s + "/b.MP3"); });
    const QString linked = folderWith("linked", [&](const QString& s) { link("../plain/b.MP3", s + "/link.mp3"); });
    const QString hidden = folderWith("hidden", [](const QString& s) { writeFile(s + "/.e.mp3"); });
    const QString sub = folderWith("sub", [](const QString& s) { QDir(s).mkdir("d.mp3"); });
    const QString dirLink = folderWith("dirlink", [&](const QString& s) { link("../sub", s + "/dirlink.mp3"); });
    const QString dangling = folderWith("dangling", [&](const QString& s) { link("gone.mp3", s + "/dangling.mp3"); });
    EXPECT_TRUE(fs.hasPlainFile(plain));
    EXPECT_TRUE(fs.hasPlainFile(plain + "/"));
    EXPECT_TRUE(fs.hasPlainFile(linked));
    for (const QString& none : {hidden, sub, dirLink, dangling, d + "/missing"})
        EXPECT_FALSE(fs.hasPlainFile(none)) << none.toStdString();

    EXPECT_TRUE(fs.exists(plain + "/b.MP3"));
    EXPECT_TRUE(fs.exists(linked + "/link.mp3"));
    EXPECT_FALSE(fs.exists(sub + "/d.mp3"));
    EXPECT_FALSE(fs.exists(dangling + "/dangling.mp3"));
    EXPECT_FALSE(fs.exists(""));
    EXPECT_TRUE(fs.isDirectory(sub + "/d.mp3"));
}

TEST(FileOps, LengthWritabilityAndRemoval)
{
    QTemporaryDir dir;
    PosixFileOps fs;
    const QByteArray f = QFile::encodeName(dir.path() + "/.Song ü.mp3");
    writeFile(QFile::decodeName(f), QByteArray(1536, 'z'));
    EXPECT_EQ(fs.lengthAt(f).value_or(-1), 1536);
    EXPECT_FALSE(fs.lengthAt(QFile::encodeName(dir.path() + "/none")));
    EXPECT_FALSE(fs.lengthAt(QFile::encodeName(dir.path())));

    // The mode to put back is given only where one was changed, and only the owner's
    // write bit is added.
    ASSERT_EQ(::chmod(f.constData(), 0440), 0);
    EXPECT_EQ(fs.makeWritableAt(f), std::optional<unsigned>(0440u));
    struct stat st {};
    ASSERT_EQ(::stat(f.constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(fs.makeWritableAt(f), std::nullopt);
    EXPECT_TRUE(fs.setModeAt(f, 0440).ok());
    EXPECT_EQ(fs.makeWritableAt(QFile::encodeName(dir.path() + "/none")), std::nullopt);

    EXPECT_TRUE(fs.removeAt(f).ok());
    EXPECT_FALSE(fs.existsAt(f));
    EXPECT_TRUE(fs.removeAt(f).ok()); // gone already: where the user wanted it
    EXPECT_EQ(fs.removeAt(QFile::encodeName(dir.path())).reason(), "cannot be deleted: Is a directory");
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

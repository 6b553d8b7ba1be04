#pragma once
// Builds a main window over fake platform services and real files in a temporary folder.

#include "QtPrint.h"
#include "Mp3Builder.h"
#include "controls/XP_ProgressBar.h"
#include "frmMain.h"
#include "platform/FakePlatform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <gtest/gtest.h>

#include <memory>

namespace brindle::test {

struct Fields {
    std::string title, artist, album, track, year, genre, comment;
    int mpegFrames = 40;
    MpegSpec mpeg{};
};

inline std::string Mp3Bytes(const Fields& f)
{
    std::string frames;
    auto add = [&](const char* id, const std::string& text) {
        if (!text.empty())
            frames += Frame(3, id, Latin1(text));
    };
    add("TIT2", f.title);
    add("TPE1", f.artist);
    add("TALB", f.album);
    add("TRCK", f.track);
    add("TYER", f.year);
    add("TCON", f.genre);
    if (!f.comment.empty())
        frames += Frame(3, "COMM", CommentData(0, "eng", u"", std::u16string(f.comment.begin(), f.comment.end())));
    return Tag(3, frames, 64) + MpegFrames(f.mpegFrames, f.mpeg);
}

inline void WriteMp3(const QString& path, const Fields& f = {})
{
    WriteFile(QFile::encodeName(path).toStdString(), Mp3Bytes(f));
}

class WindowTest : public ::testing::Test {
protected:
    QTemporaryDir music;           // the user's music folder
    QTemporaryDir dir;             // another folder
    QMap<QString, QString> stored; // the settings that outlive one window
    FakePlatform* fakes = nullptr;
    std::unique_ptr<FakePlatform> fakeHolder;
    std::unique_ptr<frmMain> w;

    // Opens the window as the program would at start-up and lets the first scan run.
    frmMain& open(const QString& startFolder = {}, bool waitForScan = true)
    {
        fakeHolder = std::make_unique<FakePlatform>();
        fakes = fakeHolder.get();
        fakes->settings->values = stored;
        fakes->folders->music = music.path();
        w = std::make_unique<frmMain>(std::move(fakes->platform), startFolder);
        if (waitForScan)
            waitForFirstScan();
        return *w;
    }

    void waitForFirstScan()
    {
        auto* timer = w->findChild<QTimer*>("Timer1");
        for (int i = 0; i < 200 && timer->isActive(); ++i)
            QTest::qWait(10);
        ASSERT_FALSE(timer->isActive());
    }

    // Closes the window (writing the settings) and keeps what it stored.
    void close()
    {
        w->close();
        stored = fakes->settings->values;
        w.reset();
    }

    template <typename T = QWidget>
    T* find(const char* name) const
    {
        T* t = w->findChild<T*>(QLatin1String(name));
        EXPECT_NE(t, nullptr) << name;
        return t;
    }

    QTreeView* list() const { return find<QTreeView>("ListView1"); }
    QHeaderView* header() const { return list()->header(); }
    QStringList column(int c) const
    {
        QStringList out;
        for (int r = 0; r < w->ListModel()->rowCount(); ++r)
            out << w->ListModel()->cell(r, c);
        return out;
    }
    QString setting(const char* key) const { return stored.value(QLatin1String(key)); }
};

} // namespace brindle::test
